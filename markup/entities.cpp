// Escaping and unescaping of the five named entities of markup text, byte by
// byte against ASCII only, so UTF-8 passes unchanged. Plain runs between special
// bytes are found and copied a vector at a time (SSE2, or AVX2 where the
// processor has it, checked once at run time): ordinary text has few specials.
#include "ziVodaRerodo/entities.hpp"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "markup/entities_append.h"
#include "platform/cpu_features.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZIVODA_ENTITIES_AVX2 1
#else
#define ZIVODA_ENTITIES_AVX2 0
#endif

namespace zivoda {
namespace {

// Scratch room kept past every write: an entity is stored as 8 bytes.
constexpr size_t kSlack = 16;

// Makes buf at least `need` bytes long (its bytes past the text are scratch).
void EnsureScratch(std::string& buf, size_t need) {
  if (buf.size() < need) buf.resize(need);
}

// The bytes to escape: & < > always, ' and " by flag. All are below 64, so one
// 64-bit set answers for a byte.
struct Specials {
  Specials(bool apos, bool quot)
      : apos(apos),
        quot(quot),
        set((uint64_t{1} << '&') | (uint64_t{1} << '<') | (uint64_t{1} << '>') |
            (apos ? uint64_t{1} << '\'' : 0) | (quot ? uint64_t{1} << '"' : 0)) {}
  bool Has(char c) const {
    const auto b = static_cast<unsigned char>(c);
    return b < 64 && ((set >> b) & 1) != 0;
  }
  bool apos;
  bool quot;
  uint64_t set;
};

// The entity that replaces a special byte, padded to 8 bytes to be stored whole.
struct Entity {
  char bytes[8];
  size_t length;
};

const Entity& EntityOf(char c) {
  static constexpr Entity kAmp{"&amp;", 5}, kLt{"&lt;", 4}, kGt{"&gt;", 4}, kApos{"&apos;", 6}, kQuot{"&quot;", 6};
  switch (c) {
    case '&': return kAmp;
    case '<': return kLt;
    case '>': return kGt;
    case '\'': return kApos;
    default: return kQuot;  // '"'
  }
}

// ---- Plain runs ------------------------------------------------------------
// Each Plain* copies s[0, n) to d up to the first byte that ends a plain run (a
// special byte when escaping, '&' when unescaping) and returns its index, n when
// there is none. They write only within d[0, n).

template <bool kEscape>
size_t PlainScalar(const char* s, size_t n, char* d, const Specials& special) {
  if constexpr (kEscape) {
    size_t k = 0;
    while (k < n && !special.Has(s[k])) {
      d[k] = s[k];
      ++k;
    }
    return k;
  } else {
    const void* amp = std::memchr(s, '&', n);
    const size_t k = amp != nullptr ? static_cast<size_t>(static_cast<const char*>(amp) - s) : n;
    std::memcpy(d, s, k);
    return k;
  }
}

#if defined(__SSE2__)
// A mask of the bytes of v that end a plain run. For escaping, '<' and '>' differ
// only in bit 1, '&' and '\'' only in bit 0, so three compares cover all five.
template <bool kEscape>
int RunEndsSse2(__m128i v, const Specials& special) {
  if constexpr (kEscape) {
    const __m128i angle = _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xFD))), _mm_set1_epi8('<'));
    const __m128i amp = _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(special.apos ? 0xFE : 0xFF))),
                                       _mm_set1_epi8('&'));
    const __m128i quote = _mm_cmpeq_epi8(v, _mm_set1_epi8(special.quot ? '"' : '<'));  // '<' again: no quote
    return _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(angle, amp), quote));
  } else {
    return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('&')));
  }
}

template <bool kEscape>
size_t PlainSse2(const char* s, size_t n, char* d, const Specials& special) {
  if (n < 16) return PlainScalar<kEscape>(s, n, d, special);
  size_t k = 0;
  for (; k + 16 <= n; k += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + k), v);
    if (const int mask = RunEndsSse2<kEscape>(v, special); mask != 0)
      return k + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
  if (k < n) {
    // The last bytes, as one block ending at n: its first bytes were copied already,
    // as they are, so storing them again changes nothing.
    const size_t at = n - 16;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + at), v);
    if (const unsigned mask = static_cast<unsigned>(RunEndsSse2<kEscape>(v, special)) >> (k - at); mask != 0)
      return k + static_cast<size_t>(__builtin_ctz(mask));
  }
  return n;
}
#endif

#if ZIVODA_ENTITIES_AVX2
// A mask of the 32 bytes of v that end a plain run. For escaping, the five special
// bytes have distinct low nibbles, so one lookup by low nibble gives the special
// byte each position would have to hold (or one it cannot hold), and one compare
// finds them. vpshufb gives 0 for bytes with the top bit set, which never match.
template <bool kEscape>
__attribute__((target("avx2"))) uint32_t RunEndsAvx2(__m256i v, __m256i lookup) {
  if constexpr (kEscape) {
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_shuffle_epi8(lookup, v), v)));
  } else {
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('&'))));
  }
}

template <bool kEscape>
__attribute__((target("avx2"))) size_t PlainAvx2(const char* s, size_t n, char* d, const Specials& special) {
  if (n < 32) return PlainSse2<kEscape>(s, n, d, special);
  // By low nibble: the special byte with that nibble, else a byte without it
  // (1 for nibble 0, 0 for the rest).
  const char quot = special.quot ? '"' : 0;
  const char apos = special.apos ? '\'' : 0;
  const __m128i nibbles = _mm_setr_epi8(1, 0, quot, 0, 0, 0, '&', apos, 0, 0, 0, 0, '<', 0, '>', 0);
  const __m256i lookup = _mm256_broadcastsi128_si256(nibbles);
  size_t k = 0;
  for (; k + 64 <= n; k += 64) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + k));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + k + 32));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + k), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + k + 32), b);
    const uint64_t mask = RunEndsAvx2<kEscape>(a, lookup) | uint64_t{RunEndsAvx2<kEscape>(b, lookup)} << 32;
    if (mask != 0) return k + static_cast<size_t>(__builtin_ctzll(mask));
  }
  if (k + 32 <= n) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + k));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + k), v);
    if (const uint32_t mask = RunEndsAvx2<kEscape>(v, lookup); mask != 0)
      return k + static_cast<size_t>(__builtin_ctz(mask));
    k += 32;
  }
  if (k < n) {
    // The last bytes, as one block ending at n (see PlainSse2).
    const size_t at = n - 32;
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + at));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + at), v);
    if (const uint32_t mask = RunEndsAvx2<kEscape>(v, lookup) >> (k - at); mask != 0)
      return k + static_cast<size_t>(__builtin_ctz(mask));
  }
  return n;
}
#endif

using PlainFn = size_t (*)(const char*, size_t, char*, const Specials&);

// The plain-run copier of scan; the next narrower one where scan is not built in.
template <bool kEscape>
PlainFn PlainOf(detail::EntityScan scan) {
#if ZIVODA_ENTITIES_AVX2
  if (scan == detail::EntityScan::kAvx2) return &PlainAvx2<kEscape>;
#endif
#if defined(__SSE2__)
  if (scan != detail::EntityScan::kScalar) return &PlainSse2<kEscape>;
#endif
  (void)scan;
  return &PlainScalar<kEscape>;
}

// The length of the known entity name at the start of name[0, left), when the
// name ends there (at a semicolon or at the end of input); 0 when there is none.
size_t KnownEntity(const char* name, size_t left, char* c) {
  const auto is = [&](std::string_view known, char meaning) {
    if (left < known.size() || std::memcmp(name, known.data(), known.size()) != 0) return false;
    if (left != known.size() && name[known.size()] != ';') return false;
    *c = meaning;
    return true;
  };
  if (left == 0) return 0;
  switch (name[0]) {  // the first letter picks the names worth comparing
    case 'l': return is("lt", '<') ? 2 : 0;
    case 'g': return is("gt", '>') ? 2 : 0;
    case 'a': return is("amp", '&') ? 3 : is("apos", '\'') ? 4 : 0;
    case 'q': return is("quot", '"') ? 4 : 0;
    default: return 0;
  }
}

}  // namespace

namespace detail {

bool EntityScanAvailable(EntityScan scan) {
  switch (scan) {
    case EntityScan::kScalar: return true;
#if defined(__SSE2__)
    case EntityScan::kSse2: return true;
#endif
#if ZIVODA_ENTITIES_AVX2
    case EntityScan::kAvx2: return cpu::kAvx2;
#endif
    default: return false;
  }
}

EntityScan BestEntityScan() {
  static const EntityScan best = EntityScanAvailable(EntityScan::kAvx2)   ? EntityScan::kAvx2
                                 : EntityScanAvailable(EntityScan::kSse2) ? EntityScan::kSse2
                                                                          : EntityScan::kScalar;
  return best;
}

size_t EscapeInto(std::string& buf, size_t end, const char* s, size_t n, bool apos, bool quot, EntityScan scan) {
  const Specials special(apos, quot);
  const PlainFn plain = PlainOf<true>(scan);
  // Room for the text as it is, a little for entities, and the slack. Whenever a
  // plain run is copied, the room left holds the rest of the input as it is.
  EnsureScratch(buf, end + n + n / 32 + kSlack);
  char* d = buf.data();
  size_t w = end;
  size_t i = 0;
  while (i < n) {
    const size_t k = plain(s + i, n - i, d + w, special);
    i += k;
    w += k;
    if (i == n) break;
    const Entity& entity = EntityOf(s[i]);
    if (const size_t need = w + sizeof entity.bytes + (n - i - 1) + kSlack; need > buf.size()) {
      EnsureScratch(buf, need + (n - i));
      d = buf.data();
    }
    std::memcpy(d + w, entity.bytes, sizeof entity.bytes);
    w += entity.length;
    ++i;
  }
  return w;
}

size_t EscapeCStringInto(std::string& buf, size_t end, const char* s, bool apos, bool quot) {
  // The first bytes are measured as they are escaped, byte by byte; a longer
  // string is measured once and escaped a vector at a time.
  constexpr size_t kShort = 32;
  const Specials special(apos, quot);
  EnsureScratch(buf, end + kShort * 6 + kSlack);  // every short byte an entity, at worst
  char* d = buf.data();
  size_t w = end;
  for (size_t k = 0; k < kShort; ++k) {
    const char c = s[k];
    if (c == 0) return w;
    if (!special.Has(c)) {
      d[w++] = c;
      continue;
    }
    const Entity& entity = EntityOf(c);
    std::memcpy(d + w, entity.bytes, sizeof entity.bytes);
    w += entity.length;
  }
  const char* rest = s + kShort;
  return EscapeInto(buf, w, rest, std::strlen(rest), apos, quot, BestEntityScan());
}

void UnescapeWith(EntityScan scan, const std::string& input, std::string& out) {
  if (&input == &out) {  // one string as both gives an empty result
    out.clear();
    return;
  }
  const PlainFn plain = PlainOf<false>(scan);
  const Specials none(false, false);
  const char* s = input.data();
  const size_t n = input.size();
  // The text never grows, and a plain run writes only where its input was, so n
  // bytes of room are enough; out's old bytes are scratch.
  if (out.size() < n) out.resize(n);
  char* d = out.data();
  size_t w = 0;
  size_t i = 0;
  while (i < n) {
    const size_t k = plain(s + i, n - i, d + w, none);
    i += k;
    w += k;
    if (i == n) break;
    // A reference: its name runs to the next semicolon, or to the end of input.
    const char* name = s + i + 1;
    const size_t left = n - i - 1;
    char c;
    if (const size_t length = KnownEntity(name, left, &c); length != 0) {
      d[w++] = c;
      i += length + 2;  // past the semicolon; past the end when there was none
      continue;
    }
    const void* semi = std::memchr(name, ';', left);  // an unknown reference is dropped
    i = semi != nullptr ? static_cast<size_t>(static_cast<const char*>(semi) - s) + 1 : n;
  }
  out.resize(w);
}

}  // namespace detail

void EscapeKesp(const std::string& input, std::string& out, bool escapeApostrophe, bool escapeQuote) {
  if (&input == &out) {  // one string as both gives an empty result
    out.clear();
    return;
  }
  // out's old bytes are scratch: reusing them spares clearing fresh room.
  out.resize(detail::EscapeInto(out, 0, input.data(), input.size(), escapeApostrophe, escapeQuote,
                                detail::BestEntityScan()));
}

void EscapeKesp(const std::string& input, std::string& out) { EscapeKesp(input, out, true, true); }

void UnescapeKesp(const std::string& input, std::string& out) {
  detail::UnescapeWith(detail::BestEntityScan(), input, out);
}

}  // namespace zivoda
