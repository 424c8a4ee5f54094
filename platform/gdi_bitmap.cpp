// Bitmaps: creation in a DC's format, their description for GetObjectW, and
// GetDIBits' conversion into 32-bit device-independent scan lines, top-down or
// bottom-up, as the Windows documentation of those calls describes.
#include "platform/gdi_bitmap.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZIVODA_HAVE_AVX2_PATH 1
#endif

#include "platform/cpu_features.h"
#include "platform/gdi_handles.h"

static_assert(std::endian::native == std::endian::little,
              "pixels are stored as 0x00RRGGBB words to read as blue, green, red, 0 bytes");

namespace zivoda::gdi {
namespace {

constexpr uint32_t kPixelMask = 0x00FFFFFF;  // the fourth byte of a DIB pixel is 0

uint16_t FormatOf(const DeviceContext& dc) {
  if (dc.kind == DcKind::Screen) return 32;
  const Bitmap* selected = FindBitmap(dc.bitmap);
  return selected != nullptr ? selected->bitsPixel : 32;
}

#if ZIVODA_HAVE_AVX2_PATH
// Eight pixels a step where the processor has AVX2; returns the pixels done.
__attribute__((target("avx2"))) int64_t CopyPixelsAvx2(const uint32_t* from, std::byte* out, int64_t n) {
  const __m256i mask = _mm256_set1_epi32(static_cast<int>(kPixelMask));
  int64_t x = 0;
  for (; x + 8 <= n; x += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + x));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x * 4), _mm256_and_si256(v, mask));
  }
  return x;
}
#endif

// Writes n DIB pixels from the bitmap's pixels at from. Unaligned stores: the
// caller's buffer need not be aligned.
void CopyPixels(const uint32_t* from, std::byte* out, int64_t n) {
  int64_t x = 0;
#if ZIVODA_HAVE_AVX2_PATH
  if (cpu::kAvx2) x = CopyPixelsAvx2(from, out, n);
#endif
#if defined(__SSE2__)
  const __m128i mask = _mm_set1_epi32(static_cast<int>(kPixelMask));
  for (; x + 4 <= n; x += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x * 4), _mm_and_si128(v, mask));
  }
#endif
  for (; x < n; ++x) {
    const uint32_t pixel = from[x] & kPixelMask;
    std::memcpy(out + x * 4, &pixel, 4);
  }
}

// Writes one DIB scan line from bitmap row y (zeros where the bitmap has no
// pixel).
void CopyLine(const Bitmap& bitmap, int64_t y, std::byte* out, int64_t dibWidth) {
  int64_t x = 0;
  if (y >= 0 && y < bitmap.height) {
    x = std::min<int64_t>(dibWidth, bitmap.width);
    CopyPixels(bitmap.Row(static_cast<int32_t>(y)), out, x);
  }
  if (x < dibWidth) std::memset(out + x * 4, 0, static_cast<size_t>(dibWidth - x) * 4);
}

int FillHeader(const Bitmap& bitmap, BITMAPINFOHEADER& header) {
  header.biWidth = bitmap.width;
  header.biHeight = bitmap.height;
  header.biPlanes = 1;
  header.biBitCount = bitmap.bitsPixel;
  header.biCompression = BI_RGB;
  const int64_t stride = (int64_t{bitmap.width} * bitmap.bitsPixel + 31) / 32 * 4;
  header.biSizeImage = static_cast<DWORD>(stride * bitmap.height);
  return 1;
}

}  // namespace

std::unique_ptr<Bitmap> MakeBitmap(int32_t width, int32_t height, uint16_t bitsPixel) {
  if (width <= 0 || height <= 0 || int64_t{width} * height > kMaxBitmapPixels) return nullptr;
  auto bitmap = std::make_unique<Bitmap>();
  bitmap->width = width;
  bitmap->height = height;
  bitmap->bitsPixel = bitsPixel;
  bitmap->pixels.reset(new (std::nothrow) uint32_t[static_cast<size_t>(width) * static_cast<size_t>(height)]());
  if (!bitmap->pixels) return nullptr;
  return bitmap;
}

Bitmap* FindBitmap(HGDIOBJ handle) { return Handles().Find<Bitmap>(handle); }

int DescribeBitmap(const Bitmap& bitmap, int size, void* buffer) {
  if (buffer == nullptr) return static_cast<int>(sizeof(BITMAP));
  // Every field up to bmBitsPixel must fit: 24 bytes, sizeof(BITMAP) on 32-bit Windows.
  constexpr int kFieldBytes = static_cast<int>(offsetof(BITMAP, bmBitsPixel) + sizeof(WORD));
  if (size < kFieldBytes) return 0;
  BITMAP description{};
  description.bmType = 0;
  description.bmWidth = bitmap.width;
  description.bmHeight = bitmap.height;
  description.bmWidthBytes = bitmap.WidthBytes();
  description.bmPlanes = 1;
  description.bmBitsPixel = bitmap.bitsPixel;
  const int written = std::min(size, static_cast<int>(sizeof(BITMAP)));
  std::memcpy(buffer, &description, static_cast<size_t>(written));
  return written;
}

}  // namespace zivoda::gdi

using namespace zivoda::gdi;

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  const DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr || width < 0 || height < 0) return nullptr;
  // Documented: a zero width or height gives a 1x1 monochrome bitmap.
  std::unique_ptr<Bitmap> bitmap =
      width == 0 || height == 0 ? MakeBitmap(1, 1, 1) : MakeBitmap(width, height, FormatOf(*dc));
  if (!bitmap) return nullptr;
  return static_cast<HBITMAP>(Handles().Add(std::move(bitmap)));
}

int GetDIBits(HDC hdc, HBITMAP handle, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info, UINT usage) {
  const Bitmap* bitmap = FindBitmap(handle);
  if (FindDC(hdc) == nullptr || bitmap == nullptr || info == nullptr || usage != DIB_RGB_COLORS) return 0;
  BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize < sizeof(BITMAPINFOHEADER)) return 0;
  if (bits == nullptr && header.biBitCount == 0) return FillHeader(*bitmap, header);
  if (header.biBitCount != 32 || header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight == 0) {
    return 0;
  }
  if (bits == nullptr) return 1;  // a 32-bit DIB has no colour table to fill
  const int64_t dibWidth = header.biWidth;
  const bool topDown = header.biHeight < 0;
  const int64_t dibHeight = topDown ? -int64_t{header.biHeight} : int64_t{header.biHeight};
  const int64_t stride = dibWidth * 4;
  int64_t count = std::min<int64_t>(lines, std::max<int64_t>(0, dibHeight - int64_t{start}));
  if (header.biSizeImage != 0) count = std::min<int64_t>(count, header.biSizeImage / stride);

  auto* out = static_cast<std::byte*>(bits);
  if (topDown && dibWidth == bitmap->width && int64_t{start} + count <= bitmap->height) {
    // Rows of the same width in the same order, all inside the bitmap: the
    // lines lie back to back on both sides, so they go as one run.
    CopyPixels(bitmap->Row(static_cast<int32_t>(start)), out, count * dibWidth);
    return static_cast<int>(count);
  }
  int copied = 0;
  for (int64_t i = 0; i < count; ++i) {
    const int64_t scan = int64_t{start} + i;
    const int64_t y = topDown ? scan : dibHeight - 1 - scan;  // row of the bitmap, top = 0
    CopyLine(*bitmap, y, out + i * stride, dibWidth);
    if (y < bitmap->height) ++copied;
  }
  return copied;
}
