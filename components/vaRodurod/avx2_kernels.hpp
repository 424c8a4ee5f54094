// The widest compositing kernels: eight canvas pixels or 32 texels a step with
// AVX2, chosen at run time where the processor has it (the build's baseline stays
// x86-64). Each does the same exact arithmetic as the SSE2 and scalar kernels and
// returns how many pixels it did; the caller finishes the row with those.
#pragma once

#include <cstdint>

#include "coverage_mask.hpp"

namespace varodurod {

// Whether this processor runs the kernels below (false off x86-64), read once at
// load; until then (static initialisers of other files) it reads false and the
// SSE2 kernels run, which give the same pixels.
extern const bool kAvx2;
inline bool HaveAvx2() { return kAvx2; }

// Source-over of coverage through the 256-entry source table onto dst.
int32_t CoverageOverRowAvx2(const uint8_t* coverage, uint32_t* dst, int32_t n, const uint32_t* source);

// max(B, G, R) of each B, G, R, X texel into coverage, extending span over the
// nonzero results.
int32_t CoverageRowAvx2(const uint32_t* texels, uint8_t* coverage, int32_t n, RowSpan& span);

}  // namespace varodurod
