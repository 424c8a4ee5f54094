// The document as it was written, held in pieces (gathered blocks and the chunk
// at hand), for reporting failures: line and column of an offset, and a look back
// for the markup an error sits in. CR, LF and CR LF each end a line, as XML 1.0
// section 2.11 counts them; columns count bytes from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vozuzu {

struct TextPosition {
  int32_t line = 1;
  int32_t column = 1;
};

class SourceText {
 public:
  SourceText() = default;
  explicit SourceText(std::vector<std::string_view> pieces);

  size_t size() const { return size_; }
  // The byte at offset; 0 past the end.
  char At(size_t offset) const;
  // The offset of the last byte c before offset, if any.
  std::optional<size_t> LastBefore(size_t offset, char c) const;
  // The position of byte offset (past the end: just after the last byte).
  TextPosition Locate(size_t offset) const;

 private:
  std::vector<std::string_view> pieces_;
  std::vector<size_t> starts_;  // offset of each piece
  size_t size_ = 0;
};

}  // namespace vozuzu
