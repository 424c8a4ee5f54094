// Escaping and unescaping of the five named entities, with the reference's quirks:
// a reference runs to the next semicolon, unknown names vanish, one pass only;
// and every scan path (byte by byte, SSE2, AVX2) held to a plain reference.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "markup/entities_append.h"
#include "ziVodaRerodo/entities.hpp"

namespace {

using zivoda::EscapeKesp;
using zivoda::UnescapeKesp;
using zivoda::detail::EntityScan;

struct EscapeCase {
  std::string input;
  bool apos, quot;
  std::string expected;
};

TEST(Entities, Escape) {
  const EscapeCase cases[] = {
      {"it's <b> & \"x\"", true, true, "it&apos;s &lt;b&gt; &amp; &quot;x&quot;"},
      {"it's <b> & \"x\"", false, false, "it's &lt;b&gt; &amp; \"x\""},
      {"it's \"x\"", true, false, "it&apos;s \"x\""},
      {"it's \"x\"", false, true, "it's &quot;x&quot;"},
      {"&amp;", true, true, "&amp;amp;"},  // escaping twice escapes twice
      {"&amp;", false, false, "&amp;amp;"},
      {"caf\xC3\xA9", true, true, "caf\xC3\xA9"},  // UTF-8 passes unchanged
      {std::string("a\0<b", 4), true, true, std::string("a\0&lt;b", 7)},  // NUL is ordinary
      {"", true, true, ""},
      // Long runs cross the 16-byte blocks; specials at both ends of a block.
      {std::string(15, 'x') + "<" + std::string(16, 'y') + ">", true, true,
       std::string(15, 'x') + "&lt;" + std::string(16, 'y') + "&gt;"},
      {std::string(40, 'z') + "'\"", false, false, std::string(40, 'z') + "'\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("input '" + c.input + "' apos=" + std::to_string(c.apos) + " quot=" + std::to_string(c.quot));
    std::string out = "previous content";
    EscapeKesp(c.input, out, c.apos, c.quot);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(Entities, EscapeShortFormSetsBothFlagsAndSameStringEmpties) {
  std::string out;
  EscapeKesp("'\"", out);
  EXPECT_EQ(out, "&apos;&quot;");
  std::string same = "a<b";
  EscapeKesp(same, same);
  EXPECT_EQ(same, "");
}

TEST(Entities, Unescape) {
  const std::pair<std::string, std::string> cases[] = {
      {"&lt;a&gt;", "<a>"},
      {"it&apos;s &quot;x&quot;", "it's \"x\""},
      {"&amp;amp;", "&amp;"},  // one pass only
      {"x&amp", "x&"},         // no semicolon: the rest is the name
      {"&lt", "<"},
      {"ab&", "ab"},
      {"&;", ""},
      {"&#60;", ""},           // numeric references are dropped
      {"&AMP;", ""},           // names are case-sensitive
      {"a & b; c", "a  c"},    // a lone ampersand swallows through the next semicolon
      {"&a&amp;b", "b"},
      {"a;b", "a;b"},
      {"", ""},
      {"x&unterminated and long", "x"},
      {"caf\xC3\xA9 &gt; 1", "caf\xC3\xA9 > 1"},
      {std::string("\0&lt;\0", 6), std::string("\0<\0", 3)},
  };
  for (const auto& [input, expected] : cases) {
    SCOPED_TRACE("input '" + input + "'");
    std::string out = "previous content";
    UnescapeKesp(input, out);
    EXPECT_EQ(out, expected);
  }
  std::string same = "&lt;";
  UnescapeKesp(same, same);
  EXPECT_EQ(same, "");
}

TEST(Entities, UnescapeUndoesEscapeOfAnyBytes) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  all += all;
  std::string escaped, back;
  EscapeKesp(all, escaped);
  UnescapeKesp(escaped, back);
  EXPECT_EQ(back, all);
}

// --- Every scan path against a plain reference ----------------------------------

std::string ReferenceEscape(const std::string& in, bool apos, bool quot) {
  std::string out;
  for (const char c : in) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '\'' && apos) out += "&apos;";
    else if (c == '"' && quot) out += "&quot;";
    else out += c;
  }
  return out;
}

std::string ReferenceUnescape(const std::string& in) {
  std::string out;
  size_t pos = 0;
  while (pos < in.size()) {
    if (in[pos] != '&') {
      out += in[pos++];
      continue;
    }
    const size_t semi = in.find(';', pos + 1);
    const size_t stop = semi == std::string::npos ? in.size() : semi;
    const std::string name = in.substr(pos + 1, stop - pos - 1);
    if (name == "amp") out += '&';
    else if (name == "lt") out += '<';
    else if (name == "gt") out += '>';
    else if (name == "apos") out += '\'';
    else if (name == "quot") out += '"';
    pos = stop + 1;
  }
  return out;
}

struct Scan {
  EntityScan scan;
  const char* name;
};

// The paths this processor runs; the byte-by-byte one always.
std::vector<Scan> AvailableScans() {
  std::vector<Scan> scans;
  for (const Scan s : {Scan{EntityScan::kScalar, "scalar"}, Scan{EntityScan::kSse2, "sse2"},
                       Scan{EntityScan::kAvx2, "avx2"}})
    if (zivoda::detail::EntityScanAvailable(s.scan)) scans.push_back(s);
  return scans;
}

// Filler that comes close to the special bytes without being one: the same low
// nibble, the same bits but one, the top bit set, NUL, and UTF-8.
const std::string kNearMisses = std::string("a\x00\x16\x36\xA6\xBC\x2C\x1C\x3D\x3F\xA2\x12\x07\x17\x25\x24\x3A\x6E", 18) +
                                "\xC3\xA9";

std::string Filler(size_t length) {
  std::string s;
  for (size_t i = 0; i < length; ++i) s += kNearMisses[i % kNearMisses.size()];
  return s;
}

// Special bytes at every offset around the 16-, 32- and 64-byte blocks, alone and
// in pairs, in texts of every length up to past two blocks.
TEST(Entities, EveryScanEscapesLikeTheReferenceAtEveryOffset) {
  for (const Scan& scan : AvailableScans()) {
    for (const char special : {'&', '<', '>', '\'', '"'}) {
      for (size_t length = 0; length <= 71; ++length) {
        for (size_t at = 0; at <= length; ++at) {
          std::string in = Filler(length);
          if (at < length) in[at] = special;
          if (at + 17 < length) in[at + 17] = '<';  // a second one in the next block
          for (const auto& [apos, quot] : {std::pair{true, true}, std::pair{false, false}, std::pair{true, false}}) {
            SCOPED_TRACE(std::string(scan.name) + " '" + special + "' at " + std::to_string(at) + " of " +
                         std::to_string(length) + " apos=" + std::to_string(apos) + " quot=" + std::to_string(quot));
            std::string out = "previous content, longer than some results";
            out.resize(zivoda::detail::EscapeInto(out, 0, in.data(), in.size(), apos, quot, scan.scan));
            ASSERT_EQ(out, ReferenceEscape(in, apos, quot));
            std::string appended = "head";
            appended.resize(zivoda::detail::EscapeInto(appended, 4, in.data(), in.size(), apos, quot, scan.scan));
            ASSERT_EQ(appended, "head" + ReferenceEscape(in, apos, quot));
          }
        }
      }
    }
  }
}

TEST(Entities, EveryScanUnescapesLikeTheReferenceAtEveryOffset) {
  const char* references[] = {"&lt;", "&amp;", "&quot;", "&apos;", "&gt;", "&x;", "&amp", "&", "&ap;", "&quo"};
  for (const Scan& scan : AvailableScans()) {
    for (const char* reference : references) {
      for (size_t length = 0; length <= 71; ++length) {
        for (size_t at = 0; at <= length; ++at) {
          std::string in = Filler(length);
          in.insert(at, reference);
          if (at + 40 < in.size()) in.insert(at + 40, "&gt;");
          SCOPED_TRACE(std::string(scan.name) + " '" + reference + "' at " + std::to_string(at) + " of " +
                       std::to_string(in.size()));
          std::string out = "previous content, longer than some results";
          zivoda::detail::UnescapeWith(scan.scan, in, out);
          ASSERT_EQ(out, ReferenceUnescape(in));
        }
      }
    }
  }
}

// The serializer's form: a NUL-terminated string, escaped byte by byte while it
// is short and a vector at a time past that.
TEST(Entities, NulTerminatedEscapeMatchesTheReference) {
  for (size_t length = 0; length <= 100; ++length) {
    for (const size_t at : {size_t{0}, length / 2, length > 0 ? length - 1 : 0, size_t{31}, size_t{32}, size_t{33}}) {
      std::string in(length, 'x');
      for (size_t i = 0; i < length; i += 7) in[i] = '\xC3';
      if (at < length) in[at] = '"';
      if (length > 40) in[40] = '&';
      SCOPED_TRACE("'\"' at " + std::to_string(at) + " of " + std::to_string(length));
      std::string out = "head";
      out.resize(zivoda::detail::EscapeCStringInto(out, 4, in.c_str(), true, true));
      ASSERT_EQ(out, "head" + ReferenceEscape(in, true, true));
    }
  }
}

// Large texts take the same paths through more growth of the output.
TEST(Entities, LongTextsWithManyEntitiesMatchTheReference) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += (i % 3 == 0) ? "<&>'\"" : "plain words, caf\xC3\xA9 ";
  for (const Scan& scan : AvailableScans()) {
    SCOPED_TRACE(scan.name);
    std::string escaped = "x";
    escaped.resize(zivoda::detail::EscapeInto(escaped, 0, text.data(), text.size(), true, true, scan.scan));
    ASSERT_EQ(escaped, ReferenceEscape(text, true, true));
    std::string back;
    zivoda::detail::UnescapeWith(scan.scan, escaped, back);
    ASSERT_EQ(back, text);
  }
}

}  // namespace
