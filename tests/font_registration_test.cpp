// Registering fonts from markup: which children count, attribute defaults, the
// order of attribute reads, and replacement across calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fonts/font_registry.hpp"
#include "platform/gdi_debug.h"
#include "support/call_log.hpp"
#include "ziVodaRerodo.h"
#include "ziVodaRerodo/documents.hpp"

namespace {

using namespace zivoda;

class FontRegistration : public ::testing::Test {
 protected:
  void TearDown() override { GetFontRegistry().ClearFonts(); }
  // Registers the children of the root of markup; returns the count.
  static int32_t Register(const std::string& markup) {
    const KespTag root = LoadKespFromString(markup.c_str());
    EXPECT_NE(root, 0u) << markup;
    const int32_t n = vxRegisterFont(root);
    vxReleaseKespTree(root);
    return n;
  }
  static const FontInfo* Font(const char* id) { return GetFontRegistry().Find(id); }
};

TEST_F(FontRegistration, WhichChildrenCount) {
  struct Case {
    std::string markup;
    int32_t count;
    std::vector<std::string> ids;  // registered afterwards
  } const cases[] = {
      {"<R/>", 0, {}},
      {"<Font id=\"self\"/>", 0, {}},  // the node itself is not examined
      {"<R><font id=\"a\"/><FONT id=\"b\"/><Fonts id=\"c\"/><G><Font id=\"d\"/></G></R>", 0, {}},
      {"<R><Font id=\"outer\"><Font id=\"inner\"/></Font></R>", 1, {"outer"}},
      {"<R><Font face=\"x\"/><Font id=\"after\"/></R>", 1, {"after"}},  // no id: skipped
      {"<R><Font id=\"\"/><Font id=\"Id\"/><Font id=\"id\"/></R>", 3, {"", "Id", "id"}},
      {"<R><Font id=\"dup\" size=\"10\"/><Font id=\"dup\" size=\"20\"/></R>", 2, {"dup"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.markup);
    EXPECT_EQ(Register(c.markup), c.count);
    EXPECT_EQ(GetFontRegistry().size(), c.ids.size());
    for (const auto& id : c.ids) EXPECT_NE(Font(id.c_str()), nullptr) << id;
    GetFontRegistry().ClearFonts();
  }
}

TEST_F(FontRegistration, NullNodeStillCreatesTheRegistry) {
  EXPECT_EQ(vxRegisterFont(0), 0);
  EXPECT_EQ(GetFontRegistry().size(), 0u);
}

TEST_F(FontRegistration, Attributes) {
  ASSERT_EQ(Register("<R><Font id=\"plain\"/>"
                     "<Font id=\"full\" face=\"DejaVu Serif\" bold=\"true\" italic=\"true\" underline=\"true\""
                     " strike=\"true\" size=\"12pt\"/>"
                     "<Font id=\"odd\" bold=\"True\" italic=\"1\" size=\"abc\"/>"
                     "<Font id=\"neg\" size=\"-4\" face=\"\"/></R>"),
            4);
  struct Expect {
    const char* id;
    std::string face;
    bool bold, italic, underline, strike;
    int32_t size;
  } const expected[] = {
      {"plain", "", false, false, false, false, 9},
      {"full", "DejaVu Serif", true, true, true, true, 12},
      {"odd", "", false, false, false, false, 0},
      {"neg", "", false, false, false, false, -4},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.id);
    const FontInfo* f = Font(e.id);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->face(), e.face);
    EXPECT_EQ(f->bold(), e.bold);
    EXPECT_EQ(f->italic(), e.italic);
    EXPECT_EQ(f->underline(), e.underline);
    EXPECT_EQ(f->strike(), e.strike);
    EXPECT_EQ(f->size(), e.size);
  }
}

TEST_F(FontRegistration, ReadsEachFontTagInOrderAndMakesNoPlatformFont) {
  const KespTag root = LoadKespFromString("<R><Font id=\"a\"/><Other/></R>");
  const int fontsBefore = GdiLiveFonts();
  test::CallLog log;
  EXPECT_EQ(vxRegisterFont(root), 1);
  EXPECT_EQ(GdiLiveFonts(), fontsBefore);  // descriptions only: fonts come with the first lookup
  std::vector<std::string> reads;
  for (const auto& line : log.Only({"vxGetKespTagAttr", "vxGetKespTagSubTagCount", "vxGetKespTagName"})) {
    const auto first = line.substr(0, line.find(' '));
    reads.push_back(first == "vxGetKespTagAttr" ? line.substr(line.rfind(' ') + 1) : first);
  }
  const std::vector<std::string> expected = {"vxGetKespTagSubTagCount", "vxGetKespTagName", "id", "face", "bold",
                                             "italic", "underline", "strike", "size", "vxGetKespTagName"};
  EXPECT_EQ(reads, expected) << log.Joined();
  vxReleaseKespTree(root);
}

TEST_F(FontRegistration, ALaterCallReplacesTheDescription) {
  Register("<R><Font id=\"f\" size=\"10\"/></R>");
  ASSERT_NE(GetFontRegistry().FindFont("f"), nullptr);
  EXPECT_EQ(Register("<R><Font id=\"f\" size=\"40\" bold=\"true\"/></R>"), 1);
  EXPECT_EQ(Font("f")->size(), 40);
  EXPECT_TRUE(Font("f")->bold());
}

}  // namespace
