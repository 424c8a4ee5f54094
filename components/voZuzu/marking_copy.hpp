// Copies a document's bytes into the buffer that is parsed in place, counting on
// the way what sizes the flat tree (the marks below) and whether a NUL byte is
// there, so that the text is read once before the parse instead of three times.
#pragma once

#include <cstddef>
#include <string_view>

namespace vozuzu {

// How many bytes are '<', how many of those start "</" (an end tag), how many are
// '=', and whether any byte is NUL.
struct TextMarks {
  size_t angles = 0;
  size_t closes = 0;
  size_t equals = 0;
  bool nul = false;
};

class MarkingCopy {
 public:
  explicit MarkingCopy(char* out) : out_(out) {}

  // Appends piece to the output; pieces join as one text ("<" at the end of one
  // piece and "/" at the start of the next make an end tag).
  void Append(std::string_view piece);

  const TextMarks& marks() const { return marks_; }

 private:
  char* out_;
  bool afterAngle_ = false;  // the byte before the next one is '<'
  TextMarks marks_;
};

}  // namespace vozuzu
