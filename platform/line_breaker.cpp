// The DrawTextW line-break rule: break after a run of white space and between
// full-width characters (with kinsoku), greedy, a line never empty of visible
// characters; over-long words overflow, or under DT_EDITCONTROL break between
// grapheme clusters. Grapheme clusters come from ICU's character break iterator.
#include "platform/line_breaker.h"

#include <unicode/ubrk.h>

#include <algorithm>
#include <memory>

namespace zivoda::gdi {
namespace {

char32_t CodePointAt(std::u16string_view text, size_t i) {
  const char16_t u = text[i];
  if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
    return 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00);
  }
  return u;
}

// The code point that ends before unit i (i > 0).
char32_t CodePointBefore(std::u16string_view text, size_t i) {
  const char16_t u = text[i - 1];
  if (u >= 0xDC00 && u <= 0xDFFF && i >= 2 && text[i - 2] >= 0xD800 && text[i - 2] <= 0xDBFF) {
    return CodePointAt(text, i - 2);
  }
  return u;
}

bool InList(char32_t c, std::u32string_view list) { return list.find(c) != std::u32string_view::npos; }

struct BreakIteratorCloser {
  void operator()(UBreakIterator* it) const { ubrk_close(it); }
};

}  // namespace

bool IsBreakSpace(char16_t u) {
  switch (u) {
    case 0x0020: case 0x0009: case 0x1680: case 0x200B: case 0x205F: case 0x3000:
      return true;
    default:
      return u >= 0x2000 && u <= 0x200A && u != 0x2007;
  }
}

bool IsFullWidth(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

bool IsLineStartForbidden(char32_t c) {
  static constexpr std::u32string_view kList =
      U"!%),.:;?]}\u00A2\u00B0\u2019\u201D\u2030\u2032\u2033\u2103\u3001\u3002\u3005\u3009\u300B\u300D\u300F"
      U"\u3011\u3015\u3041\u3043\u3045\u3047\u3049\u3063\u3083\u3085\u3087\u308E\u309B\u309C\u309D\u309E"
      U"\u30A1\u30A3\u30A5\u30A7\u30A9\u30C3\u30E3\u30E5\u30E7\u30EE\u30F5\u30F6\u30FB\u30FC\u30FD\u30FE"
      U"\uFF01\uFF05\uFF09\uFF0C\uFF0E\uFF1A\uFF1B\uFF1F\uFF3D\uFF5D\uFF61\uFF63\uFF64\uFF65\uFF67\uFF68"
      U"\uFF69\uFF6A\uFF6B\uFF6C\uFF6D\uFF6E\uFF6F\uFF70\uFF9E\uFF9F\uFFE0";
  return InList(c, kList);
}

bool IsLineEndForbidden(char32_t c) {
  static constexpr std::u32string_view kList =
      U"$([{\u00A3\u00A5\u2018\u201C\u3008\u300A\u300C\u300E\u3010\u3014\uFF04\uFF08\uFF3B\uFF5B\uFF62\uFFE1\uFFE5";
  return InList(c, kList);
}

void GraphemeStarts(std::u16string_view text, std::vector<uint8_t>& starts) {
  starts.assign(text.size() + 1, 1);
  const bool simple = std::all_of(text.begin(), text.end(), [](char16_t u) { return u < 0x0300; });
  if (simple || text.size() > static_cast<size_t>(INT32_MAX)) return;
  static std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator;
  UErrorCode error = U_ZERO_ERROR;
  if (!iterator) {
    iterator.reset(ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &error));
    if (U_FAILURE(error)) {
      iterator.reset();
      return;
    }
  }
  error = U_ZERO_ERROR;
  ubrk_setText(iterator.get(), text.data(), static_cast<int32_t>(text.size()), &error);
  if (U_FAILURE(error)) return;
  std::fill(starts.begin(), starts.end(), 0);
  for (int32_t b = ubrk_first(iterator.get()); b != UBRK_DONE; b = ubrk_next(iterator.get())) {
    starts[static_cast<size_t>(b)] = 1;
  }
  starts[0] = 1;
  starts[text.size()] = 1;
  // ICU must not leave a pointer to text behind once it goes away.
  ubrk_setText(iterator.get(), nullptr, 0, &error);
}

int64_t TabWidth(int64_t x, int64_t interval) {
  if (interval <= 0) return 0;
  if (x < 0) return interval - x;  // from before the line's start: to its first stop
  return (x / interval + 1) * interval - x;
}

void BreakLines(std::u16string_view text, const int32_t* advances, const uint8_t* starts,
                const BreakOptions& options, std::vector<LineSpan>& lines) {
  const size_t n = text.size();
  size_t start = 0;
  do {
    int64_t x = 0;
    int64_t visible = 0;    // width up to the last unit that is not white space
    size_t breakAt = 0;     // 0: no break opportunity on this line yet
    int64_t breakWidth = 0;
    size_t i = start;
    bool broke = false;
    while (i < n) {
      const char16_t u = text[i];
      const bool space = IsBreakSpace(u);
      // The width of the whole grapheme cluster starting here.
      size_t next = i + 1;
      int64_t advance = advances[i];
      while (next < n && starts[next] == 0) advance += advances[next++];
      if (u == u'\t' && options.tabInterval > 0) advance = TabWidth(x, options.tabInterval);
      // Full-width breaks: where either neighbour is full-width (so also between
      // Latin and CJK; chosen, as Windows documents only "between" them).
      if (options.wordBreak && !space && i > start) {
        const char32_t before = CodePointBefore(text, i);
        const char32_t here = CodePointAt(text, i);
        if (IsBreakSpace(text[i - 1])) {
          breakAt = i;
          breakWidth = visible;
        } else if (options.fullWidthBreaks && (IsFullWidth(before) || IsFullWidth(here)) &&
                   !IsLineStartForbidden(here) && !IsLineEndForbidden(before)) {
          breakAt = i;
          breakWidth = x;
        }
        if (x + advance > options.width) {
          if (breakAt > start) {
            lines.push_back(LineSpan{static_cast<uint32_t>(start), static_cast<uint32_t>(breakAt), breakWidth});
            start = breakAt;
            broke = true;
            break;
          }
          if (options.editControl) {
            lines.push_back(LineSpan{static_cast<uint32_t>(start), static_cast<uint32_t>(i), x});
            start = i;
            broke = true;
            break;
          }
        }
      }
      x += advance;
      if (!space) visible = x;
      i = next;
    }
    // The paragraph's last line keeps its trailing white space in its width, as
    // GetTextExtent counts it (not documented for DrawTextW; chosen so).
    if (!broke) {
      lines.push_back(LineSpan{static_cast<uint32_t>(start), static_cast<uint32_t>(n), x});
      start = n;
    }
  } while (start < n);
}

}  // namespace zivoda::gdi
