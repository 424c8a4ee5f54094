// TrimLeft, TrimRight and Trim: one pass for spaces, then one for tabs, on each
// side; only the space and the tab are removed, and nothing inside the string.
#include <gtest/gtest.h>

#include <string>

#include "ziVodaRerodo/trim.hpp"

namespace {

struct TrimCase {
  std::string in;
  std::string left;   // TrimLeft
  std::string right;  // TrimRight
  std::string both;   // Trim
};

TEST(Trim, TableOfCases) {
  const TrimCase cases[] = {
      // Nothing to remove, or everything.
      {"", "", "", ""},
      {"x", "x", "x", "x"},
      {"   ", "", "", ""},
      {"\t\t", "", "", ""},
      // Spaces first, then tabs: a space behind leading tabs (or in front of
      // trailing tabs) stays.
      {"\t x", " x", "\t x", " x"},
      {" \tx", "x", " \tx", "x"},
      {"a \t", "a \t", "a ", "a "},
      {"a\t ", "a\t ", "a", "a"},
      {"\t \t", " \t", "\t ", " "},
      {" \t ", " ", " ", ""},
      {"  a b  ", "a b  ", "  a b", "a b"},
      {" \t \tx\t \t ", " \tx\t \t ", " \t \tx\t ", " \tx\t "},
      // Only space and tab count.
      {"x\r\n", "x\r\n", "x\r\n", "x\r\n"},
      {"\r x \n", "\r x \n", "\r x \n", "\r x \n"},
      {"\v\fx", "\v\fx", "\v\fx", "\v\fx"},
      {std::string(" \0 ", 3), std::string("\0 ", 2), std::string(" \0", 2), std::string("\0", 1)},
      // Multi-byte characters are never split: U+00A0 (C2 A0) and U+3000 are not spaces.
      {" \xC2\xA0 ", "\xC2\xA0 ", " \xC2\xA0", "\xC2\xA0"},
      {"\t\xE3\x80\x80\t", "\xE3\x80\x80\t", "\t\xE3\x80\x80", "\xE3\x80\x80"},
      {"inner  spaces\tstay", "inner  spaces\tstay", "inner  spaces\tstay", "inner  spaces\tstay"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("input \"" + c.in + "\"");
    std::string s = c.in;
    EXPECT_EQ(&zivoda::TrimLeft(s), &s);
    EXPECT_EQ(s, c.left);
    s = c.in;
    EXPECT_EQ(&zivoda::TrimRight(s), &s);
    EXPECT_EQ(s, c.right);
    s = c.in;
    EXPECT_EQ(&zivoda::Trim(s), &s);
    EXPECT_EQ(s, c.both);
  }
}

}  // namespace
