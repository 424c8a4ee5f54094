// Escaping and unescaping of the five named entities of markup text. Both work
// byte by byte and only compare bytes with ASCII characters, so UTF-8 sequences
// pass unchanged. Plain runs between special bytes are found 16 bytes at a time
// (SSE2) and copied whole, since ordinary text has few special characters.
#include "ziVodaRerodo/entities.hpp"

#include <cstring>
#include <string_view>

#include "markup/entities_append.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zivoda {
namespace {

// Length of the run at s (at most n bytes) that holds none of the bytes to escape.
size_t PlainRun(const char* s, size_t n, bool apos, bool quot) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i gt = _mm_set1_epi8('>');
  // A flag that is clear compares against '&' again, which changes nothing.
  const __m128i ap = _mm_set1_epi8(apos ? '\'' : '&');
  const __m128i qu = _mm_set1_epi8(quot ? '"' : '&');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmpeq_epi8(v, lt));
    hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, gt));
    hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, ap));
    hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, qu));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  for (; i < n; ++i) {
    const char c = s[i];
    if (c == '&' || c == '<' || c == '>' || (apos && c == '\'') || (quot && c == '"')) return i;
  }
  return n;
}

constexpr std::string_view kNames[] = {"amp", "quot", "apos", "lt", "gt"};
constexpr char kChars[] = {'&', '"', '\'', '<', '>'};

}  // namespace

namespace detail {

void AppendEscaped(std::string& out, const char* s, size_t n, bool apos, bool quot) {
  size_t i = 0;
  while (i < n) {
    const size_t run = PlainRun(s + i, n - i, apos, quot);
    out.append(s + i, run);
    i += run;
    if (i == n) break;
    switch (s[i]) {
      case '&': out.append("&amp;", 5); break;
      case '<': out.append("&lt;", 4); break;
      case '>': out.append("&gt;", 4); break;
      case '\'': out.append("&apos;", 6); break;
      default: out.append("&quot;", 6); break;  // '"'
    }
    ++i;
  }
}

}  // namespace detail

void EscapeKesp(const std::string& input, std::string& out, bool escapeApostrophe, bool escapeQuote) {
  out.clear();  // first, so passing one string as both gives an empty result
  out.reserve(input.size());
  detail::AppendEscaped(out, input.data(), input.size(), escapeApostrophe, escapeQuote);
}

void EscapeKesp(const std::string& input, std::string& out) { EscapeKesp(input, out, true, true); }

void UnescapeKesp(const std::string& input, std::string& out) {
  out.clear();  // first, so passing one string as both gives an empty result
  const char* s = input.data();
  const size_t n = input.size();
  out.reserve(n);
  size_t pos = 0;
  while (pos < n) {
    const void* amp = std::memchr(s + pos, '&', n - pos);
    const size_t at = amp ? static_cast<size_t>(static_cast<const char*>(amp) - s) : n;
    out.append(s + pos, at - pos);
    if (at == n) break;
    // The reference's name runs to the next semicolon, or to the end of input.
    const void* semi = std::memchr(s + at + 1, ';', n - at - 1);
    const size_t stop = semi ? static_cast<size_t>(static_cast<const char*>(semi) - s) : n;
    const std::string_view name(s + at + 1, stop - at - 1);
    for (size_t k = 0; k < std::size(kNames); ++k) {
      if (name == kNames[k]) {
        out.push_back(kChars[k]);
        break;
      }
    }
    pos = stop + 1;  // past the semicolon; past the end when there was none
  }
}

}  // namespace zivoda
