// A device-dependent bitmap: 32-bit pixels in rows, so that drawing and GetDIBits
// touch each pixel as one word whatever the bitmap's nominal depth (1 or 32 bits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/gdi.h"

namespace zivoda::gdi {

// Pixels a bitmap may hold at most (512 MiB of storage).
constexpr int64_t kMaxBitmapPixels = int64_t{1} << 27;

struct Bitmap {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitsPixel = 32;  // 1 or 32
  // height rows of width pixels, top row first, each 0x00RRGGBB (blue in the
  // lowest byte, the top byte zero). One-bit bitmaps hold only 0 and 0x00FFFFFF.
  std::unique_ptr<uint32_t[]> pixels;
  HDC selectedInto = nullptr;  // the DC it is selected into; stock bitmaps keep null

  uint32_t* Row(int32_t y) { return pixels.get() + static_cast<size_t>(y) * static_cast<size_t>(width); }
  const uint32_t* Row(int32_t y) const {
    return pixels.get() + static_cast<size_t>(y) * static_cast<size_t>(width);
  }
  // BITMAP's bmWidthBytes: a device-dependent scan line is rounded up to a WORD.
  LONG WidthBytes() const { return static_cast<LONG>((int64_t{width} * bitsPixel + 15) / 16 * 2); }
};

// A bitmap with every pixel zero, or null when the size is not 1..kMaxBitmapPixels
// or memory runs out.
std::unique_ptr<Bitmap> MakeBitmap(int32_t width, int32_t height, uint16_t bitsPixel);

// The live bitmap behind a handle, or null.
Bitmap* FindBitmap(HGDIOBJ handle);

// GetObjectW for a bitmap: fills BITMAP within size bytes, returns bytes written.
int DescribeBitmap(const Bitmap& bitmap, int size, void* buffer);

}  // namespace zivoda::gdi
