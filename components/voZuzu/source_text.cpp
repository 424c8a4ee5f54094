// The document as written, for failure reports. Only failed parses ask, so
// plain scans will do.
#include "source_text.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace vozuzu {
namespace {

class LineCounter {
 public:
  void Feed(std::string_view bytes) {
    for (const char c : bytes) {
      ++position_;
      if (c == '\n') {
        if (!afterCr_) ++line_;
        lineStart_ = position_;
      } else if (c == '\r') {
        ++line_;
        lineStart_ = position_;
      }
      afterCr_ = c == '\r';
    }
  }
  TextPosition Position() const {
    constexpr uint64_t kMax = std::numeric_limits<int32_t>::max();
    return {static_cast<int32_t>(std::min<uint64_t>(line_, kMax)),
            static_cast<int32_t>(std::min<uint64_t>(position_ - lineStart_ + 1, kMax))};
  }

 private:
  uint64_t line_ = 1;
  uint64_t position_ = 0;
  uint64_t lineStart_ = 0;
  bool afterCr_ = false;
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
