// Escaping and unescaping of the five named entities, with the reference's quirks:
// a reference runs to the next semicolon, unknown names vanish, one pass only.
#include <gtest/gtest.h>

#include <string>

#include "ziVodaRerodo/entities.hpp"

namespace {

using zivoda::EscapeKesp;
using zivoda::UnescapeKesp;

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

}  // namespace
