// Compositing a texture onto a canvas: where it lands (cut to the clip, in 64-bit
// arithmetic so positions near the int32 limits cannot overflow) and the pixel
// passes, source-over or copy, for coverage textures and for colour textures.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "canvas.hpp"
#include "coverage_mask.hpp"
#include "ziVodaRerodo_types.h"

namespace varodurod {

// Canvas columns [x0, x1) and rows [y0, y1), inside the clip, and the texel that
// lands on (x0, y0).
struct Placement {
  int32_t x0, y0, x1, y1;
  int32_t texelX, texelY;
};

// Nothing when no texel of a width x height texture at (x, y) lands inside clip.
std::optional<Placement> PlaceTexture(const Rect& clip, int32_t x, int32_t y, int32_t width, int32_t height);

// For one modulation colour, the premultiplied source pixel of each coverage
// value: the premultiplied modulation times the corrected coverage.
using CoverageSource = std::array<uint32_t, 256>;
void BuildCoverageSource(uint32_t modulation, CoverageSource& source);

// blend is VR_BLEND_COPY or VR_BLEND_OVER. Over skips texels of zero coverage.
void DrawCoverage(Canvas& canvas, const Placement& at, const CoverageMask& mask, const CoverageSource& source,
                  int blend, bool vector);
// mode is VR_SHUFFLE_OPAQUE or VR_SHUFFLE_PREMULTIPLIED; textureWidth is the row length of texels.
void DrawTexels(Canvas& canvas, const Placement& at, const uint32_t* texels, int32_t textureWidth, int32_t mode,
                uint32_t modulation, int blend, bool vector);

}  // namespace varodurod
