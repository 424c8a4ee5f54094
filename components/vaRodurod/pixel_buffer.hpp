// A zero-filled block of pixels or bytes owned by one canvas or texture. It comes
// from calloc, so a large image costs no time to clear (fresh pages are zero) and
// a refused allocation is an empty buffer rather than an exception.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <utility>

namespace varodurod {

template <class T>
class PixelBuffer {
 public:
  PixelBuffer() = default;
  // count elements, all zero; empty() afterwards when count > 0 and memory was refused.
  explicit PixelBuffer(size_t count)
      : data_(count > 0 ? static_cast<T*>(std::calloc(count, sizeof(T))) : nullptr),
        size_(data_ != nullptr ? count : 0) {}
  PixelBuffer(PixelBuffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  PixelBuffer& operator=(PixelBuffer&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;
  ~PixelBuffer() { std::free(data_); }

  T* data() { return data_; }
  const T* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  T* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace varodurod
