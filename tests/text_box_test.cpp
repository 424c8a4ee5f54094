// Measuring text and placing the measured box in the caller's box: the alignment
// flags (centring wins), truncation toward zero, multi-line blocks, and a result
// that does not depend on a moved viewport origin.
#include <gtest/gtest.h>

#include <string>

#include "fonts/font_registry.hpp"
#include "render/rect.hpp"
#include "render/render_context.hpp"
#include "ziVodaRerodo.h"
#include "ziVodaRerodo/documents.hpp"

namespace {

using namespace zivoda;

std::string Str(const Rect& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + ")";
}

// The size DrawTextW measures for text in the render context's current font.
Rect Measured(const std::u16string& text, uint32_t format = 0) {
  Rect m{0, 0, 100, 50};
  DrawTextW(GetRenderContext().dc(), text.data(), static_cast<int>(text.size()), &m, format | DT_CALCRECT);
  return m;
}

TEST(TextBox, AlignmentFlags) {
  const std::u16string text = u"Hello";
  const Rect m = Measured(text);
  const int w = Width(m), h = Height(m);
  ASSERT_GT(w, 0);
  ASSERT_GT(h, 0);
  const Rect box{0, 0, 100, 50};
  struct Case {
    uint32_t format;
    int left, top;
  } const cases[] = {
      {0, 0, 0},
      {DT_RIGHT, 100 - w, 0},
      {DT_CENTER, (100 - w) / 2, 0},
      {DT_BOTTOM, 0, 50 - h},
      {DT_VCENTER, 0, (50 - h) / 2},
      {DT_RIGHT | DT_CENTER, (100 - w) / 2, 0},  // centring wins
      {DT_BOTTOM | DT_VCENTER, 0, (50 - h) / 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("format " + std::to_string(c.format));
    const Rect r = LayoutTextBox(GetRenderContext().dc(), box, text.data(), static_cast<int32_t>(text.size()),
                                 c.format);
    EXPECT_EQ(r.left, c.left) << Str(r);
    EXPECT_EQ(r.top, c.top) << Str(r);
    EXPECT_EQ(Width(r), w) << Str(r);
    EXPECT_EQ(Height(r), h) << Str(r);
  }
  // With DT_SINGLELINE, DrawTextW itself centres the line while measuring, so the
  // measured box reaches from the top to the centred line's bottom, and the
  // library then centres that taller box.
  const Rect r = LayoutTextBox(GetRenderContext().dc(), box, text.data(), static_cast<int32_t>(text.size()),
                               DT_VCENTER | DT_SINGLELINE);
  const int tall = (50 - h) / 2 + h;
  EXPECT_EQ(Height(r), tall) << Str(r);
  EXPECT_EQ(r.top, (50 - tall) / 2) << Str(r);
}

TEST(TextBox, TextWiderThanTheBoxCentresTowardZero) {
  const std::u16string text = u"WWWWWW";
  const int w = Width(Measured(text, DT_SINGLELINE));
  const Rect box{10, 0, 20, 10};
  ASSERT_GT(w, 10);
  ASSERT_EQ((10 - w) % 2 != 0, w % 2 != 0);
  const int n = static_cast<int32_t>(text.size());
  const Rect centred = LayoutTextBox(GetRenderContext().dc(), box, text.data(), n, DT_CENTER | DT_SINGLELINE);
  // (10 - w) / 2 truncates toward zero: for w = 15 that is -2, not -3.
  EXPECT_EQ(centred.left, 10 + (10 - w) / 2) << Str(centred);
  EXPECT_EQ(centred.right, centred.left + w);
  const Rect right = LayoutTextBox(GetRenderContext().dc(), box, text.data(), n, DT_RIGHT | DT_SINGLELINE);
  EXPECT_EQ(right.left, 20 - w);
  EXPECT_EQ(right.right, 20);
}

TEST(TextBox, VerticalCentringMovesTheWholeBlockOfLines) {
  const std::u16string text = u"one\r\ntwo\r\nthree";
  const Rect m = Measured(text);
  const Rect one = Measured(u"one");
  ASSERT_EQ(Height(m), 3 * Height(one));
  const Rect box{0, 0, 200, 200};
  const Rect r = LayoutTextBox(GetRenderContext().dc(), box, text.data(), static_cast<int32_t>(text.size()),
                               DT_VCENTER);
  EXPECT_EQ(r.top, (200 - Height(m)) / 2) << Str(r);
}

TEST(TextBox, CalcTextBoxExport) {
  Rect box{0, 0, 100, 50};
  EXPECT_EQ(vxCalcTextBox(&box, "Hello", DT_CENTER, "no such font"), 1);
  const Rect m = Measured(u"Hello");
  EXPECT_EQ(box.left, (100 - Width(m)) / 2) << Str(box);
  EXPECT_EQ(Width(box), Width(m));

  // Null arguments are refused; the box stays as it was.
  Rect untouched{1, 2, 3, 4};
  EXPECT_EQ(vxCalcTextBox(nullptr, "x", 0, "f"), 1);
  EXPECT_EQ(vxCalcTextBox(&untouched, nullptr, 0, "f"), 1);
  EXPECT_EQ(vxCalcTextBox(&untouched, "x", 0, nullptr), 1);
  EXPECT_EQ(Str(untouched), "(1, 2, 3, 4)");

  // A moved viewport origin changes nothing that is measured.
  Rect before{10, 10, 210, 110};
  vxCalcTextBox(&before, "Settings", DT_RIGHT | DT_BOTTOM, "");
  SetViewportOrgEx(GetRenderContext().dc(), -37, -91, nullptr);
  Rect after{10, 10, 210, 110};
  vxCalcTextBox(&after, "Settings", DT_RIGHT | DT_BOTTOM, "");
  SetViewportOrgEx(GetRenderContext().dc(), 0, 0, nullptr);
  EXPECT_EQ(Str(after), Str(before));
}

TEST(TextBox, RegisteredFontsAreUsedAndUnknownIdsFallBackToTheInitialFont) {
  const KespTag root = LoadKespFromString("<R><Font id=\"big\" size=\"36\"/><Font id=\"x\" face=\"\"/></R>");
  ASSERT_EQ(vxRegisterFont(root), 2);
  vxReleaseKespTree(root);
  Rect big{0, 0, 500, 500}, unknown{0, 0, 500, 500}, initial{0, 0, 500, 500};
  vxCalcTextBox(&big, "Hello", 0, "big");
  vxCalcTextBox(&unknown, "Hello", 0, "BIG");  // ids are case-sensitive
  const Rect m = Measured(u"Hello");
  initial = m;
  EXPECT_EQ(Str(unknown), Str(initial));
  EXPECT_GT(Height(big), 2 * Height(initial)) << Str(big);
  EXPECT_GT(Width(big), 2 * Width(initial)) << Str(big);
  GetFontRegistry().ClearFonts();
}

}  // namespace
