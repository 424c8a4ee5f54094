// The document as written, for failure reports: line breaks are found with
// memchr, since a refused document can be a gigabyte long.
#include "source_text.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace vozuzu {
namespace {

class LineCounter {
 public:
  void Feed(std::string_view bytes) {
    const size_t n = bytes.size();
    if (n == 0) return;
    const char* base = bytes.data();
    auto find = [&](size_t from, char c) {
      const void* hit = std::memchr(base + from, c, n - from);
      return hit != nullptr ? static_cast<size_t>(static_cast<const char*>(hit) - base) : n;
    };
    size_t lf = find(0, '\n');
    size_t cr = find(0, '\r');
    for (;;) {
      const size_t at = std::min(lf, cr);
      if (at == n) break;
      const uint64_t offset = position_ + at;
      if (at == lf) {
        if (afterCr_ != offset) ++line_;  // the LF of a CR LF ends no second line
        lf = find(at + 1, '\n');
      } else {
        ++line_;
        afterCr_ = offset + 1;
        cr = find(at + 1, '\r');
      }
      lineStart_ = offset + 1;
    }
    position_ += n;
  }
  TextPosition Position() const {
    constexpr uint64_t kMax = std::numeric_limits<int32_t>::max();
    return {static_cast<int32_t>(std::min<uint64_t>(line_, kMax)),
            static_cast<int32_t>(std::min<uint64_t>(position_ - lineStart_ + 1, kMax))};
  }

 private:
  uint64_t line_ = 1;
  uint64_t position_ = 0;   // bytes fed so far
  uint64_t lineStart_ = 0;  // offset of the first byte of the current line
  uint64_t afterCr_ = std::numeric_limits<uint64_t>::max();  // offset just after the latest CR
};

}  // namespace

SourceText::SourceText(std::vector<std::string_view> pieces) : pieces_(std::move(pieces)) {
  starts_.reserve(pieces_.size());
  for (std::string_view p : pieces_) {
    starts_.push_back(size_);
    size_ += p.size();
  }
}

char SourceText::At(size_t offset) const {
  if (offset >= size_) return 0;
  const size_t i = std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin() - 1;
  return pieces_[i][offset - starts_[i]];
}

std::optional<size_t> SourceText::LastBefore(size_t offset, char c) const {
  offset = std::min(offset, size_);
  for (size_t i = pieces_.size(); i-- > 0;) {
    if (starts_[i] >= offset) continue;
    const std::string_view head = pieces_[i].substr(0, offset - starts_[i]);
    const size_t at = head.rfind(c);
    if (at != std::string_view::npos) return starts_[i] + at;
  }
  return std::nullopt;
}

TextPosition SourceText::Locate(size_t offset) const {
  LineCounter counter;
  for (std::string_view piece : pieces_) {
    const size_t n = std::min(offset, piece.size());
    counter.Feed(piece.substr(0, n));
    offset -= n;
    if (offset == 0) break;
  }
  return counter.Position();
}

}  // namespace vozuzu
