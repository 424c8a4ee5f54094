// Soft line breaks as DrawTextW makes them with DT_WORDBREAK (not UAX #14): after
// white space, which hangs, or between full-width characters with kinsoku; a
// word wider than the line is split only under DT_EDITCONTROL, and then between
// grapheme clusters (ICU), which also bound every ellipsis cut.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zivoda::gdi {

// White space a line may break after: SPACE, TAB, the other spaces of Unicode
// category Zs except the no-break ones, and ZERO WIDTH SPACE.
bool IsBreakSpace(char16_t unit);

// Full-width characters: CJK ideographs, kana, Hangul, full-width forms.
bool IsFullWidth(char32_t codePoint);

// Kinsoku: characters that may not begin a line (closing punctuation, small
// kana, prolonged sound mark) and that may not end one (opening brackets).
bool IsLineStartForbidden(char32_t codePoint);
bool IsLineEndForbidden(char32_t codePoint);

// starts[i] = 1 where a grapheme cluster (Unicode extended grapheme clusters,
// through ICU) begins at unit i; starts gets text.size() + 1 entries, the last 1.
void GraphemeStarts(std::u16string_view text, std::vector<uint8_t>& starts);

struct BreakOptions {
  int64_t width = 0;             // the line width available, in pixels (may be <= 0)
  bool wordBreak = false;        // DT_WORDBREAK: soft breaks at all
  bool fullWidthBreaks = true;   // breaks between full-width characters (not DT_NOFULLWIDTHCHARBREAK)
  bool editControl = false;      // DT_EDITCONTROL: a word wider than the line breaks between clusters
  int64_t tabInterval = 0;       // > 0: TAB advances to the next multiple of this, strictly right
};

struct LineSpan {
  uint32_t start = 0;
  uint32_t end = 0;    // exclusive; white space at a soft break is inside the span
  int64_t width = 0;   // the width of [start, end) without white space hanging at a soft break
};

// Breaks one paragraph (no hard breaks inside) into lines. advances[i] is the
// width of unit i (the whole cluster on its first unit, 0 on the others);
// starts is as GraphemeStarts gives. A paragraph always gives at least one
// line, an empty one for empty text.
void BreakLines(std::u16string_view text, const int32_t* advances, const uint8_t* starts,
                const BreakOptions& options, std::vector<LineSpan>& lines);

// The pixel width of a TAB starting at x: to the next multiple of interval
// strictly right of x (a full interval from a stop); 0 when interval <= 0.
int64_t TabWidth(int64_t x, int64_t interval);

}  // namespace zivoda::gdi
