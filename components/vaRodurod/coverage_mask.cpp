// Grey levels to coverage (ShuffleTexture mode 6), 32 texels a step with AVX2
// where the processor has it, 16 with SSE2 (baseline on x86-64), and a scalar
// loop elsewhere and for row tails. The span
// of nonzero coverage falls out of the same pass.
#include "coverage_mask.hpp"

#include <algorithm>

#include "avx2_kernels.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varodurod {
namespace {

inline uint8_t MaxOfColour(uint32_t texel) {
  return static_cast<uint8_t>(std::max({texel & 0xFFu, (texel >> 8) & 0xFFu, (texel >> 16) & 0xFFu}));
}

// Scalar pass over [from, n), extending span.
void ScalarTail(const uint32_t* texels, uint8_t* coverage, int32_t from, int32_t n, RowSpan& span) {
  for (int32_t x = from; x < n; ++x) {
    const uint8_t c = MaxOfColour(texels[x]);
    coverage[x] = c;
    if (c != 0) {
      if (span.begin == span.end) span.begin = x;
      span.end = x + 1;
    }
  }
}

RowSpan CoverageRowScalar(const uint32_t* texels, uint8_t* coverage, int32_t n) {
  RowSpan span{0, 0};
  ScalarTail(texels, coverage, 0, n, span);
  return span;
}

#if defined(__SSE2__)
// max(B, G, R) of four texels, in the low byte of each 32-bit lane (others zero).
inline __m128i MaxOfColour4(__m128i p) {
  __m128i m = _mm_max_epu8(p, _mm_srli_epi32(p, 8));
  m = _mm_max_epu8(m, _mm_srli_epi32(p, 16));
  return _mm_and_si128(m, _mm_set1_epi32(0xFF));
}

RowSpan CoverageRowVector(const uint32_t* texels, uint8_t* coverage, int32_t n) {
  RowSpan span{0, 0};
  const __m128i zero = _mm_setzero_si128();
  int32_t x = HaveAvx2() ? CoverageRowAvx2(texels, coverage, n, span) : 0;
  for (; x < n; x += 16) {
    // The last step of a row at least 16 wide ends at the row's end, over texels
    // done already: they come out the same, and the span only grows.
    if (x + 16 > n) {
      if (n < 16) break;
      x = n - 16;
    }
    const __m128i* src = reinterpret_cast<const __m128i*>(texels + x);
    const __m128i p0 = _mm_loadu_si128(src), p1 = _mm_loadu_si128(src + 1);
    const __m128i p2 = _mm_loadu_si128(src + 2), p3 = _mm_loadu_si128(src + 3);
    // Most of a text texture is black: zero colour in all 16 texels is zero coverage.
    const __m128i colour = _mm_and_si128(_mm_or_si128(_mm_or_si128(p0, p1), _mm_or_si128(p2, p3)),
                                         _mm_set1_epi32(0x00FFFFFF));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(colour, zero)) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(coverage + x), zero);
      continue;
    }
    const __m128i lo = _mm_packs_epi32(MaxOfColour4(p0), MaxOfColour4(p1));
    const __m128i hi = _mm_packs_epi32(MaxOfColour4(p2), MaxOfColour4(p3));
    const __m128i bytes = _mm_packus_epi16(lo, hi);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(coverage + x), bytes);
    const unsigned lit = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero))) & 0xFFFFu;
    if (lit != 0) {
      if (span.begin == span.end) span.begin = x + __builtin_ctz(lit);
      span.end = x + 32 - __builtin_clz(lit);
    }
  }
  ScalarTail(texels, coverage, x, n, span);
  return span;
}
#else
RowSpan CoverageRowVector(const uint32_t* texels, uint8_t* coverage, int32_t n) {
  return CoverageRowScalar(texels, coverage, n);
}
#endif

}  // namespace

bool CoverageMask::Build(const uint32_t* texels, int32_t width, int32_t height, bool vector) {
  const size_t cells = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (plane_.size() != cells || spans_.size() != static_cast<size_t>(height)) {
    plane_ = PixelBuffer<uint8_t>(cells);
    spans_ = PixelBuffer<RowSpan>(static_cast<size_t>(height));
    if (plane_.empty() || spans_.empty()) {
      plane_ = {};
      spans_ = {};
      width_ = height_ = 0;
      return false;
    }
  }
  width_ = width;
  height_ = height;
  for (int32_t y = 0; y < height; ++y) {
    const size_t offset = static_cast<size_t>(y) * static_cast<size_t>(width);
    spans_.data()[y] = vector ? CoverageRowVector(texels + offset, plane_.data() + offset, width)
                              : CoverageRowScalar(texels + offset, plane_.data() + offset, width);
  }
  return true;
}

}  // namespace varodurod
