// The UTF-8 -> UTF-16 and UTF-16 -> UTF-8 walks behind the code-page calls. A walk
// feeds a sink, a counting one for size queries or a writing one for conversion,
// so the size a caller is told and the units it then gets come from the same
// decisions about malformed input. Each direction has a portable walker (ASCII 16
// at a time with SSE2, the x86-64 baseline) and a block walker for processors with
// SSSE3, chosen per call at run time; both take the same exact steps for anything
// malformed, and the tests hold both to one reference.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#define ZIVODA_UTF_SSE2 1
#else
#define ZIVODA_UTF_SSE2 0
#endif

// The steps are forced inline so that a walker's copy of its sink stays in
// registers: a writer's byte stores could otherwise alias its own position.
#if defined(__GNUC__)
#define ZIVODA_UTF_STEP inline __attribute__((always_inline))
#else
#define ZIVODA_UTF_STEP inline
#endif

namespace zivoda::utf {

inline constexpr char16_t kReplacement = 0xFFFD;

// ===========================================================================
// Sinks. A writer never checks room: the caller hands it a buffer proven big
// enough, by a bound (at most one unit per UTF-8 byte, three bytes per UTF-16
// unit) or by a counting walk of the same input. The calls marked "spills"
// store a few elements past those they keep; the walkers make them only where
// the rest of the input is long enough for later output to overwrite them.

// Receives UTF-16 units from the decoder.
class Utf16Counter {
 public:
  void Unit(char16_t) { ++n_; }
  void Pair(char16_t, char16_t) { n_ += 2; }
  void AsciiRun(const uint8_t*, size_t k) { n_ += k; }
#if ZIVODA_UTF_SSE2
  void Ascii16(__m128i) { n_ += 16; }
  void Units8(__m128i, size_t k) { n_ += k; }
#endif
  size_t count() const { return n_; }

 private:
  size_t n_ = 0;
};

class Utf16Writer {
 public:
  explicit Utf16Writer(char16_t* out) : begin_(out), out_(out) {}
  void Unit(char16_t u) { *out_++ = u; }
  void Pair(char16_t hi, char16_t lo) {
    out_[0] = hi;
    out_[1] = lo;
    out_ += 2;
  }
  void AsciiRun(const uint8_t* p, size_t k) {
    for (size_t i = 0; i < k; ++i) out_[i] = p[i];
    out_ += k;
  }
#if ZIVODA_UTF_SSE2
  void Ascii16(__m128i v) {  // 16 ASCII bytes, widened to 16 units
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out_), _mm_unpacklo_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out_ + 8), _mm_unpackhi_epi8(v, zero));
    out_ += 16;
  }
  void Units8(__m128i units, size_t k) {  // keeps the first k of 8 units; spills the rest
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out_), units);
    out_ += k;
  }
#endif
  size_t count() const { return static_cast<size_t>(out_ - begin_); }

 private:
  char16_t* begin_;
  char16_t* out_;
};

// Receives UTF-8 from the encoder: code points (scalar values) with the number
// of bytes each takes, or bytes already formed.
class Utf8Counter {
 public:
  void Put1(uint32_t) { n_ += 1; }
  void Put2(uint32_t) { n_ += 2; }
  void Put3(uint32_t) { n_ += 3; }
  void Put4(uint32_t) { n_ += 4; }
  void AsciiRun(const char16_t*, size_t k) { n_ += k; }
#if ZIVODA_UTF_SSE2
  void Ascii16(__m128i, __m128i) { n_ += 16; }
  void Bytes16(__m128i, size_t k) { n_ += k; }
#endif
  size_t count() const { return n_; }

 private:
  size_t n_ = 0;
};

class Utf8Writer {
 public:
  explicit Utf8Writer(char* out) : begin_(reinterpret_cast<uint8_t*>(out)), out_(begin_) {}
  void Put1(uint32_t c) { *out_++ = static_cast<uint8_t>(c); }
  void Put2(uint32_t c) {
    out_[0] = static_cast<uint8_t>(0xC0 | (c >> 6));
    out_[1] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    out_ += 2;
  }
  void Put3(uint32_t c) {
    out_[0] = static_cast<uint8_t>(0xE0 | (c >> 12));
    out_[1] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
    out_[2] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    out_ += 3;
  }
  void Put4(uint32_t c) {
    out_[0] = static_cast<uint8_t>(0xF0 | (c >> 18));
    out_[1] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
    out_[2] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
    out_[3] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    out_ += 4;
  }
  void AsciiRun(const char16_t* p, size_t k) {
    for (size_t i = 0; i < k; ++i) out_[i] = static_cast<uint8_t>(p[i]);
    out_ += k;
  }
#if ZIVODA_UTF_SSE2
  void Ascii16(__m128i lo, __m128i hi) {  // 16 ASCII units, narrowed to 16 bytes
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out_), _mm_packus_epi16(lo, hi));
    out_ += 16;
  }
  void Bytes16(__m128i bytes, size_t k) {  // keeps the first k of 16 bytes; spills the rest
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out_), bytes);
    out_ += k;
  }
#endif
  size_t count() const { return static_cast<size_t>(out_ - begin_); }

 private:
  uint8_t* begin_;
  uint8_t* out_;
};

// ===========================================================================
// Vector helpers (SSE2), and what the walkers do with SSSE3's byte shuffle
// where the processor has it.

#if ZIVODA_UTF_SSE2
#define ZIVODA_UTF_SSSE3 __attribute__((target("ssse3")))

ZIVODA_UTF_STEP __m128i Splat(uint16_t v) { return _mm_set1_epi16(static_cast<short>(v)); }

ZIVODA_UTF_STEP __m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

ZIVODA_UTF_STEP bool AllAscii(__m128i units) {
  return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, Splat(0xFF80)), _mm_setzero_si128())) == 0xFFFF;
}

// Which of 16 bytes to keep, in order, for a byte shuffle; the rest are zeroed.
struct alignas(16) Compaction {
  uint8_t shuffle[16];
  uint8_t length;
};

ZIVODA_UTF_STEP ZIVODA_UTF_SSSE3 __m128i Compact(__m128i bytes, const Compaction& c) {
  return _mm_shuffle_epi8(bytes, _mm_load_si128(reinterpret_cast<const __m128i*>(c.shuffle)));
}

// Eight 16-bit lanes less those whose bit is set, indexed by that mask.
inline constexpr std::array<Compaction, 256> kDropLanes = [] {
  std::array<Compaction, 256> table{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    uint8_t n = 0;
    for (uint8_t i = 0; i < 8; ++i) {
      if ((mask >> i) & 1) continue;
      table[mask].shuffle[n++] = static_cast<uint8_t>(2 * i);
      table[mask].shuffle[n++] = static_cast<uint8_t>(2 * i + 1);
    }
    table[mask].length = n / 2;  // units
    while (n < 16) table[mask].shuffle[n++] = 0x80;
  }
  return table;
}();
#endif

// ===========================================================================
// UTF-8 -> UTF-16.

inline bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// Decodes the one sequence starting at the non-ASCII byte *p. A well-formed
// sequence gives its code point; otherwise the maximal subpart at p (the longest
// prefix of a well-formed sequence, at least one byte) gives one U+FFFD, per
// Unicode chapter 3, "U+FFFD substitution of maximal subparts", Table 3-7.
template <class Sink>
ZIVODA_UTF_STEP const uint8_t* DecodeSequence(const uint8_t* p, const uint8_t* end, Sink& sink) {
  const uint32_t b0 = p[0];
  const ptrdiff_t avail = end - p;
  if (b0 < 0xC2) {  // a continuation byte, or C0/C1 which only start overlong forms
    sink.Unit(kReplacement);
    return p + 1;
  }
  if (b0 < 0xE0) {
    if (avail >= 2 && IsContinuation(p[1])) {
      sink.Unit(static_cast<char16_t>(((b0 & 0x1F) << 6) | (p[1] & 0x3F)));
      return p + 2;
    }
    sink.Unit(kReplacement);
    return p + 1;
  }
  if (b0 < 0xF0) {
    // E0 needs A0..BF (no overlong forms), ED needs 80..9F (no surrogates).
    const uint8_t lo = b0 == 0xE0 ? 0xA0 : 0x80;
    const uint8_t hi = b0 == 0xED ? 0x9F : 0xBF;
    if (avail < 2 || p[1] < lo || p[1] > hi) {
      sink.Unit(kReplacement);
      return p + 1;
    }
    if (avail < 3 || !IsContinuation(p[2])) {
      sink.Unit(kReplacement);
      return p + 2;
    }
    sink.Unit(static_cast<char16_t>(((b0 & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)));
    return p + 3;
  }
  if (b0 < 0xF5) {
    // F0 needs 90..BF (no overlong forms), F4 needs 80..8F (nothing above U+10FFFF).
    const uint8_t lo = b0 == 0xF0 ? 0x90 : 0x80;
    const uint8_t hi = b0 == 0xF4 ? 0x8F : 0xBF;
    if (avail < 2 || p[1] < lo || p[1] > hi) {
      sink.Unit(kReplacement);
      return p + 1;
    }
    if (avail < 3 || !IsContinuation(p[2])) {
      sink.Unit(kReplacement);
      return p + 2;
    }
    if (avail < 4 || !IsContinuation(p[3])) {
      sink.Unit(kReplacement);
      return p + 3;
    }
    const uint32_t c = ((b0 & 0x07) << 18) | ((p[1] & 0x3FU) << 12) | ((p[2] & 0x3FU) << 6) | (p[3] & 0x3FU);
    sink.Pair(static_cast<char16_t>(0xD7C0 + (c >> 10)), static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
    return p + 4;
  }
  sink.Unit(kReplacement);  // F5..FF never occur in UTF-8
  return p + 1;
}

inline uint32_t Load32(const uint8_t* p) {  // little-endian, whatever the host
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// The same decision as DecodeSequence for a well-formed sequence, taken on four
// loaded bytes with fewer branches; returns null for anything else.
template <class Sink>
ZIVODA_UTF_STEP const uint8_t* DecodeWellFormed(const uint8_t* p, Sink& sink) {
  const uint32_t w = Load32(p);
  if ((w & 0xC0E0) == 0x80C0) {  // 110xxxxx 10xxxxxx
    const uint32_t c = ((w & 0x1F) << 6) | ((w >> 8) & 0x3F);
    if (c < 0x80) return nullptr;  // C0, C1: overlong
    sink.Unit(static_cast<char16_t>(c));
    return p + 2;
  }
  if ((w & 0xC0C0F0) == 0x8080E0) {  // 1110xxxx 10xxxxxx 10xxxxxx
    const uint32_t c = ((w & 0x0F) << 12) | ((w >> 2) & 0xFC0) | ((w >> 16) & 0x3F);
    if (c < 0x800 || c - 0xD800 < 0x800) return nullptr;  // overlong, or a surrogate
    sink.Unit(static_cast<char16_t>(c));
    return p + 3;
  }
  if ((w & 0xC0C0C0F8) == 0x808080F0) {  // 11110xxx 10xxxxxx 10xxxxxx 10xxxxxx
    const uint32_t c = ((w & 0x07) << 18) | ((w << 4) & 0x3F000) | ((w >> 10) & 0xFC0) | ((w >> 24) & 0x3F);
    if (c - 0x10000 >= 0x100000) return nullptr;  // overlong, or above U+10FFFF
    sink.Pair(static_cast<char16_t>(0xD7C0 + (c >> 10)), static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
    return p + 4;
  }
  return nullptr;
}

// Decodes the bytes from p to end with plain steps, 16 ASCII bytes at a time
// with SSE2. Used where SSSE3 is missing, and for the last bytes of the block
// walker.
template <class Sink>
ZIVODA_UTF_STEP void DecodeUtf8Steps(const uint8_t* p, const uint8_t* end, Sink& sink) {
  while (p < end) {
    if (*p >= 0x80) {
      const uint8_t* next = end - p >= 4 ? DecodeWellFormed(p, sink) : nullptr;
      p = next ? next : DecodeSequence(p, end, sink);
      continue;
    }
    const uint8_t* q = p;
#if ZIVODA_UTF_SSE2
    for (; end - q >= 16; q += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
      if (_mm_movemask_epi8(v) != 0) break;
      sink.Ascii16(v);
    }
    p = q;
#endif
    uint64_t w;
    while (end - q >= 8 && (std::memcpy(&w, q, 8), (w & 0x8080808080808080ull) == 0)) q += 8;
    while (q < end && *q < 0x80) ++q;
    sink.AsciiRun(p, static_cast<size_t>(q - p));
    p = q;
  }
}

template <class Sink>
inline void DecodeUtf8Portable(const uint8_t* p, size_t n, Sink& out) {
  Sink sink = out;  // a local copy, kept in registers
  DecodeUtf8Steps(p, p + n, sink);
  out = sink;
}

#if ZIVODA_UTF_SSE2
// ---------------------------------------------------------------------------
// The block walker: ASCII 16 bytes at a time; at a non-ASCII byte, 16 bytes of
// ASCII and two-byte sequences, or 12 bytes of four three-byte sequences, in one
// go when they are well-formed; otherwise one sequence.

// 16 bytes that are ASCII and whole, well-formed two-byte sequences: stores
// their units and returns true; otherwise false and nothing stored.
template <class Sink>
ZIVODA_UTF_STEP ZIVODA_UTF_SSSE3 bool DecodeLatin16(__m128i v, Sink& sink) {
  const __m128i cont = _mm_cmplt_epi8(v, _mm_set1_epi8(-64));  // 80..BF
  const __m128i lead = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-63)),   // above C1
                                     _mm_cmplt_epi8(v, _mm_set1_epi8(-32)));  // below E0
  const unsigned conts = static_cast<unsigned>(_mm_movemask_epi8(cont));
  const unsigned leads = static_cast<unsigned>(_mm_movemask_epi8(lead));
  const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
  // Every high byte a lead or a continuation, and the byte after each lead (none
  // past the last byte) exactly the continuations.
  if ((leads | conts) != high || leads << 1 != conts) return false;
  const __m128i zero = _mm_setzero_si128();
  const __m128i next = _mm_srli_si128(v, 1);
  const auto units = [&](__m128i bytes, __m128i following, __m128i is_lead) {
    const __m128i two = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(bytes, Splat(0x1F)), 6),
                                     _mm_and_si128(following, Splat(0x3F)));
    return Select(is_lead, two, bytes);
  };
  const __m128i lo = units(_mm_unpacklo_epi8(v, zero), _mm_unpacklo_epi8(next, zero), _mm_unpacklo_epi8(lead, lead));
  const __m128i hi = units(_mm_unpackhi_epi8(v, zero), _mm_unpackhi_epi8(next, zero), _mm_unpackhi_epi8(lead, lead));
  // The lanes of continuation bytes go.
  const Compaction& dlo = kDropLanes[conts & 0xFF];
  const Compaction& dhi = kDropLanes[conts >> 8];
  sink.Units8(Compact(lo, dlo), dlo.length);
  sink.Units8(Compact(hi, dhi), dhi.length);
  return true;
}

// 12 bytes that are four well-formed three-byte sequences: stores their four
// units and returns true; otherwise false and nothing stored.
template <class Sink>
ZIVODA_UTF_STEP ZIVODA_UTF_SSSE3 bool DecodeWide12(__m128i v, Sink& sink) {
  const __m128i lead = _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(-16)), _mm_set1_epi8(-32));  // E0..EF
  const __m128i cont = _mm_cmplt_epi8(v, _mm_set1_epi8(-64));                                      // 80..BF
  if ((_mm_movemask_epi8(lead) & 0xFFF) != 0x249 || (_mm_movemask_epi8(cont) & 0xFFF) != 0xDB6) return false;
  // Lane k: the lead byte and the next in one unit, the last byte in another.
  const __m128i first = _mm_shuffle_epi8(v, _mm_setr_epi8(1, 0, 4, 3, 7, 6, 10, 9, -1, -1, -1, -1, -1, -1, -1, -1));
  const __m128i last = _mm_shuffle_epi8(v, _mm_setr_epi8(2, -1, 5, -1, 8, -1, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1));
  const __m128i c = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_and_si128(first, Splat(0x0F00)), 4),
                                              _mm_slli_epi16(_mm_and_si128(first, Splat(0x3F)), 6)),
                                 _mm_and_si128(last, Splat(0x3F)));
  // No overlong form (below U+0800) and no surrogate.
  const __m128i top5 = _mm_and_si128(c, Splat(0xF800));
  const __m128i bad = _mm_or_si128(_mm_cmpeq_epi16(top5, _mm_setzero_si128()), _mm_cmpeq_epi16(top5, Splat(0xD800)));
  if ((_mm_movemask_epi8(bad) & 0xFF) != 0) return false;
  sink.Units8(c, 4);
  return true;
}

template <class Sink>
ZIVODA_UTF_SSSE3 void DecodeUtf8Blocks(const uint8_t* p, size_t n, Sink& out) {
  Sink sink = out;  // a local copy, kept in registers
  const uint8_t* const end = p + n;
  // While 64 bytes are left, every load stays inside the input, and a step
  // leaves at least 48 bytes, whose units (at least 16) overwrite whatever the
  // sink spilled.
  while (end - p >= 64) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (*p < 0x80) {
      if (_mm_movemask_epi8(v) == 0) {
        sink.Ascii16(v);
        p += 16;
        while (end - p >= 64) {  // long runs: 32 bytes a round
          const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
          const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
          if (_mm_movemask_epi8(_mm_or_si128(a, b)) != 0) break;
          sink.Ascii16(a);
          sink.Ascii16(b);
          p += 32;
        }
        continue;
      }
      if (DecodeLatin16(v, sink)) {
        p += 16;
        continue;
      }
      // A short run goes byte by byte: those branches are predicted, whereas a
      // length computed from the vector would hold up every later load.
      do {
        sink.Unit(*p++);
      } while (*p < 0x80);  // ends within these 16 bytes
      continue;
    }
    // The lead byte says which block could start here.
    if (*p < 0xE0) {
      if (DecodeLatin16(v, sink)) {
        p += 16;
        continue;
      }
    } else if (*p < 0xF0) {
      if (DecodeWide12(v, sink)) {
        p += 12;
        continue;
      }
    }
    const uint8_t* next = DecodeWellFormed(p, sink);
    p = next ? next : DecodeSequence(p, end, sink);
  }
  DecodeUtf8Steps(p, end, sink);
  out = sink;
}
#endif

// Decodes the n bytes at p into out. The sink receives at most n units.
template <class Sink>
inline void DecodeUtf8(const uint8_t* p, size_t n, Sink& out) {
#if ZIVODA_UTF_SSE2
  if (__builtin_cpu_supports("ssse3")) {
    DecodeUtf8Blocks(p, n, out);
    return;
  }
#endif
  DecodeUtf8Portable(p, n, out);
}

// ===========================================================================
// UTF-16 -> UTF-8.

// One exact step of the encoder at *p: an ASCII run, one unit, or a pair. A
// surrogate pair gives its code point in four bytes, an unpaired surrogate
// U+FFFD (EF BF BD).
template <class Sink>
ZIVODA_UTF_STEP const char16_t* EncodeStep(const char16_t* p, const char16_t* end, Sink& sink) {
  const uint32_t u = *p;
  if (u < 0x80) {
    const char16_t* q = p + 1;
    while (q < end && *q < 0x80) ++q;
    sink.AsciiRun(p, static_cast<size_t>(q - p));
    return q;
  }
  if (u < 0x800) {
    sink.Put2(u);
    return p + 1;
  }
  if (u - 0xD800 >= 0x800) {  // not a surrogate
    sink.Put3(u);
    return p + 1;
  }
  if (u < 0xDC00 && end - p >= 2 && static_cast<uint32_t>(p[1]) - 0xDC00 < 0x400) {
    sink.Put4(0x10000 + ((u - 0xD800) << 10) + (static_cast<uint32_t>(p[1]) - 0xDC00));
    return p + 2;
  }
  sink.Put3(kReplacement);  // an unpaired surrogate
  return p + 1;
}

// Encodes n units with plain steps, 16 ASCII units at a time with SSE2. Used
// where SSSE3 is missing, and for the last units of the block walker.
template <class Sink>
ZIVODA_UTF_STEP void EncodeUtf16Steps(const char16_t* p, const char16_t* end, Sink& sink) {
  while (p < end) {
#if ZIVODA_UTF_SSE2
    if (end - p >= 16 && *p < 0x80) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
      if (AllAscii(_mm_or_si128(a, b))) {
        sink.Ascii16(a, b);
        p += 16;
        continue;
      }
    }
#endif
    p = EncodeStep(p, end, sink);
  }
}

template <class Sink>
inline void EncodeUtf16Portable(const char16_t* p, size_t n, Sink& out) {
  Sink sink = out;  // a local copy, kept in registers
  EncodeUtf16Steps(p, p + n, sink);
  out = sink;
}

#if ZIVODA_UTF_SSE2
// ---------------------------------------------------------------------------
// The block walker: eight units at a time are encoded side by side in 16-bit
// lanes, and SSSE3's byte shuffle packs their bytes together.

// The bytes of eight units that are not surrogates, side by side in 16-bit lanes.
struct BmpBytes {
  __m128i ascii;      // lanes of a unit below U+0080 (-1)
  __m128i below_800;  // lanes of a unit below U+0800 (-1)
  __m128i bytes01;    // byte 0 | byte 1 << 8
  __m128i byte2;
};

ZIVODA_UTF_STEP BmpBytes EncodeBmp(__m128i u) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(u, Splat(0xFF80)), zero);
  const __m128i below_800 = _mm_cmpeq_epi16(_mm_and_si128(u, Splat(0xF800)), zero);
  const __m128i shr6 = _mm_srli_epi16(u, 6);
  const __m128i low6 = _mm_or_si128(_mm_and_si128(u, Splat(0x3F)), Splat(0x80));
  const __m128i mid6 = _mm_or_si128(_mm_and_si128(shr6, Splat(0x3F)), Splat(0x80));
  const __m128i lead2 = _mm_or_si128(shr6, Splat(0xC0));
  const __m128i lead3 = _mm_or_si128(_mm_srli_epi16(u, 12), Splat(0xE0));
  const __m128i byte0 = Select(ascii, u, Select(below_800, lead2, lead3));
  const __m128i byte1 = Select(below_800, low6, mid6);
  return {ascii, below_800, _mm_or_si128(byte0, _mm_slli_epi16(byte1, 8)), low6};
}

ZIVODA_UTF_STEP bool HasSurrogate(__m128i units) {
  const __m128i top5 = _mm_and_si128(units, Splat(0xF800));
  return _mm_movemask_epi8(_mm_cmpeq_epi16(top5, Splat(0xD800))) != 0;
}

// Eight units below U+0800 as byte pairs: the second byte of an ASCII unit goes.
// Indexed by the mask of ASCII units.
inline constexpr std::array<Compaction, 256> kPairCompaction = [] {
  std::array<Compaction, 256> table{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    uint8_t n = 0;
    for (uint8_t i = 0; i < 8; ++i) {
      table[mask].shuffle[n++] = static_cast<uint8_t>(2 * i);
      if (!((mask >> i) & 1)) table[mask].shuffle[n++] = static_cast<uint8_t>(2 * i + 1);
    }
    table[mask].length = n;
    while (n < 16) table[mask].shuffle[n++] = 0x80;
  }
  return table;
}();

// Four units as 4-byte words of which the first one to three bytes count.
// Indexed by the ASCII mask of the four units | their below-U+0800 mask << 4.
inline constexpr std::array<Compaction, 256> kWordCompaction = [] {
  std::array<Compaction, 256> table{};
  for (unsigned index = 0; index < 256; ++index) {
    uint8_t n = 0;
    for (uint8_t i = 0; i < 4; ++i) {
      const int bytes = 3 - ((index >> (4 + i)) & 1) - ((index >> i) & 1);
      for (int b = 0; b < bytes; ++b) table[index].shuffle[n++] = static_cast<uint8_t>(4 * i + b);
    }
    table[index].length = n;
    while (n < 16) table[index].shuffle[n++] = 0x80;
  }
  return table;
}();

// Encodes eight units and hands their bytes to the sink, two shuffles' worth.
// A surrogate pair is split over its two lanes, two bytes each; an unpaired
// surrogate becomes U+FFFD. The caller never starts a block at the low half of a
// pair nor ends one at the high half of one.
template <class Sink>
ZIVODA_UTF_STEP ZIVODA_UTF_SSSE3 void EncodeSurrogateBlock(__m128i units, Sink& sink) {
  const __m128i kind = _mm_and_si128(units, Splat(0xFC00));
  const __m128i high = _mm_cmpeq_epi16(kind, Splat(0xD800));
  const __m128i low = _mm_cmpeq_epi16(kind, Splat(0xDC00));
  const __m128i pair_high = _mm_and_si128(high, _mm_srli_si128(low, 2));  // unit i + 1 is low
  const __m128i pair_low = _mm_slli_si128(pair_high, 2);                  // unit i - 1 starts a pair
  const __m128i pair = _mm_or_si128(pair_high, pair_low);
  // Every surrogate as U+FFFD; the lanes of pairs are replaced below.
  const BmpBytes bmp = EncodeBmp(Select(_mm_or_si128(high, low), Splat(kReplacement), units));

  // A pair is U+10000 + (hi10 << 10 | lo10): bytes 0 and 1 from the high half,
  // bytes 2 and 3 from the low half and the last two bits of the high half.
  const __m128i ten = _mm_and_si128(units, Splat(0x3FF));
  const __m128i plane = _mm_add_epi16(_mm_srli_epi16(ten, 6), Splat(1));  // code point >> 16
  const __m128i high0 = _mm_or_si128(_mm_srli_epi16(plane, 2), Splat(0xF0));
  const __m128i high1 = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_and_si128(plane, Splat(3)), 4),
                                                  _mm_and_si128(_mm_srli_epi16(ten, 2), Splat(0xF))),
                                     Splat(0x80));
  const __m128i prev_ten = _mm_slli_si128(ten, 2);
  const __m128i low2 = _mm_or_si128(
      _mm_or_si128(_mm_slli_epi16(_mm_and_si128(prev_ten, Splat(3)), 4), _mm_srli_epi16(ten, 6)), Splat(0x80));
  const __m128i low3 = _mm_or_si128(_mm_and_si128(ten, Splat(0x3F)), Splat(0x80));
  const __m128i pair_bytes =
      Select(pair_high, _mm_or_si128(high0, _mm_slli_epi16(high1, 8)), _mm_or_si128(low2, _mm_slli_epi16(low3, 8)));
  const __m128i bytes01 = Select(pair, pair_bytes, bmp.bytes01);

  // Lengths, by the masks: 1 for ASCII, 2 below U+0800 and for a pair's half, else 3.
  const __m128i below_800 = _mm_or_si128(bmp.below_800, pair);
  const unsigned masks = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(bmp.ascii, below_800)));
  const Compaction& lo = kWordCompaction[(masks & 0x0F) | ((masks >> 4) & 0xF0)];
  const Compaction& hi = kWordCompaction[((masks >> 4) & 0x0F) | ((masks >> 8) & 0xF0)];
  sink.Bytes16(Compact(_mm_unpacklo_epi16(bytes01, bmp.byte2), lo), lo.length);
  sink.Bytes16(Compact(_mm_unpackhi_epi16(bytes01, bmp.byte2), hi), hi.length);
}

// Encodes eight units below U+0800 (ascii: their ASCII lanes, and as bits).
template <class Sink>
ZIVODA_UTF_STEP ZIVODA_UTF_SSSE3 void EncodePairs8(__m128i u, __m128i ascii, unsigned ascii_bits, Sink& sink) {
  const __m128i lead2 = _mm_or_si128(_mm_srli_epi16(u, 6), Splat(0xC0));
  const __m128i low6 = _mm_or_si128(_mm_and_si128(u, Splat(0x3F)), Splat(0x80));
  const __m128i bytes01 = _mm_or_si128(Select(ascii, u, lead2), _mm_slli_epi16(low6, 8));
  const Compaction& c = kPairCompaction[ascii_bits];
  sink.Bytes16(Compact(bytes01, c), c.length);
}

// Encodes eight units without surrogates, of one to three bytes each (the bits of
// their ASCII units and of those below U+0800).
template <class Sink>
ZIVODA_UTF_STEP ZIVODA_UTF_SSSE3 void EncodeWords8(__m128i u, unsigned ascii_bits, unsigned below_bits, Sink& sink) {
  const BmpBytes bmp = EncodeBmp(u);
  const Compaction& lo = kWordCompaction[(ascii_bits & 0x0F) | (below_bits & 0x0F) << 4];
  const Compaction& hi = kWordCompaction[(ascii_bits >> 4) | (below_bits & 0xF0)];
  sink.Bytes16(Compact(_mm_unpacklo_epi16(bmp.bytes01, bmp.byte2), lo), lo.length);
  sink.Bytes16(Compact(_mm_unpackhi_epi16(bmp.bytes01, bmp.byte2), hi), hi.length);
}

template <class Sink>
ZIVODA_UTF_SSSE3 void EncodeUtf16Blocks(const char16_t* p, size_t n, Sink& out) {
  Sink sink = out;  // a local copy, kept in registers
  const char16_t* const end = p + n;
  const __m128i zero = _mm_setzero_si128();
  // While 32 units are left, every load stays inside the input, and a block
  // leaves at least 16 units, whose bytes overwrite whatever the sink spilled.
  while (end - p >= 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
    const __m128i ascii_a = _mm_cmpeq_epi16(_mm_and_si128(a, Splat(0xFF80)), zero);
    const __m128i ascii_b = _mm_cmpeq_epi16(_mm_and_si128(b, Splat(0xFF80)), zero);
    const unsigned ascii = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii_a, ascii_b)));
    if (ascii == 0xFFFF) {
      sink.Ascii16(a, b);
      p += 16;
      while (end - p >= 64) {  // long runs: 32 units a round
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
        const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 24));
        if (!AllAscii(_mm_or_si128(_mm_or_si128(c, d), _mm_or_si128(e, f)))) break;
        sink.Ascii16(c, d);
        sink.Ascii16(e, f);
        p += 32;
      }
      continue;
    }
    // Bit i: unit i is below U+0800.
    const unsigned below = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_packs_epi16(_mm_cmpeq_epi16(_mm_and_si128(a, Splat(0xF800)), zero),
                        _mm_cmpeq_epi16(_mm_and_si128(b, Splat(0xF800)), zero))));
    if (below == 0xFFFF) {  // 16 units of one or two bytes: a shuffle for each 8
      EncodePairs8(a, ascii_a, ascii & 0xFF, sink);
      EncodePairs8(b, ascii_b, ascii >> 8, sink);
      p += 16;
    } else if (!HasSurrogate(a)) {
      if ((below & 0xFF) == 0xFF) {
        EncodePairs8(a, ascii_a, ascii & 0xFF, sink);
      } else {
        EncodeWords8(a, ascii & 0xFF, below & 0xFF, sink);
      }
      p += 8;
    } else if ((p[7] & 0xFC00) == 0xD800 && (p[8] & 0xFC00) == 0xDC00) {
      // A pair across the end of the block: exact steps, and the pair goes whole.
      for (const char16_t* stop = p + 8; p < stop;) p = EncodeStep(p, end, sink);
    } else {
      EncodeSurrogateBlock(a, sink);
      p += 8;
    }
  }
  EncodeUtf16Steps(p, end, sink);
  out = sink;
}
#endif

// Encodes the n units at p into out. The sink receives at most 3n bytes.
template <class Sink>
inline void EncodeUtf16(const char16_t* p, size_t n, Sink& out) {
#if ZIVODA_UTF_SSE2
  if (__builtin_cpu_supports("ssse3")) {
    EncodeUtf16Blocks(p, n, out);
    return;
  }
#endif
  EncodeUtf16Portable(p, n, out);
}

}  // namespace zivoda::utf
