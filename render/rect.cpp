// Rectangle operations, overflow-free: sizes and moves are computed in 64 bits
// and clamped to the 32-bit range.
#include "render/rect.hpp"

#include <algorithm>
#include <limits>

namespace zivoda {

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

void Set(Rect& r, int32_t left, int32_t top, int32_t right, int32_t bottom) { r = Rect{left, top, right, bottom}; }

void Clear(Rect& r) { r = Rect{0, 0, 0, 0}; }

int32_t Width(const Rect& r) { return ClampToInt32(int64_t{r.right} - r.left); }

int32_t Height(const Rect& r) { return ClampToInt32(int64_t{r.bottom} - r.top); }

void MoveToX(Rect& r, int32_t x) {
  const int32_t w = Width(r);  // taken before the move
  r.right = ClampToInt32(int64_t{x} + w);
  r.left = x;
}

void MoveToY(Rect& r, int32_t y) {
  const int32_t h = Height(r);
  r.bottom = ClampToInt32(int64_t{y} + h);
  r.top = y;
}

void MoveTo(Rect& r, int32_t x, int32_t y) {
  MoveToX(r, x);
  MoveToY(r, y);
}

bool Intersect(Rect& target, const Rect& a, const Rect& b) {
  // All eight values are read before the target is written.
  const int32_t l = std::max(a.left, b.left);
  const int32_t t = std::max(a.top, b.top);
  const int32_t r = std::min(a.right, b.right);
  const int32_t bo = std::min(a.bottom, b.bottom);
  if (l < r && t < bo) {
    target = Rect{l, t, r, bo};
    return true;
  }
  Clear(target);
  return false;
}

}  // namespace zivoda
