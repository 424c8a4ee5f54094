// The bytes of a document gathered chunk by chunk, kept in blocks so that
// gathering never copies what it already holds; the whole is copied once, into
// the buffer that is parsed.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace vozuzu {

class GatheredBytes {
 public:
  void Append(std::string_view bytes);  // may throw std::bad_alloc
  size_t size() const { return size_; }
  // The gathered bytes in order, as pieces.
  std::vector<std::string_view> Pieces() const;
  void Clear() { *this = GatheredBytes(); }

 private:
  static constexpr size_t kBlockSize = 256 * 1024;

  struct Block {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0;
    size_t used = 0;
  };
  std::vector<Block> blocks_;
  size_t size_ = 0;
};

}  // namespace vozuzu
