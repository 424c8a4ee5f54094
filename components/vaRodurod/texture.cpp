// The texture: creation within the size cap, the lock rules, filter and shuffle
// settings, and the coverage mask kept in step with the texels.
#include "texture.hpp"

#include <new>
#include <utility>

namespace varodurod {

std::unique_ptr<Texture> Texture::Create(int32_t width, int32_t height) {
  if (width < 0 || height < 0 || width > VR_MAX_DIMENSION || height > VR_MAX_DIMENSION) return nullptr;
  PixelBuffer<uint32_t> texels(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (width > 0 && height > 0 && texels.empty()) return nullptr;
  return std::unique_ptr<Texture>(new (std::nothrow) Texture(width, height, std::move(texels)));
}

Texture::Texture(int32_t width, int32_t height, PixelBuffer<uint32_t> texels)
    : width_(width), height_(height), texels_(std::move(texels)) {}

bool Texture::Lock(TextureLock& lock) {
  if (empty() || locked_) return false;
  locked_ = true;
  coverageCurrent_ = false;  // the caller may write
  lock.width = width_;
  lock.height = height_;
  lock.imageSize = static_cast<uint32_t>(texels_.size() * 4);  // at most 1 GiB
  lock.bits = texels_.data();
  return true;
}

bool Texture::Unlock() {
  if (!locked_) return false;
  locked_ = false;
  return true;
}

bool Texture::SetFilter(TextureFilter filter) {
  if (filter.minFilter > 1 || filter.magFilter > 1 || filter.wrap > 1 || filter.blend > VR_BLEND_OVER) return false;
  filter_ = filter;
  return true;
}

bool Texture::Shuffle(int32_t mode, bool vector) {
  if (mode != VR_SHUFFLE_OPAQUE && mode != VR_SHUFFLE_PREMULTIPLIED && mode != VR_SHUFFLE_COVERAGE) return false;
  mode_ = mode;
  if (mode == VR_SHUFFLE_COVERAGE && !locked_ && !empty()) {
    coverageCurrent_ = coverage_.Build(texels_.data(), width_, height_, vector);
  }
  return true;
}

const CoverageMask* Texture::Coverage(bool vector) {
  if (empty() || locked_) return nullptr;
  if (!coverageCurrent_) coverageCurrent_ = coverage_.Build(texels_.data(), width_, height_, vector);
  return coverageCurrent_ ? &coverage_ : nullptr;
}

}  // namespace varodurod
