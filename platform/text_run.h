// The pieces a laid-out text is made of: shaped glyphs in font units (what the
// shaper returns and caches), and glyph runs in whole pixels (what a laid-out
// line holds and what drawing reads).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/font_face.h"
#include "platform/text_metrics.h"

namespace zivoda::gdi {

// One glyph as HarfBuzz placed it, in font units, and the same in whole pixels
// at the scale it was shaped for (each value rounded on its own, as GDI rounds
// advance widths); cluster is the index of the first UTF-16 unit of its cluster
// within the shaped text.
struct ShapedGlyph {
  uint32_t glyph = 0;
  uint32_t cluster = 0;
  int32_t xAdvance = 0;
  int32_t xOffset = 0;
  int32_t yOffset = 0;  // up is positive, as in the font
  int32_t advancePixels = 0;  // never negative
  int32_t xPixels = 0;
  int32_t yPixels = 0;  // down is positive, as on the screen
};

// What the layout draws with: a face at a scale, and what is synthesised.
struct RunFont {
  std::shared_ptr<FontFace> face;
  PixelScale scale;  // font units of face to pixels
  bool syntheticBold = false;
  bool syntheticOblique = false;
};

// A glyph placed on a line in pixels: x from the line's left edge to the pen
// position plus the glyph's own offset, y from the baseline (down positive).
struct PlacedGlyph {
  uint32_t glyph = 0;
  int32_t x = 0;
  int32_t y = 0;
};

// Glyphs [begin, end) of a layout's glyph array, all in one font.
struct GlyphRun {
  uint32_t font = 0;  // index into the layout's fonts
  uint32_t begin = 0;
  uint32_t end = 0;
};

}  // namespace zivoda::gdi
