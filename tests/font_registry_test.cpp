// Font descriptions, point sizes to heights, and the registry by id: exact,
// case-sensitive lookup, replacement that deletes the old platform font, and
// refusal of null arguments.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "fonts/font_registry.hpp"
#include "platform/gdi_debug.h"
#include "ziVodaRerodo/documents.hpp"

namespace {

using namespace zivoda;

class FontRegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { registry.ClearFonts(); }
  // A description read from one Font tag.
  static std::unique_ptr<FontInfo> Info(const std::string& markup) {
    const KespTag t = LoadKespFromString(markup.c_str());
    auto info = std::make_unique<FontInfo>(t);
    vxReleaseKespTree(t);
    return info;
  }
  FontRegistry registry;
};

TEST(FontInfo, PointSizeToHeight) {
  const std::pair<int32_t, int32_t> cases[] = {
      {8, -11}, {9, -12}, {10, -13}, {11, -15}, {12, -16}, {14, -19}, {16, -22}, {18, -25}, {24, -33},
      {36, -50}, {72, -100}, {1, -1}, {0, 0}, {-12, -16},
      // Beyond about 21 million points the height clamps instead of overflowing.
      {21474836, -29826161}, {INT_MAX, INT_MIN}, {INT_MIN, INT_MIN}, {-21474837, -29826162},
  };
  for (const auto& [size, height] : cases) {
    SCOPED_TRACE("size " + std::to_string(size));
    EXPECT_EQ(FontInfo::PointSizeToHeight(size), height);
  }
}

TEST(FontInfo, DefaultsAndDescription) {
  const FontInfo& d = DefaultFont();
  EXPECT_FALSE(d.bold() || d.italic() || d.underline() || d.strike());
  EXPECT_EQ(d.size(), 9);
  const LOGFONTW lf = d.Describe();
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_EQ(lf.lfWeight, FW_NORMAL);
  EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(lf.lfFaceName[0], u'\0');
}

TEST_F(FontRegistryTest, FaceNameIsCutTo31Units) {
  const std::string forty(40, 'F');
  LOGFONTW lf = Info("<Font face=\"" + forty + "\" bold=\"true\" italic=\"true\" underline=\"true\" strike=\"true\"/>")
                    ->Describe();
  EXPECT_EQ(std::u16string(lf.lfFaceName), std::u16string(31, u'F'));
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfItalic + lf.lfUnderline + lf.lfStrikeOut, 3);
  // A surrogate pair counts as two units: the cut may leave its first half.
  lf = Info("<Font face=\"" + std::string(30, 'a') + "\xF0\x9F\x98\x80\"/>")->Describe();
  EXPECT_EQ(lf.lfFaceName[29], u'a');
  EXPECT_EQ(lf.lfFaceName[30], char16_t{0xD83D});
  EXPECT_EQ(lf.lfFaceName[31], u'\0');
}

TEST_F(FontRegistryTest, LookupIsExact) {
  EXPECT_EQ(registry.FindFont("title"), nullptr);  // empty registry
  ASSERT_EQ(registry.SetFont("title", Info("<Font/>")), 1);
  ASSERT_EQ(registry.SetFont("", Info("<Font size=\"20\"/>")), 1);
  EXPECT_NE(registry.FindFont("title"), nullptr);
  EXPECT_EQ(registry.FindFont("Title"), nullptr);
  EXPECT_EQ(registry.FindFont("titl"), nullptr);
  EXPECT_EQ(registry.FindFont(nullptr), nullptr);
  EXPECT_NE(registry.FindFont(""), nullptr);  // the empty id is an id
  EXPECT_EQ(registry.Find("")->size(), 20);
  // The platform font is made once and then reused.
  EXPECT_EQ(registry.FindFont("title"), registry.FindFont("title"));
}

TEST_F(FontRegistryTest, ReplacingDeletesTheOldPlatformFont) {
  registry.SetFont("f", Info("<Font size=\"10\"/>"));
  const int before = GdiLiveFonts();
  HFONT first = registry.FindFont("f");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GdiLiveFonts(), before + 1);
  registry.SetFont("f", Info("<Font size=\"30\"/>"));
  EXPECT_EQ(GdiLiveFonts(), before);  // deleted at once
  HFONT second = registry.FindFont("f");
  ASSERT_NE(second, nullptr);
  TEXTMETRICW tm{};
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, second);
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  DeleteDC(dc);
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 41);  // 30 pt: em height 30 * 100 / 72
}

TEST_F(FontRegistryTest, NullArgumentsAreRefused) {
  auto info = Info("<Font/>");
  EXPECT_EQ(registry.SetFont(nullptr, std::move(info)), 0);
  EXPECT_NE(info, nullptr);  // the caller keeps it
  EXPECT_EQ(registry.SetFont("x", nullptr), 0);
  EXPECT_EQ(registry.size(), 0u);
}

}  // namespace
