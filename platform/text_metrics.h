// GDI's text metrics for an outline font at a pixel size: the font-unit values
// they are made from, the scale GDI picks for lfHeight, and TEXTMETRICW together
// with the underline and strike-out placement that drawing will need.
#pragma once

#include <cstdint>

#include "platform/gdi.h"

namespace zivoda::gdi {

// lfHeight 0 asks for the default height: a cell height of 16 pixels, the same
// as the initial font of a DC.
constexpr LONG kDefaultCellHeight = 16;
// Larger requested heights (em or cell, in pixels) are cut to this.
constexpr LONG kMaxPixelHeight = 16384;

// The values of a face's own tables that GDI's metrics derive from, in font units.
struct FontUnits {
  int32_t unitsPerEm = 2048;
  int32_t winAscent = 0;   // OS/2 usWinAscent
  int32_t winDescent = 0;  // OS/2 usWinDescent, positive below the baseline
  int32_t hheaAscender = 0;
  int32_t hheaDescender = 0;  // negative below the baseline
  int32_t hheaLineGap = 0;
  int32_t avgCharWidth = 0;        // OS/2 xAvgCharWidth
  int32_t maxAdvance = 0;          // hhea advanceWidthMax
  int32_t weightClass = 0;         // OS/2 usWeightClass; 0 when the face has no OS/2
  int32_t underlinePosition = 0;   // post: top of the underline, negative below the baseline
  int32_t underlineThickness = 0;  // post
  int32_t strikeoutPosition = 0;   // OS/2: top of the stroke above the baseline
  int32_t strikeoutSize = 0;       // OS/2
  char16_t firstChar = 0x20;
  char16_t lastChar = 0xFFFF;
  char16_t defaultChar = 0;
  char16_t breakChar = 0x20;
  bool fixedPitch = false;
  bool trueTypeOutlines = true;  // glyf outlines, as opposed to CFF
  uint8_t panoseFamily = 0;      // OS/2 panose bFamilyType
  uint8_t panoseSerif = 0;       // OS/2 panose bSerifStyle
  uint32_t codePageRange1 = 0;   // OS/2 ulCodePageRange1
};

// Font units become pixels as units * num / den.
struct PixelScale {
  int64_t num = 1;
  int64_t den = 1;
  int32_t Pixels(int64_t units) const;  // rounded to nearest, halves away from zero
};

// The realised style: the face's own weight and slant, or the synthesised ones.
struct FontStyle {
  int32_t weight = FW_NORMAL;
  bool italic = false;
};

// A stroke across the text: top edge in pixels below the baseline (negative:
// above it) and thickness (at least 1).
struct Decoration {
  int32_t top = 0;
  int32_t thickness = 1;
};

struct RealizedMetrics {
  TEXTMETRICW tm{};
  PixelScale scale;
  int32_t emPixels = 0;  // the em height in pixels (pixels per em), at least 1
  Decoration underline;
  Decoration strikeout;
};

// The scale GDI uses for lfHeight: em = |lfHeight| pixels when negative,
// winAscent + winDescent = lfHeight pixels when positive, kDefaultCellHeight as
// the cell height when 0. units must have winAscent + winDescent > 0 and
// unitsPerEm > 0 (FontFace guarantees both).
PixelScale ScaleForHeight(const FontUnits& units, LONG lfHeight);

// TEXTMETRICW by GDI's definitions for TrueType fonts (the OpenType OS/2 table's
// mapping of Windows metrics): ascent and descent from usWinAscent/usWinDescent,
// internal leading = height - em, external leading = max(0, lineGap -
// ((winAscent + winDescent) - (hheaAscender - hheaDescender))), each value scaled
// and rounded to the nearest pixel on its own.
RealizedMetrics RealizeMetrics(const FontUnits& units, const LOGFONTW& request, FontStyle style);

}  // namespace zivoda::gdi
