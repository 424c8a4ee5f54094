// TEXTMETRICW for an outline font, by the Windows metrics of the OpenType OS/2
// and hhea tables: the em is |lfHeight| pixels (lfHeight < 0), or the cell
// usWinAscent + usWinDescent is lfHeight pixels (lfHeight > 0). Each value is
// scaled and rounded on its own, halves away from zero, as MulDiv does.
#include "platform/text_metrics.h"

#include <algorithm>
#include <cstdlib>

namespace zivoda::gdi {
namespace {

constexpr LONG kScreenDpi = 96;

int32_t MulDivRound(int64_t value, int64_t num, int64_t den) {
  const int64_t product = value * num;
  const int64_t magnitude = (2 * std::llabs(product) + den) / (2 * den);
  return static_cast<int32_t>(product < 0 ? -magnitude : magnitude);
}

// The realised character set: the requested one when the face covers it, else
// the first the face covers, by its OS/2 code-page bits.
BYTE CharSetFor(uint32_t codePages, BYTE requested) {
  struct CodePageCharSet {
    int bit;
    BYTE charSet;
  };
  static constexpr CodePageCharSet kCharSets[] = {
      {0, ANSI_CHARSET},         {17, SHIFTJIS_CHARSET},    {18, GB2312_CHARSET},
      {19, HANGUL_CHARSET},      {20, CHINESEBIG5_CHARSET}, {31, SYMBOL_CHARSET},
  };
  for (const auto& entry : kCharSets) {
    if (entry.charSet == requested && (codePages >> entry.bit & 1u) != 0) return requested;
  }
  for (const auto& entry : kCharSets) {
    if ((codePages >> entry.bit & 1u) != 0) return entry.charSet;
  }
  return ANSI_CHARSET;
}

// tmPitchAndFamily: the TMPF bits (TMPF_FIXED_PITCH set means variable pitch) and
// the family from the PANOSE classification.
BYTE PitchAndFamily(const FontUnits& units) {
  BYTE bits = TMPF_VECTOR;
  if (units.trueTypeOutlines) bits |= TMPF_TRUETYPE;
  if (!units.fixedPitch) bits |= TMPF_FIXED_PITCH;
  BYTE family = FF_DONTCARE;
  if (units.fixedPitch) {
    family = FF_MODERN;
  } else if (units.panoseFamily == 3) {
    family = FF_SCRIPT;
  } else if (units.panoseFamily == 4) {
    family = FF_DECORATIVE;
  } else if (units.panoseFamily == 2 && units.panoseSerif >= 11 && units.panoseSerif <= 13) {
    family = FF_SWISS;  // the sans-serif styles
  } else if (units.panoseFamily == 2 && units.panoseSerif >= 2 && units.panoseSerif <= 10) {
    family = FF_ROMAN;
  }
  return static_cast<BYTE>(bits | family);
}

}  // namespace

int32_t PixelScale::Pixels(int64_t units) const { return MulDivRound(units, num, den); }

PixelScale ScaleForHeight(const FontUnits& units, LONG lfHeight) {
  const int64_t height = lfHeight == 0 ? kDefaultCellHeight : int64_t{lfHeight};
  if (height > 0) {
    return PixelScale{std::min<int64_t>(height, kMaxPixelHeight), int64_t{units.winAscent} + units.winDescent};
  }
  return PixelScale{std::min<int64_t>(-height, kMaxPixelHeight), units.unitsPerEm};
}

RealizedMetrics RealizeMetrics(const FontUnits& units, const LOGFONTW& request, FontStyle style) {
  RealizedMetrics out;
  out.scale = ScaleForHeight(units, request.lfHeight);
  const PixelScale& scale = out.scale;
  out.emPixels = std::max(1, scale.Pixels(units.unitsPerEm));

  TEXTMETRICW& tm = out.tm;
  tm.tmAscent = scale.Pixels(units.winAscent);
  tm.tmDescent = scale.Pixels(units.winDescent);
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = tm.tmHeight - out.emPixels;
  const int64_t winCell = int64_t{units.winAscent} + units.winDescent;
  const int64_t hheaCell = int64_t{units.hheaAscender} - units.hheaDescender;
  tm.tmExternalLeading = scale.Pixels(std::max<int64_t>(0, units.hheaLineGap - (winCell - hheaCell)));
  tm.tmAveCharWidth = scale.Pixels(units.avgCharWidth);
  tm.tmMaxCharWidth = scale.Pixels(units.maxAdvance);
  tm.tmWeight = style.weight;
  tm.tmOverhang = 0;
  tm.tmDigitizedAspectX = kScreenDpi;
  tm.tmDigitizedAspectY = kScreenDpi;
  tm.tmFirstChar = units.firstChar;
  tm.tmLastChar = units.lastChar;
  tm.tmDefaultChar = units.defaultChar;
  tm.tmBreakChar = units.breakChar;
  tm.tmItalic = style.italic ? 1 : 0;
  tm.tmUnderlined = request.lfUnderline != 0 ? 1 : 0;
  tm.tmStruckOut = request.lfStrikeOut != 0 ? 1 : 0;
  tm.tmPitchAndFamily = PitchAndFamily(units);
  tm.tmCharSet = CharSetFor(units.codePageRange1, request.lfCharSet);

  out.underline = Decoration{scale.Pixels(-int64_t{units.underlinePosition}),
                             std::max(1, scale.Pixels(units.underlineThickness))};
  out.strikeout = Decoration{-scale.Pixels(units.strikeoutPosition), std::max(1, scale.Pixels(units.strikeoutSize))};
  return out;
}

}  // namespace zivoda::gdi
