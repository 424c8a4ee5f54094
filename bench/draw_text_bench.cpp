// DrawTextW speed against the Linux peers in one run: Pango (with Cairo for
// drawing) and SDL2_ttf, all in DejaVu Sans at an em of 16 px. Workloads: a short
// label, a sentence, a 600-character paragraph wrapped at 300 px and a mixed-script
// line; "measure" repeats the same string (as a host does every frame),
// "measure_cold" takes the next of 10,000 distinct sentences each call, and
// draw/paragraph/memset is the floor of writing the paragraph's pixels once.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench/text_workloads.hpp"
#include "platform/gdi.h"
#include "ziVodaRerodo/utf.hpp"

#if ZIVODA_BENCH_TEXT_PEERS
#include <SDL2/SDL_ttf.h>
#include <pango/pangocairo.h>
#endif

namespace {

using namespace zivoda::bench;

std::u16string Wide(const std::string& text) {
  std::u16string out;
  zivoda::Utf8ToUtf16(text.c_str(), out);
  return out;
}

// The pinned test fonts, so every implementation sees the same DejaVu Sans and
// the same fallback fonts.
const bool kFontsPinned = [] {
  setenv("FONTCONFIG_FILE", ZIVODA_TEST_FONTS_CONF, 0);
  return true;
}();

// 10,000 distinct sentences of real English words (fixed seed).
const std::vector<std::string>& ColdSentences() {
  static const std::vector<std::string> sentences = [] {
    static const char* const kWords[] = {
        "time", "person", "year", "way", "day", "thing", "man", "world", "life", "hand", "part", "child",
        "eye", "woman", "place", "work", "week", "case", "point", "government", "company", "number",
        "group", "problem", "fact", "be", "have", "do", "say", "get", "make", "go", "know", "take", "see",
        "come", "think", "look", "want", "give", "use", "find", "tell", "ask", "seem", "feel", "try",
        "leave", "call", "good", "new", "first", "last", "long", "great", "little", "own", "other", "old",
        "right", "big", "high", "different", "small", "large", "next", "early", "young", "important",
        "few", "public", "bad", "same", "able", "to", "of", "in", "for", "on", "with", "at", "by", "from",
        "up", "about", "into", "over", "after", "the", "and", "a", "that", "it", "not", "he", "as", "you",
        "this", "but", "his", "they", "her", "she", "or", "an", "will", "my", "one", "all", "would",
        "there", "their", "river", "garden", "window", "morning", "evening", "letter", "music", "table",
        "harbour", "mountain", "village", "station", "market", "winter", "summer", "bright", "quiet",
        "slowly", "quickly", "carefully", "yesterday", "tomorrow", "always", "never", "often", "kitchen",
        "teacher", "doctor", "friend", "family", "history", "science", "question", "answer", "story"};
    std::mt19937 rng(7);
    std::set<std::string> seen;
    std::vector<std::string> out;
    while (out.size() < 10000) {
      std::string s;
      const int words = 6 + static_cast<int>(rng() % 7);
      for (int w = 0; w < words; ++w) {
        std::string word = kWords[rng() % std::size(kWords)];
        if (w == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
        s += (w == 0 ? "" : " ") + word;
      }
      s += '.';
      if (seen.insert(s).second) out.push_back(s);
    }
    return out;
  }();
  return sentences;
}

// ---- ours: DrawTextW on a memory DC ------------------------------------------------

class OurContext {
 public:
  OurContext(int width, int height) {
    dc_ = CreateCompatibleDC(nullptr);
    LOGFONTW logfont{};
    logfont.lfHeight = -kEm;
    logfont.lfWeight = FW_NORMAL;
    std::u16string(u"DejaVu Sans").copy(logfont.lfFaceName, LF_FACESIZE - 1);
    font_ = CreateFontIndirectW(&logfont);
    HDC screen = GetDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    oldFont_ = SelectObject(dc_, font_);
    oldBitmap_ = SelectObject(dc_, bitmap_);
    SetTextColor(dc_, RGB(255, 255, 255));
    SetBkMode(dc_, TRANSPARENT);
  }
  ~OurContext() {
    SelectObject(dc_, oldBitmap_);
    SelectObject(dc_, oldFont_);
    DeleteObject(bitmap_);
    DeleteObject(font_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HFONT font_;
  HBITMAP bitmap_;
  HGDIOBJ oldFont_, oldBitmap_;
};

UINT Flags(bool wrap) { return wrap ? DT_WORDBREAK : DT_SINGLELINE; }
int BoxWidth(bool wrap) { return wrap ? kWrapWidth : 2000; }

// The paragraph's height at the wrap width, for the drawing surfaces.
int ParagraphHeight() {
  static const int height = [] {
    OurContext context(1, 1);
    const std::u16string text = Wide(kParagraph);
    RECT rc{0, 0, kWrapWidth, 0};
    DrawTextW(context.dc(), text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_WORDBREAK);
    return rc.bottom + 8;
  }();
  return height;
}

void MeasureOurs(benchmark::State& state, const Workload& w) {
  OurContext context(1, 1);
  const std::u16string text = Wide(w.text);
  for (auto _ : state) {
    RECT rc{0, 0, BoxWidth(w.wrap), 0};
    benchmark::DoNotOptimize(
        DrawTextW(context.dc(), text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | Flags(w.wrap)));
    benchmark::DoNotOptimize(rc);
  }
}

void DrawOurs(benchmark::State& state, const Workload& w) {
  const int height = w.wrap ? ParagraphHeight() : 24;
  OurContext context(w.wrap ? kWrapWidth : 600, height);
  const std::u16string text = Wide(w.text);
  for (auto _ : state) {
    RECT rc{0, 0, w.wrap ? kWrapWidth : 600, height};
    benchmark::DoNotOptimize(
        DrawTextW(context.dc(), text.c_str(), static_cast<int>(text.size()), &rc, Flags(w.wrap)));
  }
}

void MeasureColdOurs(benchmark::State& state) {
  OurContext context(1, 1);
  std::vector<std::u16string> texts;
  for (const std::string& s : ColdSentences()) texts.push_back(Wide(s));
  size_t next = 0;
  for (auto _ : state) {
    const std::u16string& text = texts[next++ % texts.size()];
    RECT rc{0, 0, 2000, 0};
    benchmark::DoNotOptimize(
        DrawTextW(context.dc(), text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_SINGLELINE));
  }
}

void DrawParagraphMemset(benchmark::State& state) {
  std::vector<uint32_t> pixels(static_cast<size_t>(kWrapWidth) * static_cast<size_t>(ParagraphHeight()));
  for (auto _ : state) {
    std::memset(pixels.data(), 0xFF, pixels.size() * sizeof(uint32_t));
    benchmark::ClobberMemory();
  }
}

#if ZIVODA_BENCH_TEXT_PEERS

// ---- Pango (pangocairo) -----------------------------------------------------------------

class PangoContext {
 public:
  PangoContext(int width, int height) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_ = cairo_create(surface_);
    layout_ = pango_cairo_create_layout(cairo_);
    PangoFontDescription* description = pango_font_description_from_string("DejaVu Sans");
    pango_font_description_set_absolute_size(description, kEm * PANGO_SCALE);
    pango_layout_set_font_description(layout_, description);
    pango_font_description_free(description);
    cairo_set_source_rgb(cairo_, 1, 1, 1);
  }
  ~PangoContext() {
    g_object_unref(layout_);
    cairo_destroy(cairo_);
    cairo_surface_destroy(surface_);
  }
  void Wrap(bool wrap) {
    pango_layout_set_width(layout_, wrap ? kWrapWidth * PANGO_SCALE : -1);
    pango_layout_set_wrap(layout_, PANGO_WRAP_WORD);
  }
  PangoLayout* layout() const { return layout_; }
  cairo_t* cairo() const { return cairo_; }

 private:
  cairo_surface_t* surface_;
  cairo_t* cairo_;
  PangoLayout* layout_;
};

void MeasurePango(benchmark::State& state, const Workload& w) {
  PangoContext context(1, 1);
  context.Wrap(w.wrap);
  for (auto _ : state) {
    pango_layout_set_text(context.layout(), w.text, -1);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(context.layout(), nullptr, &logical);
    benchmark::DoNotOptimize(logical);
  }
}

void DrawPango(benchmark::State& state, const Workload& w) {
  PangoContext context(w.wrap ? kWrapWidth : 600, w.wrap ? ParagraphHeight() : 24);
  context.Wrap(w.wrap);
  for (auto _ : state) {
    pango_layout_set_text(context.layout(), w.text, -1);
    cairo_move_to(context.cairo(), 0, 0);
    pango_cairo_show_layout(context.cairo(), context.layout());
  }
}

void MeasureColdPango(benchmark::State& state) {
  PangoContext context(1, 1);
  const auto& sentences = ColdSentences();
  size_t next = 0;
  for (auto _ : state) {
    pango_layout_set_text(context.layout(), sentences[next++ % sentences.size()].c_str(), -1);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(context.layout(), nullptr, &logical);
    benchmark::DoNotOptimize(logical);
  }
}

// ---- SDL2_ttf -----------------------------------------------------------------------------

class SdlFont {
 public:
  SdlFont() {
    if (TTF_WasInit() == 0) TTF_Init();
    font_ = TTF_OpenFont(kFontFile, kEm);  // points at 72 dpi: an em of kEm pixels
  }
  ~SdlFont() {
    if (font_ != nullptr) TTF_CloseFont(font_);
  }
  TTF_Font* get() const { return font_; }

 private:
  TTF_Font* font_;
};

// Greedy word wrap with TTF_MeasureUTF8: how many bytes fit, backed off to a space.
int WrapSdl(TTF_Font* font, const std::string& text) {
  int lines = 0;
  size_t start = 0;
  int widest = 0;
  while (start < text.size()) {
    int extent = 0, count = 0;
    TTF_MeasureUTF8(font, text.c_str() + start, kWrapWidth, &extent, &count);
    size_t end = start + static_cast<size_t>(count);
    if (end < text.size()) {
      const size_t space = text.rfind(' ', end);
      if (space != std::string::npos && space > start) end = space + 1;
      else if (count == 0) end = start + 1;
    }
    int w = 0, h = 0;
    const std::string line = text.substr(start, end - start);
    TTF_SizeUTF8(font, line.c_str(), &w, &h);
    widest = std::max(widest, w);
    start = end;
    ++lines;
  }
  return lines * 1000 + widest;
}

void MeasureSdl(benchmark::State& state, const Workload& w) {
  SdlFont font;
  const std::string text = w.text;
  for (auto _ : state) {
    if (w.wrap) {
      benchmark::DoNotOptimize(WrapSdl(font.get(), text));
    } else {
      int width = 0, height = 0;
      TTF_SizeUTF8(font.get(), text.c_str(), &width, &height);
      benchmark::DoNotOptimize(width);
    }
  }
}

void DrawSdl(benchmark::State& state, const Workload& w) {
  SdlFont font;
  const SDL_Color white{255, 255, 255, 255};
  for (auto _ : state) {
    SDL_Surface* surface = w.wrap ? TTF_RenderUTF8_Blended_Wrapped(font.get(), w.text, white, kWrapWidth)
                                  : TTF_RenderUTF8_Blended(font.get(), w.text, white);
    benchmark::DoNotOptimize(surface);
    SDL_FreeSurface(surface);
  }
}

void MeasureColdSdl(benchmark::State& state) {
  SdlFont font;
  const auto& sentences = ColdSentences();
  size_t next = 0;
  for (auto _ : state) {
    int width = 0, height = 0;
    TTF_SizeUTF8(font.get(), sentences[next++ % sentences.size()].c_str(), &width, &height);
    benchmark::DoNotOptimize(width);
  }
}

#endif

const bool kRegistered = [] {
  (void)kFontsPinned;
  for (const Workload& w : kWorkloads) {
    const std::string name = w.name;
    benchmark::RegisterBenchmark(("measure/" + name + "/ours").c_str(), MeasureOurs, w);
#if ZIVODA_BENCH_TEXT_PEERS
    benchmark::RegisterBenchmark(("measure/" + name + "/pango").c_str(), MeasurePango, w);
    benchmark::RegisterBenchmark(("measure/" + name + "/sdl_ttf").c_str(), MeasureSdl, w);
#endif
  }
  benchmark::RegisterBenchmark("measure_cold/sentence/ours", MeasureColdOurs);
#if ZIVODA_BENCH_TEXT_PEERS
  benchmark::RegisterBenchmark("measure_cold/sentence/pango", MeasureColdPango);
  benchmark::RegisterBenchmark("measure_cold/sentence/sdl_ttf", MeasureColdSdl);
#endif
  for (const Workload& w : kWorkloads) {
    const std::string name = w.name;
    benchmark::RegisterBenchmark(("draw/" + name + "/ours").c_str(), DrawOurs, w);
#if ZIVODA_BENCH_TEXT_PEERS
    benchmark::RegisterBenchmark(("draw/" + name + "/pango").c_str(), DrawPango, w);
    benchmark::RegisterBenchmark(("draw/" + name + "/sdl_ttf").c_str(), DrawSdl, w);
#endif
  }
  benchmark::RegisterBenchmark("draw/paragraph/memset", DrawParagraphMemset);
  return true;
}();

}  // namespace
