// Copying a platform bitmap into a new texture: the size requested, the lock and
// unlock pairing, the top row first, and the inert outcomes for a null bitmap.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/gdi.h"
#include "platform/gdi_bitmap.h"
#include "render/render_context.hpp"
#include "support/call_log.hpp"
#include "vaRodurod.h"

namespace {

using namespace zivoda;

TEST(BitmapToTexture, CopiesTheBitmapTopRowFirst) {
  HDC dc = GetRenderContext().dc();
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 3, 2);
  ASSERT_NE(bitmap, nullptr);
  gdi::Bitmap* b = gdi::FindBitmap(bitmap);
  ASSERT_NE(b, nullptr);
  // Row 0 holds 1, 2, 3 (blue), row 1 holds red levels.
  const uint32_t rows[2][3] = {{0x000001, 0x000002, 0x000003}, {0x110000, 0x220000, 0x330000}};
  for (int y = 0; y < 2; ++y) std::memcpy(b->Row(y), rows[y], sizeof rows[y]);
  HGDIOBJ previous = SelectObject(dc, bitmap);

  test::CallLog log;
  const TextureHandle texture = BitmapToTexture(dc, bitmap);
  ASSERT_EQ(log.lines().size(), 3u) << log.Joined();
  EXPECT_EQ(log.lines()[0].rfind("CreateTexture 3 2 -> ", 0), 0u) << log.Joined();
  EXPECT_EQ(log.lines()[2].rfind("UnlockTextureBits", 0), 0u) << log.Joined();

  TextureLock lock{};
  ASSERT_EQ(LockTextureBits(texture, &lock, 0), 1);
  const auto* texels = static_cast<const uint8_t*>(lock.bits);
  // B, G, R, X bytes: the first texel is the top row's first pixel.
  EXPECT_EQ(texels[0], 0x01);
  EXPECT_EQ(texels[2 * 4], 0x03);
  EXPECT_EQ(texels[3 * 4 + 2], 0x11);
  EXPECT_EQ(texels[5 * 4 + 2], 0x33);
  UnlockTextureBits(texture, 0);
  DeleteTexture(texture);
  SelectObject(dc, previous);
  DeleteObject(bitmap);
}

TEST(BitmapToTexture, NullBitmapAsksForAnEmptyTextureAndNeverUnlocks) {
  test::CallLog log;
  const TextureHandle texture = BitmapToTexture(GetRenderContext().dc(), nullptr);
  ASSERT_GE(log.lines().size(), 2u) << log.Joined();
  EXPECT_EQ(log.lines()[0].rfind("CreateTexture 0 0", 0), 0u) << log.Joined();
  EXPECT_EQ(log.lines()[1].rfind("LockTextureBits", 0), 0u) << log.Joined();
  EXPECT_NE(log.lines()[1].find("-> 0"), std::string::npos) << log.Joined();
  EXPECT_TRUE(log.Only({"UnlockTextureBits"}).empty()) << log.Joined();
  DeleteTexture(texture);
}

}  // namespace
