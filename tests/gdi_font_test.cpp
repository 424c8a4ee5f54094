// Fonts of the GDI subset: which face CreateFontIndirectW finds through
// fontconfig (with the tests' pinned fonts), what it must synthesise, and
// GetTextMetricsW's values, checked against numbers worked out by hand from the
// fonts' own OS/2, hhea and post tables.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/font_face_cache.h"
#include "platform/gdi.h"
#include "support/gdi_owners.hpp"
#include "platform/gdi_font.h"
#include "platform/text_metrics.h"

namespace {

using zivoda::test::OwnedBitmap;
using zivoda::test::OwnedDC;
using zivoda::test::OwnedFont;

LOGFONTW LogFont(std::u16string_view face, LONG height, LONG weight = FW_NORMAL, bool italic = false) {
  LOGFONTW logfont{};
  logfont.lfHeight = height;
  logfont.lfWeight = weight;
  logfont.lfItalic = italic ? 1 : 0;
  logfont.lfCharSet = DEFAULT_CHARSET;
  face.copy(logfont.lfFaceName, LF_FACESIZE - 1);
  return logfont;
}

OwnedFont MakeFont(const LOGFONTW& logfont) { return OwnedFont(CreateFontIndirectW(&logfont)); }

TEST(GdiFont, MatchingFindsTheFaceAndFlagsWhatMustBeSynthesised) {
  struct Row {
    std::u16string face;
    LONG weight;
    bool italic;
    std::string family, style;
    bool syntheticBold, syntheticOblique;
  };
  const Row rows[] = {
      // A family with every face: nothing synthesised.
      {u"DejaVu Sans", FW_NORMAL, false, "DejaVu Sans", "Book", false, false},
      {u"DejaVu Sans", FW_BOLD, false, "DejaVu Sans", "Bold", false, false},
      {u"DejaVu Sans", FW_NORMAL, true, "DejaVu Sans", "Oblique", false, false},
      {u"DejaVu Sans", FW_BOLD, true, "DejaVu Sans", "Bold Oblique", false, false},
      {u"DejaVu Sans", FW_EXTRALIGHT, false, "DejaVu Sans", "ExtraLight", false, false},
      {u"DejaVu Sans", FW_SEMIBOLD, false, "DejaVu Sans", "Bold", false, false},
      {u"FreeSans", FW_BOLD, true, "FreeSans", "Bold Oblique", false, false},
      // Face names compare without regard to case; FW_DONTCARE is FW_NORMAL.
      {u"dejavu SANS", FW_DONTCARE, false, "DejaVu Sans", "Book", false, false},
      // Weights outside 1..1000 are clamped.
      {u"DejaVu Sans", 5000, false, "DejaVu Sans", "Bold", false, false},
      {u"DejaVu Sans", -5, false, "DejaVu Sans", "ExtraLight", false, false},
      // A family with one face: bold from semibold up, and oblique, are synthesised.
      {u"WenQuanYi Micro Hei", FW_NORMAL, false, "WenQuanYi Micro Hei", "Regular", false, false},
      {u"WenQuanYi Micro Hei", FW_MEDIUM, false, "WenQuanYi Micro Hei", "Regular", false, false},
      {u"WenQuanYi Micro Hei", FW_SEMIBOLD, false, "WenQuanYi Micro Hei", "Regular", true, false},
      {u"WenQuanYi Micro Hei", FW_BOLD, true, "WenQuanYi Micro Hei", "Regular", true, true},
      // The family's localised name, and the second face of the collection.
      {u"文泉驿微米黑", FW_NORMAL, false, "WenQuanYi Micro Hei", "Regular", false, false},
      {u"WenQuanYi Micro Hei Mono", FW_NORMAL, false, "WenQuanYi Micro Hei Mono", "Regular", false, false},
      // No face, or one not installed: fontconfig's sans-serif (DejaVu Sans here).
      {u"", FW_NORMAL, false, "DejaVu Sans", "Book", false, false},
      {u"", FW_BOLD, true, "DejaVu Sans", "Bold Oblique", false, false},
      {u"No Such Face", FW_NORMAL, false, "DejaVu Sans", "Book", false, false},
      {u"No Such Face", FW_BOLD, false, "DejaVu Sans", "Bold", false, false},
      {u"\xD800 unpaired", FW_NORMAL, false, "DejaVu Sans", "Book", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.family) + " / " + row.style + ", weight " + std::to_string(row.weight) +
                 (row.italic ? " italic" : ""));
    OwnedFont font = MakeFont(LogFont(row.face, -16, row.weight, row.italic));
    ASSERT_TRUE(font);
    const zivoda::gdi::Font* made = zivoda::gdi::FindFont(font.get());
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->face->FamilyName(), row.family);
    EXPECT_EQ(made->face->StyleName(), row.style);
    EXPECT_EQ(made->syntheticBold, row.syntheticBold);
    EXPECT_EQ(made->syntheticOblique, row.syntheticOblique);
  }
}

TEST(GdiFont, AFaceNameOfThirtyTwoUnitsWithoutTerminatorIsReadToItsEnd) {
  LOGFONTW logfont = LogFont(u"", -12);
  for (int i = 0; i < LF_FACESIZE; ++i) logfont.lfFaceName[i] = u'A';
  OwnedFont font = MakeFont(logfont);
  ASSERT_TRUE(font);
  EXPECT_EQ(zivoda::gdi::FindFont(font.get())->face->FamilyName(), "DejaVu Sans");
  EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
}

// Expected metrics, each worked out from the font's tables (read with FreeType
// in a separate program). round() is to the nearest, halves away from zero.
//
// DejaVu Sans (Book): unitsPerEm 2048, usWinAscent 1901, usWinDescent 483,
// hhea 1901/-483 gap 0, xAvgCharWidth 1038, advanceWidthMax 3838, weight 400,
// OS/2 version 1 (no default or break char), PANOSE 2/11 (sans), code pages
// with Latin 1.
//   lfHeight -16: em 16 px, scale 16/2048.
//     ascent round(1901*16/2048 = 14.85) = 15, descent round(483*16/2048 = 3.77) = 4,
//     height 19, internal 19-16 = 3, external round(max(0, 0 - (2384-2384))) = 0,
//     average round(1038*16/2048 = 8.11) = 8, max round(3838*16/2048 = 29.98) = 30.
//   lfHeight +16: cell 16 px, scale 16/(1901+483) = 16/2384.
//     ascent round(12.76) = 13, descent round(3.24) = 3, height 16,
//     em round(2048*16/2384 = 13.74) = 14, internal 2, average round(6.97) = 7,
//     max round(25.76) = 26.
// FreeSans (Regular): unitsPerEm 1000, usWinAscent 900, usWinDescent 300,
// hhea 900/-200 gap 100, xAvgCharWidth 657, advanceWidthMax 2256, OS/2 v4
// (break char 0x20, default 0).
//   external leading: max(0, 100 - (1200 - 1100)) = 0.
//   lfHeight -20: ascent 18, descent 6, height 24, internal 4,
//     average round(13.14) = 13, max round(45.12) = 45.
//   lfHeight +20: scale 20/1200: ascent 15, descent 5, height 20,
//     em round(16.67) = 17, internal 3, average round(10.95) = 11, max round(37.6) = 38.
// WenQuanYi Micro Hei: unitsPerEm 2048, usWinAscent 1918, usWinDescent 483,
// xAvgCharWidth 1427, advanceWidthMax 2404, one Regular face.
//   lfHeight -16: ascent round(14.98) = 15, descent round(3.77) = 4, height 19,
//     internal 3, average round(11.15) = 11, max round(18.78) = 19.
TEST(GdiFont, TextMetricsFollowGdiDefinitionsForTrueType) {
  struct Row {
    std::string name;
    LOGFONTW logfont;
    LONG height, ascent, descent, internal, external, average, maximum, weight;
    BYTE italic, pitchAndFamily, charSet;
    WCHAR breakChar;
  };
  constexpr BYTE kSwissVariable = TMPF_VECTOR | TMPF_TRUETYPE | TMPF_FIXED_PITCH | FF_SWISS;
  LOGFONTW gb2312 = LogFont(u"WenQuanYi Micro Hei", -16, FW_BOLD, true);
  gb2312.lfCharSet = GB2312_CHARSET;
  const Row rows[] = {
      {"DejaVu Sans -16", LogFont(u"DejaVu Sans", -16), 19, 15, 4, 3, 0, 8, 30, 400, 0, kSwissVariable, 0, 0x20},
      {"DejaVu Sans +16", LogFont(u"DejaVu Sans", 16), 16, 13, 3, 2, 0, 7, 26, 400, 0, kSwissVariable, 0, 0x20},
      {"lfHeight 0 is a cell of 16", LogFont(u"DejaVu Sans", 0), 16, 13, 3, 2, 0, 7, 26, 400, 0, kSwissVariable,
       0, 0x20},
      {"FreeSans -20", LogFont(u"FreeSans", -20), 24, 18, 6, 4, 0, 13, 45, 400, 0, kSwissVariable, 0, 0x20},
      {"FreeSans +20", LogFont(u"FreeSans", 20), 20, 15, 5, 3, 0, 11, 38, 400, 0, kSwissVariable, 0, 0x20},
      // Synthesised bold and italic report the asked-for weight and slant; the
      // face covers GB 2312, so that character set is kept.
      {"WenQuanYi bold italic -16, GB 2312", gb2312, 19, 15, 4, 3, 0, 11, 19, 700, 1, kSwissVariable,
       GB2312_CHARSET, 0x20},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    OwnedFont font = MakeFont(row.logfont);
    OwnedDC dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(font && dc);
    HGDIOBJ initial = SelectObject(dc.get(), font.get());
    TEXTMETRICW tm{};
    EXPECT_EQ(GetTextMetricsW(dc.get(), &tm), 1);
    SelectObject(dc.get(), initial);
    EXPECT_EQ(tm.tmHeight, row.height);
    EXPECT_EQ(tm.tmAscent, row.ascent);
    EXPECT_EQ(tm.tmDescent, row.descent);
    EXPECT_EQ(tm.tmInternalLeading, row.internal);
    EXPECT_EQ(tm.tmExternalLeading, row.external);
    EXPECT_EQ(tm.tmAveCharWidth, row.average);
    EXPECT_EQ(tm.tmMaxCharWidth, row.maximum);
    EXPECT_EQ(tm.tmWeight, row.weight);
    EXPECT_EQ(tm.tmItalic, row.italic);
    EXPECT_EQ(tm.tmUnderlined, 0);
    EXPECT_EQ(tm.tmStruckOut, 0);
    EXPECT_EQ(tm.tmPitchAndFamily, row.pitchAndFamily);
    EXPECT_EQ(tm.tmCharSet, row.charSet);
    EXPECT_EQ(tm.tmFirstChar, 0x20);
    EXPECT_EQ(tm.tmLastChar, 0xFFFF);
    EXPECT_EQ(tm.tmBreakChar, row.breakChar);
    EXPECT_EQ(tm.tmOverhang, 0);
    EXPECT_EQ(tm.tmDigitizedAspectX, 96);
    EXPECT_EQ(tm.tmDigitizedAspectY, 96);
  }
}

// DejaVu Sans: post underlinePosition -40, underlineThickness 90; OS/2
// yStrikeoutPosition 530, yStrikeoutSize 102.
//   -16 (scale 16/2048): underline top round(0.31) = 0, thickness round(0.70) = 1;
//     strike-out top -round(4.14) = -4, thickness round(0.80) = 1.
//   -64 (scale 64/2048): underline top round(1.25) = 1, thickness round(2.81) = 3;
//     strike-out top -round(16.56) = -17, thickness round(3.19) = 3.
TEST(GdiFont, UnderlineAndStrikeOutAreRecordedWithTheirPlacement) {
  struct Row {
    LONG height;
    int underlineTop, underlineThickness, strikeoutTop, strikeoutThickness;
  };
  const Row rows[] = {{-16, 0, 1, -4, 1}, {-64, 1, 3, -17, 3}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.height);
    LOGFONTW logfont = LogFont(u"DejaVu Sans", row.height);
    logfont.lfUnderline = 1;
    logfont.lfStrikeOut = 1;
    OwnedFont font = MakeFont(logfont);
    ASSERT_TRUE(font);
    const zivoda::gdi::Font* made = zivoda::gdi::FindFont(font.get());
    EXPECT_EQ(made->metrics.tm.tmUnderlined, 1);
    EXPECT_EQ(made->metrics.tm.tmStruckOut, 1);
    EXPECT_EQ(made->metrics.underline.top, row.underlineTop);
    EXPECT_EQ(made->metrics.underline.thickness, row.underlineThickness);
    EXPECT_EQ(made->metrics.strikeout.top, row.strikeoutTop);
    EXPECT_EQ(made->metrics.strikeout.thickness, row.strikeoutThickness);
  }
}

// The scale and rounding on made-up tables, where real fonts give no case.
TEST(GdiTextMetrics, ScaleAndRoundingOnGivenTables) {
  zivoda::gdi::FontUnits tahoma;  // Tahoma: unitsPerEm 2048, usWinAscent 2049, usWinDescent 423
  tahoma.unitsPerEm = 2048;
  tahoma.winAscent = 2049;
  tahoma.winDescent = 423;
  tahoma.hheaAscender = 2049;
  tahoma.hheaDescender = -423;
  zivoda::gdi::FontUnits halves;  // every value lands on a half pixel at lfHeight -2
  halves.unitsPerEm = 1000;
  halves.winAscent = 750;
  halves.winDescent = 250;
  halves.hheaAscender = 750;
  halves.hheaDescender = -250;
  halves.avgCharWidth = 250;
  zivoda::gdi::FontUnits gap = halves;  // hhea cell 800 + line gap 300 vs a Windows cell of 1000
  gap.hheaAscender = 600;
  gap.hheaDescender = -200;
  gap.hheaLineGap = 300;
  zivoda::gdi::FontUnits dejavu;
  dejavu.unitsPerEm = 2048;
  dejavu.winAscent = 1901;
  dejavu.winDescent = 483;
  dejavu.hheaAscender = 1901;
  dejavu.hheaDescender = -483;

  struct Row {
    std::string name;
    const zivoda::gdi::FontUnits& units;
    LONG lfHeight;
    LONG height, ascent, descent, external, average;
  };
  const Row rows[] = {
      // Line heights recorded on Windows for Tahoma at these sizes: 10 to 14.
      {"Tahoma -8", tahoma, -8, 10, 8, 2, 0, 0},
      {"Tahoma -9", tahoma, -9, 11, 9, 2, 0, 0},
      {"Tahoma -10", tahoma, -10, 12, 10, 2, 0, 0},
      {"Tahoma -11", tahoma, -11, 13, 11, 2, 0, 0},
      {"Tahoma -12", tahoma, -12, 14, 12, 2, 0, 0},
      // 1.5 and 0.5 round away from zero.
      {"halves -2", halves, -2, 3, 2, 1, 0, 1},
      // External leading = 300 - (1000 - 800) = 100 units: 1 px at em 10, 2 at 20.
      {"line gap -10", gap, -10, 11, 8, 3, 1, 3},
      {"line gap -20", gap, -20, 20, 15, 5, 2, 5},
      // Heights beyond kMaxPixelHeight are cut to it, never overflow.
      {"lfHeight INT_MIN", dejavu, INT_MIN, 15208 + 3864, 15208, 3864, 0, 0},
      // Cell 16384: ascent round(13064.59) = 13065, descent round(3319.41) = 3319.
      {"lfHeight INT_MAX", dejavu, INT_MAX, 16384, 13065, 3319, 0, 0},
      {"lfHeight +1", dejavu, 1, 1, 1, 0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LOGFONTW logfont{};
    logfont.lfHeight = row.lfHeight;
    const zivoda::gdi::RealizedMetrics metrics = zivoda::gdi::RealizeMetrics(row.units, logfont, {});
    EXPECT_EQ(metrics.tm.tmHeight, row.height);
    EXPECT_EQ(metrics.tm.tmAscent, row.ascent);
    EXPECT_EQ(metrics.tm.tmDescent, row.descent);
    EXPECT_EQ(metrics.tm.tmExternalLeading, row.external);
    EXPECT_EQ(metrics.tm.tmAveCharWidth, row.average);
    EXPECT_GE(metrics.emPixels, 1);
  }
}

TEST(GdiFont, FontsOfOneFaceShareItAndTheCacheStaysBounded) {
  OwnedFont small = MakeFont(LogFont(u"DejaVu Sans", -10));
  OwnedFont large = MakeFont(LogFont(u"DejaVu Sans", 40));
  ASSERT_TRUE(small && large);
  EXPECT_EQ(zivoda::gdi::FindFont(small.get())->face, zivoda::gdi::FindFont(large.get())->face);

  // More distinct faces than the cache holds, all alive at once.
  const char16_t* faces[] = {u"DejaVu Sans",  u"DejaVu Serif", u"DejaVu Sans Mono",    u"FreeSans",
                             u"FreeSerif",    u"FreeMono",     u"WenQuanYi Micro Hei", u"WenQuanYi Micro Hei Mono",
                             u"DejaVu Sans Condensed"};
  std::vector<OwnedFont> fonts;
  for (const char16_t* face : faces) {
    for (const bool italic : {false, true}) fonts.push_back(MakeFont(LogFont(face, -12, FW_NORMAL, italic)));
  }
  EXPECT_LE(zivoda::gdi::CachedFontFaces(), zivoda::gdi::kFontFaceCacheCapacity);
  OwnedDC dc(CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  for (const OwnedFont& font : fonts) {
    ASSERT_TRUE(font);
    EXPECT_FALSE(zivoda::gdi::FindFont(font.get())->face->FamilyName().empty());
    HGDIOBJ initial = SelectObject(dc.get(), font.get());
    TEXTMETRICW tm{};
    EXPECT_EQ(GetTextMetricsW(dc.get(), &tm), 1);
    EXPECT_GE(tm.tmHeight, 12);
    SelectObject(dc.get(), initial);
  }
}

}  // namespace
