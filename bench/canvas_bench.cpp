// Compositing speed, the hot loop of drawing text once glyphs are cached: a 300x100
// texture of text-like coverage, shuffled (mode 6) and drawn source-over onto a
// 1024x768 canvas, by vaRodurod and by a plain scalar loop written here that paints
// the same pixels (checked before timing).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "vaRodurod.h"

namespace {

constexpr int32_t kTextureWidth = 300, kTextureHeight = 100;
constexpr int32_t kCanvasWidth = 1024, kCanvasHeight = 768;
constexpr int32_t kX = 200, kY = 300;
constexpr uint32_t kTextColour = 0xFF202020;   // dark text
constexpr uint32_t kBackground = 0xFFF4F0E8;   // on a light page

// Coverage of the pixel [px, px+1) x [py, py+1) by the box [x0, x1) x [y0, y1).
double BoxCoverage(double px, double py, double x0, double y0, double x1, double y1) {
  const double w = std::max(0.0, std::min(px + 1, x1) - std::max(px, x0));
  const double h = std::max(0.0, std::min(py + 1, y1) - std::max(py, y0));
  return w * h;
}

// Six lines of 12-pixel text: glyphs of stems, bars and dots at fractional positions
// (so their edges are grey), word gaps, blank space between lines and a ragged right
// edge, as B, G, R, X texels of white on black.
std::vector<uint32_t> TextLikeTexels() {
  std::vector<double> cover(static_cast<size_t>(kTextureWidth) * kTextureHeight, 0.0);
  std::mt19937 rng(2024);
  std::uniform_real_distribution<double> jitter(0.0, 0.6);
  auto box = [&cover](double x0, double y0, double x1, double y1) {
    for (int32_t y = std::max(0, static_cast<int32_t>(y0)); y < std::min<int32_t>(kTextureHeight, std::ceil(y1)); ++y) {
      for (int32_t x = std::max(0, static_cast<int32_t>(x0)); x < std::min<int32_t>(kTextureWidth, std::ceil(x1)); ++x) {
        double& c = cover[static_cast<size_t>(y) * kTextureWidth + x];
        c = std::min(1.0, c + BoxCoverage(x, y, x0, y0, x1, y1));
      }
    }
  };
  for (int line = 0; line < 6; ++line) {
    const double base = 4 + line * 16.3;  // top of the x-height band's ascenders
    const double right = kTextureWidth - 4 - static_cast<double>(rng() % 60);
    double pen = 2 + jitter(rng);
    while (pen < right - 8) {
      if (rng() % 6 == 0) {  // a space
        pen += 3.4;
        continue;
      }
      const double advance = 5.5 + (rng() % 3) + jitter(rng);
      const double stem = 1.1;
      const bool tall = rng() % 3 == 0;
      const double top = base + (tall ? 0 : 3.3);
      const double bottom = base + 11.2;
      box(pen, top, pen + stem, bottom);  // left stem
      if (rng() % 2) box(pen + advance - 2.2, base + 3.3, pen + advance - 2.2 + stem, bottom);  // right stem
      if (rng() % 2) box(pen, base + 3.3, pen + advance - 1.2, base + 4.4);                     // top bar
      if (rng() % 3 == 0) box(pen, bottom - 1.1, pen + advance - 1.2, bottom);                  // bottom bar
      if (rng() % 5 == 0) box(pen + 1.5, base + 7, pen + advance - 1.5, base + 8.1);            // middle bar
      pen += advance;
    }
  }
  std::vector<uint32_t> texels(cover.size());
  for (size_t i = 0; i < cover.size(); ++i) {
    texels[i] = static_cast<uint32_t>(std::lround(cover[i] * 255)) * 0x010101u;
  }
  return texels;
}

const std::vector<uint32_t>& Texels() {
  static const std::vector<uint32_t> texels = TextLikeTexels();
  return texels;
}

void FillTexture(TextureHandle texture) {
  TextureLock lock{};
  if (LockTextureBits(texture, &lock, 0) == 0) return;
  std::memcpy(lock.bits, Texels().data(), Texels().size() * 4);
  UnlockTextureBits(texture, 0);
}

// ---- The plain scalar reference ------------------------------------------------------

uint32_t Round255(uint32_t x) { return (x + 127) / 255; }  // round(x / 255): 255 is odd, so no ties

struct ScalarCompositor {
  uint8_t table[256];
  uint32_t premultiplied[4];  // b, g, r, a of the modulation

  explicit ScalarCompositor(uint32_t modulation) {
    vrGetTextCoverageTable(modulation, table);
    const uint32_t a = modulation >> 24;
    for (int c = 0; c < 3; ++c) premultiplied[c] = Round255(((modulation >> (8 * c)) & 0xFF) * a);
    premultiplied[3] = a;
  }

  // Shuffle and source-over of every texel, one at a time.
  void Draw(std::vector<uint32_t>& canvas, const std::vector<uint32_t>& texels) const {
    for (int32_t y = 0; y < kTextureHeight; ++y) {
      uint32_t* row = canvas.data() + static_cast<size_t>(kY + y) * kCanvasWidth + kX;
      for (int32_t x = 0; x < kTextureWidth; ++x) {
        const uint32_t t = texels[static_cast<size_t>(y) * kTextureWidth + x];
        const uint32_t coverage = std::max({t & 0xFF, (t >> 8) & 0xFF, (t >> 16) & 0xFF});
        const uint32_t k = table[coverage];
        uint32_t s[4];
        for (int c = 0; c < 4; ++c) s[c] = Round255(premultiplied[c] * k);
        const uint32_t inverse = 255 - s[3];
        uint32_t out = 0;
        for (int c = 0; c < 4; ++c) out |= (s[c] + Round255(((row[x] >> (8 * c)) & 0xFF) * inverse)) << (8 * c);
        row[x] = out;
      }
    }
  }
};

// ---- Benchmarks -----------------------------------------------------------------------
// `ours`: vaRodurod as the library calls it; `ours_scalar_kernels`: the same with its
// scalar kernels; `scalar`: the plain reference; `pipeline`: one whole draw's texture
// work (create, lock, fill, unlock, filter, shuffle, draw, delete).

struct Scene {
  CanvasHandle canvas = CreateCanvas(kCanvasWidth, kCanvasHeight);
  TextureHandle texture = CreateTexture(kTextureWidth, kTextureHeight);
  Scene() {
    ClearCanvas(canvas, kBackground);
    FillTexture(texture);
    SetTextureFilter(texture, TextureFilter{0, 0, 0, 1});
  }
  ~Scene() {
    DeleteTexture(texture);
    DeleteCanvas(canvas);
  }
  std::vector<uint32_t> Pixels() const {
    std::vector<uint32_t> pixels(static_cast<size_t>(kCanvasWidth) * kCanvasHeight);
    ReadCanvasPixels(canvas, pixels.data(), static_cast<uint32_t>(pixels.size() * 4));
    return pixels;
  }
  void Draw() const {
    ShuffleTexture(texture, 6);
    DrawModulation(canvas, kX, kY, texture, kTextColour);
  }
};

// True when one draw by vaRodurod paints what one draw of the reference paints.
bool SamePixels() {
  Scene scene;
  std::vector<uint32_t> reference = scene.Pixels();
  scene.Draw();
  ScalarCompositor(kTextColour).Draw(reference, Texels());
  return scene.Pixels() == reference;
}

void SetCounters(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kTextureWidth * kTextureHeight);  // texels
}

void OursWith(benchmark::State& state, int32_t vector) {
  if (!SamePixels()) {
    state.SkipWithError("vaRodurod and the scalar reference disagree");
    return;
  }
  const int32_t previous = vrUseVectorKernels(vector);
  Scene scene;
  for (auto _ : state) {
    scene.Draw();
    benchmark::ClobberMemory();
  }
  vrUseVectorKernels(previous);
  SetCounters(state);
}

void BM_Ours(benchmark::State& state) { OursWith(state, 1); }
void BM_OursScalarKernels(benchmark::State& state) { OursWith(state, 0); }

void BM_Scalar(benchmark::State& state) {
  std::vector<uint32_t> canvas(static_cast<size_t>(kCanvasWidth) * kCanvasHeight, kBackground);
  const ScalarCompositor compositor(kTextColour);
  const std::vector<uint32_t>& texels = Texels();
  for (auto _ : state) {
    compositor.Draw(canvas, texels);
    benchmark::DoNotOptimize(canvas.data());
    benchmark::ClobberMemory();
  }
  SetCounters(state);
}

void BM_Pipeline(benchmark::State& state) {
  const CanvasHandle canvas = CreateCanvas(kCanvasWidth, kCanvasHeight);
  ClearCanvas(canvas, kBackground);
  for (auto _ : state) {
    const TextureHandle texture = CreateTexture(kTextureWidth, kTextureHeight);
    FillTexture(texture);
    SetTextureFilter(texture, TextureFilter{0, 0, 0, 1});
    ShuffleTexture(texture, 6);
    DrawModulation(canvas, kX, kY, texture, kTextColour);
    DeleteTexture(texture);
  }
  DeleteCanvas(canvas);
  SetCounters(state);
}

BENCHMARK(BM_Ours)->Name("composite/paragraph/ours");
BENCHMARK(BM_OursScalarKernels)->Name("composite/paragraph/ours_scalar_kernels");
BENCHMARK(BM_Scalar)->Name("composite/paragraph/scalar");
BENCHMARK(BM_Pipeline)->Name("composite/paragraph/pipeline");

}  // namespace
