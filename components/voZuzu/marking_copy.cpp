// The copy runs 32 bytes a step with AVX2 where the processor has it and 16 with
// SSE2 otherwise. Matches are counted in byte lanes (a match is -1, so
// subtracting adds one) and summed with psadbw before a lane could overflow. An
// end tag is a '/' whose previous byte is '<': the previous bytes are the same
// load one byte back, which the first byte of a piece takes from the carry.
#include "marking_copy.hpp"

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VOZUZU_X86 1
#endif

namespace vozuzu {
namespace {

#if VOZUZU_X86

const bool kAvx2 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();

size_t SumBytes(__m128i counts) {
  const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
  return static_cast<size_t>(_mm_cvtsi128_si64(sums)) +
         static_cast<size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}

// Copies bytes [from, n) of src to dst, n - from a multiple of 16 blocks done
// here; from is at least 1 (the previous byte is read). Returns where it stopped.
size_t CopySse2(const char* src, char* dst, size_t from, size_t n, TextMarks& marks) {
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i slash = _mm_set1_epi8('/');
  const __m128i eq = _mm_set1_epi8('=');
  const __m128i zero = _mm_setzero_si128();
  size_t i = from;
  __m128i nul = zero;
  while (i + 16 <= n) {
    __m128i a = zero, c = zero, e = zero;
    for (int block = 0; block < 255 && i + 16 <= n; ++block, i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      const __m128i prev = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i - 1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
      a = _mm_sub_epi8(a, _mm_cmpeq_epi8(v, lt));
      c = _mm_sub_epi8(c, _mm_and_si128(_mm_cmpeq_epi8(v, slash), _mm_cmpeq_epi8(prev, lt)));
      e = _mm_sub_epi8(e, _mm_cmpeq_epi8(v, eq));
      nul = _mm_or_si128(nul, _mm_cmpeq_epi8(v, zero));
    }
    marks.angles += SumBytes(a);
    marks.closes += SumBytes(c);
    marks.equals += SumBytes(e);
  }
  if (_mm_movemask_epi8(nul) != 0) marks.nul = true;
  return i;
}

__attribute__((target("avx2"))) size_t SumBytes(__m256i counts) {
  const __m256i sums = _mm256_sad_epu8(counts, _mm256_setzero_si256());
  const __m128i half = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
  return static_cast<size_t>(_mm_cvtsi128_si64(half)) + static_cast<size_t>(_mm_extract_epi64(half, 1));
}

__attribute__((target("avx2"))) size_t CopyAvx2(const char* src, char* dst, size_t from, size_t n,
                                                TextMarks& marks) {
  const __m256i lt = _mm256_set1_epi8('<');
  const __m256i slash = _mm256_set1_epi8('/');
  const __m256i eq = _mm256_set1_epi8('=');
  const __m256i zero = _mm256_setzero_si256();
  size_t i = from;
  __m256i nul = zero;
  while (i + 32 <= n) {
    __m256i a = zero, c = zero, e = zero;
    for (int block = 0; block < 255 && i + 32 <= n; ++block, i += 32) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
      const __m256i prev = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i - 1));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), v);
      a = _mm256_sub_epi8(a, _mm256_cmpeq_epi8(v, lt));
      c = _mm256_sub_epi8(c, _mm256_and_si256(_mm256_cmpeq_epi8(v, slash), _mm256_cmpeq_epi8(prev, lt)));
      e = _mm256_sub_epi8(e, _mm256_cmpeq_epi8(v, eq));
      nul = _mm256_or_si256(nul, _mm256_cmpeq_epi8(v, zero));
    }
    marks.angles += SumBytes(a);
    marks.closes += SumBytes(c);
    marks.equals += SumBytes(e);
  }
  if (_mm256_movemask_epi8(nul) != 0) marks.nul = true;
  return i;
}

#endif

}  // namespace

void MarkingCopy::Append(std::string_view piece) {
  const char* src = piece.data();
  const size_t n = piece.size();
  if (n == 0) return;
  auto one = [&](size_t i, bool afterAngle) {
    const char b = src[i];
    out_[i] = b;
    marks_.angles += b == '<';
    marks_.closes += b == '/' && afterAngle;
    marks_.equals += b == '=';
    marks_.nul |= b == 0;
  };
  // The first byte by itself, with the carried previous byte.
  one(0, afterAngle_);
  size_t i = 1;
#if VOZUZU_X86
  i = kAvx2 ? CopyAvx2(src, out_, i, n, marks_) : i;
  i = CopySse2(src, out_, i, n, marks_);
#endif
  for (; i < n; ++i) one(i, src[i - 1] == '<');
  afterAngle_ = src[n - 1] == '<';
  out_ += n;
}

}  // namespace vozuzu
