// The typed attribute readers on tags parsed by voZuzu: atoi and strtoul(…, 16)
// rules, exact "true"/"false", and defaults only where they apply.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ziVodaRerodo/attributes.hpp"
#include "ziVodaRerodo/documents.hpp"

namespace {

using namespace zivoda;

// One tag with the attribute v="value" (value written escaped in the markup).
class OneAttribute {
 public:
  explicit OneAttribute(const std::string& escapedValue)
      : root_(LoadKespFromString(("<T v=\"" + escapedValue + "\"/>").c_str())) {}
  ~OneAttribute() { vxReleaseKespTree(root_); }
  OneAttribute(const OneAttribute&) = delete;
  OneAttribute& operator=(const OneAttribute&) = delete;
  KespTag tag() const { return root_; }

 private:
  KespTag root_;
};

TEST(Attributes, AbsentGivesDefaultAndLeavesStringAlone) {
  OneAttribute t("x");
  ASSERT_NE(t.tag(), 0u);
  EXPECT_EQ(GetAttrInt("size", t.tag(), 9), 9);
  EXPECT_TRUE(GetAttrBool("bold", t.tag(), true));
  EXPECT_FALSE(GetAttrBool("bold", t.tag(), false));
  EXPECT_EQ(GetAttrHex("color", t.tag(), 0xABCDEFu), 0xABCDEFu);
  std::string s = "kept";
  EXPECT_EQ(&GetAttrString("face", t.tag(), s), &s);
  EXPECT_EQ(s, "kept");
}

TEST(Attributes, String) {
  for (const auto& [markup, expected] : {std::pair<std::string, std::string>{"Arial", "Arial"},
                                         {"", ""},
                                         {" a &amp; b ", " a & b "},
                                         {"caf\xC3\xA9", "caf\xC3\xA9"}}) {
    SCOPED_TRACE(markup);
    OneAttribute t(markup);
    std::string s = "previous";
    EXPECT_EQ(GetAttrString("v", t.tag(), s), expected);
  }
}

TEST(Attributes, Int) {
  const std::pair<std::string, int32_t> cases[] = {
      {"12", 12}, {"+12", 12}, {"   12", 12}, {"12pt", 12}, {"-3", -3}, {"abc", 0}, {"0x1A", 0}, {"", 0},
      {"\t\n 7", 7}, {"- 3", 0}, {"+-3", 0}, {"007", 7},
      // Beyond the 32-bit range the value saturates.
      {"2147483647", 2147483647}, {"2147483648", INT32_MAX}, {"99999999999999999999", INT32_MAX},
      {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN}, {"-99999999999999999999", INT32_MIN},
  };
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE("value '" + value + "'");
    OneAttribute t(value);
    EXPECT_EQ(GetAttrInt("v", t.tag(), 9), expected);
  }
}

TEST(Attributes, Bool) {
  struct Case {
    std::string value;
    bool def, expected;
  } const cases[] = {
      {"true", false, true}, {"True", false, false}, {"TRUE", false, false}, {"1", false, false},
      {"yes", false, false}, {" true", false, false}, {"", false, false}, {"true ", false, false},
      {"false", true, false}, {"False", true, true}, {"0", true, true}, {"", true, true},
      {"true", true, true}, {"false", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("value '" + c.value + "' default " + std::to_string(c.def));
    OneAttribute t(c.value);
    EXPECT_EQ(GetAttrBool("v", t.tag(), c.def), c.expected);
  }
}

TEST(Attributes, Hex) {
  const std::pair<std::string, uint32_t> cases[] = {
      {"ff", 255}, {"FF", 255}, {"0x1A", 26}, {"0X1a", 26}, {"1a", 26}, {"#ff", 0}, {"zz", 0}, {"", 0},
      {"-1", 0xFFFFFFFFu}, {"100000000", 0xFFFFFFFFu}, {"-100000000", 0xFFFFFFFFu},
      {"FFFFFFFF", 0xFFFFFFFFu}, {"  +10", 16}, {"-10", 0xFFFFFFF0u}, {"0x", 0}, {"0xg", 0}, {"12g4", 0x12},
      {"00000000000000000000ff", 255},
  };
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE("value '" + value + "'");
    OneAttribute t(value);
    EXPECT_EQ(GetAttrHex("v", t.tag(), 7), expected);
  }
}

TEST(Attributes, StaleOrNullTagGivesDefault) {
  KespTag stale;
  {
    OneAttribute t("5");
    stale = t.tag();
  }
  EXPECT_EQ(GetAttrInt("v", stale, 9), 9);
  EXPECT_EQ(GetAttrInt("v", 0, 9), 9);
  EXPECT_EQ(GetAttrHex("v", 0xDEADBEEF, 3u), 3u);
}

}  // namespace
