// AVX2 kernels for coverage textures, compiled for AVX2 function by function so
// the rest of the library keeps the x86-64 baseline. round(x / 255) is
// (x + 128) * 257 >> 16 in one high multiply, equal to the shifts and adds of
// Div255 for every x up to 255 * 255.
#include "avx2_kernels.hpp"

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VARODUROD_AVX2 1
#endif

namespace varodurod {

#if VARODUROD_AVX2

const bool kAvx2 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();

namespace {

__attribute__((target("avx2"))) inline __m256i Div255x16(__m256i x) {
  return _mm256_mulhi_epu16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}

// max(B, G, R) of eight texels, in the low byte of each 32-bit lane (others zero).
__attribute__((target("avx2"))) inline __m256i MaxOfColour8(__m256i p) {
  __m256i m = _mm256_max_epu8(p, _mm256_srli_epi32(p, 8));
  m = _mm256_max_epu8(m, _mm256_srli_epi32(p, 16));
  return _mm256_and_si256(m, _mm256_set1_epi32(0xFF));
}

}  // namespace

__attribute__((target("avx2"))) int32_t CoverageOverRowAvx2(const uint8_t* coverage, uint32_t* dst, int32_t n,
                                                            const uint32_t* source) {
  const bool opaque = (source[255] >> 24) == 255;
  const __m256i full = _mm256_set1_epi32(static_cast<int>(source[255]));
  const __m256i zero = _mm256_setzero_si256();
  const __m256i c255 = _mm256_set1_epi32(255);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t c;
    std::memcpy(&c, coverage + i, 8);
    if (c == 0) continue;
    __m256i* d = reinterpret_cast<__m256i*>(dst + i);
    if (opaque && c == ~uint64_t{0}) {
      _mm256_storeu_si256(d, full);
      continue;
    }
    // Eight scalar table loads: on AMD processors a gather costs more than they do.
    const __m256i s = _mm256_setr_epi32(
        static_cast<int>(source[c & 0xFF]), static_cast<int>(source[(c >> 8) & 0xFF]),
        static_cast<int>(source[(c >> 16) & 0xFF]), static_cast<int>(source[(c >> 24) & 0xFF]),
        static_cast<int>(source[(c >> 32) & 0xFF]), static_cast<int>(source[(c >> 40) & 0xFF]),
        static_cast<int>(source[(c >> 48) & 0xFF]), static_cast<int>(source[c >> 56]));
    // S + D * (255 - S.alpha) / 255 per channel; unpacking and packing work
    // within each 128-bit half, so the halves come back in place.
    __m256i inv = _mm256_sub_epi32(c255, _mm256_srli_epi32(s, 24));
    inv = _mm256_or_si256(inv, _mm256_slli_epi32(inv, 16));
    const __m256i pixels = _mm256_loadu_si256(d);
    const __m256i lo = Div255x16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(pixels, zero), _mm256_unpacklo_epi32(inv, inv)));
    const __m256i hi = Div255x16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(pixels, zero), _mm256_unpackhi_epi32(inv, inv)));
    _mm256_storeu_si256(d, _mm256_adds_epu8(_mm256_packus_epi16(lo, hi), s));
  }
  return i;
}

__attribute__((target("avx2"))) int32_t CoverageRowAvx2(const uint32_t* texels, uint8_t* coverage, int32_t n,
                                                        RowSpan& span) {
  const __m256i colourBits = _mm256_set1_epi32(0x00FFFFFF);
  // packs and packus interleave the 128-bit halves; this puts the texels back in order.
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  int32_t x = 0;
  for (; x + 32 <= n; x += 32) {
    const __m256i* src = reinterpret_cast<const __m256i*>(texels + x);
    const __m256i p0 = _mm256_loadu_si256(src), p1 = _mm256_loadu_si256(src + 1);
    const __m256i p2 = _mm256_loadu_si256(src + 2), p3 = _mm256_loadu_si256(src + 3);
    __m256i* out = reinterpret_cast<__m256i*>(coverage + x);
    // Most of a text texture is black: zero colour in all 32 texels is zero coverage.
    const __m256i any = _mm256_or_si256(_mm256_or_si256(p0, p1), _mm256_or_si256(p2, p3));
    if (_mm256_testz_si256(any, colourBits)) {
      _mm256_storeu_si256(out, _mm256_setzero_si256());
      continue;
    }
    const __m256i packed = _mm256_packus_epi16(_mm256_packs_epi32(MaxOfColour8(p0), MaxOfColour8(p1)),
                                              _mm256_packs_epi32(MaxOfColour8(p2), MaxOfColour8(p3)));
    const __m256i bytes = _mm256_permutevar8x32_epi32(packed, order);
    _mm256_storeu_si256(out, bytes);
    const auto lit = ~static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_setzero_si256())));
    if (lit != 0) {
      if (span.begin == span.end) span.begin = x + __builtin_ctz(lit);
      span.end = x + 32 - __builtin_clz(lit);
    }
  }
  return x;
}

#else

const bool kAvx2 = false;
int32_t CoverageOverRowAvx2(const uint8_t*, uint32_t*, int32_t, const uint32_t*) { return 0; }
int32_t CoverageRowAvx2(const uint32_t*, uint8_t*, int32_t, RowSpan&) { return 0; }

#endif

}  // namespace varodurod
