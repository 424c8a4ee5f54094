// A texture: width x height texels of 4 bytes (B, G, R, X) that a caller writes
// under a lock, the filter it is drawn with, and the shuffle mode that says how
// the bytes become colour and alpha. In coverage mode the texels are converted
// to a coverage mask; the texel bytes themselves never change behind the caller.
#pragma once

#include <cstdint>
#include <memory>

#include "coverage_mask.hpp"
#include "pixel_buffer.hpp"
#include "vaRodurod.h"

namespace varodurod {

class Texture {
 public:
  // Null for a negative side, a side above VR_MAX_DIMENSION, or refused memory.
  // A side of 0 gives an empty texture.
  static std::unique_ptr<Texture> Create(int32_t width, int32_t height);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool empty() const { return texels_.empty(); }
  bool locked() const { return locked_; }
  const uint32_t* texels() const { return texels_.data(); }

  // Fills lock and marks the texture locked; false (lock untouched) when empty or locked.
  bool Lock(TextureLock& lock);
  // False when not locked.
  bool Unlock();

  const TextureFilter& filter() const { return filter_; }
  // False (nothing changed) for a field out of range.
  bool SetFilter(TextureFilter filter);

  int32_t mode() const { return mode_; }
  // Sets the mode and converts the texels now, unless locked (then at the next draw).
  // False (nothing changed) for an unknown mode.
  bool Shuffle(int32_t mode, bool vector);
  // The coverage of a VR_SHUFFLE_COVERAGE texture, converted again if the texels
  // changed since; null when its memory is refused.
  const CoverageMask* Coverage(bool vector);

 private:
  Texture(int32_t width, int32_t height, PixelBuffer<uint32_t> texels);

  int32_t width_;
  int32_t height_;
  PixelBuffer<uint32_t> texels_;
  bool locked_ = false;
  TextureFilter filter_{0, 0, 0, VR_BLEND_OVER};
  int32_t mode_ = VR_SHUFFLE_OPAQUE;
  CoverageMask coverage_;
  bool coverageCurrent_ = false;  // coverage_ holds the texels as they are now
};

}  // namespace varodurod
