// DrawTextW drawing: PNG goldens rendered by an independent FreeType program
// (compared with a small tolerance; on a mismatch the actual and a difference
// image are written to the working directory), and the rules every drawing
// follows whatever the glyphs: clipping, viewport origin, colours, background
// modes, decorations, & prefixes, fallback, shaping, bidi order and the caches.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/gdi_bitmap.h"
#include "platform/gdi_font.h"
#include "platform/glyph_cache.h"
#include "platform/layout_cache.h"
#include "platform/text_layout.h"
#include "platform/text_shaper.h"

namespace {

using zivoda::gdi::FindBitmap;
using zivoda::gdi::FindFont;

// A memory DC with a 32-bit bitmap of width x height filled with background and
// a font selected; everything released at the end.
class Canvas {
 public:
  Canvas(int width, int height, const std::u16string& face, LONG lfHeight, uint32_t background = 0,
         LONG weight = FW_NORMAL, bool underline = false, bool strike = false)
      : dc_(CreateCompatibleDC(nullptr)) {
    LOGFONTW logfont{};
    logfont.lfHeight = lfHeight;
    logfont.lfWeight = weight;
    logfont.lfUnderline = underline ? 1 : 0;
    logfont.lfStrikeOut = strike ? 1 : 0;
    face.copy(logfont.lfFaceName, LF_FACESIZE - 1);
    font_ = CreateFontIndirectW(&logfont);
    HDC screen = GetDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    oldFont_ = SelectObject(dc_, font_);
    oldBitmap_ = SelectObject(dc_, bitmap_);
    SetTextColor(dc_, RGB(255, 255, 255));
    SetBkMode(dc_, TRANSPARENT);
    auto* b = FindBitmap(bitmap_);
    std::fill(b->pixels.get(), b->pixels.get() + static_cast<size_t>(width) * height, background);
  }
  ~Canvas() {
    SelectObject(dc_, oldBitmap_);
    SelectObject(dc_, oldFont_);
    DeleteObject(bitmap_);
    DeleteObject(font_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  HFONT font() const { return font_; }
  int Draw(const std::u16string& text, RECT rect, UINT flags) {
    return DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &rect, flags);
  }
  uint32_t At(int x, int y) const { return FindBitmap(bitmap_)->Row(y)[x]; }
  void Set(int x, int y, uint32_t pixel) { FindBitmap(bitmap_)->Row(y)[x] = pixel; }
  int Width() const { return FindBitmap(bitmap_)->width; }
  int Height() const { return FindBitmap(bitmap_)->height; }
  std::vector<uint32_t> Pixels() const {
    const auto* b = FindBitmap(bitmap_);
    return std::vector<uint32_t>(b->pixels.get(), b->pixels.get() + static_cast<size_t>(b->width) * b->height);
  }

 private:
  HDC dc_;
  HFONT font_;
  HBITMAP bitmap_;
  HGDIOBJ oldFont_, oldBitmap_;
};

struct Box {
  int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
  bool Empty() const { return left > right; }
};

// The bounding box of pixels that differ from background.
Box Ink(const Canvas& canvas, uint32_t background = 0) {
  Box box;
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      if (canvas.At(x, y) == background) continue;
      box.left = std::min(box.left, x);
      box.right = std::max(box.right, x + 1);
      box.top = std::min(box.top, y);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  return box;
}

// ---- PNG goldens ---------------------------------------------------------------------

std::vector<uint8_t> ReadGray(const std::string& path, int& width, int& height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return {};
  image.format = PNG_FORMAT_GRAY;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) return {};
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return pixels;
}

void WriteGray(const std::string& path, const std::vector<uint8_t>& pixels, int width, int height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_GRAY;
  png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr);
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, s.find_last_not_of(' ') - a + 1);
}

UINT ParseFlags(const std::string& names) {
  static const std::pair<const char*, UINT> kNames[] = {
      {"DT_LEFT", DT_LEFT},           {"DT_RIGHT", DT_RIGHT},       {"DT_CENTER", DT_CENTER},
      {"DT_WORDBREAK", DT_WORDBREAK}, {"DT_SINGLELINE", DT_SINGLELINE}, {"DT_VCENTER", DT_VCENTER}};
  UINT flags = 0;
  std::stringstream in(names);
  std::string name;
  while (in >> name) {
    const auto* found = std::find_if(std::begin(kNames), std::end(kNames), [&](const auto& p) { return name == p.first; });
    if (found == std::end(kNames)) {
      ADD_FAILURE() << "unknown flag " << name;
    } else {
      flags |= found->second;
    }
  }
  return flags;
}

TEST(DrawTextRender, MatchesGoldens) {
  std::ifstream index(ZIVODA_TEST_DATA "/draw_text/goldens.txt");
  ASSERT_TRUE(index.good());
  std::string line;
  int cases = 0;
  while (std::getline(index, line)) {
    if (Trim(line).empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream fields(line);
    std::string field;
    while (std::getline(fields, field, '|')) f.push_back(Trim(field));
    ASSERT_EQ(f.size(), 5u) << line;
    SCOPED_TRACE(line);
    ++cases;
    int width = 0, height = 0;
    const std::vector<uint8_t> expected = ReadGray(std::string(ZIVODA_TEST_DATA "/draw_text/") + f[0], width, height);
    ASSERT_FALSE(expected.empty());
    const size_t colon = f[1].rfind(':');
    std::u16string face(f[1].begin(), f[1].begin() + static_cast<std::ptrdiff_t>(colon));
    Canvas canvas(width, height, face, std::stoi(f[1].substr(colon + 1)));
    RECT rect{};
    std::sscanf(f[3].c_str(), "%d,%d,%d,%d", &rect.left, &rect.top, &rect.right, &rect.bottom);
    canvas.Draw(std::u16string(f[4].begin(), f[4].end()), rect, ParseFlags(f[2]));

    // White on black: the green channel is the grey level. Tolerance: hinting of
    // the same FreeType may differ by a few levels at edges.
    std::vector<uint8_t> actual(expected.size()), difference(expected.size());
    int bad = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const size_t i = static_cast<size_t>(y) * width + x;
        actual[i] = static_cast<uint8_t>((canvas.At(x, y) >> 8) & 0xFF);
        difference[i] = static_cast<uint8_t>(std::abs(int{actual[i]} - int{expected[i]}));
        if (difference[i] > 8) ++bad;
      }
    }
    EXPECT_EQ(bad, 0);
    if (bad != 0) {
      const std::string stem = std::filesystem::current_path() / ("draw_text_" + f[0].substr(0, f[0].size() - 4));
      WriteGray(stem + ".actual.png", actual, width, height);
      WriteGray(stem + ".difference.png", difference, width, height);
    }
  }
  EXPECT_EQ(cases, 4);
}

// ---- Rules of drawing ------------------------------------------------------------------

// DejaVu Sans Mono at -16: 10 px a character, tmAscent 15, tmHeight 19; the
// underline's top is round(40 * 16/2048) = 0 below the baseline (row 15), 1 px
// thick; the strike-out's top is round(530 * 16/2048) = 4 above it (row 11).
const std::u16string kMono = u"DejaVu Sans Mono";

// A clip edge at every column through dense ink: inside it each pixel is the
// unclipped one (the blend's last few pixels of a row included), outside it the
// background, over black (the white-over-black step) and over a colour.
TEST(DrawTextRender, ClippingAtEveryColumnKeepsThePixelsInside) {
  const std::u16string text = u"MWMWMWMWMW";
  for (uint32_t background : {0x00000000u, 0x00203040u}) {
    SCOPED_TRACE(background);
    Canvas whole(72, 20, kMono, -16, background);
    whole.Draw(text, RECT{0, 0, 72, 20}, DT_SINGLELINE | DT_NOCLIP);
    for (int right = 1; right <= 72; ++right) {
      Canvas cut(72, 20, kMono, -16, background);
      cut.Draw(text, RECT{0, 0, right, 20}, DT_SINGLELINE);
      for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 72; ++x) {
          ASSERT_EQ(cut.At(x, y), x < right ? whole.At(x, y) : background) << "right " << right << ": " << x << "," << y;
        }
      }
    }
  }
}

TEST(DrawTextRender, ClipsToTheRectangleUnlessNoClip) {
  for (bool noClip : {false, true}) {
    SCOPED_TRACE(noClip ? "DT_NOCLIP" : "clipped");
    Canvas canvas(64, 32, kMono, -16);
    canvas.Draw(u"WWWWWWWW", RECT{10, 5, 40, 25}, DT_SINGLELINE | (noClip ? DT_NOCLIP : 0));
    const Box ink = Ink(canvas);
    ASSERT_FALSE(ink.Empty());
    if (noClip) {
      EXPECT_GT(ink.right, 40);  // 8 characters reach x = 90, cut only by the bitmap
    } else {
      EXPECT_GE(ink.left, 10);
      EXPECT_LE(ink.right, 40);
      EXPECT_GE(ink.top, 5);
      EXPECT_LE(ink.bottom, 25);
    }
  }
}

TEST(DrawTextRender, ViewportOriginShiftsTheImage) {
  Canvas shifted(64, 32, kMono, -16);
  SetViewportOrgEx(shifted.dc(), 7, 3, nullptr);
  shifted.Draw(u"Ag", RECT{0, 0, 50, 25}, 0);
  Canvas moved(64, 32, kMono, -16);
  moved.Draw(u"Ag", RECT{7, 3, 57, 28}, 0);
  EXPECT_EQ(shifted.Pixels(), moved.Pixels());
  // A negative origin shows the part of the text right of and below it.
  Canvas left(64, 32, kMono, -16);
  SetViewportOrgEx(left.dc(), -10, 0, nullptr);
  left.Draw(u"xA", RECT{0, 0, 60, 19}, 0);
  Canvas only(64, 32, kMono, -16);
  only.Draw(u"A", RECT{0, 0, 60, 19}, 0);
  EXPECT_EQ(left.Pixels(), only.Pixels());
}

TEST(DrawTextRender, BlendsTheTextColourOverTheBackground) {
  Canvas canvas(64, 24, kMono, -16, 0x00204060);
  SetTextColor(canvas.dc(), RGB(200, 0, 100));  // 0x00C80064 as a pixel
  canvas.Draw(u"Mm", RECT{0, 0, 64, 24}, 0);
  bool full = false;
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 64; ++x) {
      const uint32_t p = canvas.At(x, y);
      const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
      // Every pixel lies between the background and the text colour.
      EXPECT_TRUE(r >= 0x20 && r <= 200 && g <= 0x40 && b >= 0x60 && b <= 100) << x << "," << y;
      EXPECT_EQ(p >> 24, 0u);
      full = full || p == 0x00C80064;
    }
  }
  EXPECT_TRUE(full);

  // Exactly: each channel is (background * (255 - c) + colour * c + 127) / 255,
  // with c the coverage that red text over black shows.
  Canvas red(64, 24, kMono, -16, 0);
  SetTextColor(red.dc(), RGB(255, 0, 0));
  red.Draw(u"Mm", RECT{0, 0, 64, 24}, 0);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 64; ++x) {
      const uint32_t c = red.At(x, y) >> 16 & 0xFF;
      uint32_t expected = 0;
      for (int shift : {0, 8, 16}) {
        const uint32_t v = ((0x00204060u >> shift & 0xFF) * (255 - c) + (0x00C80064u >> shift & 0xFF) * c + 127) / 255;
        expected |= v << shift;
      }
      ASSERT_EQ(canvas.At(x, y), expected) << x << "," << y;
    }
  }
}


// White over black (how the library draws) has a path of its own; it must give
// what the general blend gives: red text over black shows the coverage in red,
// so white over black must show that value in every colour. A second line over
// a faint stripe mixes both paths within rows.
TEST(DrawTextRender, WhiteOverBlackMatchesTheGeneralBlend) {
  const std::u16string text = u"Mmwg fox & \u00C5ngstr\u00F6m jumps";
  Canvas red(220, 48, kMono, -16, 0);
  SetTextColor(red.dc(), RGB(255, 0, 0));
  red.Draw(text, RECT{0, 0, 220, 48}, 0);
  Canvas white(220, 48, kMono, -16, 0);
  white.Draw(text, RECT{0, 0, 220, 48}, 0);
  int partial = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 220; ++x) {
      const uint32_t coverage = red.At(x, y) >> 16 & 0xFF;
      ASSERT_EQ(white.At(x, y), coverage * 0x010101u) << x << "," << y;
      partial += coverage > 0 && coverage < 255 ? 1 : 0;
    }
  }
  EXPECT_GT(partial, 100);  // anti-aliased edges took the blend, not only solid runs

  Canvas striped(220, 48, kMono, -16, 0);
  for (int y = 0; y < 48; ++y) {
    for (int x = 37; x < 46; ++x) striped.Set(x, y, 0x00010203);
  }
  striped.Draw(text, RECT{0, 0, 220, 48}, 0);
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 220; ++x) {
      const uint32_t c = red.At(x, y) >> 16 & 0xFF;
      const uint32_t bg = x >= 37 && x < 46 ? 0x00010203 : 0;
      uint32_t expected = 0;
      for (int shift : {0, 8, 16}) {
        const uint32_t v = ((bg >> shift & 0xFF) * (255 - c) + 255 * c + 127) / 255;
        expected |= v << shift;
      }
      ASSERT_EQ(striped.At(x, y), expected) << x << "," << y;
    }
  }
}
TEST(DrawTextRender, OpaqueFillsEachLineBoxTransparentKeepsTheBackground) {
  for (int mode : {OPAQUE, TRANSPARENT}) {
    SCOPED_TRACE(mode == OPAQUE ? "OPAQUE" : "TRANSPARENT");
    Canvas canvas(64, 48, kMono, -16, 0x00000000);
    SetBkMode(canvas.dc(), mode);
    SetBkColor(canvas.dc(), RGB(0, 0, 255));  // 0x000000FF as a pixel
    SetTextColor(canvas.dc(), RGB(255, 0, 0));
    canvas.Draw(u"..\n...", RECT{0, 0, 64, 48}, 0);
    // Line boxes: (0, 0)-(20, 19) and (0, 19)-(30, 38); nothing else is touched.
    EXPECT_EQ(canvas.At(1, 1), mode == OPAQUE ? 0x000000FFu : 0u);
    EXPECT_EQ(canvas.At(25, 20), mode == OPAQUE ? 0x000000FFu : 0u);
    EXPECT_EQ(canvas.At(25, 5), 0u);
    EXPECT_EQ(canvas.At(35, 20), 0u);
    EXPECT_EQ(canvas.At(5, 40), 0u);
  }
}

TEST(DrawTextRender, PlacesLinesByAlignment) {
  struct Row {
    const char* what;
    UINT flags;
    RECT rect;
    int left, right, top, bottom;  // where all ink must lie
  };
  const Row rows[] = {
      {"left", DT_LEFT, {0, 0, 60, 40}, 0, 20, 0, 19},
      {"right: 60 - 20", DT_RIGHT, {0, 0, 60, 40}, 40, 60, 0, 19},
      {"centre: (60 - 20)/2", DT_CENTER, {0, 0, 60, 40}, 20, 40, 0, 19},
      {"vcentre: (40 - 19)/2", DT_SINGLELINE | DT_VCENTER, {0, 0, 60, 40}, 0, 20, 10, 29},
      {"bottom: 40 - 19", DT_SINGLELINE | DT_BOTTOM, {0, 0, 60, 40}, 0, 20, 21, 40},
      {"vcentre ignored without DT_SINGLELINE", DT_VCENTER, {0, 0, 60, 40}, 0, 20, 0, 19},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Canvas canvas(60, 40, kMono, -16);
    canvas.Draw(u"HH", row.rect, row.flags);
    const Box ink = Ink(canvas);
    ASSERT_FALSE(ink.Empty());
    EXPECT_GE(ink.left, row.left);
    EXPECT_LE(ink.right, row.right);
    EXPECT_GE(ink.top, row.top);
    EXPECT_LE(ink.bottom, row.bottom);
    EXPECT_GT(ink.right - ink.left, 12);  // both H drawn
  }
}

TEST(DrawTextRender, PrefixUnderlineAndFontDecorations) {
  struct Row {
    const char* what;
    const char16_t* text;
    UINT flags;
    bool underline, strike;
    int row;                 // the row checked
    int litLeft, litRight;   // its fully lit span; everything else in the row dark
    bool glyphs;             // whether glyph ink appears above the baseline
  };
  const Row rows[] = {
      {"prefix under b", u"a&bc", 0, false, false, 15, 10, 20, true},
      {"last prefix of the line wins", u"&a&bc", 0, false, false, 15, 10, 20, true},
      {"DT_HIDEPREFIX: no underline", u"a&bc", DT_HIDEPREFIX, false, false, 15, 0, 0, true},
      {"DT_NOPREFIX: no underline", u"a&bc", DT_NOPREFIX, false, false, 15, 0, 0, true},
      {"DT_PREFIXONLY: only the underline", u"a&bc", DT_PREFIXONLY, false, false, 15, 10, 20, false},
      {"underlined font", u"ace", 0, true, false, 15, 0, 30, true},
      {"struck-out font", u"ace", 0, false, true, 11, 0, 30, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Canvas canvas(64, 24, kMono, -16, 0, FW_NORMAL, row.underline, row.strike);
    canvas.Draw(row.text, RECT{0, 0, 64, 24}, row.flags);
    for (int x = 0; x < 64; ++x) {
      const bool lit = x >= row.litLeft && x < row.litRight;
      if (lit) {
        EXPECT_EQ(canvas.At(x, row.row), 0x00FFFFFFu) << x;
      } else if (row.row == 15) {
        EXPECT_EQ(canvas.At(x, row.row), 0u) << x;
      }
    }
    bool ink = false;
    for (int y = 0; y < 15; ++y) {
      for (int x = 0; x < 64; ++x) ink = ink || (y != row.row && canvas.At(x, y) != 0);
    }
    EXPECT_EQ(ink, row.glyphs);
  }
}

TEST(DrawTextRender, EditControlHidesPartlyVisibleLines) {
  Canvas canvas(40, 60, kMono, -16);
  canvas.Draw(u"HH\nHH", RECT{0, 0, 40, 30}, DT_EDITCONTROL);
  EXPECT_LE(Ink(canvas).bottom, 19);
  Canvas plain(40, 60, kMono, -16);
  plain.Draw(u"HH\nHH", RECT{0, 0, 40, 30}, 0);
  EXPECT_GT(Ink(plain).bottom, 19);  // the second line, cut at 30
  EXPECT_LE(Ink(plain).bottom, 30);
}

// ---- Shaping, fallback and bidi ---------------------------------------------------------

std::shared_ptr<const zivoda::gdi::TextLayout> Layout(const Canvas& canvas, const std::u16string& text, UINT flags) {
  zivoda::gdi::LayoutRequest request;
  request.format = flags | DT_SINGLELINE;
  return zivoda::gdi::CachedLayout(canvas.font(), *FindFont(canvas.font()), text, request);
}

TEST(DrawTextRender, EveryScriptComesOutAsGlyphs) {
  struct Row {
    const char* script;
    std::u16string text;
  };
  const Row rows[] = {
      {"Latin", u"Grüße, naïve café"},
      {"Greek", u"Ελληνικά"},
      {"Cyrillic", u"Кириллица"},
      {"Arabic", u"مرحبا بالعالم"},
      {"Hebrew", u"שלום עולם"},
      {"Devanagari", u"नमस्ते दुनिया"},
      {"Thai", u"ภาษาไทย"},
      {"CJK", u"漢字かなカナ한국어"},
  };
  Canvas canvas(8, 8, u"DejaVu Sans", -16);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.script);
    const auto layout = Layout(canvas, row.text, 0);
    ASSERT_EQ(layout->lines.size(), 1u);
    EXPECT_FALSE(layout->glyphs.empty());
    for (const auto& glyph : layout->glyphs) EXPECT_NE(glyph.glyph, 0u);  // never .notdef
    EXPECT_GT(layout->maxWidth, 0);
  }
}

TEST(DrawTextRender, ShapingJoinsArabicAndReordersDevanagari) {
  Canvas canvas(8, 8, u"DejaVu Sans", -16);
  // beh alone, and beh beh: the joined forms are other glyphs than the isolated one.
  const auto alone = Layout(canvas, u"\u0628", 0);
  const auto joined = Layout(canvas, u"\u0628\u0628", 0);
  ASSERT_EQ(alone->glyphs.size(), 1u);
  ASSERT_EQ(joined->glyphs.size(), 2u);
  EXPECT_NE(joined->glyphs[0].glyph, alone->glyphs[0].glyph);
  EXPECT_NE(joined->glyphs[1].glyph, alone->glyphs[0].glyph);
  // ki: the vowel sign i (U+093F) is drawn before (left of) ka.
  const auto ka = Layout(canvas, u"\u0915", 0);
  const auto ki = Layout(canvas, u"\u0915\u093F", 0);
  ASSERT_EQ(ki->glyphs.size(), 2u);
  EXPECT_NE(ki->glyphs[0].glyph, ka->glyphs[0].glyph);
  EXPECT_EQ(ki->glyphs[1].glyph, ka->glyphs[0].glyph);
}

TEST(DrawTextRender, RtlReadingSetsTheBaseDirection) {
  Canvas canvas(8, 8, u"DejaVu Sans", -16);
  const auto latinGlyph = Layout(canvas, u"a", 0)->glyphs.at(0).glyph;
  const auto spaceGlyph = Layout(canvas, u" ", 0)->glyphs.at(0).glyph;
  for (bool rtl : {false, true}) {
    SCOPED_TRACE(rtl ? "DT_RTLREADING" : "left to right");
    const auto layout = Layout(canvas, u"a \u05D0\u05D1", rtl ? DT_RTLREADING : 0);
    int32_t latinX = -1, hebrewX = -1;
    for (const auto& glyph : layout->glyphs) {
      if (glyph.glyph == latinGlyph) {
        latinX = glyph.x;
      } else if (glyph.glyph != spaceGlyph) {
        hebrewX = std::max(hebrewX, glyph.x);
      }
    }
    ASSERT_GE(latinX, 0);
    // Left to right: "a" first on the left; right to left: "a" ends up on the right.
    if (rtl) {
      EXPECT_GT(latinX, hebrewX);
    } else {
      EXPECT_LT(latinX, hebrewX);
    }
  }
}

TEST(DrawTextRender, SyntheticBoldIsHeavier) {
  long sums[2] = {0, 0};
  for (int bold = 0; bold < 2; ++bold) {
    Canvas canvas(64, 24, u"WenQuanYi Micro Hei", -16, 0, bold != 0 ? FW_BOLD : FW_NORMAL);
    ASSERT_EQ(FindFont(canvas.font())->syntheticBold, bold != 0);
    canvas.Draw(u"漢字", RECT{0, 0, 64, 24}, 0);
    for (uint32_t p : canvas.Pixels()) sums[bold] += p & 0xFF;
  }
  EXPECT_GT(sums[1], sums[0] * 11 / 10);
}

TEST(DrawTextRender, SyntheticObliqueSlantsToTheRight) {
  // A vertical bar: upright its ink starts in the same column at top and bottom;
  // slanted, the top row's ink starts further right than the bottom row's.
  int shift[2] = {0, 0};
  for (int italic = 0; italic < 2; ++italic) {
    LOGFONTW logfont{};
    logfont.lfHeight = -32;
    logfont.lfItalic = static_cast<BYTE>(italic);
    std::u16string(u"WenQuanYi Micro Hei").copy(logfont.lfFaceName, LF_FACESIZE - 1);
    Canvas canvas(32, 40, u"WenQuanYi Micro Hei", -32);
    HFONT font = CreateFontIndirectW(&logfont);
    ASSERT_EQ(FindFont(font)->syntheticOblique, italic != 0);
    HGDIOBJ old = SelectObject(canvas.dc(), font);
    canvas.Draw(u"|", RECT{0, 0, 32, 40}, 0);
    SelectObject(canvas.dc(), old);
    DeleteObject(font);
    const Box ink = Ink(canvas);
    ASSERT_FALSE(ink.Empty());
    const auto firstInk = [&](int y) {
      for (int x = 0; x < 32; ++x) {
        if (canvas.At(x, y) > 0x00808080) return x;
      }
      return -1;
    };
    shift[italic] = firstInk(ink.top + 1) - firstInk(ink.bottom - 2);
  }
  EXPECT_LE(std::abs(shift[0]), 1);
  EXPECT_GE(shift[1], 3);
}

TEST(DrawTextRender, LongWordsCutIntoManyLinesKeepTheirGlyphs) {
  struct Row {
    const char* what;
    std::u16string face;
    char16_t unit;
  };
  const Row rows[] = {{"left to right", kMono, u'x'}, {"right to left", u"DejaVu Sans", u'\u05D0'}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Canvas canvas(8, 8, row.face, -16);
    zivoda::gdi::LayoutRequest request;
    request.format = DT_WORDBREAK | DT_EDITCONTROL;
    request.width = 25;  // two characters a line (mono 10 px, alef 11 px)
    const auto layout = zivoda::gdi::CachedLayout(canvas.font(), *FindFont(canvas.font()),
                                                  std::u16string(2000, row.unit), request);
    ASSERT_EQ(layout->lines.size(), 1000u);
    for (const auto& line : layout->lines) {
      size_t glyphs = 0;
      for (uint32_t r = line.runBegin; r < line.runEnd; ++r) glyphs += layout->runs[r].end - layout->runs[r].begin;
      ASSERT_EQ(glyphs, 2u);
    }
  }
}

// ---- Caches ----------------------------------------------------------------------------------

TEST(DrawTextRender, RepeatedDrawsRasteriseNothing) {
  Canvas canvas(200, 24, u"DejaVu Sans", -16);
  canvas.Draw(u"The quick brown fox", RECT{0, 0, 200, 24}, 0);
  const size_t before = zivoda::gdi::GlyphCacheUsage().rasterized;
  const std::vector<uint32_t> first = canvas.Pixels();
  for (int i = 0; i < 3; ++i) canvas.Draw(u"The quick brown fox", RECT{0, 0, 200, 24}, DT_NOCLIP);
  EXPECT_EQ(zivoda::gdi::GlyphCacheUsage().rasterized, before);
}

TEST(DrawTextRender, CachesStayWithinTheirBounds) {
  Canvas canvas(64, 64, u"DejaVu Sans", -40);
  std::u16string text;
  for (int i = 0; i < 6000; ++i) {
    // Two words no other string has (the ideograph and the number), so every
    // cache sees more distinct entries than it may keep.
    const std::string number = std::to_string(i);
    text = u"distinct " + std::u16string(1, static_cast<char16_t>(0x4E00 + i)) + u" " +
           std::u16string(static_cast<size_t>(i % 50), u'x') + u" n" + std::u16string(number.begin(), number.end());
    canvas.Draw(text, RECT{0, 0, 64, 64}, DT_WORDBREAK);
  }
  const auto layouts = zivoda::gdi::LayoutCacheUsage();
  EXPECT_LE(layouts.entries, zivoda::gdi::kLayoutCacheEntries);
  EXPECT_LE(layouts.bytes, zivoda::gdi::kLayoutCacheBytes);
  const auto glyphs = zivoda::gdi::GlyphCacheUsage();
  EXPECT_LE(glyphs.entries, zivoda::gdi::kGlyphCacheEntries);
  EXPECT_LE(glyphs.bytes, zivoda::gdi::kGlyphCacheBytes);
  EXPECT_GT(glyphs.entries, 100u);
  EXPECT_LE(zivoda::gdi::CachedShapes(), zivoda::gdi::kShapeCacheEntries);
}

}  // namespace
