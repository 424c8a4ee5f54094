// The pixel work of DrawTextW: 0x00RRGGBB pixels, text colour blended by FreeType
// coverage (exact division by 255; white over black, how the library draws, is
// the coverage itself and skips the multiplies), rectangles filled for OPAQUE
// backgrounds and decorations. One-bit bitmaps keep their two values: a pixel turns white when
// the blended result is light. Every write is inside the clip and the bitmap.
#include "platform/text_renderer.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZIVODA_HAVE_AVX2_PATH 1
#endif

#include "platform/cpu_features.h"
#include "platform/glyph_cache.h"
#include "platform/text_line_mask.h"

namespace zivoda::gdi {
namespace {

struct Clip {
  int64_t left, top, right, bottom;
  bool Empty() const { return left >= right || top >= bottom; }
};

uint32_t ToPixel(COLORREF color) {
  const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  return (r << 16) | (g << 8) | b;
}

// (x + 127) / 255 for x in [0, 255 * 255], without a division.
inline uint32_t Div255(uint32_t x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}

inline uint32_t Blend(uint32_t dst, uint32_t src, uint32_t alpha) {
  const uint32_t inverse = 255 - alpha;
  const uint32_t r = Div255(((dst >> 16) & 0xFF) * inverse + ((src >> 16) & 0xFF) * alpha);
  const uint32_t g = Div255(((dst >> 8) & 0xFF) * inverse + ((src >> 8) & 0xFF) * alpha);
  const uint32_t b = Div255((dst & 0xFF) * inverse + (src & 0xFF) * alpha);
  return (r << 16) | (g << 8) | b;
}

inline uint32_t ToMonochrome(uint32_t pixel) {
  const uint32_t sum = ((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF);
  return sum >= 3 * 128 ? 0x00FFFFFF : 0;
}

#if ZIVODA_HAVE_AVX2_PATH
// Eight pixels at a time where the processor has AVX2 (checked once at run
// time); the same exact arithmetic as the scalar Blend. The channels are split
// by masks into 16-bit lanes (blue and red of each pixel, then green and the
// unused byte), so that the only shuffle is the one spreading the coverage
// bytes to their pixels. Returns the pixels done.
__attribute__((target("avx2"))) int64_t BlendRowAvx2(const uint8_t* coverage, uint32_t* out, int64_t count,
                                                     uint32_t pixel) {
  const __m256i low = _mm256_set1_epi32(0x00FF00FF);
  const __m256i full = _mm256_set1_epi16(255);
  const __m256i half = _mm256_set1_epi16(128);
  const __m256i m257 = _mm256_set1_epi16(257);
  const __m256i sourceEven = _mm256_set1_epi32(static_cast<int>(pixel & 0x00FF00FF));
  const __m256i sourceOdd = _mm256_set1_epi32(static_cast<int>((pixel >> 8) & 0x00FF00FF));
  const bool white = pixel == 0x00FFFFFF;
  const __m256i grey = _mm256_set1_epi32(0x010101);
  int64_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t eight;
    std::memcpy(&eight, coverage + i, 8);
    if (eight == 0) continue;
    const __m256i alpha32 = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(eight)));
    const __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + i));
    if (white && _mm256_testz_si256(dst, dst)) {
      // White over black, as the library draws: each colour is the coverage itself.
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_mullo_epi32(alpha32, grey));
      continue;
    }
    const __m256i alpha = _mm256_or_si256(alpha32, _mm256_slli_epi32(alpha32, 16));  // in both 16-bit lanes
    const __m256i inverse = _mm256_sub_epi16(full, alpha);
    const __m256i dstEven = _mm256_and_si256(dst, low);
    const __m256i dstOdd = _mm256_and_si256(_mm256_srli_epi16(dst, 8), low);
    __m256i even = _mm256_add_epi16(_mm256_mullo_epi16(dstEven, inverse), _mm256_mullo_epi16(sourceEven, alpha));
    __m256i odd = _mm256_add_epi16(_mm256_mullo_epi16(dstOdd, inverse), _mm256_mullo_epi16(sourceOdd, alpha));
    // round(x / 255) as (x + 128) * 257 >> 16: the same as Div255 up to 255 * 255.
    even = _mm256_mulhi_epu16(_mm256_add_epi16(even, half), m257);
    odd = _mm256_mulhi_epu16(_mm256_add_epi16(odd, half), m257);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_or_si256(even, _mm256_slli_epi16(odd, 8)));
  }
  return i;
}

#endif

class Painter {
 public:
  Painter(Bitmap& target, const Clip& clip) : target_(target), clip_(clip) {}

  void Fill(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel) {
    left = std::max(left, clip_.left);
    top = std::max(top, clip_.top);
    right = std::min(right, clip_.right);
    bottom = std::min(bottom, clip_.bottom);
    if (left >= right || top >= bottom) return;
    if (target_.bitsPixel == 1) pixel = ToMonochrome(pixel);
    for (int64_t y = top; y < bottom; ++y) {
      uint32_t* row = target_.Row(static_cast<int32_t>(y));
      std::fill(row + left, row + right, pixel);
    }
  }

  void Glyph(const GlyphImage& image, int64_t x, int64_t y, uint32_t pixel) {
    const int64_t left = std::max(x, clip_.left);
    const int64_t top = std::max(y, clip_.top);
    const int64_t right = std::min(x + image.width, clip_.right);
    const int64_t bottom = std::min(y + image.height, clip_.bottom);
    if (left >= right || top >= bottom) return;
    const bool mono = target_.bitsPixel == 1;
    if (!mono) {
      for (int64_t row = top; row < bottom; ++row) {
        BlendRow(image.coverage.data() + (row - y) * image.width + (left - x),
                 target_.Row(static_cast<int32_t>(row)) + left, right - left, pixel);
      }
      return;
    }
    for (int64_t row = top; row < bottom; ++row) {
      const uint8_t* coverage = image.coverage.data() + (row - y) * image.width + (left - x);
      uint32_t* out = target_.Row(static_cast<int32_t>(row)) + left;
      for (int64_t col = left; col < right; ++col, ++coverage, ++out) {
        const uint32_t alpha = *coverage;
        if (alpha == 0) continue;
        uint32_t value = alpha == 255 ? pixel : Blend(*out, pixel, alpha);
        if (mono) value = ToMonochrome(value);
        *out = value;
      }
    }
  }

 private:
  // One row of a 32-bit target: coverage blends pixel over out, count pixels.
  static void BlendRow(const uint8_t* coverage, uint32_t* out, int64_t count, uint32_t pixel) {
    int64_t i = 0;
#if ZIVODA_HAVE_AVX2_PATH
    if (cpu::kAvx2) i = BlendRowAvx2(coverage, out, count, pixel);
#endif
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(128);
    const __m128i m257 = _mm_set1_epi16(257);
    const __m128i source = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(pixel)), zero);
    for (; i + 4 <= count; i += 4) {
      uint32_t four;
      std::memcpy(&four, coverage + i, 4);
      if (four == 0) continue;
      if (four == 0xFFFFFFFFu) {
        const __m128i solid = _mm_set1_epi32(static_cast<int>(pixel));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), solid);
        continue;
      }
      __m128i alpha = _mm_cvtsi32_si128(static_cast<int>(four));
      alpha = _mm_unpacklo_epi8(alpha, alpha);
      alpha = _mm_unpacklo_epi16(alpha, alpha);  // each coverage byte 4 times
      const __m128i alphaLo = _mm_unpacklo_epi8(alpha, zero);
      const __m128i alphaHi = _mm_unpackhi_epi8(alpha, zero);
      const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i));
      const __m128i dstLo = _mm_unpacklo_epi8(dst, zero);
      const __m128i dstHi = _mm_unpackhi_epi8(dst, zero);
      // (dst * (255 - a) + src * a + 127) / 255, exactly, in 16-bit lanes.
      __m128i lo = _mm_add_epi16(_mm_mullo_epi16(dstLo, _mm_sub_epi16(full, alphaLo)), _mm_mullo_epi16(source, alphaLo));
      __m128i hi = _mm_add_epi16(_mm_mullo_epi16(dstHi, _mm_sub_epi16(full, alphaHi)), _mm_mullo_epi16(source, alphaHi));
      lo = _mm_mulhi_epu16(_mm_add_epi16(lo, half), m257);
      hi = _mm_mulhi_epu16(_mm_add_epi16(hi, half), m257);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
#endif
    const bool white = pixel == 0x00FFFFFF;
    for (; i < count; ++i) {
      const uint32_t alpha = coverage[i];
      if (alpha == 0) continue;
      if (white && out[i] == 0) {
        out[i] = alpha * 0x010101u;  // white over black: the coverage itself
        continue;
      }
      out[i] = alpha == 255 ? pixel : Blend(out[i], pixel, alpha);
    }
  }

  Bitmap& target_;
  Clip clip_;
};

}  // namespace

void PaintLayout(const TextLayout& layout, const std::vector<LineOrigin>& origins, const PaintOptions& options,
                 Bitmap& target) {
  Clip clip{std::max<int64_t>(options.clipLeft, 0), std::max<int64_t>(options.clipTop, 0),
            std::min<int64_t>(options.clipRight, target.width), std::min<int64_t>(options.clipBottom, target.height)};
  if (clip.Empty() || !target.pixels) return;
  Painter painter(target, clip);
  const uint32_t text = ToPixel(options.textColor);
  const int64_t height = layout.lineHeight;
  for (const LineOrigin& origin : origins) {
    if (origin.line >= layout.lines.size()) continue;
    const LayoutLine& line = layout.lines[origin.line];
    // Lines wholly outside the clip cost nothing.
    if (origin.y >= clip.bottom || origin.y + std::max<int64_t>(height, 1) + 64 <= clip.top) continue;
    const int64_t baseline = origin.y + layout.ascent;
    if (options.opaque) {
      painter.Fill(origin.x, origin.y, origin.x + line.width, origin.y + height, ToPixel(options.bkColor));
    }
    if (options.glyphs) {
      if (const GlyphImage* mask = CachedLineMask(layout, origin.line)) {
        painter.Glyph(*mask, origin.x + mask->left, origin.y - mask->top, text);
      } else {
        for (uint32_t r = line.runBegin; r < line.runEnd; ++r) {
          const GlyphRun& run = layout.runs[r];
          const RunFont& font = layout.fonts.fonts[run.font];
          for (uint32_t g = run.begin; g < run.end; ++g) {
            const PlacedGlyph& glyph = layout.glyphs[g];
            const GlyphImage* image = RasterizedGlyph(font, glyph.glyph);
            if (image == nullptr || image->width == 0 || image->height == 0) continue;
            painter.Glyph(*image, origin.x + glyph.x + image->left, baseline + glyph.y - image->top, text);
          }
        }
      }
      if (layout.underlined) {
        const int64_t top = baseline + layout.underline.top;
        painter.Fill(origin.x, top, origin.x + line.width, top + layout.underline.thickness, text);
      }
      if (layout.struckOut) {
        const int64_t top = baseline + layout.strikeout.top;
        painter.Fill(origin.x, top, origin.x + line.width, top + layout.strikeout.thickness, text);
      }
    }
    if (options.prefixes && line.hasPrefix) {
      const int64_t top = baseline + layout.underline.top;
      painter.Fill(origin.x + line.prefixLeft, top, origin.x + line.prefixRight, top + layout.underline.thickness,
                   text);
    }
  }
}

}  // namespace zivoda::gdi
