// vxDrawText end to end onto a real canvas: the order of the calls into
// vaRodurod as its call log shows them, the visible area (clip ∩ box ∩ text box)
// that sizes the texture, what reaches the canvas, and the early exits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "render/rect.hpp"
#include "support/call_log.hpp"
#include "support/canvas_object.hpp"
#include "vaRodurod.h"
#include "ziVodaRerodo.h"

namespace {

using namespace zivoda;

using test::CanvasObject;

// The smallest rectangle holding every pixel of canvas that differs from before
// ((0, 0, 0, 0) when none does).
Rect Touched(const CanvasObject& canvas, const std::vector<uint32_t>& before) {
  int32_t w = 0, h = 0;
  GetCanvasSize(canvas.handle, &w, &h);
  const auto after = canvas.Pixels();
  Rect r{w, h, 0, 0};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (after[static_cast<size_t>(y) * w + x] != before[static_cast<size_t>(y) * w + x]) {
        r.left = std::min(r.left, x);
        r.top = std::min(r.top, y);
        r.right = std::max(r.right, x + 1);
        r.bottom = std::max(r.bottom, y + 1);
      }
  return r.right == 0 ? Rect{0, 0, 0, 0} : r;
}

std::string Str(const Rect& r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
         std::to_string(r.bottom);
}

bool Inside(const Rect& inner, const Rect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST(TextPipeline, CallsTheCanvasInOrderWithTheVisibleArea) {
  CanvasObject canvas(800, 600);
  ClearCanvas(canvas.handle, 0xFF000000);
  const Rect clip{200, 0, 800, 600};
  SetCanvasClip(canvas.handle, &clip);
  const Rect box{100, 100, 300, 150};
  const uint32_t format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  const char* text = "The quick brown fox jumps";
  Rect textBox = box;
  vxCalcTextBox(&textBox, text, format, "");
  Rect visible;
  ASSERT_TRUE(Intersect(visible, clip, box));
  ASSERT_TRUE(Intersect(visible, visible, textBox)) << Str(textBox);
  ASSERT_LT(textBox.left, visible.left);  // the text starts left of the clip

  const auto before = canvas.Pixels();
  Rect callerBox = box;
  test::CallLog log;
  EXPECT_EQ(vxDrawText(canvas.handle, &callerBox, text, format, 0xFFFFFFFF, ""), 1);
  EXPECT_EQ(Str(callerBox), Str(box));  // read only

  const auto calls = log.lines();
  ASSERT_EQ(calls.size(), 8u) << log.Joined();
  const std::string tex = calls[1].substr(calls[1].rfind(' ') + 1);
  const std::string c = std::to_string(canvas.handle);
  const std::vector<std::string> expected = {
      "GetCanvasClip " + c,
      "CreateTexture " + std::to_string(Width(visible)) + " " + std::to_string(Height(visible)) + " -> " + tex,
      "LockTextureBits " + tex + " 0 -> 1",
      "UnlockTextureBits " + tex + " 0",
      "SetTextureFilter " + tex + " 0 0 0 1",
      "ShuffleTexture " + tex + " 6",
      "DrawModulation " + c + " " + std::to_string(visible.left) + " " + std::to_string(visible.top) + " " + tex +
          " ffffffff",
      "DeleteTexture " + tex,
  };
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(calls[i], expected[i]) << log.Joined();

  // Something was drawn, and only inside the visible area.
  const Rect touched = Touched(canvas, before);
  EXPECT_GT(Width(touched), 0);
  EXPECT_TRUE(Inside(touched, visible)) << Str(touched) << " not in " << Str(visible);
}

TEST(TextPipeline, NothingVisibleMeansNoTexture) {
  CanvasObject canvas(100, 100);
  struct Case {
    std::string what;
    CanvasHandle canvas;
    Rect box;
    const char* text;
    uint32_t format;
  } const cases[] = {
      {"a canvas that leaves the clip alone", 0xDEADBEEF, {0, 0, 50, 50}, "x", 0},
      {"a box sharing only an edge", canvas.handle, {100, 0, 150, 50}, "x", 0},
      {"an inverted box", canvas.handle, {50, 50, 10, 10}, "x", 0},
      {"an empty box", canvas.handle, {10, 10, 10, 60}, "x", 0},
      {"a box at the range's ends", canvas.handle, {INT32_MAX - 1, INT32_MIN, INT32_MAX, INT32_MIN + 1}, "x", 0},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    const auto before = canvas.Pixels();
    test::CallLog log;
    EXPECT_EQ(vxDrawText(k.canvas, &k.box, k.text, k.format, 0xFFFF0000, ""), 1);
    EXPECT_TRUE(log.Only({"CreateTexture", "DrawModulation"}).empty()) << log.Joined();
    EXPECT_EQ(Str(Touched(canvas, before)), "0 0 0 0");
  }
}

TEST(TextPipeline, AnEmptyTextChangesNoPixel) {
  // DrawTextW leaves the rectangle of a zero-length text as it was, so the whole
  // box is the text box: a blank texture may be made, but no pixel changes.
  CanvasObject canvas(100, 100);
  const auto before = canvas.Pixels();
  const Rect box{0, 0, 50, 50};
  EXPECT_EQ(vxDrawText(canvas.handle, &box, "", 0, 0xFFFF0000, ""), 1);
  EXPECT_EQ(Str(Touched(canvas, before)), "0 0 0 0");
}

TEST(TextPipeline, CalcRectInTheFormatCompositesABlackTexture) {
  CanvasObject canvas(200, 100);
  ClearCanvas(canvas.handle, 0xFF204060);
  const auto before = canvas.Pixels();
  const Rect box{0, 0, 200, 100};
  test::CallLog log;
  vxDrawText(canvas.handle, &box, "Hello", DT_CALCRECT, 0xFFFFFFFF, "");
  EXPECT_EQ(log.Only({"DrawModulation"}).size(), 1u) << log.Joined();
  EXPECT_EQ(Str(Touched(canvas, before)), "0 0 0 0");  // black: no coverage
}

TEST(TextPipeline, TextLargerThanTheBoxStaysInsideIt) {
  CanvasObject canvas(300, 300);
  const Rect box{50, 50, 80, 60};
  const auto before = canvas.Pixels();
  test::CallLog log;
  vxDrawText(canvas.handle, &box, "A long line of text that does not fit", DT_CENTER | DT_VCENTER | DT_SINGLELINE,
             0xFF00FF00, "");
  const auto create = log.Only({"CreateTexture"});
  ASSERT_EQ(create.size(), 1u) << log.Joined();
  EXPECT_EQ(create[0].rfind("CreateTexture 30 ", 0), 0u) << create[0];  // the box's full width
  EXPECT_TRUE(Inside(Touched(canvas, before), box));
}

TEST(TextPipeline, ModifyStringFlagsStayInsideTheLibrarysBuffer) {
  // With DT_MODIFYSTRING and an ellipsis, DrawTextW writes the shortened text
  // back, up to four units past the text; under AddressSanitizer an overrun of the
  // library's own copy of the text would fail here.
  CanvasObject canvas(200, 50);
  for (const uint32_t ellipsis : {uint32_t{DT_END_ELLIPSIS}, uint32_t{DT_PATH_ELLIPSIS}}) {
    for (const char* text : {"abcdefghijklmnopqrstuvwxyz", "C:\\dir\\sub\\file.txt", "W", "iiii"}) {
      SCOPED_TRACE(text);
      const uint32_t format = DT_SINGLELINE | DT_MODIFYSTRING | ellipsis;
      Rect box{0, 0, 12, 20}, whole{0, 0, 12, 20};
      EXPECT_EQ(vxCalcTextBox(&box, text, format, ""), 1);
      vxCalcTextBox(&whole, text, DT_SINGLELINE, "");
      EXPECT_LE(Width(box), Width(whole));  // measured as shortened (or whole, when it fits)
      const Rect drawBox{0, 0, 12, 20};
      EXPECT_EQ(vxDrawText(canvas.handle, &drawBox, text, format, 0xFFFFFFFF, ""), 1);
    }
  }
}

TEST(TextPipeline, NullArgumentsDrawNothing) {
  CanvasObject canvas(50, 50);
  const Rect box{0, 0, 50, 50};
  test::CallLog log;
  EXPECT_EQ(vxDrawText(canvas.handle, nullptr, "x", 0, 0xFFFFFFFF, ""), 1);
  EXPECT_EQ(vxDrawText(canvas.handle, &box, nullptr, 0, 0xFFFFFFFF, ""), 1);
  EXPECT_EQ(vxDrawText(canvas.handle, &box, "x", 0, 0xFFFFFFFF, nullptr), 1);
  EXPECT_TRUE(log.lines().empty()) << log.Joined();
}

TEST(TextPipeline, ManyDrawsLeaveNothingBehind) {
  CanvasObject canvas(320, 200);
  const Rect box{0, 0, 320, 200};
  for (int i = 0; i < 200; ++i) {
    const std::string text = "Line " + std::to_string(i) + " of many, with\twords";
    vxDrawText(canvas.handle, &box, text.c_str(), DT_WORDBREAK | DT_EXPANDTABS, 0x80FFFFFF, "");
  }
  // The live-object listener checks textures, locks, bitmaps and selections.
  SUCCEED();
}

}  // namespace
