// The code-page calls MultiByteToWideChar and WideCharToMultiByte (CP_UTF8):
// maximal-subpart replacement, size queries, NUL-terminated counts, argument
// errors through GetLastError, buffer fits, and a randomized comparison with a
// reference codec built from the definition of UTF-8 rather than from its tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/code_page.h"
#include "platform/utf_walker.h"

namespace {

constexpr char16_t kSentinel16 = 0xAAAA;
constexpr char kSentinel8 = '\x5A';
constexpr char16_t kFFFD = 0xFFFD;

std::string Hex(const std::string& bytes) {
  std::string s;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%02X ", c);
    s += b;
  }
  return s;
}

std::string Hex(const std::u16string& units) {
  std::string s;
  char b[6];
  for (char16_t u : units) {
    std::snprintf(b, sizeof b, "%04X ", static_cast<unsigned>(u));
    s += b;
  }
  return s;
}

// ---------------------------------------------------------------------------
// Reference codec. UTF-8 of a scalar value is written the textbook way; a byte
// string is a well-formed sequence if it is the encoding of some scalar value,
// and a maximal subpart is its longest prefix that starts some encoding. Both
// sets come from encoding every scalar value, not from byte-range tables.

std::string EncodeScalar(uint32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (c >> 18));
    s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

void AppendUtf16(uint32_t c, std::u16string& out) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

class ReferenceCodec {
 public:
  ReferenceCodec() {
    for (uint32_t c = 0; c <= 0x10FFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      const std::string e = EncodeScalar(c);
      complete_.emplace(Key(e), c);
      for (size_t len = 1; len < e.size(); ++len) prefixes_.insert(Key(e.substr(0, len)));
    }
  }

  std::u16string Decode(const std::string& in) const {
    std::u16string out;
    size_t i = 0;
    while (i < in.size()) {
      bool decoded = false;
      for (size_t len = 1; len <= 4 && i + len <= in.size() && !decoded; ++len) {
        const auto it = complete_.find(Key(in.substr(i, len)));
        if (it != complete_.end()) {
          AppendUtf16(it->second, out);
          i += len;
          decoded = true;
        }
      }
      if (decoded) continue;
      size_t subpart = 1;
      for (size_t len = 1; len <= 3 && i + len <= in.size(); ++len)
        if (prefixes_.count(Key(in.substr(i, len)))) subpart = len;
      out += kFFFD;
      i += subpart;
    }
    return out;
  }

  static std::string Encode(const std::u16string& in) {
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
      const uint32_t u = in[i];
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
        out += EncodeScalar(0x10000 + ((u - 0xD800) << 10) + (in[i + 1] - 0xDC00u));
        ++i;
      } else if (u >= 0xD800 && u <= 0xDFFF) {
        out += EncodeScalar(0xFFFD);
      } else {
        out += EncodeScalar(u);
      }
    }
    return out;
  }

 private:
  struct Hash {
    size_t operator()(uint64_t k) const { return std::hash<uint64_t>()(k * 0x9E3779B97F4A7C15ull); }
  };
  static uint64_t Key(const std::string& s) {
    uint64_t k = static_cast<uint64_t>(s.size()) << 40;
    for (size_t i = 0; i < s.size(); ++i) k |= static_cast<uint64_t>(static_cast<unsigned char>(s[i])) << (8 * i);
    return k;
  }
  std::unordered_map<uint64_t, uint32_t, Hash> complete_;
  std::unordered_set<uint64_t, Hash> prefixes_;
};

const ReferenceCodec& Reference() {
  static const ReferenceCodec codec;
  return codec;
}

// Converts through the platform calls the way a careful caller does: size query,
// then a buffer of exactly that size with a sentinel after it. Checks that the
// query and the conversion agree and that nothing is written past the result.
std::u16string Decode(const std::string& in) {
  const int need = MultiByteToWideChar(CP_UTF8, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
  EXPECT_GT(need, 0);
  std::vector<char16_t> buf(static_cast<size_t>(need) + 1, kSentinel16);
  const int got = MultiByteToWideChar(CP_UTF8, 0, in.data(), static_cast<int>(in.size()), buf.data(), need);
  EXPECT_EQ(got, need);
  EXPECT_EQ(buf[static_cast<size_t>(need)], kSentinel16);
  // Room for one unit a byte: the conversion runs without counting first.
  std::vector<char16_t> roomy(in.size() + 1, kSentinel16);
  const int got2 = MultiByteToWideChar(CP_UTF8, 0, in.data(), static_cast<int>(in.size()), roomy.data(),
                                       static_cast<int>(in.size()));
  EXPECT_EQ(got2, need);
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + need, roomy.begin()));
  for (size_t i = static_cast<size_t>(got2); i < roomy.size(); ++i) EXPECT_EQ(roomy[i], kSentinel16) << i;
  return std::u16string(buf.data(), static_cast<size_t>(std::max(got, 0)));
}

std::string Encode(const std::u16string& in) {
  const int need =
      WideCharToMultiByte(CP_UTF8, 0, in.data(), static_cast<int>(in.size()), nullptr, 0, nullptr, nullptr);
  EXPECT_GT(need, 0);
  std::vector<char> buf(static_cast<size_t>(need) + 1, kSentinel8);
  const int got = WideCharToMultiByte(CP_UTF8, 0, in.data(), static_cast<int>(in.size()), buf.data(), need,
                                      nullptr, nullptr);
  EXPECT_EQ(got, need);
  EXPECT_EQ(buf[static_cast<size_t>(need)], kSentinel8);
  std::vector<char> roomy(3 * in.size() + 1, kSentinel8);
  const int got2 = WideCharToMultiByte(CP_UTF8, 0, in.data(), static_cast<int>(in.size()), roomy.data(),
                                       static_cast<int>(3 * in.size()), nullptr, nullptr);
  EXPECT_EQ(got2, need);
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + need, roomy.begin()));
  for (size_t i = static_cast<size_t>(got2); i < roomy.size(); ++i) EXPECT_EQ(roomy[i], kSentinel8) << i;
  return std::string(buf.data(), static_cast<size_t>(std::max(got, 0)));
}

// ---------------------------------------------------------------------------

struct DecodeCase {
  const char* what;
  std::string bytes;
  std::u16string units;
};

TEST(MultiByteToWideChar, DecodesAndReplacesEachMaximalSubpart) {
  const std::u16string R(1, kFFFD);
  const DecodeCase cases[] = {
      // Well-formed, at the edges of each length and around the surrogates.
      {"ascii and NUL", std::string("a\0\x7F", 3), std::u16string(u"a\0\x7F", 3)},
      {"two-byte edges", "\xC2\x80\xDF\xBF", u"\u0080\u07FF"},
      {"three-byte edges", "\xE0\xA0\x80\xEF\xBF\xBF", u"\u0800\uFFFF"},
      {"around the surrogates", "\xED\x9F\xBF\xEE\x80\x80", u"\uD7FF\uE000"},
      {"four-byte edges", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", u"\U00010000\U0010FFFF"},
      {"BOM is kept", "\xEF\xBB\xBF" "a", u"\uFEFFa"},
      // Unicode Table 3-8, the example of maximal subparts.
      {"table 3-8", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
       u"a" + R + R + R + u"b" + R + u"c" + R + R + u"d"},
      // Overlong forms: the lead byte alone is a maximal subpart.
      {"C0 80", "\xC0\x80", R + R},
      {"C1 BF", "\xC1\xBF", R + R},
      {"E0 80 80", "\xE0\x80\x80", R + R + R},
      {"E0 9F BF", "\xE0\x9F\xBF", R + R + R},
      {"F0 80 80 80", "\xF0\x80\x80\x80", R + R + R + R},
      {"F0 8F BF BF", "\xF0\x8F\xBF\xBF", R + R + R + R},
      // Encoded surrogates and values above U+10FFFF.
      {"ED A0 80 (D800)", "\xED\xA0\x80", R + R + R},
      {"ED BF BF (DFFF)", "\xED\xBF\xBF", R + R + R},
      {"F4 90 80 80", "\xF4\x90\x80\x80", R + R + R + R},
      {"F5 80 80 80", "\xF5\x80\x80\x80", R + R + R + R},
      {"F7 BF BF BF", "\xF7\xBF\xBF\xBF", R + R + R + R},
      {"bytes never in UTF-8", "\xF8\xFC\xFE\xFF", R + R + R + R},
      // Truncated sequences: one U+FFFD for the whole valid prefix.
      {"C3 at end", "a\xC3", u"a" + R},
      {"E2 82 at end", "\xE2\x82", R},
      {"F0 9F 98 at end", "\xF0\x9F\x98", R},
      {"truncated then ascii", "\xF0\x9F\x98" "a\xE2\x82" "b", R + u"a" + R + u"b"},
      {"truncated by NUL", std::string("\xE2\x82\0", 3), R + std::u16string(1, 0)},
      {"truncated by a new lead", "\xE2\x82\xE2\x82\xAC", R + u"\u20AC"},
      // Stray continuation bytes: one U+FFFD each.
      {"one stray", "\x80", R},
      {"stray run", "\x80\xBF\x80", R + R + R},
      {"too many continuations", "\xC3\xA9\xA9", u"\u00E9" + R},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + Hex(c.bytes));
    const std::u16string got = Decode(c.bytes);
    EXPECT_EQ(Hex(got), Hex(c.units));
    EXPECT_EQ(Hex(got), Hex(Reference().Decode(c.bytes)));  // the reference agrees with the table
  }
}

struct EncodeCase {
  const char* what;
  std::u16string units;
  std::string bytes;
};

TEST(WideCharToMultiByte, EncodesPairsAndReplacesUnpairedSurrogates) {
  const std::string R = "\xEF\xBF\xBD";
  const EncodeCase cases[] = {
      {"NUL and ascii", std::u16string(u"\0a", 2), std::string("\0a", 2)},
      {"length edges", u"\u007F\u0080\u07FF\u0800\uFFFF", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
      {"pairs at the ends of the range", u"\U00010000\U0010FFFF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {"lone high", u"\xD800", R},
      {"lone low", u"\xDC00", R},
      {"low then high", u"\xDE00\xD83D", R + R},
      {"high then ascii", u"\xD83D" "a", R + "a"},
      {"high high low", u"\xD800\xD800\xDC00", R + "\xF0\x90\x80\x80"},
      {"high then NUL", std::u16string(u"\xDBFF\0", 2), R + std::string(1, '\0')},
      {"high at end after text", u"abc\xD83D", "abc" + R},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + Hex(c.units));
    EXPECT_EQ(Hex(Encode(c.units)), Hex(c.bytes));
  }
}

TEST(CodePage, MinusOneCountsTheNulAndWritesIt) {
  const char* text = "a\xC3\xA9";
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), 3);
  char16_t w[4] = {kSentinel16, kSentinel16, kSentinel16, kSentinel16};
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, w, 4), 3);
  EXPECT_EQ(std::u16string(w, 4), std::u16string(u"a\u00E9\0\xAAAA", 4));

  const char16_t* wide = u"a\u00E9";
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr), 4);
  char b[5] = {kSentinel8, kSentinel8, kSentinel8, kSentinel8, kSentinel8};
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, b, 5, nullptr, nullptr), 4);
  EXPECT_EQ(std::string(b, 5), std::string("a\xC3\xA9\0\x5A", 5));

  // A buffer that holds the text but not its NUL is too small.
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, w, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, b, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePage, BuffersFitExactlyAndOneShortFails) {
  const char* texts[] = {
      "plain ascii text that is longer than thirty-two bytes, to reach the vector path",
      "\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD",          // 3 units from 9 bytes
      "\xF0\x9F\x98\x80\xF0\x9F\x8E\x89",              // 2 pairs from 8 bytes
      "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xFF",  // mixed, malformed at the end
  };
  for (const char* t : texts) {
    SCOPED_TRACE(Hex(std::string(t)));
    const int n = static_cast<int>(std::strlen(t));
    const int units = MultiByteToWideChar(CP_UTF8, 0, t, n, nullptr, 0);
    ASSERT_GT(units, 0);
    std::vector<char16_t> w(static_cast<size_t>(units), kSentinel16);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, t, n, w.data(), units), units);
    std::vector<char16_t> shorter(static_cast<size_t>(units), kSentinel16);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, t, n, shorter.data(), units - 1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::count(shorter.begin(), shorter.end(), kSentinel16), units) << "wrote on failure";

    const int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), units, nullptr, 0, nullptr, nullptr);
    ASSERT_GT(bytes, 0);
    std::vector<char> b(static_cast<size_t>(bytes), kSentinel8);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, w.data(), units, b.data(), bytes, nullptr, nullptr), bytes);
    SetLastError(0);
    std::vector<char> bshort(static_cast<size_t>(bytes), kSentinel8);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, w.data(), units, bshort.data(), bytes - 1, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::count(bshort.begin(), bshort.end(), kSentinel8), bytes) << "wrote on failure";
  }
  // n units between U+0800 and U+FFFF need exactly 3n bytes.
  for (int n = 1; n <= 40; ++n) {
    SCOPED_TRACE(n);
    const std::u16string w(static_cast<size_t>(n), u'\u20AC');
    std::string b(static_cast<size_t>(3 * n), kSentinel8);
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, w.data(), n, b.data(), 3 * n, nullptr, nullptr), 3 * n);
    std::string expected;
    for (int i = 0; i < n; ++i) expected += "\xE2\x82\xAC";
    EXPECT_EQ(b, expected);
  }
}

struct ErrorCase {
  const char* what;
  std::function<int(char16_t* w, char* b)> call;
  DWORD error;
};

TEST(CodePage, RejectsBadArgumentsWithoutWriting) {
  const char* u8 = "abc";
  const char16_t* u16 = u"abc";
  char def = '?';
  BOOL used = 0;
  const ErrorCase cases[] = {
      // MultiByteToWideChar
      {"MB code page 1252", [&](char16_t* w, char*) { return MultiByteToWideChar(1252, 0, u8, 3, w, 8); },
       ERROR_INVALID_PARAMETER},
      {"MB flags", [&](char16_t* w, char*) { return MultiByteToWideChar(CP_UTF8, 1, u8, 3, w, 8); },
       ERROR_INVALID_FLAGS},
      {"MB count 0", [&](char16_t* w, char*) { return MultiByteToWideChar(CP_UTF8, 0, u8, 0, w, 8); },
       ERROR_INVALID_PARAMETER},
      {"MB count -2", [&](char16_t* w, char*) { return MultiByteToWideChar(CP_UTF8, 0, u8, -2, w, 8); },
       ERROR_INVALID_PARAMETER},
      {"MB null input", [&](char16_t* w, char*) { return MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, w, 8); },
       ERROR_INVALID_PARAMETER},
      {"MB negative room", [&](char16_t* w, char*) { return MultiByteToWideChar(CP_UTF8, 0, u8, 3, w, -1); },
       ERROR_INVALID_PARAMETER},
      {"MB null output with room",
       [&](char16_t*, char*) { return MultiByteToWideChar(CP_UTF8, 0, u8, 3, nullptr, 8); },
       ERROR_INVALID_PARAMETER},
      {"MB output too small", [&](char16_t* w, char*) { return MultiByteToWideChar(CP_UTF8, 0, u8, 3, w, 2); },
       ERROR_INSUFFICIENT_BUFFER},
      {"MB output overlaps input",
       [&](char16_t* w, char*) {
         std::memcpy(w + 4, "abcd", 4);
         return MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(w + 4), 4, w + 3, 4);
       },
       ERROR_INVALID_PARAMETER},
      // WideCharToMultiByte
      {"WC code page 1252",
       [&](char16_t*, char* b) { return WideCharToMultiByte(1252, 0, u16, 3, b, 8, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"WC flags",
       [&](char16_t*, char* b) { return WideCharToMultiByte(CP_UTF8, 0x80, u16, 3, b, 8, nullptr, nullptr); },
       ERROR_INVALID_FLAGS},
      {"WC default char",
       [&](char16_t*, char* b) { return WideCharToMultiByte(CP_UTF8, 0, u16, 3, b, 8, &def, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"WC used-default flag",
       [&](char16_t*, char* b) { return WideCharToMultiByte(CP_UTF8, 0, u16, 3, b, 8, nullptr, &used); },
       ERROR_INVALID_PARAMETER},
      {"WC count 0",
       [&](char16_t*, char* b) { return WideCharToMultiByte(CP_UTF8, 0, u16, 0, b, 8, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"WC count -2",
       [&](char16_t*, char* b) { return WideCharToMultiByte(CP_UTF8, 0, u16, -2, b, 8, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"WC null input",
       [&](char16_t*, char* b) { return WideCharToMultiByte(CP_UTF8, 0, nullptr, 3, b, 8, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"WC negative room",
       [&](char16_t*, char* b) { return WideCharToMultiByte(CP_UTF8, 0, u16, 3, b, -1, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"WC null output with room",
       [&](char16_t*, char*) { return WideCharToMultiByte(CP_UTF8, 0, u16, 3, nullptr, 8, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"WC output too small",
       [&](char16_t*, char* b) { return WideCharToMultiByte(CP_UTF8, 0, u16, -1, b, 3, nullptr, nullptr); },
       ERROR_INSUFFICIENT_BUFFER},
      {"WC output overlaps input",
       [&](char16_t* w, char*) {
         w[0] = u'a';
         w[1] = u'b';
         return WideCharToMultiByte(CP_UTF8, 0, w, 2, reinterpret_cast<char*>(w) + 2, 6, nullptr, nullptr);
       },
       ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<char16_t> w(8, kSentinel16);
    std::vector<char> b(8, kSentinel8);
    SetLastError(0);
    EXPECT_EQ(c.call(w.data(), b.data()), 0);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(std::count(b.begin(), b.end(), kSentinel8), 8) << "wrote on failure";
    // The overlap rows stage their input in w; the rest must leave it untouched.
    if (std::string(c.what).find("overlap") == std::string::npos) {
      EXPECT_EQ(std::count(w.begin(), w.end(), kSentinel16), 8) << "wrote on failure";
    }
  }
}

TEST(CodePage, LastErrorIsPerThreadAndKeptOnSuccess) {
  SetLastError(1234);
  char16_t w[4];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", 2, w, 4), 2);
  EXPECT_EQ(GetLastError(), 1234u);
  std::thread([] {
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", 0, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }).join();
  EXPECT_EQ(GetLastError(), 1234u);
}

// ---------------------------------------------------------------------------
// Randomized comparison with the reference codec. The inputs are built from
// pieces that stress the decoder's choices: ASCII runs of every length around the
// vector blocks, runs of two- and three-byte sequences (which the block walker
// takes 16 and 12 bytes at a time), valid sequences of each length, their
// truncated prefixes, and bytes that can never start or continue a sequence.

uint32_t RandomScalar(std::mt19937& rng, uint32_t lo, uint32_t hi) {
  uint32_t c = std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
  return c >= 0xD800 && c <= 0xDFFF ? c - 0x800 : c;
}

std::string RandomBytes(std::mt19937& rng) {
  static const char* const kOdd[] = {"\xC0", "\xC1", "\xE0", "\xED", "\xF0", "\xF4", "\xF5", "\xFF", "\x80", "\xBF",
                                     "\xE0\x80\x80", "\xED\xA0\x80", "\xC0\x80", "\xF4\x90\x80\x80"};
  std::string s;
  const int pieces = std::uniform_int_distribution<int>(0, 24)(rng);
  for (int i = 0; i < pieces; ++i) {
    switch (std::uniform_int_distribution<int>(0, 7)(rng)) {
      case 0:
        s.append(std::uniform_int_distribution<size_t>(0, 40)(rng), static_cast<char>('a' + i % 26));
        break;
      case 1: {
        const uint32_t limits[] = {0x80, 0x800, 0x10000, 0x110000};
        s += EncodeScalar(RandomScalar(rng, 0, limits[rng() % 4] - 1));
        break;
      }
      case 2:  // ASCII mixed with two-byte sequences
        for (int k = std::uniform_int_distribution<int>(1, 30)(rng); k > 0; --k)
          s += EncodeScalar(RandomScalar(rng, 0x20, rng() % 3 ? 0x7E : 0x7FF));
        break;
      case 3:  // three-byte sequences
        for (int k = std::uniform_int_distribution<int>(1, 14)(rng); k > 0; --k)
          s += EncodeScalar(RandomScalar(rng, 0x800, 0xFFFF));
        break;
      case 4: {  // a truncated valid sequence
        const uint32_t limits[] = {0x800, 0x10000, 0x110000};
        const std::string e = EncodeScalar(RandomScalar(rng, 0x80, limits[rng() % 3] - 1));
        s += e.substr(0, std::uniform_int_distribution<size_t>(1, e.size() - 1)(rng));
        break;
      }
      case 5:
        s += kOdd[rng() % std::size(kOdd)];
        break;
      case 6:
        s += EncodeScalar(RandomScalar(rng, 0x10000, 0x10FFFF));
        break;
      default:
        s += static_cast<char>(std::uniform_int_distribution<int>(0x80, 0xFF)(rng));
        break;
    }
  }
  return s;
}

std::u16string RandomUnits(std::mt19937& rng) {
  std::u16string s;
  const int pieces = std::uniform_int_distribution<int>(0, 24)(rng);
  for (int i = 0; i < pieces; ++i) {
    switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
      case 0:
        s.append(std::uniform_int_distribution<size_t>(0, 40)(rng), static_cast<char16_t>('A' + i % 26));
        break;
      case 1:  // a run of units of one, two or three bytes
        for (int k = std::uniform_int_distribution<int>(1, 20)(rng); k > 0; --k)
          s += static_cast<char16_t>(RandomScalar(rng, 0x20, rng() % 2 ? 0x7FF : 0xFFFF));
        break;
      case 2:
        s += static_cast<char16_t>(std::uniform_int_distribution<int>(0xD800, 0xDBFF)(rng));
        s += static_cast<char16_t>(std::uniform_int_distribution<int>(0xDC00, 0xDFFF)(rng));
        break;
      case 3:
        s += static_cast<char16_t>(std::uniform_int_distribution<int>(0xD800, 0xDFFF)(rng));
        break;
      case 4:
        s += static_cast<char16_t>(std::uniform_int_distribution<int>(0x80, 0xFFFF)(rng));
        break;
      default:
        s += static_cast<char16_t>(std::uniform_int_distribution<int>(0, 0x7FF)(rng));
        break;
    }
  }
  return s;
}

TEST(CodePage, MatchesReferenceOnRandomInput) {
  std::mt19937 rng(20240611);
  for (int i = 0; i < 3000; ++i) {
    const std::string bytes = RandomBytes(rng);
    if (!bytes.empty()) {
      SCOPED_TRACE(Hex(bytes));
      ASSERT_EQ(Hex(Decode(bytes)), Hex(Reference().Decode(bytes)));
    }
    const std::u16string units = RandomUnits(rng);
    if (!units.empty()) {
      SCOPED_TRACE(Hex(units));
      ASSERT_EQ(Hex(Encode(units)), Hex(ReferenceCodec::Encode(units)));
    }
  }
}

// The platform calls take the block walkers where the processor has SSSE3; the
// portable walkers run elsewhere. Both must match the reference, with either sink.
TEST(CodePage, BothWalkersMatchReference) {
  using namespace zivoda::utf;
#if ZIVODA_UTF_SSE2
  const bool blocks = __builtin_cpu_supports("ssse3");
#else
  const bool blocks = false;
#endif
  std::mt19937 rng(77);
  for (int i = 0; i < 2000; ++i) {
    const std::string bytes = RandomBytes(rng);
    const auto* in = reinterpret_cast<const uint8_t*>(bytes.data());
    const std::u16string expected16 = Reference().Decode(bytes);
    std::vector<std::u16string> got16;
    std::vector<size_t> counts16;
    {
      std::u16string w(bytes.size() + 1, kSentinel16);
      Utf16Writer writer(w.data());
      DecodeUtf8Portable(in, bytes.size(), writer);
      got16.push_back(w.substr(0, writer.count()));
      Utf16Counter counter;
      DecodeUtf8Portable(in, bytes.size(), counter);
      counts16.push_back(counter.count());
    }
#if ZIVODA_UTF_SSE2
    if (blocks) {
      std::u16string w(bytes.size() + 1, kSentinel16);
      Utf16Writer writer(w.data());
      DecodeUtf8Blocks(in, bytes.size(), writer);
      got16.push_back(w.substr(0, writer.count()));
      Utf16Counter counter;
      DecodeUtf8Blocks(in, bytes.size(), counter);
      counts16.push_back(counter.count());
    }
#endif
    for (size_t k = 0; k < got16.size(); ++k) {
      SCOPED_TRACE((k ? "block walker: " : "portable walker: ") + Hex(bytes));
      ASSERT_EQ(Hex(got16[k]), Hex(expected16));
      ASSERT_EQ(counts16[k], expected16.size());
    }

    const std::u16string units = RandomUnits(rng);
    const std::string expected8 = ReferenceCodec::Encode(units);
    std::vector<std::string> got8;
    std::vector<size_t> counts8;
    {
      std::string b(3 * units.size() + 1, kSentinel8);
      Utf8Writer writer(b.data());
      EncodeUtf16Portable(units.data(), units.size(), writer);
      got8.push_back(b.substr(0, writer.count()));
      Utf8Counter counter;
      EncodeUtf16Portable(units.data(), units.size(), counter);
      counts8.push_back(counter.count());
    }
#if ZIVODA_UTF_SSE2
    if (blocks) {
      std::string b(3 * units.size() + 1, kSentinel8);
      Utf8Writer writer(b.data());
      EncodeUtf16Blocks(units.data(), units.size(), writer);
      got8.push_back(b.substr(0, writer.count()));
      Utf8Counter counter;
      EncodeUtf16Blocks(units.data(), units.size(), counter);
      counts8.push_back(counter.count());
    }
#endif
    for (size_t k = 0; k < got8.size(); ++k) {
      SCOPED_TRACE((k ? "block walker: " : "portable walker: ") + Hex(units));
      ASSERT_EQ(Hex(got8[k]), Hex(expected8));
      ASSERT_EQ(counts8[k], expected8.size());
    }
  }
  if (!blocks) GTEST_SKIP() << "no SSSE3: only the portable walkers ran";
}

TEST(CodePage, OneSequenceAtEveryOffsetOfAnAsciiRun) {
  const std::string inserts[] = {
      "\xC3\xA9", "\xF0\x9F\x98\x80", "\x80", "\xE2\x82",
      // Three-byte forms, good and bad, and leads with too many continuations.
      "\xE2\x82\xAC", "\xE2\x82\xAC\xC3\xA9 \xE6\x9D\xB1", "\xE0\x80\x80", "\xED\xA0\x80", "\xC0\x80",
      "\xC3\xA9\xA9", "\xF0\x9F\x98", "\xE2\x82\xAC\xAC"};
  for (size_t len = 1; len <= 70; ++len) {
    for (size_t pos = 0; pos <= len; ++pos) {
      for (const auto& ins : inserts) {
        std::string bytes(len, 'x');
        bytes.insert(pos, ins);
        SCOPED_TRACE(Hex(bytes));
        const std::u16string units = Decode(bytes);
        ASSERT_EQ(Hex(units), Hex(Reference().Decode(bytes)));
        ASSERT_EQ(Hex(Encode(units)), Hex(ReferenceCodec::Encode(units)));
      }
    }
  }
}

}  // namespace
