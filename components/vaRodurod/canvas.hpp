// A canvas: premultiplied 0xAARRGGBB pixels, rows top-down, and the clip
// rectangle that drawing is cut to. The clip always lies inside the canvas, and
// an empty clip is stored as (0, 0, 0, 0), so GetCanvasClip reports it plainly.
#pragma once

#include <cstdint>
#include <memory>

#include "pixel_buffer.hpp"
#include "ziVodaRerodo_types.h"

namespace varodurod {

class Canvas {
 public:
  // Null for a side below 1 or above VR_MAX_DIMENSION, or when memory is refused.
  static std::unique_ptr<Canvas> Create(int32_t width, int32_t height);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  uint32_t* row(int32_t y) { return pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_); }
  const uint32_t* row(int32_t y) const {
    return pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
  }
  uint32_t imageBytes() const { return static_cast<uint32_t>(pixels_.size() * 4); }

  const Rect& clip() const { return clip_; }
  // clip cut to the canvas; null: the whole canvas.
  void SetClip(const Rect* clip);
  // Every pixel, whatever the clip, to color (straight alpha), premultiplied.
  void Clear(uint32_t color);
  // Copies imageBytes() bytes to out.
  void CopyOut(void* out) const;

 private:
  Canvas(int32_t width, int32_t height, PixelBuffer<uint32_t> pixels);

  int32_t width_;
  int32_t height_;
  PixelBuffer<uint32_t> pixels_;
  Rect clip_;
};

}  // namespace varodurod
