// The compositing passes, in SSE2 (baseline on x86-64) four pixels a step, in
// AVX2 eight a step for coverage where the processor has it, and in scalar code,
// with the same rounding so all give the same pixels. Coverage passes skip each
// row's empty margins and all-zero groups, and store fully covered groups of an
// opaque colour without blending.
#include "composite.hpp"

#include <algorithm>
#include <cstring>

#include "avx2_kernels.hpp"
#include "pixel_math.hpp"
#include "text_contrast.hpp"
#include "vaRodurod.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varodurod {

std::optional<Placement> PlaceTexture(const Rect& clip, int32_t x, int32_t y, int32_t width, int32_t height) {
  const int64_t left = std::max<int64_t>(clip.left, x);
  const int64_t top = std::max<int64_t>(clip.top, y);
  const int64_t right = std::min<int64_t>(clip.right, int64_t{x} + width);
  const int64_t bottom = std::min<int64_t>(clip.bottom, int64_t{y} + height);
  if (left >= right || top >= bottom) return std::nullopt;
  return Placement{static_cast<int32_t>(left),     static_cast<int32_t>(top),
                   static_cast<int32_t>(right),    static_cast<int32_t>(bottom),
                   static_cast<int32_t>(left - x), static_cast<int32_t>(top - y)};
}

void BuildCoverageSource(uint32_t modulation, CoverageSource& source) {
  const uint8_t* table = TextCoverageTable(modulation);
  const uint32_t m = Premultiply(modulation);
  for (int c = 0; c < 256; ++c) {
    const uint32_t k = table[c];
    source[c] = (Div255(Channel(m, 24) * k) << 24) | (Div255(Channel(m, 16) * k) << 16) |
                (Div255(Channel(m, 8) * k) << 8) | Div255(Channel(m, 0) * k);
  }
}

namespace {

// ---- Scalar pixels -------------------------------------------------------------
// Pixels are premultiplied 0xAARRGGBB; a source pixel S is the texel (premultiplied)
// times the premultiplied modulation, each channel rounded to nearest, and
// source-over gives S + D * (255 - S.alpha) / 255, rounded the same way.

// S + D * (255 - S.alpha) / 255; no channel carries into the next, as both are premultiplied.
inline uint32_t Over(uint32_t s, uint32_t d) {
  const uint32_t inv = 255 - (s >> 24);
  return s + ((Div255(Channel(d, 24) * inv) << 24) | (Div255(Channel(d, 16) * inv) << 16) |
              (Div255(Channel(d, 8) * inv) << 8) | Div255(Channel(d, 0) * inv));
}

// A texel as a premultiplied pixel under its mode.
inline uint32_t TexelPixel(uint32_t t, int mode) {
  if (mode == VR_SHUFFLE_OPAQUE) return t | 0xFF000000u;
  const uint32_t a = t >> 24;
  return (a << 24) | (std::min(Channel(t, 16), a) << 16) | (std::min(Channel(t, 8), a) << 8) |
         std::min(Channel(t, 0), a);
}

inline uint32_t Modulate(uint32_t p, uint32_t m) {
  return (Div255(Channel(p, 24) * Channel(m, 24)) << 24) | (Div255(Channel(p, 16) * Channel(m, 16)) << 16) |
         (Div255(Channel(p, 8) * Channel(m, 8)) << 8) | Div255(Channel(p, 0) * Channel(m, 0));
}

void CoverageOverRowScalar(const uint8_t* coverage, uint32_t* dst, int32_t n, const CoverageSource& source) {
  for (int32_t i = 0; i < n; ++i) {
    if (coverage[i] != 0) dst[i] = Over(source[coverage[i]], dst[i]);
  }
}

void TexelRowScalar(const uint32_t* texels, uint32_t* dst, int32_t n, int mode, uint32_t m, bool over) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t s = Modulate(TexelPixel(texels[i], mode), m);
    dst[i] = over ? Over(s, dst[i]) : s;
  }
}

// ---- SSE2 pixels ---------------------------------------------------------------

#if defined(__SSE2__)
// round(x / 255) in each 16-bit lane, for x <= 255 * 255: (x + 128) * 257 >> 16,
// which equals Div255's shifts and adds over that range.
inline __m128i Div255x8(__m128i x) {
  return _mm_mulhi_epu16(_mm_add_epi16(x, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}

// Over() for four pixels.
inline __m128i Over4(__m128i s, __m128i d) {
  const __m128i zero = _mm_setzero_si128();
  __m128i inv = _mm_sub_epi32(_mm_set1_epi32(255), _mm_srli_epi32(s, 24));
  inv = _mm_or_si128(inv, _mm_slli_epi32(inv, 16));  // (inv, inv) in each pixel's two 16-bit halves
  const __m128i lo = Div255x8(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi32(inv, inv)));
  const __m128i hi = Div255x8(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi32(inv, inv)));
  return _mm_adds_epu8(_mm_packus_epi16(lo, hi), s);
}

// Four texels of coverage onto four canvas pixels.
inline void CoverageOver4(const uint8_t* coverage, uint32_t* dst, const CoverageSource& source, bool opaque,
                          __m128i full) {
  uint32_t c;
  std::memcpy(&c, coverage, 4);
  if (c == 0) return;
  __m128i* d = reinterpret_cast<__m128i*>(dst);
  if (opaque && c == 0xFFFFFFFFu) {
    _mm_storeu_si128(d, full);
    return;
  }
  const __m128i s = _mm_setr_epi32(static_cast<int>(source[c & 0xFF]), static_cast<int>(source[(c >> 8) & 0xFF]),
                                   static_cast<int>(source[(c >> 16) & 0xFF]), static_cast<int>(source[c >> 24]));
  _mm_storeu_si128(d, Over4(s, _mm_loadu_si128(d)));
}

// Four texels a step: text rows alternate short runs of ink and gaps, so finer steps
// than whole rows' spans pay; wider steps measured no faster.
void CoverageOverRowVector(const uint8_t* coverage, uint32_t* dst, int32_t n, const CoverageSource& source) {
  const bool opaque = (source[255] >> 24) == 255;
  const __m128i full = _mm_set1_epi32(static_cast<int>(source[255]));
  int32_t i = HaveAvx2() ? CoverageOverRowAvx2(coverage, dst, n, source.data()) : 0;
  for (; i + 4 <= n; i += 4) CoverageOver4(coverage + i, dst + i, source, opaque, full);
  CoverageOverRowScalar(coverage + i, dst + i, n - i, source);
}

void TexelRowVector(const uint32_t* texels, uint32_t* dst, int32_t n, int mode, uint32_t m, bool over) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i mod = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(m)), zero);  // (b, g, r, a) twice
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels + i));
    if (mode == VR_SHUFFLE_OPAQUE) {
      t = _mm_or_si128(t, alpha);
    } else {
      __m128i a = _mm_srli_epi32(t, 24);
      a = _mm_or_si128(a, _mm_slli_epi32(a, 8));
      a = _mm_or_si128(a, _mm_slli_epi32(a, 16));  // the alpha in every byte of its pixel
      t = _mm_min_epu8(t, a);
      if (over && _mm_movemask_epi8(_mm_cmpeq_epi8(t, zero)) == 0xFFFF) continue;  // transparent: no change
    }
    const __m128i lo = Div255x8(_mm_mullo_epi16(_mm_unpacklo_epi8(t, zero), mod));
    const __m128i hi = Div255x8(_mm_mullo_epi16(_mm_unpackhi_epi8(t, zero), mod));
    const __m128i s = _mm_packus_epi16(lo, hi);
    __m128i* d = reinterpret_cast<__m128i*>(dst + i);
    _mm_storeu_si128(d, over ? Over4(s, _mm_loadu_si128(d)) : s);
  }
  TexelRowScalar(texels + i, dst + i, n - i, mode, m, over);
}
#else
void CoverageOverRowVector(const uint8_t* coverage, uint32_t* dst, int32_t n, const CoverageSource& source) {
  CoverageOverRowScalar(coverage, dst, n, source);
}
void TexelRowVector(const uint32_t* texels, uint32_t* dst, int32_t n, int mode, uint32_t m, bool over) {
  TexelRowScalar(texels, dst, n, mode, m, over);
}
#endif

}  // namespace

// ---- Row drivers -------------------------------------------------------------------

void DrawCoverage(Canvas& canvas, const Placement& at, const CoverageMask& mask, const CoverageSource& source,
                  int blend, bool vector) {
  const int32_t columns = at.x1 - at.x0;
  // Zero coverage leaves a pixel as it is when its source is 0, so a row's span
  // may then grow to whole groups of eight within the columns, to either side:
  // no scalar tail unless the columns are fewer than eight.
  const bool widenSpans = source[0] == 0;
  for (int32_t y = at.y0; y < at.y1; ++y) {
    const int32_t ty = at.texelY + (y - at.y0);
    uint32_t* dst = canvas.row(y) + at.x0;
    const uint8_t* coverage = mask.row(ty) + at.texelX;
    if (blend == VR_BLEND_COPY) {
      for (int32_t i = 0; i < columns; ++i) dst[i] = source[coverage[i]];
      continue;
    }
    // Only the row's span of nonzero coverage, cut to the columns that land.
    const RowSpan span = mask.span(ty);
    int32_t begin = std::max(span.begin - at.texelX, 0);
    int32_t end = std::min(span.end - at.texelX, columns);
    if (begin >= end) continue;
    if (widenSpans) {
      // Whole groups of eight, moved left where the columns end first.
      const int32_t width = std::min((end - begin + 7) / 8 * 8, columns);
      begin = std::min(begin, columns - width);
      end = begin + width;
    }
    if (vector) {
      CoverageOverRowVector(coverage + begin, dst + begin, end - begin, source);
    } else {
      CoverageOverRowScalar(coverage + begin, dst + begin, end - begin, source);
    }
  }
}

void DrawTexels(Canvas& canvas, const Placement& at, const uint32_t* texels, int32_t textureWidth, int32_t mode,
                uint32_t modulation, int blend, bool vector) {
  const uint32_t m = Premultiply(modulation);
  const bool over = blend == VR_BLEND_OVER;
  const int32_t columns = at.x1 - at.x0;
  for (int32_t y = at.y0; y < at.y1; ++y) {
    const size_t ty = static_cast<size_t>(at.texelY + (y - at.y0));
    const uint32_t* src = texels + ty * static_cast<size_t>(textureWidth) + at.texelX;
    uint32_t* dst = canvas.row(y) + at.x0;
    if (vector) {
      TexelRowVector(src, dst, columns, mode, m, over);
    } else {
      TexelRowScalar(src, dst, columns, mode, m, over);
    }
  }
}

}  // namespace varodurod
