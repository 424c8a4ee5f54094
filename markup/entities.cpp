// Escaping and unescaping of the five named entities of markup text. Both work
// byte by byte and only compare bytes with ASCII characters, so UTF-8 sequences
// pass unchanged. Plain runs between special bytes are found 16 bytes at a time
// (SSE2) and copied whole, since ordinary text has few special characters.
#include "ziVodaRerodo/entities.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "markup/entities_append.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zivoda {
namespace {

bool IsSpecial(char c, bool apos, bool quot) {
  return c == '&' || c == '<' || c == '>' || (apos && c == '\'') || (quot && c == '"');
}

// The entity that replaces a special byte.
std::string_view EntityOf(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '\'': return "&apos;";
    default: return "&quot;";  // '"'
  }
}

#if defined(__SSE2__)
// A mask of the bytes of v to escape: '<' and '>' differ only in bit 1, '&' and
// '\'' only in bit 0, so three compares cover all five.
class SpecialBytes {
 public:
  SpecialBytes(bool apos, bool quot)
      : ampMask_(_mm_set1_epi8(static_cast<char>(apos ? 0xFE : 0xFF))),
        quote_(_mm_set1_epi8(quot ? '"' : '<')) {}
  int Mask(__m128i v) const {
    const __m128i angle = _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xFD))), _mm_set1_epi8('<'));
    const __m128i amp = _mm_cmpeq_epi8(_mm_and_si128(v, ampMask_), _mm_set1_epi8('&'));
    const __m128i quote = _mm_cmpeq_epi8(v, quote_);  // '<' again when quotes pass unchanged
    return _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(angle, amp), quote));
  }

 private:
  __m128i ampMask_;
  __m128i quote_;
};
#endif

constexpr std::string_view kNames[] = {"amp", "quot", "apos", "lt", "gt"};
constexpr char kChars[] = {'&', '"', '\'', '<', '>'};

}  // namespace

namespace detail {

void AppendEscaped(std::string& out, const char* s, size_t n, bool apos, bool quot) {
  // One pass: plain bytes are copied 16 at a time as they are scanned. The output
  // always has room for the rest of the input as it is plus one vector, so a
  // vector store may run past the written end without leaving the string.
  constexpr size_t kSlack = 16;
  size_t w = out.size();
  out.resize(w + n + kSlack);
  char* d = out.data();
  size_t i = 0;
#if defined(__SSE2__)
  const SpecialBytes special(apos, quot);
#endif
  while (i < n) {
#if defined(__SSE2__)
    bool found = false;
    while (i + 16 <= n) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + w), v);
      const int mask = special.Mask(v);
      if (mask != 0) {
        const auto k = static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        w += k;
        i += k;
        found = true;
        break;
      }
      w += 16;
      i += 16;
    }
    if (!found) {
      while (i < n && !IsSpecial(s[i], apos, quot)) d[w++] = s[i++];
      if (i == n) break;
    }
#else
    while (i < n && !IsSpecial(s[i], apos, quot)) d[w++] = s[i++];
    if (i == n) break;
#endif
    const std::string_view entity = EntityOf(s[i]);
    const size_t need = w + entity.size() + (n - i - 1) + kSlack;
    if (need > out.size()) {
      // Room for as many more entities as there are bytes left: growth follows
      // this call's text, never the size of what out already held.
      out.resize(need + (n - i));
      d = out.data();
    }
    std::memcpy(d + w, entity.data(), entity.size());
    w += entity.size();
    ++i;
  }
  out.resize(w);
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
