// Rectangle operations, including inverted operands and coordinates at the ends
// of the 32-bit range (which clamp instead of overflowing).
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "render/rect.hpp"

namespace {

using namespace zivoda;

std::string Str(const Rect& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + ")";
}

bool Same(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(Rect, Intersect) {
  struct Case {
    Rect a, b, expected;
    bool nonEmpty;
  } const cases[] = {
      {{0, 0, 10, 10}, {5, 5, 15, 15}, {5, 5, 10, 10}, true},
      {{0, 0, 10, 10}, {10, 0, 20, 10}, {0, 0, 0, 0}, false},  // only touching
      {{0, 0, 10, 10}, {2, 2, 3, 3}, {2, 2, 3, 3}, true},
      {{10, 10, 0, 0}, {0, 0, 10, 10}, {0, 0, 0, 0}, false},  // inverted operand
      {{0, 0, 10, 10}, {0, 0, 10, 10}, {0, 0, 10, 10}, true},
      {{0, 0, 0, 10}, {0, 0, 10, 10}, {0, 0, 0, 0}, false},   // zero width
      {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {-3, -4, 5, 6}, {-3, -4, 5, 6}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Str(c.a) + " & " + Str(c.b));
    Rect t{7, 7, 7, 7};
    EXPECT_EQ(Intersect(t, c.a, c.b), c.nonEmpty);
    EXPECT_TRUE(Same(t, c.expected)) << Str(t);
    Rect self = c.a;  // the target may be an operand
    EXPECT_EQ(Intersect(self, self, c.b), c.nonEmpty);
    EXPECT_TRUE(Same(self, c.expected)) << Str(self);
  }
}

TEST(Rect, SizesAndMoves) {
  Rect r{10, 20, 30, 25};
  MoveTo(r, -5, 7);
  EXPECT_TRUE(Same(r, {-5, 7, 15, 12})) << Str(r);
  Rect inverted{30, 25, 10, 20};
  EXPECT_EQ(Width(inverted), -20);
  EXPECT_EQ(Height(inverted), -5);
  MoveTo(inverted, 0, 0);  // keeps the negative size
  EXPECT_TRUE(Same(inverted, {0, 0, -20, -5})) << Str(inverted);

  // The full range is wider than 32 bits can say: sizes and moves clamp.
  const Rect huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  EXPECT_EQ(Width(huge), INT_MAX);
  EXPECT_EQ(Height(Rect{0, INT_MAX, 0, INT_MIN}), INT_MIN);
  Rect wide{0, 0, INT_MAX, 10};
  MoveToX(wide, 100);
  EXPECT_TRUE(Same(wide, {100, 0, INT_MAX, 10})) << Str(wide);
  Rect tall{0, -10, 10, 0};
  MoveToY(tall, INT_MIN);
  EXPECT_TRUE(Same(tall, {0, INT_MIN, 10, INT_MIN + 10})) << Str(tall);
  Clear(tall);
  EXPECT_TRUE(Same(tall, {0, 0, 0, 0}));
  Set(tall, 1, 2, 3, 4);
  EXPECT_TRUE(Same(tall, {1, 2, 3, 4}));
  EXPECT_EQ(ClampToInt32(int64_t{INT_MAX} + 5), INT_MAX);
  EXPECT_EQ(ClampToInt32(int64_t{INT_MIN} - 5), INT_MIN);
}

}  // namespace
