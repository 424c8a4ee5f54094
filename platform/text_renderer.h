// Painting a laid-out text into a device context's bitmap: the background box of
// each line in OPAQUE mode, glyph coverage blended in the text colour over the
// existing pixels, underline and strike-out from the font's metrics, and the &
// prefix underline; all cut to a clip rectangle and to the bitmap.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi_bitmap.h"
#include "platform/text_layout.h"

namespace zivoda::gdi {

// Where one line goes, in device pixels: the left end of its text and its top.
struct LineOrigin {
  size_t line = 0;
  int64_t x = 0;
  int64_t y = 0;
};

struct PaintOptions {
  COLORREF textColor = 0;
  COLORREF bkColor = 0;
  bool opaque = false;
  bool glyphs = true;    // false for DT_PREFIXONLY: only the prefix underline
  bool prefixes = true;  // false for DT_HIDEPREFIX
  // The clip rectangle in device pixels (exclusive right and bottom), before the
  // bitmap's bounds are applied.
  int64_t clipLeft = INT64_MIN / 4, clipTop = INT64_MIN / 4, clipRight = INT64_MAX / 4, clipBottom = INT64_MAX / 4;
};

void PaintLayout(const TextLayout& layout, const std::vector<LineOrigin>& origins, const PaintOptions& options,
                 Bitmap& target);

}  // namespace zivoda::gdi
