// The coverage of a texture in VR_SHUFFLE_COVERAGE mode: one byte a texel,
// max(B, G, R) of the white-on-black grey levels, and for every row the span
// that holds nonzero coverage, so drawing skips empty rows and margins.
#pragma once

#include <cstdint>

#include "pixel_buffer.hpp"

namespace varodurod {

// Columns [begin, end) of a row hold all of its nonzero coverage; begin == end when none does.
struct RowSpan {
  int32_t begin;
  int32_t end;
};

class CoverageMask {
 public:
  // Converts height rows of width B, G, R, X texels. False (and nothing to draw)
  // when memory is refused. Memory is kept for the next build of the same size.
  bool Build(const uint32_t* texels, int32_t width, int32_t height, bool vector);

  const uint8_t* row(int32_t y) const {
    return plane_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
  }
  RowSpan span(int32_t y) const { return spans_.data()[y]; }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  PixelBuffer<uint8_t> plane_;
  PixelBuffer<RowSpan> spans_;
};

}  // namespace varodurod
