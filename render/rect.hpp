// Operations on the platform's rectangle (left, top, right, bottom; right and
// bottom exclusive). Any rectangle is taken as it comes, empty or inverted;
// sizes and moves are computed in 64 bits and clamped to the 32-bit range, so no
// coordinate ever overflows.
#pragma once

#include <cstdint>

#include "ziVodaRerodo_types.h"

namespace zivoda {

// Clamps a 64-bit coordinate into the 32-bit range.
int32_t ClampToInt32(int64_t v);

void Set(Rect& r, int32_t left, int32_t top, int32_t right, int32_t bottom);
void Clear(Rect& r);
// right - left (negative for an inverted rectangle), clamped.
int32_t Width(const Rect& r);
// bottom - top, clamped.
int32_t Height(const Rect& r);
// Moves the left edge to x, keeping the width (the right edge clamps at the range's end).
void MoveToX(Rect& r, int32_t x);
void MoveToY(Rect& r, int32_t y);
void MoveTo(Rect& r, int32_t x, int32_t y);
// target = a ∩ b when it is not empty (returns true), else all zeros (false).
// target may be a or b.
bool Intersect(Rect& target, const Rect& a, const Rect& b);

}  // namespace zivoda
