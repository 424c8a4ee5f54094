// The public UTF-8 <-> UTF-16 helpers: counted and zero-terminated forms, the
// result ending at the first zero element, replacement of malformed input,
// outputs replaced rather than appended to, the 32-bit size limit, and a round
// trip of random valid text against a textbook encoder.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <new>
#include <random>
#include <string>

#include "ziVodaRerodo/utf.hpp"

namespace {

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

struct ToUtf16Case {
  const char* what;
  std::string bytes;
  int32_t n;
  std::u16string expected;
};

TEST(Utf8ToUtf16, CountedForm) {
  const ToUtf16Case cases[] = {
      {"count 0 gives empty", "abc", 0, u""},
      {"A, e-acute, euro, grinning face", "\x41\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 10,
       {0x0041, 0x00E9, 0x20AC, 0xD83D, 0xDE00}},
      {"stops at n, not at the end", "abcdef", 3, u"abc"},
      // A zero byte inside the counted input ends the result there.
      {"61 00 62", std::string("a\0b", 3), 3, u"a"},
      {"leading zero", std::string("\0ab", 3), 3, u""},
      {"malformed before a zero", std::string("\xC3\0x", 3), 3, u"\uFFFD"},
      {"zero after a long ascii run", std::string(40, 'q') + std::string("\0r", 2), 42, std::u16string(40, u'q')},
      // Malformed input still converts.
      {"lone C3 at the end", "a\xC3", 2, u"a\uFFFD"},
      {"C3 cut off by n", "\xC3\xA9", 1, u"\uFFFD"},
      {"FF anywhere", "\xFF" "a\xFF" "b", 4, u"\uFFFDa\uFFFDb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + Hex(c.bytes));
    std::u16string out = u"previous contents, longer than the result";
    zivoda::Utf8ToUtf16(c.bytes.data(), c.n, out);
    EXPECT_EQ(Hex(out), Hex(c.expected));
  }
}

TEST(Utf8ToUtf16, OtherFormsAndBadCounts) {
  std::u16string out = u"old";
  zivoda::Utf8ToUtf16("caf\xC3\xA9", out);
  EXPECT_EQ(out, u"caf\u00E9");
  zivoda::Utf8ToUtf16("", out);
  EXPECT_EQ(out, u"");

  out = u"old";
  zivoda::Utf8ToUtf16("abc", -1, out);
  EXPECT_EQ(out, u"");
  out = u"old";
  zivoda::Utf8ToUtf16(nullptr, out);
  EXPECT_EQ(out, u"");

  // (INT32_MAX + 1) * 2 bytes does not fit in 32 bits: an allocation failure,
  // raised before the input is read, with the output untouched.
  const char one = 'a';
  out = u"kept";
  EXPECT_THROW(zivoda::Utf8ToUtf16(&one, INT32_MAX, out), std::bad_alloc);
  EXPECT_EQ(out, u"kept");
}

struct ToUtf8Case {
  const char* what;
  std::u16string units;
  int32_t n;
  std::string expected;
};

TEST(Utf16ToUtf8, CountedForm) {
  const ToUtf8Case cases[] = {
      {"count 0 gives empty", u"abc", 0, ""},
      {"A, e-acute, euro, grinning face", {0x0041, 0x00E9, 0x20AC, 0xD83D, 0xDE00}, 5,
       "\x41\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"stops at n", u"abcdef", 2, "ab"},
      {"pair cut by n", {0xD83D, 0xDE00}, 1, "\xEF\xBF\xBD"},
      {"unpaired high surrogate", {0xD800}, 1, "\xEF\xBF\xBD"},
      {"unpaired low surrogate in text", {0x61, 0xDC00, 0x62}, 3, "a\xEF\xBF\xBD" "b"},
      // A zero unit inside the counted input ends the result there.
      {"0061 0000 0062", {0x61, 0x00, 0x62}, 3, "a"},
      {"high surrogate before a zero", {0xD800, 0x00, 0x41}, 3, "\xEF\xBF\xBD"},
      {"leading zero", {0x00, 0x41}, 2, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + Hex(c.units));
    std::string out = "previous contents, longer than the result";
    zivoda::Utf16ToUtf8(c.units.data(), c.n, out);
    EXPECT_EQ(Hex(out), Hex(c.expected));
  }
}

TEST(Utf16ToUtf8, WorstCaseOfThreeBytesAUnitFits) {
  const struct {
    char16_t unit;
    const char* bytes;
  } units[] = {{0x0800, "\xE0\xA0\x80"}, {0x20AC, "\xE2\x82\xAC"}, {0xFFFF, "\xEF\xBF\xBF"},
               {0xDFFF, "\xEF\xBF\xBD"}};
  for (const auto& u : units) {
    for (int n = 1; n <= 70; ++n) {
      SCOPED_TRACE(Hex(std::u16string(1, u.unit)) + "x" + std::to_string(n));
      std::string expected;
      for (int i = 0; i < n; ++i) expected += u.bytes;
      std::string out;
      zivoda::Utf16ToUtf8(std::u16string(static_cast<size_t>(n), u.unit), out);
      ASSERT_EQ(Hex(out), Hex(expected));
    }
  }
}

// A string that already has room is filled in chunks of 16,384 units: a pair
// that straddles a chunk's end must stay whole, and an unpaired high surrogate
// there still gives one U+FFFD. Each text is converted into a fresh string and
// into one reused from a longer text; both must give the bytes worked out here.
TEST(Utf16ToUtf8, ReusedOutputAndPairsAcrossChunks) {
  const std::u16string pair = u"\U0001F600";  // D83D DE00
  struct Case {
    const char* what;
    size_t asciiBefore;
    std::u16string tail;
    std::string tailBytes;
  };
  const Case cases[] = {
      {"pair across the first chunk end", 16383, pair, "\xF0\x9F\x98\x80"},
      {"pair just inside", 16382, pair, "\xF0\x9F\x98\x80"},
      {"pair just after", 16384, pair, "\xF0\x9F\x98\x80"},
      {"unpaired high surrogate at the end", 16383, std::u16string(1, u'\xD83D') + u"x", "\xEF\xBF\xBDx"},
      {"pair across the second chunk end", 32767, pair, "\xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::u16string text = std::u16string(c.asciiBefore, u'a') + c.tail + u"\u20ACz";
    const std::string expected = std::string(c.asciiBefore, 'a') + c.tailBytes + "\xE2\x82\xAC" "z";
    std::string fresh;
    zivoda::Utf16ToUtf8(text, fresh);
    EXPECT_EQ(fresh.size(), expected.size());
    EXPECT_TRUE(fresh == expected);
    std::string reused;
    zivoda::Utf16ToUtf8(std::u16string(40000, u'\u20AC'), reused);  // leaves 120,000 bytes of room
    zivoda::Utf16ToUtf8(text, reused);
    EXPECT_EQ(reused.size(), expected.size());
    EXPECT_TRUE(reused == expected);
  }
}

TEST(Utf16ToUtf8, OtherFormsAndBadCounts) {
  std::string out = "old";
  zivoda::Utf16ToUtf8(std::u16string(u"x\u00E9\0y", 4), out);  // the whole string, up to its zero
  EXPECT_EQ(out, "x\xC3\xA9");
  zivoda::Utf16ToUtf8(u"\U0001F600!", out);
  EXPECT_EQ(out, "\xF0\x9F\x98\x80!");
  zivoda::Utf16ToUtf8(std::u16string(), out);
  EXPECT_EQ(out, "");

  out = "old";
  zivoda::Utf16ToUtf8(u"abc", -5, out);
  EXPECT_EQ(out, "");
  out = "old";
  zivoda::Utf16ToUtf8(static_cast<const char16_t*>(nullptr), out);
  EXPECT_EQ(out, "");
}

// ---------------------------------------------------------------------------
// Round trip of random valid text. The expected UTF-8 and UTF-16 come from the
// textbook formulas for one scalar value at a time.

void AppendScalar(uint32_t c, std::string& u8, std::u16string& u16) {
  if (c < 0x80) {
    u8 += static_cast<char>(c);
  } else if (c < 0x800) {
    u8 += static_cast<char>(0xC0 | (c >> 6));
    u8 += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    u8 += static_cast<char>(0xE0 | (c >> 12));
    u8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    u8 += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    u8 += static_cast<char>(0xF0 | (c >> 18));
    u8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    u8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    u8 += static_cast<char>(0x80 | (c & 0x3F));
  }
  if (c < 0x10000) {
    u16 += static_cast<char16_t>(c);
  } else {
    u16 += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    u16 += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

TEST(Utf, RandomValidTextRoundTrips) {
  std::mt19937 rng(7);
  const uint32_t limits[] = {0x80, 0x800, 0x10000, 0x110000};
  for (int i = 0; i < 2000; ++i) {
    std::string u8;
    std::u16string u16;
    const int pieces = std::uniform_int_distribution<int>(1, 30)(rng);
    for (int p = 0; p < pieces; ++p) {
      if (rng() % 3 == 0) {  // ASCII runs long enough for the vector paths
        const size_t run = std::uniform_int_distribution<size_t>(1, 50)(rng);
        for (size_t k = 0; k < run; ++k) AppendScalar(0x20 + (rng() % 0x5F), u8, u16);
        continue;
      }
      uint32_t c = std::uniform_int_distribution<uint32_t>(1, limits[rng() % 4] - 1)(rng);
      if (c >= 0xD800 && c <= 0xDFFF) c -= 0x800;
      AppendScalar(c, u8, u16);
    }
    SCOPED_TRACE(Hex(u8));
    std::u16string wide;
    zivoda::Utf8ToUtf16(u8.data(), static_cast<int32_t>(u8.size()), wide);
    ASSERT_EQ(Hex(wide), Hex(u16));
    std::string back;
    zivoda::Utf16ToUtf8(wide, back);
    ASSERT_EQ(Hex(back), Hex(u8));
  }
}

}  // namespace
