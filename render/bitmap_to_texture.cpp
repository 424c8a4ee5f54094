// Copies a platform bitmap into a new vaRodurod texture: the platform converts
// the bitmap into 32-bit top-down pixels straight into the locked texture memory,
// shaped by what the lock reports.
#include <cstdint>

#include "render/rect.hpp"
#include "render/render_context.hpp"

namespace zivoda {

TextureHandle BitmapToTexture(HDC dc, HBITMAP bitmap) {
  BITMAP bm{};
  GetObjectW(bitmap, sizeof(bm), &bm);
  const TextureHandle texture = CreateTexture(bm.bmWidth, bm.bmHeight);
  TextureLock lock{};
  if (LockTextureBits(texture, &lock, 0) == 0) return texture;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = lock.width;
  info.bmiHeader.biHeight = ClampToInt32(-int64_t{lock.height});  // negative: rows run top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = lock.imageSize;
  GetDIBits(dc, bitmap, 0, static_cast<UINT>(lock.height < 0 ? 0 : lock.height), lock.bits, &info,
            DIB_RGB_COLORS);
  UnlockTextureBits(texture, 0);
  return texture;
}

}  // namespace zivoda
