// A vaRodurod canvas owned by a test: deleted on every path, with its pixels
// (premultiplied 0xAARRGGBB, top row first) read back in one call.
#pragma once

#include <cstdint>
#include <vector>

#include "vaRodurod.h"

namespace zivoda::test {

struct CanvasObject {
  CanvasHandle handle;
  CanvasObject(int32_t width, int32_t height, uint32_t color = 0) : handle(CreateCanvas(width, height)) {
    ClearCanvas(handle, color);
  }
  ~CanvasObject() { DeleteCanvas(handle); }
  CanvasObject(const CanvasObject&) = delete;
  CanvasObject& operator=(const CanvasObject&) = delete;
  std::vector<uint32_t> Pixels() const {
    std::vector<uint32_t> pixels(ReadCanvasPixels(handle, nullptr, 0) / 4);
    ReadCanvasPixels(handle, pixels.data(), static_cast<uint32_t>(pixels.size() * 4));
    return pixels;
  }
};

}  // namespace zivoda::test
