// The exports as a host calls them: vxCalcTextBox, and vxDrawText onto a
// 1024x768 canvas composited with a colour, beside Pango+Cairo doing the same job
// (layout in the box with the alignment, render, composite with a colour onto an
// ARGB surface) and SDL2_ttf (render, then blit with alpha onto a surface).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/text_workloads.hpp"
#include "vaRodurod.h"
#include "ziVodaRerodo.h"
#include "ziVodaRerodo/documents.hpp"

#if ZIVODA_BENCH_TEXT_PEERS
#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
#include <pango/pangocairo.h>
#endif

namespace {

using namespace zivoda::bench;

constexpr int kCanvasW = 1024, kCanvasH = 768;
constexpr uint32_t kColor = 0xFF202830;

// DejaVu Sans at 12 points: an em of 16 px (12 * 100 / 72, truncated).
const bool kRegisteredBody = [] {
  setenv("FONTCONFIG_FILE", ZIVODA_TEST_FONTS_CONF, 0);
  const KespTag t = zivoda::LoadKespFromString("<F><Font id=\"body\" face=\"DejaVu Sans\" size=\"12\"/></F>");
  vxRegisterFont(t);
  vxReleaseKespTree(t);
  return true;
}();

// Lines at the top of their box: with DT_VCENTER the measured box of a single
// line reaches from the box's top to the centred line, and the drawing bitmap
// with it.
Rect BoxFor(const Workload& w) { return Rect{40, 40, 40 + (w.wrap ? kWrapWidth : 900), w.wrap ? 700 : 80}; }
uint32_t FormatFor(const Workload& w) { return w.wrap ? VX_DT_WORDBREAK : VX_DT_SINGLELINE; }

void CalcOurs(benchmark::State& state, const Workload& w) {
  for (auto _ : state) {
    Rect box = BoxFor(w);
    vxCalcTextBox(&box, w.text, FormatFor(w), "body");
    benchmark::DoNotOptimize(box);
  }
}

class OurCanvas {
 public:
  OurCanvas() : canvas_(CreateCanvas(kCanvasW, kCanvasH)) { ClearCanvas(canvas_, 0xFFF4F1EA); }
  ~OurCanvas() { DeleteCanvas(canvas_); }
  CanvasHandle get() const { return canvas_; }

 private:
  CanvasHandle canvas_;
};

void DrawOurs(benchmark::State& state, const Workload& w) {
  OurCanvas canvas;
  const Rect box = BoxFor(w);
  for (auto _ : state) vxDrawText(canvas.get(), &box, w.text, FormatFor(w), kColor, "body");
}

void DrawClippedOut(benchmark::State& state) {
  OurCanvas canvas;
  const Rect clip{0, 0, 200, 200};
  SetCanvasClip(canvas.get(), &clip);
  const Rect box{400, 400, 1000, 460};  // wholly outside the clip
  for (auto _ : state) vxDrawText(canvas.get(), &box, kSentence, VX_DT_SINGLELINE, kColor, "body");
}

// RSS growth over one million draws of distinct strings: caches stay bounded.
long ResidentKiB() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4;
}

void DrawMillionDistinct(benchmark::State& state) {
  OurCanvas canvas;
  const Rect box{10, 10, 400, 40};
  for (auto _ : state) {
    long before = 0;
    for (int i = 0; i < 1000000; ++i) {
      const std::string text = "Item " + std::to_string(i) + " of the list";
      vxDrawText(canvas.get(), &box, text.c_str(), VX_DT_SINGLELINE, kColor, "body");
      if (i == 100000) before = ResidentKiB();  // after the caches have filled
    }
    state.counters["rss_growth_kib"] = static_cast<double>(ResidentKiB() - before);
    state.counters["textures_alive"] = vrLiveTextures();
  }
}

#if ZIVODA_BENCH_TEXT_PEERS

void DrawPango(benchmark::State& state, const Workload& w) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kCanvasW, kCanvasH);
  cairo_t* cr = cairo_create(surface);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* d = pango_font_description_from_string("DejaVu Sans");
  pango_font_description_set_absolute_size(d, kEm * PANGO_SCALE);
  pango_layout_set_font_description(layout, d);
  pango_font_description_free(d);
  const Rect box = BoxFor(w);
  for (auto _ : state) {
    pango_layout_set_text(layout, w.text, -1);
    if (w.wrap) {
      pango_layout_set_width(layout, (box.right - box.left) * PANGO_SCALE);
      pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    }
    const int y = box.top;
    cairo_set_source_rgba(cr, 0x20 / 255.0, 0x28 / 255.0, 0x30 / 255.0, 1.0);
    cairo_move_to(cr, box.left, y);
    pango_cairo_show_layout(cr, layout);
  }
  g_object_unref(layout);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

void DrawSdl(benchmark::State& state, const Workload& w) {
  if (TTF_WasInit() == 0) TTF_Init();
  TTF_Font* font = TTF_OpenFont(kFontFile, kEm);
  SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kCanvasW, kCanvasH, 32, SDL_PIXELFORMAT_ARGB8888);
  const SDL_Color color{0x20, 0x28, 0x30, 0xFF};
  const Rect box = BoxFor(w);
  for (auto _ : state) {
    SDL_Surface* text = w.wrap ? TTF_RenderUTF8_Blended_Wrapped(font, w.text, color, box.right - box.left)
                               : TTF_RenderUTF8_Blended(font, w.text, color);
    if (text != nullptr) {
      SDL_SetSurfaceBlendMode(text, SDL_BLENDMODE_BLEND);
      SDL_Rect at{box.left, box.top, text->w, text->h};
      SDL_BlitSurface(text, nullptr, target, &at);
      SDL_FreeSurface(text);
    }
  }
  SDL_FreeSurface(target);
  TTF_CloseFont(font);
}

#endif

const bool kRegistered = [] {
  for (const Workload& w : kWorkloads) {
    const std::string name = w.name;
    benchmark::RegisterBenchmark(("calc_text_box/" + name + "/ours").c_str(), CalcOurs, w)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("draw_text/" + name + "/ours").c_str(), DrawOurs, w)
        ->Unit(benchmark::kMicrosecond);
#if ZIVODA_BENCH_TEXT_PEERS
    benchmark::RegisterBenchmark(("draw_text/" + name + "/pango").c_str(), DrawPango, w)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("draw_text/" + name + "/sdl_ttf").c_str(), DrawSdl, w)
        ->Unit(benchmark::kMicrosecond);
#endif
  }
  benchmark::RegisterBenchmark("draw_text/clipped_out/ours", DrawClippedOut)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("draw_text/million_distinct/ours", DrawMillionDistinct)
      ->Iterations(1)
      ->Unit(benchmark::kSecond);
  return true;
}();

}  // namespace
