// The canvas: its pixel memory, its clip (kept inside the canvas), clearing and
// copying out.
#include "canvas.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "pixel_math.hpp"
#include "vaRodurod.h"

namespace varodurod {

std::unique_ptr<Canvas> Canvas::Create(int32_t width, int32_t height) {
  if (width < 1 || height < 1 || width > VR_MAX_DIMENSION || height > VR_MAX_DIMENSION) return nullptr;
  PixelBuffer<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (pixels.empty()) return nullptr;
  return std::unique_ptr<Canvas>(new (std::nothrow) Canvas(width, height, std::move(pixels)));
}

Canvas::Canvas(int32_t width, int32_t height, PixelBuffer<uint32_t> pixels)
    : width_(width), height_(height), pixels_(std::move(pixels)), clip_{0, 0, width, height} {}

void Canvas::SetClip(const Rect* clip) {
  if (clip == nullptr) {
    clip_ = Rect{0, 0, width_, height_};
    return;
  }
  const Rect cut{std::max(clip->left, 0), std::max(clip->top, 0), std::min(clip->right, width_),
                 std::min(clip->bottom, height_)};
  clip_ = cut.left < cut.right && cut.top < cut.bottom ? cut : Rect{0, 0, 0, 0};
}

void Canvas::Clear(uint32_t color) { std::fill_n(pixels_.data(), pixels_.size(), Premultiply(color)); }

void Canvas::CopyOut(void* out) const { std::memcpy(out, pixels_.data(), pixels_.size() * 4); }

}  // namespace varodurod
