// vaRodurod textures: creation and size limits, the lock rules, handles, filter
// and shuffle settings, compositing math (against hand-computed pixels and a
// floating-point model), placement and clipping, the text coverage correction,
// vector against scalar kernels, and the call log of the drawing pipeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/call_log.hpp"
#include "support/canvas_object.hpp"
#include "vaRodurod.h"

namespace {

// ---- Helpers ------------------------------------------------------------------------

using zivoda::test::CanvasObject;

struct TextureObject {
  TextureHandle handle;
  TextureObject(int32_t width, int32_t height) : handle(CreateTexture(width, height)) {}
  ~TextureObject() { DeleteTexture(handle); }
};

// Writes texels (rows top-down) under a lock, as the library's bitmap transfer does.
void WriteTexels(TextureHandle texture, const std::vector<uint32_t>& texels) {
  TextureLock lock{};
  ASSERT_EQ(LockTextureBits(texture, &lock, 0), 1);
  ASSERT_EQ(static_cast<size_t>(lock.imageSize), texels.size() * 4);
  std::memcpy(lock.bits, texels.data(), texels.size() * 4);
  UnlockTextureBits(texture, 0);
}

constexpr uint32_t Grey(uint32_t level) { return level * 0x010101u; }  // B, G, R = level, X = 0

void SetBlend(TextureHandle texture, uint8_t blend) { SetTextureFilter(texture, TextureFilter{0, 0, 0, blend}); }

std::vector<uint8_t> CoverageTable(uint32_t modulation) {
  std::vector<uint8_t> table(256);
  vrGetTextCoverageTable(modulation, table.data());
  return table;
}

int ChannelOf(uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

// The composite in floating point: source = texel (premultiplied, 0..1 channels) times the
// premultiplied modulation; over: S + D (1 - S.alpha); copy: S. Independent of the
// component's integer rounding, so compared within 1 per channel.
uint32_t ModelComposite(const double texel[4] /* b, g, r, a */, uint32_t modulation, uint32_t canvas, bool over) {
  const double ma = ChannelOf(modulation, 24) / 255.0;
  double s[4];
  for (int c = 0; c < 3; ++c) s[c] = texel[c] * ChannelOf(modulation, 8 * c) / 255.0 * ma;
  s[3] = texel[3] * ma;
  uint32_t out = 0;
  for (int c = 0; c < 4; ++c) {
    const double d = ChannelOf(canvas, 8 * c) / 255.0;
    const double v = over ? s[c] + d * (1.0 - s[3]) : s[c];
    out |= static_cast<uint32_t>(std::lround(v * 255.0)) << (8 * c);
  }
  return out;
}

::testing::AssertionResult WithinOne(uint32_t expected, uint32_t actual) {
  for (int shift = 0; shift < 32; shift += 8) {
    if (std::abs(ChannelOf(expected, shift) - ChannelOf(actual, shift)) > 1) {
      char text[64];
      std::snprintf(text, sizeof text, "expected %08x, got %08x", expected, actual);
      return ::testing::AssertionFailure() << text;
    }
  }
  return ::testing::AssertionSuccess();
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", v);
  return text;
}

// ---- Creation, locks, handles ----------------------------------------------------------

TEST(Texture, CreationSizesAndLockRecord) {
  struct Row {
    int32_t width, height;
    bool created;
    bool lockable;
  };
  const Row rows[] = {
      {12, 16, true, true},
      {1, 1, true, true},
      {VR_MAX_DIMENSION, 1, true, true},
      {1, VR_MAX_DIMENSION, true, true},
      // Empty textures: live handles that cannot be locked.
      {0, 0, true, false},
      {0, 7, true, false},
      {7, 0, true, false},
      // Refused sizes.
      {-1, 5, false, false},
      {5, -1, false, false},
      {INT32_MIN, INT32_MIN, false, false},
      {VR_MAX_DIMENSION + 1, 1, false, false},
      {1, VR_MAX_DIMENSION + 1, false, false},
      {INT32_MAX, INT32_MAX, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height));
    const int32_t before = vrLiveTextures();
    TextureObject t(row.width, row.height);
    EXPECT_EQ(t.handle != 0, row.created);
    EXPECT_EQ(vrLiveTextures(), before + (row.created ? 1 : 0));
    TextureLock lock{-1, -1, 1, nullptr};
    EXPECT_EQ(LockTextureBits(t.handle, &lock, 0), row.lockable ? 1 : 0);
    if (row.lockable) {
      EXPECT_EQ(lock.width, row.width);
      EXPECT_EQ(lock.height, row.height);
      EXPECT_EQ(lock.imageSize, 4u * static_cast<uint32_t>(row.width) * static_cast<uint32_t>(row.height));
      ASSERT_NE(lock.bits, nullptr);
      // A new texture is all zero, and every byte of the record's extent is writable.
      const auto* bytes = static_cast<const uint8_t*>(lock.bits);
      EXPECT_TRUE(std::all_of(bytes, bytes + lock.imageSize, [](uint8_t b) { return b == 0; }));
      std::memset(lock.bits, 0xAB, lock.imageSize);
      UnlockTextureBits(t.handle, 0);
    } else {
      EXPECT_EQ(lock.width, -1);  // record untouched
      EXPECT_EQ(lock.bits, nullptr);
    }
    EXPECT_EQ(vrLiveLocks(), 0);
  }
}

TEST(Texture, LockRules) {
  TextureObject t(3, 2);
  TextureLock first{};
  ASSERT_EQ(LockTextureBits(t.handle, &first, 0), 1);
  EXPECT_EQ(vrLiveLocks(), 1);
  static_cast<uint32_t*>(first.bits)[5] = 0x00123456;

  // Locked already: refused, record untouched.
  TextureLock second{-1, -1, 0, nullptr};
  EXPECT_EQ(LockTextureBits(t.handle, &second, 0), 0);
  EXPECT_EQ(second.width, -1);
  EXPECT_EQ(vrLiveLocks(), 1);

  UnlockTextureBits(t.handle, 0);
  EXPECT_EQ(vrLiveLocks(), 0);
  UnlockTextureBits(t.handle, 0);  // not locked: no-op, the count stays
  EXPECT_EQ(vrLiveLocks(), 0);

  // Refused requests.
  EXPECT_EQ(LockTextureBits(t.handle, nullptr, 0), 0);
  EXPECT_EQ(LockTextureBits(t.handle, &second, 1), 0);
  EXPECT_EQ(LockTextureBits(t.handle, &second, -1), 0);
  EXPECT_EQ(vrLiveLocks(), 0);

  // A new lock shows the texels as written, rows 4 * width bytes apart; a shuffle does
  // not change the bytes.
  ShuffleTexture(t.handle, VR_SHUFFLE_COVERAGE);
  TextureLock again{};
  ASSERT_EQ(LockTextureBits(t.handle, &again, 0), 1);
  EXPECT_EQ(static_cast<uint32_t*>(again.bits)[5], 0x00123456u);
  EXPECT_EQ(static_cast<uint8_t*>(again.bits)[4 * 3 * 1 + 4 * 2], 0x56);  // row 1, column 2, blue
  UnlockTextureBits(t.handle, 0);
}

TEST(Texture, DeletingALockedTextureReleasesTheLock) {
  const TextureHandle t = CreateTexture(4, 4);
  TextureLock lock{};
  ASSERT_EQ(LockTextureBits(t, &lock, 0), 1);
  EXPECT_EQ(vrLiveLocks(), 1);
  DeleteTexture(t);
  EXPECT_EQ(vrLiveLocks(), 0);
  UnlockTextureBits(t, 0);  // stale now
  EXPECT_EQ(vrLiveLocks(), 0);
}

TEST(Texture, StaleAndForeignHandlesAreRefused) {
  CanvasObject canvas(4, 4, 0xFF000000);
  const TextureHandle dead = CreateTexture(2, 2);
  DeleteTexture(dead);
  TextureObject live(2, 2);
  WriteTexels(live.handle, std::vector<uint32_t>(4, Grey(255)));
  ShuffleTexture(live.handle, VR_SHUFFLE_COVERAGE);

  struct Row {
    const char* what;
    TextureHandle handle;
  };
  const Row rows[] = {
      {"zero", 0},
      {"deleted", dead},
      {"a canvas handle", canvas.handle},
      {"never handed out", 0xFFFFFFFFu},
      {"live slot, other generation", live.handle + 0x10000u},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TextureLock lock{-1, -1, 0, nullptr};
    EXPECT_EQ(LockTextureBits(row.handle, &lock, 0), 0);
    EXPECT_EQ(lock.width, -1);
    UnlockTextureBits(row.handle, 0);
    SetTextureFilter(row.handle, TextureFilter{0, 0, 0, VR_BLEND_COPY});
    ShuffleTexture(row.handle, VR_SHUFFLE_COVERAGE);
    DrawModulation(canvas.handle, 0, 0, row.handle, 0xFFFFFFFF);
    DeleteTexture(row.handle);
    EXPECT_EQ(canvas.Pixels(), std::vector<uint32_t>(16, 0xFF000000));
  }
  // The live texture survived every call on the others, and a texture handle is no canvas.
  DrawModulation(live.handle, 0, 0, live.handle, 0xFFFFFFFF);
  DrawModulation(canvas.handle, 0, 0, live.handle, 0xFFFFFFFF);
  EXPECT_EQ(canvas.Pixels()[0], 0xFFFFFFFFu);
}

TEST(Texture, ReusedSlotsGetNewHandles) {
  // More create/delete cycles than freed slots wait before reuse: old handles stay dead.
  std::vector<TextureHandle> seen;
  for (int i = 0; i < 3000; ++i) {
    const TextureHandle t = CreateTexture(1, 1);
    ASSERT_NE(t, 0u);
    seen.push_back(t);
    DeleteTexture(t);
  }
  std::vector<TextureHandle> sorted = seen;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "a handle was handed out twice";
  TextureObject now(1, 1);
  for (const TextureHandle old : seen) {
    ASSERT_NE(old, now.handle);
    TextureLock lock{};
    ASSERT_EQ(LockTextureBits(old, &lock, 0), 0);
  }
}

// ---- Compositing math ---------------------------------------------------------------

TEST(Texture, CompositeMathAgainstHandComputedPixels) {
  struct Row {
    const char* what;
    uint32_t canvas;      // straight, cleared onto a 1x1 canvas
    uint32_t texel;       // the bytes written under the lock
    int32_t mode;
    uint8_t blend;
    uint32_t modulation;
    uint32_t expected;    // premultiplied canvas pixel
  };
  const Row rows[] = {
      // Coverage textures (text).
      {"full coverage, opaque red on black", 0xFF000000, Grey(255), VR_SHUFFLE_COVERAGE, VR_BLEND_OVER, 0xFFFF0000,
       0xFFFF0000},
      {"full coverage, opaque white on black", 0xFF000000, Grey(255), VR_SHUFFLE_COVERAGE, VR_BLEND_OVER,
       0xFFFFFFFF, 0xFFFFFFFF},
      {"coverage from the red channel alone", 0xFF000000, 0x00FF0000, VR_SHUFFLE_COVERAGE, VR_BLEND_OVER,
       0xFF00FF00, 0xFF00FF00},
      {"coverage from the blue channel alone", 0xFF000000, 0x000000FF, VR_SHUFFLE_COVERAGE, VR_BLEND_OVER,
       0xFF00FF00, 0xFF00FF00},
      {"zero coverage leaves the canvas", 0xFF123456, Grey(0), VR_SHUFFLE_COVERAGE, VR_BLEND_OVER, 0xFFFF0000,
       0xFF123456},
      {"X byte plays no part in coverage", 0xFF123456, 0xFF000000, VR_SHUFFLE_COVERAGE, VR_BLEND_OVER,
       0xFFFF0000, 0xFF123456},
      // red 255 * 128/255 = 128; alpha 128 + 255 * 127/255 = 255
      {"half-transparent modulation over black", 0xFF000000, Grey(255), VR_SHUFFLE_COVERAGE, VR_BLEND_OVER,
       0x80FF0000, 0xFF800000},
      // over transparent: the premultiplied modulation itself
      {"half-transparent modulation over nothing", 0x00000000, Grey(255), VR_SHUFFLE_COVERAGE, VR_BLEND_OVER,
       0x80FF0000, 0x80800000},
      {"transparent modulation changes nothing", 0xFF123456, Grey(255), VR_SHUFFLE_COVERAGE, VR_BLEND_OVER,
       0x00FFFFFF, 0xFF123456},
      {"copy writes the modulated source", 0xFF123456, Grey(255), VR_SHUFFLE_COVERAGE, VR_BLEND_COPY, 0x80FF0000,
       0x80800000},
      {"copy of zero coverage clears", 0xFF123456, Grey(0), VR_SHUFFLE_COVERAGE, VR_BLEND_COPY, 0xFFFF0000, 0},
      // Colour textures. Opaque: X ignored; 0x33 * 0x80/255 = 0x1a, 0x66 -> 0x33, 0x99 -> 0x4d.
      {"opaque texel, white modulation", 0xFF000000, 0x00336699, VR_SHUFFLE_OPAQUE, VR_BLEND_OVER, 0xFFFFFFFF,
       0xFF336699},
      {"opaque texel, grey modulation", 0xFF000000, 0x77336699, VR_SHUFFLE_OPAQUE, VR_BLEND_OVER, 0xFF808080,
       0xFF1A334D},
      // S = (a 0x80, r 0x40); 255 * 127/255 = 127: a 255, r 0x40 + 127, g = b = 127.
      {"premultiplied texel over white", 0xFFFFFFFF, 0x80400000, VR_SHUFFLE_PREMULTIPLIED, VR_BLEND_OVER,
       0xFFFFFFFF, 0xFFBF7F7F},
      {"premultiplied colour above alpha counts as alpha", 0x00000000, 0x40FF0000, VR_SHUFFLE_PREMULTIPLIED,
       VR_BLEND_OVER, 0xFFFFFFFF, 0x40400000},
      {"transparent premultiplied texel changes nothing", 0xFF123456, 0x00000000, VR_SHUFFLE_PREMULTIPLIED,
       VR_BLEND_OVER, 0xFFFFFFFF, 0xFF123456},
  };
  for (const bool vector : {true, false}) {
    const int32_t previous = vrUseVectorKernels(vector ? 1 : 0);
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.what) + (vector ? " (vector)" : " (scalar)"));
      CanvasObject canvas(1, 1, row.canvas);
      TextureObject t(1, 1);
      WriteTexels(t.handle, {row.texel});
      SetBlend(t.handle, row.blend);
      ShuffleTexture(t.handle, row.mode);
      DrawModulation(canvas.handle, 0, 0, t.handle, row.modulation);
      EXPECT_EQ(Hex(canvas.Pixels()[0]), Hex(row.expected));
    }
    vrUseVectorKernels(previous);
  }
}

TEST(Texture, PartialCoverageFollowsTheCorrectedCoverage) {
  struct Row {
    uint32_t canvas;
    uint32_t modulation;
  };
  const Row rows[] = {
      {0xFF000000, 0xFFFFFFFF}, {0xFFFFFFFF, 0xFF000000}, {0xFF204060, 0xFFFFCC00},
      {0xFFFFFFFF, 0x80102030}, {0x00000000, 0xFF00FF00}, {0x80402010, 0xC0FFFFFF},
  };
  for (const Row& row : rows) {
    const std::vector<uint8_t> table = CoverageTable(row.modulation);
    for (const uint32_t level : {1u, 64u, 128u, 200u, 254u}) {
      SCOPED_TRACE("canvas " + Hex(row.canvas) + " modulation " + Hex(row.modulation) + " grey " +
                   std::to_string(level));
      CanvasObject canvas(1, 1, row.canvas);
      const uint32_t before = canvas.Pixels()[0];
      TextureObject t(1, 1);
      WriteTexels(t.handle, {Grey(level)});
      ShuffleTexture(t.handle, VR_SHUFFLE_COVERAGE);
      DrawModulation(canvas.handle, 0, 0, t.handle, row.modulation);
      const double c = table[level] / 255.0;
      const double texel[4] = {c, c, c, c};
      EXPECT_TRUE(WithinOne(ModelComposite(texel, row.modulation, before, true), canvas.Pixels()[0]));
    }
  }
}

// ---- Placement and clipping ----------------------------------------------------------

TEST(Texture, PlacementIsCutToTheClip) {
  constexpr int32_t kW = 8, kH = 6, kTw = 4, kTh = 3;
  constexpr uint32_t kBackground = 0xFF000000;
  // Every texel a distinct opaque colour, so a misplaced texel shows.
  std::vector<uint32_t> texels(kTw * kTh);
  for (int32_t i = 0; i < kTw * kTh; ++i) texels[i] = 0xFF000000u | static_cast<uint32_t>(0x10 + i * 0x0B0703);

  struct Row {
    const char* what;
    Rect clip;
    int32_t x, y;
    Rect painted;  // the canvas pixels that change, by hand
  };
  const Rect whole{0, 0, kW, kH};
  const Rect none{0, 0, 0, 0};
  const Row rows[] = {
      {"inside", whole, 2, 1, {2, 1, 6, 4}},
      {"left and above the canvas", whole, -2, -1, {0, 0, 2, 2}},
      {"right and below the canvas", whole, 6, 4, {6, 4, 8, 6}},
      {"the clip cuts", {1, 1, 3, 3}, 0, 0, {1, 1, 3, 3}},
      {"clip and canvas edge cut", {3, 2, 8, 6}, 5, 4, {5, 4, 8, 6}},
      {"touching the clip's edge only", {4, 0, 8, 6}, 0, 0, none},
      {"empty clip", none, 0, 0, none},
      {"far outside", whole, 100, 100, none},
      {"at INT32_MIN", whole, INT32_MIN, INT32_MIN, none},
      {"at INT32_MAX", whole, INT32_MAX, INT32_MAX, none},
      {"just below INT32_MAX", whole, INT32_MAX - 1, 0, none},
      {"INT32_MIN + 1 columns before", whole, INT32_MIN + 1, 0, none},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    CanvasObject canvas(kW, kH, kBackground);
    SetCanvasClip(canvas.handle, &row.clip);
    TextureObject t(kTw, kTh);
    WriteTexels(t.handle, texels);
    ShuffleTexture(t.handle, VR_SHUFFLE_PREMULTIPLIED);
    DrawModulation(canvas.handle, row.x, row.y, t.handle, 0xFFFFFFFF);
    const std::vector<uint32_t> pixels = canvas.Pixels();
    for (int32_t cy = 0; cy < kH; ++cy) {
      for (int32_t cx = 0; cx < kW; ++cx) {
        const bool painted =
            cx >= row.painted.left && cx < row.painted.right && cy >= row.painted.top && cy < row.painted.bottom;
        const uint32_t expected =
            painted ? texels[static_cast<size_t>((int64_t{cy} - row.y) * kTw + (int64_t{cx} - row.x))] : kBackground;
        ASSERT_EQ(Hex(pixels[cy * kW + cx]), Hex(expected)) << "at " << cx << "," << cy;
      }
    }
  }
}

// ---- Shuffle and filter settings --------------------------------------------------------

TEST(Texture, ShuffleAndFilterSettings) {
  CanvasObject canvas(1, 1, 0xFF000000);
  TextureObject t(1, 1);
  WriteTexels(t.handle, {Grey(255)});
  ShuffleTexture(t.handle, VR_SHUFFLE_COVERAGE);
  // Unknown modes and out-of-range filters change nothing: still coverage, still over.
  for (const int32_t mode : {-1, 2, 5, 7, 100}) ShuffleTexture(t.handle, mode);
  SetTextureFilter(t.handle, TextureFilter{0, 0, 0, 2});
  SetTextureFilter(t.handle, TextureFilter{2, 0, 0, VR_BLEND_COPY});
  SetTextureFilter(t.handle, TextureFilter{0, 0, 9, VR_BLEND_COPY});
  DrawModulation(canvas.handle, 0, 0, t.handle, 0x80FF0000);
  EXPECT_EQ(Hex(canvas.Pixels()[0]), Hex(0xFF800000));  // over, not copy (0x80800000)

  // Filters and wrap are taken but change nothing at one texel a pixel.
  SetTextureFilter(t.handle, TextureFilter{1, 1, 1, VR_BLEND_COPY});
  DrawModulation(canvas.handle, 0, 0, t.handle, 0x80FF0000);
  EXPECT_EQ(Hex(canvas.Pixels()[0]), Hex(0x80800000));
}

TEST(Texture, NewTexelsAreConvertedUnderTheCurrentMode) {
  CanvasObject canvas(2, 1, 0);
  TextureObject t(2, 1);
  SetBlend(t.handle, VR_BLEND_COPY);
  WriteTexels(t.handle, {Grey(255), Grey(0)});
  ShuffleTexture(t.handle, VR_SHUFFLE_COVERAGE);
  // Written again after the shuffle: the draw sees the new texels.
  WriteTexels(t.handle, {Grey(0), Grey(255)});
  DrawModulation(canvas.handle, 0, 0, t.handle, 0xFFFFFFFF);
  EXPECT_EQ(canvas.Pixels(), (std::vector<uint32_t>{0, 0xFFFFFFFF}));

  // A shuffle while locked takes effect with the texels written before the unlock.
  TextureLock lock{};
  ASSERT_EQ(LockTextureBits(t.handle, &lock, 0), 1);
  ShuffleTexture(t.handle, VR_SHUFFLE_OPAQUE);
  DrawModulation(canvas.handle, 0, 0, t.handle, 0xFFFFFFFF);  // locked: nothing drawn
  EXPECT_EQ(canvas.Pixels(), (std::vector<uint32_t>{0, 0xFFFFFFFF}));
  static_cast<uint32_t*>(lock.bits)[0] = 0x00102030;
  ShuffleTexture(t.handle, VR_SHUFFLE_COVERAGE);
  UnlockTextureBits(t.handle, 0);
  DrawModulation(canvas.handle, 0, 0, t.handle, 0xFFFFFFFF);
  const uint32_t c = CoverageTable(0xFFFFFFFF)[0x30];  // max(0x10, 0x20, 0x30)
  EXPECT_EQ(Hex(canvas.Pixels()[0]), Hex(c * 0x01010101u));
}

TEST(Texture, EmptyAndLockedTexturesDrawNothing) {
  CanvasObject canvas(4, 4, 0xFF336699);
  const std::vector<uint32_t> before = canvas.Pixels();
  for (const auto& [w, h] : {std::pair{0, 0}, std::pair{0, 3}, std::pair{3, 0}}) {
    TextureObject empty(w, h);
    ASSERT_NE(empty.handle, 0u);
    SetTextureFilter(empty.handle, TextureFilter{0, 0, 0, VR_BLEND_COPY});
    ShuffleTexture(empty.handle, VR_SHUFFLE_COVERAGE);
    DrawModulation(canvas.handle, 0, 0, empty.handle, 0xFFFFFFFF);
  }
  TextureObject locked(2, 2);
  TextureLock lock{};
  ASSERT_EQ(LockTextureBits(locked.handle, &lock, 0), 1);
  std::memset(lock.bits, 0xFF, lock.imageSize);
  DrawModulation(canvas.handle, 0, 0, locked.handle, 0xFFFFFFFF);
  UnlockTextureBits(locked.handle, 0);
  EXPECT_EQ(canvas.Pixels(), before);
}

// ---- Text coverage correction ------------------------------------------------------------

TEST(TextureCoverage, TableShape) {
  const uint32_t colours[] = {0xFF000000, 0xFFFFFFFF, 0xFF808080, 0xFFFF0000, 0xFF0000FF, 0x00FFFFFF, 0x80123456};
  for (const uint32_t colour : colours) {
    SCOPED_TRACE(Hex(colour));
    const std::vector<uint8_t> table = CoverageTable(colour);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[255], 255);
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end()));
    // Alpha plays no part in the choice.
    EXPECT_EQ(table, CoverageTable(colour | 0xFF000000u));
    EXPECT_EQ(table, CoverageTable(colour & 0x00FFFFFFu));
  }
  // Light text gets more coverage than dark text, which blending in encoded values thins.
  EXPECT_GT(CoverageTable(0xFFFFFFFF)[128], 128);
  EXPECT_LT(CoverageTable(0xFF000000)[128], CoverageTable(0xFFFFFFFF)[128]);
  vrGetTextCoverageTable(0xFFFFFFFF, nullptr);  // no-op
}

// Light text on dark and dark text on light should carry about the same ink (in linear
// light), the dark a little more for the contrast boost. Without correction, blending in
// sRGB-encoded values gives dark text several times the ink of light text.
TEST(TextureCoverage, LightOnDarkAndDarkOnLightLookEquallyHeavy) {
  auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  auto drawn = [](uint32_t background, uint32_t text, uint32_t level) {
    CanvasObject canvas(1, 1, background);
    TextureObject t(1, 1);
    WriteTexels(t.handle, {Grey(level)});
    ShuffleTexture(t.handle, VR_SHUFFLE_COVERAGE);
    DrawModulation(canvas.handle, 0, 0, t.handle, text);
    return ChannelOf(canvas.Pixels()[0], 8) / 255.0;  // green
  };
  for (const uint32_t level : {48u, 96u, 128u, 160u, 208u}) {
    SCOPED_TRACE("grey " + std::to_string(level));
    const double darkInk = 1.0 - linear(drawn(0xFFFFFFFF, 0xFF000000, level));
    const double lightInk = linear(drawn(0xFF000000, 0xFFFFFFFF, level));
    const double ratio = darkInk / lightInk;
    EXPECT_GE(ratio, 1.0);
    EXPECT_LE(ratio, 1.5);
    const double a = level / 255.0;
    EXPECT_GT((1.0 - linear(1.0 - a)) / linear(a), 1.3 * ratio) << "the uncorrected blend should be further off";
  }
}

// ---- Vector and scalar kernels ------------------------------------------------------------

TEST(TextureKernels, VectorAndScalarGiveTheSamePixels) {
  std::mt19937 rng(7);
  auto coverageTexel = [&rng](int kind) -> uint32_t {
    switch (kind) {
      case 0: return 0;                                   // runs of nothing
      case 1: return Grey(255);                           // fully covered
      default: return rng() & 0x00FFFFFF;                 // anything, channels differing
    }
  };
  for (int round = 0; round < 60; ++round) {
    const int32_t tw = 1 + static_cast<int32_t>(rng() % 45), th = 1 + static_cast<int32_t>(rng() % 5);
    const int32_t x = static_cast<int32_t>(rng() % 20) - 8, y = static_cast<int32_t>(rng() % 6) - 2;
    const int32_t mode = std::vector<int32_t>{VR_SHUFFLE_COVERAGE, VR_SHUFFLE_OPAQUE, VR_SHUFFLE_PREMULTIPLIED}[round % 3];
    const uint8_t blend = (round / 3) % 2 == 0 ? VR_BLEND_OVER : VR_BLEND_COPY;
    const uint32_t modulation = std::vector<uint32_t>{0xFFFFFFFF, 0xFF000000, 0x80FF8040, 0x01020304, 0xFE7F7F7F}[round % 5];
    std::vector<uint32_t> texels(static_cast<size_t>(tw) * th);
    int kind = 0;
    for (size_t i = 0; i < texels.size(); ++i) {
      if (rng() % 6 == 0) kind = static_cast<int>(rng() % 3);
      texels[i] = mode == VR_SHUFFLE_COVERAGE ? coverageTexel(kind) : (kind == 0 ? 0 : static_cast<uint32_t>(rng()));
    }
    SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(tw) + "x" + std::to_string(th) + " at " +
                 std::to_string(x) + "," + std::to_string(y) + " mode " + std::to_string(mode) + " blend " +
                 std::to_string(blend) + " modulation " + Hex(modulation));
    std::vector<uint32_t> results[2];
    for (const int vector : {1, 0}) {
      const int32_t previous = vrUseVectorKernels(vector);
      CanvasObject canvas(40, 6, 0);
      // A background that varies, in premultiplied terms, drawn through a colour texture.
      TextureObject background(40, 6);
      std::mt19937 bgRng(round);
      std::vector<uint32_t> bg(40 * 6);
      for (uint32_t& p : bg) p = bgRng();
      WriteTexels(background.handle, bg);
      ShuffleTexture(background.handle, VR_SHUFFLE_PREMULTIPLIED);
      SetBlend(background.handle, VR_BLEND_COPY);
      DrawModulation(canvas.handle, 0, 0, background.handle, 0xFFFFFFFF);

      TextureObject t(tw, th);
      WriteTexels(t.handle, texels);
      SetBlend(t.handle, blend);
      ShuffleTexture(t.handle, mode);
      DrawModulation(canvas.handle, x, y, t.handle, modulation);
      results[vector] = canvas.Pixels();
      vrUseVectorKernels(previous);
    }
    ASSERT_EQ(results[0], results[1]);
  }
}

// ---- The drawing pipeline --------------------------------------------------------------

// The calls the library makes for one draw, in its order, and what they log and paint.
TEST(TexturePipeline, CallLogAndResult) {
  CanvasObject canvas(40, 30, 0xFF000000);
  zivoda::test::CallLog log;
  Rect clip{0, 0, 0, 0};
  GetCanvasClip(canvas.handle, &clip);
  EXPECT_EQ(clip.right, 40);
  EXPECT_EQ(clip.bottom, 30);

  const TextureHandle t = CreateTexture(12, 16);
  ASSERT_NE(t, 0u);
  TextureLock lock{};
  ASSERT_EQ(LockTextureBits(t, &lock, 0), 1);
  auto* texels = static_cast<uint32_t*>(lock.bits);
  for (int32_t i = 0; i < 12 * 16; ++i) texels[i] = Grey(i % 12 < 6 ? 255 : 0);  // left half lit
  UnlockTextureBits(t, 0);
  SetTextureFilter(t, TextureFilter{0, 0, 0, 1});
  ShuffleTexture(t, 6);
  DrawModulation(canvas.handle, 10, 5, t, 0xFFFF0000);
  DeleteTexture(t);
  EXPECT_EQ(LockTextureBits(t, &lock, 0), 0);

  const std::string c = std::to_string(canvas.handle), h = std::to_string(t);
  const std::vector<std::string> expected = {
      "GetCanvasClip " + c,
      "CreateTexture 12 16 -> " + h,
      "LockTextureBits " + h + " 0 -> 1",
      "UnlockTextureBits " + h + " 0",
      "SetTextureFilter " + h + " 0 0 0 1",
      "ShuffleTexture " + h + " 6",
      "DrawModulation " + c + " 10 5 " + h + " ffff0000",
      "DeleteTexture " + h,
      "LockTextureBits " + h + " 0 -> 0",
  };
  EXPECT_EQ(log.Only({"GetCanvasClip", "CreateTexture", "LockTextureBits", "UnlockTextureBits", "SetTextureFilter",
                      "ShuffleTexture", "DrawModulation", "DeleteTexture"}),
            expected)
      << log.Joined();

  const std::vector<uint32_t> pixels = canvas.Pixels();
  for (int32_t y = 0; y < 30; ++y) {
    for (int32_t x = 0; x < 40; ++x) {
      const bool lit = x >= 10 && x < 16 && y >= 5 && y < 21;
      ASSERT_EQ(Hex(pixels[y * 40 + x]), Hex(lit ? 0xFFFF0000 : 0xFF000000)) << "at " << x << "," << y;
    }
  }
}

TEST(TexturePipeline, LogOfCanvasCalls) {
  zivoda::test::CallLog log;
  const CanvasHandle c = CreateCanvas(20, 10);
  const Rect clip{1, 2, 3, 4};
  SetCanvasClip(c, &clip);
  SetCanvasClip(c, nullptr);
  ClearCanvas(c, 0x80ff0000);
  int32_t w = 0;
  GetCanvasSize(c, &w, nullptr);
  ReadCanvasPixels(c, nullptr, 0);
  DeleteCanvas(c);
  const std::string h = std::to_string(c);
  const std::vector<std::string> expected = {
      "CreateCanvas 20 10 -> " + h, "SetCanvasClip " + h + " 1 2 3 4", "SetCanvasClip " + h + " (null)",
      "ClearCanvas " + h + " 80ff0000", "GetCanvasSize " + h + " -> 1", "ReadCanvasPixels " + h + " 0 -> 800",
      "DeleteCanvas " + h,
  };
  EXPECT_EQ(log.lines(), expected) << log.Joined();
  EXPECT_EQ(w, 20);
}

// Calls from several threads at once: each thread's own canvas comes out as drawn alone.
TEST(TexturePipeline, ConcurrentDraws) {
  auto work = [](uint32_t colour, std::vector<uint32_t>* out) {
    CanvasObject canvas(64, 16, 0xFF000000);
    for (int i = 0; i < 200; ++i) {
      TextureObject t(64, 16);
      WriteTexels(t.handle, std::vector<uint32_t>(64 * 16, Grey(255)));
      ShuffleTexture(t.handle, VR_SHUFFLE_COVERAGE);
      DrawModulation(canvas.handle, (i % 3) - 1, 0, t.handle, colour);
    }
    *out = canvas.Pixels();
  };
  std::vector<uint32_t> a, b;
  std::thread one(work, 0xFFFF0000u, &a), two(work, 0xFF0000FFu, &b);
  one.join();
  two.join();
  EXPECT_EQ(a, std::vector<uint32_t>(64 * 16, 0xFFFF0000u));
  EXPECT_EQ(b, std::vector<uint32_t>(64 * 16, 0xFF0000FFu));
}

}  // namespace
