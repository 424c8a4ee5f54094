// Bitmaps of the GDI subset: the format CreateCompatibleBitmap takes from a DC,
// GetObjectW's BITMAP, and GetDIBits' 32-bit scan lines in both row orders, with
// line ranges, DIB sizes that differ from the bitmap's, and refused formats.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "support/gdi_owners.hpp"
#include "platform/gdi_bitmap.h"

namespace {

using zivoda::test::OwnedBitmap;
using zivoda::test::OwnedDC;
using zivoda::test::OwnedFont;

BITMAPINFO Header(LONG width, LONG height, WORD bitCount = 32, DWORD sizeImage = 0) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bitCount;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = sizeImage;
  return info;
}

TEST(GdiBitmap, ACompatibleBitmapTakesTheFormatOfTheDC) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  OwnedBitmap selected32(CreateCompatibleBitmap(screen, 2, 2));
  OwnedDC fresh(CreateCompatibleDC(nullptr));
  OwnedDC holding32(CreateCompatibleDC(nullptr));
  ASSERT_TRUE(fresh && holding32 && selected32);
  HGDIOBJ initial = SelectObject(holding32.get(), selected32.get());

  struct Row {
    std::string name;
    HDC dc;
    int width, height;
    bool created;
    LONG bmWidth, bmHeight, bmWidthBytes;
    WORD bmBitsPixel;
  };
  const Row rows[] = {
      {"screen", screen, 5, 3, true, 5, 3, 20, 32},
      {"fresh memory DC: its 1x1 bitmap is one-bit", fresh.get(), 5, 3, true, 5, 3, 2, 1},
      {"one-bit scan lines round up to a WORD", fresh.get(), 17, 2, true, 17, 2, 4, 1},
      {"memory DC holding a 32-bit bitmap", holding32.get(), 7, 2, true, 7, 2, 28, 32},
      // Documented: a zero width or height gives a 1x1 monochrome bitmap.
      {"zero width", screen, 0, 4, true, 1, 1, 2, 1},
      {"zero height", holding32.get(), 4, 0, true, 1, 1, 2, 1},
      {"negative width", screen, -1, 3, false, 0, 0, 0, 0},
      {"negative height", screen, 3, -1, false, 0, 0, 0, 0},
      {"more pixels than a bitmap may hold", screen, 1 << 14, 1 << 14, false, 0, 0, 0, 0},
      {"largest sizes", screen, INT_MAX, INT_MAX, false, 0, 0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    OwnedBitmap bitmap(CreateCompatibleBitmap(row.dc, row.width, row.height));
    ASSERT_EQ(bitmap != nullptr, row.created);
    if (!bitmap) continue;
    BITMAP described;
    std::memset(&described, 0xCD, sizeof described);
    ASSERT_EQ(GetObjectW(bitmap.get(), sizeof described, &described), static_cast<int>(sizeof described));
    EXPECT_EQ(described.bmType, 0);
    EXPECT_EQ(described.bmWidth, row.bmWidth);
    EXPECT_EQ(described.bmHeight, row.bmHeight);
    EXPECT_EQ(described.bmWidthBytes, row.bmWidthBytes);
    EXPECT_EQ(described.bmPlanes, 1);
    EXPECT_EQ(described.bmBitsPixel, row.bmBitsPixel);
    EXPECT_EQ(described.bmBits, nullptr);
  }
  SelectObject(holding32.get(), initial);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST(GdiBitmap, GetObjectWNeedsRoomForEveryFieldUpToBmBitsPixel) {
  HDC screen = GetDC(nullptr);
  OwnedBitmap bitmap(CreateCompatibleBitmap(screen, 9, 4));
  ReleaseDC(nullptr, screen);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(GetObjectW(bitmap.get(), 0, nullptr), static_cast<int>(sizeof(BITMAP)));
  unsigned char record[64];
  std::memset(record, 0xCD, sizeof record);
  // 24 bytes: the size of BITMAP on 32-bit Windows, which is what callers pass.
  ASSERT_EQ(GetObjectW(bitmap.get(), 24, record), 24);
  BITMAP described{};
  std::memcpy(&described, record, 24);
  EXPECT_EQ(described.bmWidth, 9);
  EXPECT_EQ(described.bmHeight, 4);
  EXPECT_EQ(described.bmWidthBytes, 36);
  EXPECT_EQ(described.bmBitsPixel, 32);
  EXPECT_EQ(record[24], 0xCD);  // nothing past the size given
  std::memset(record, 0xCD, sizeof record);
  EXPECT_EQ(GetObjectW(bitmap.get(), 19, record), 0);
  EXPECT_EQ(record[0], 0xCD);
  EXPECT_EQ(GetObjectW(bitmap.get(), sizeof record, record), static_cast<int>(sizeof(BITMAP)));
}

// A 3 x 4 bitmap whose pixel (x, y) is 0xAB000000 | y << 16 | x << 8 | 0x11: the
// top byte checks that GetDIBits writes the unused fourth byte as 0.
class GetDIBitsTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 3;
  static constexpr int kHeight = 4;
  void SetUp() override {
    screen_ = GetDC(nullptr);
    bitmap_.reset(CreateCompatibleBitmap(screen_, kWidth, kHeight));
    ASSERT_TRUE(bitmap_);
    zivoda::gdi::Bitmap* pixels = zivoda::gdi::FindBitmap(bitmap_.get());
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) pixels->Row(y)[x] = 0xAB000000u | Expected(x, y);
    }
  }
  void TearDown() override {
    bitmap_.reset();
    ReleaseDC(nullptr, screen_);
  }
  static uint32_t Expected(int x, int y) { return static_cast<uint32_t>(y << 16 | x << 8 | 0x11); }

  HDC screen_ = nullptr;
  OwnedBitmap bitmap_;
};

TEST_F(GetDIBitsTest, ScanLinesArriveInTheOrderAndRangeTheHeaderAsksFor) {
  constexpr int kNone = -1;  // a line the bitmap has no row for: all zero
  struct Row {
    std::string name;
    LONG biWidth, biHeight;
    UINT start, lines;
    DWORD sizeImage;
    int returned;
    std::vector<int> bitmapRows;  // the bitmap row each written line holds
  };
  const Row rows[] = {
      {"top-down, all lines", 3, -4, 0, 4, 0, 4, {0, 1, 2, 3}},
      {"bottom-up, all lines", 3, 4, 0, 4, 0, 4, {3, 2, 1, 0}},
      {"top-down, lines 1 and 2", 3, -4, 1, 2, 0, 2, {1, 2}},
      {"bottom-up, scan lines 1 and 2 count from the bottom", 3, 4, 1, 2, 0, 2, {2, 1}},
      {"more lines asked than the DIB has", 3, -4, 2, 10, 0, 2, {2, 3}},
      {"start at the end", 3, -4, 4, 1, 0, 0, {}},
      {"no lines", 3, -4, 0, 0, 0, 0, {}},
      {"largest start and count", 3, -4, UINT_MAX, UINT_MAX, 0, 0, {}},
      // A DIB taller than the bitmap shares its top-left corner.
      {"top-down DIB taller than the bitmap", 3, -6, 0, 6, 0, 4, {0, 1, 2, 3, kNone, kNone}},
      {"bottom-up DIB taller than the bitmap", 3, 6, 0, 6, 0, 4, {kNone, kNone, 3, 2, 1, 0}},
      {"top-down DIB shorter than the bitmap", 3, -2, 0, 4, 0, 2, {0, 1}},
      {"bottom-up DIB shorter than the bitmap", 3, 2, 0, 4, 0, 2, {1, 0}},
      // Lines are cut to the width of the DIB; its extra columns are zero.
      {"DIB wider than the bitmap", 5, -4, 0, 4, 0, 4, {0, 1, 2, 3}},
      {"DIB narrower than the bitmap", 2, -4, 0, 4, 0, 4, {0, 1, 2, 3}},
      // biSizeImage, when given, bounds what is written.
      {"room for two and a half lines", 3, -4, 0, 4, 2 * 12 + 5, 2, {0, 1}},
      {"room for less than a line", 3, -4, 0, 4, 11, 0, {}},
      {"exactly the image", 3, -4, 0, 4, 48, 4, {0, 1, 2, 3}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    constexpr uint32_t kUntouched = 0xCDCDCDCD;
    std::vector<uint32_t> buffer(16 * static_cast<size_t>(row.biWidth), kUntouched);
    BITMAPINFO info = Header(row.biWidth, row.biHeight, 32, row.sizeImage);
    EXPECT_EQ(GetDIBits(screen_, bitmap_.get(), row.start, row.lines, buffer.data(), &info, DIB_RGB_COLORS),
              row.returned);
    for (size_t line = 0; line < 16; ++line) {
      for (int x = 0; x < row.biWidth; ++x) {
        const uint32_t got = buffer[line * static_cast<size_t>(row.biWidth) + static_cast<size_t>(x)];
        uint32_t want = kUntouched;
        if (line < row.bitmapRows.size()) {
          const int y = row.bitmapRows[line];
          want = y == kNone || x >= kWidth ? 0 : Expected(x, y);
        }
        ASSERT_EQ(got, want) << "line " << line << " x " << x;
      }
    }
  }
}

TEST_F(GetDIBitsTest, OtherFormatsAndBadHeadersAreRefusedWithoutWriting) {
  struct Row {
    std::string name;
    BITMAPINFO info;
    UINT usage;
  };
  auto with = [](auto change) {
    BITMAPINFO info = Header(3, -4);
    change(info.bmiHeader);
    return info;
  };
  const Row rows[] = {
      {"24 bits a pixel", Header(3, -4, 24), DIB_RGB_COLORS},
      {"one bit a pixel", Header(3, -4, 1), DIB_RGB_COLORS},
      {"bit count 0 with a buffer", Header(3, -4, 0), DIB_RGB_COLORS},
      {"bit fields", with([](BITMAPINFOHEADER& h) { h.biCompression = 3; }), DIB_RGB_COLORS},
      {"a core header", with([](BITMAPINFOHEADER& h) { h.biSize = 12; }), DIB_RGB_COLORS},
      {"zero width", Header(0, -4), DIB_RGB_COLORS},
      {"negative width", Header(-3, -4), DIB_RGB_COLORS},
      {"zero height", Header(3, 0), DIB_RGB_COLORS},
      {"palette indices", Header(3, -4), DIB_PAL_COLORS},
      {"unknown usage", Header(3, -4), 7},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<uint32_t> buffer(64, 0xCDCDCDCD);
    BITMAPINFO info = row.info;
    EXPECT_EQ(GetDIBits(screen_, bitmap_.get(), 0, 4, buffer.data(), &info, row.usage), 0);
    EXPECT_EQ(buffer[0], 0xCDCDCDCDu);
  }
  std::vector<uint32_t> buffer(64, 0xCDCDCDCD);
  EXPECT_EQ(GetDIBits(screen_, bitmap_.get(), 0, 4, buffer.data(), nullptr, DIB_RGB_COLORS), 0);
  EXPECT_EQ(buffer[0], 0xCDCDCDCDu);
}

TEST_F(GetDIBitsTest, ANullBufferWithBitCountZeroAsksForTheFormat) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  ASSERT_NE(GetDIBits(screen_, bitmap_.get(), 0, 0, nullptr, &info, DIB_RGB_COLORS), 0);
  EXPECT_EQ(info.bmiHeader.biWidth, kWidth);
  EXPECT_EQ(info.bmiHeader.biHeight, kHeight);
  EXPECT_EQ(info.bmiHeader.biPlanes, 1);
  EXPECT_EQ(info.bmiHeader.biBitCount, 32);
  EXPECT_EQ(info.bmiHeader.biCompression, BI_RGB);
  EXPECT_EQ(info.bmiHeader.biSizeImage, static_cast<DWORD>(kWidth * kHeight * 4));
}

TEST_F(GetDIBitsTest, TheDestinationNeedNotBeAligned) {
  std::vector<unsigned char> bytes(1 + kWidth * 4 + 1, 0xCD);
  BITMAPINFO info = Header(kWidth, -kHeight);
  ASSERT_EQ(GetDIBits(screen_, bitmap_.get(), 2, 1, bytes.data() + 1, &info, DIB_RGB_COLORS), 1);
  const unsigned char pixel1[4] = {0x11, 0x01, 0x02, 0x00};  // blue, green, red, 0 of (1, 2)
  EXPECT_EQ(std::memcmp(bytes.data() + 1 + 4, pixel1, 4), 0);
  EXPECT_EQ(bytes.front(), 0xCD);
  EXPECT_EQ(bytes.back(), 0xCD);
}

TEST(GdiBitmap, NewBitmapsAreZeroAndSelectedOnesReadBack) {
  HDC screen = GetDC(nullptr);
  OwnedBitmap bitmap(CreateCompatibleBitmap(screen, 6, 5));
  ReleaseDC(nullptr, screen);
  OwnedDC dc(CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc && bitmap);
  std::vector<uint32_t> pixels(30, 0xCDCDCDCD);
  BITMAPINFO info = Header(6, -5);
  ASSERT_EQ(GetDIBits(dc.get(), bitmap.get(), 0, 5, pixels.data(), &info, DIB_RGB_COLORS), 5);
  EXPECT_EQ(pixels, std::vector<uint32_t>(30, 0));

  // Selected into the DC (as drawing leaves it), the bitmap still reads back.
  HGDIOBJ initial = SelectObject(dc.get(), bitmap.get());
  zivoda::gdi::FindBitmap(bitmap.get())->Row(4)[5] = 0x00FFFFFF;
  ASSERT_EQ(GetDIBits(dc.get(), bitmap.get(), 0, 5, pixels.data(), &info, DIB_RGB_COLORS), 5);
  EXPECT_EQ(pixels[29], 0x00FFFFFFu);
  SelectObject(dc.get(), initial);
}

TEST(GdiBitmap, OneBitBitmapsConvertToBlackAndWhite) {
  OwnedDC dc(CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  OwnedBitmap mono(CreateCompatibleBitmap(dc.get(), 2, 1));
  ASSERT_TRUE(mono);
  zivoda::gdi::FindBitmap(mono.get())->Row(0)[1] = 0x00FFFFFF;
  uint32_t pixels[2] = {0xCDCDCDCD, 0xCDCDCDCD};
  BITMAPINFO info = Header(2, 1);
  ASSERT_EQ(GetDIBits(dc.get(), mono.get(), 0, 1, pixels, &info, DIB_RGB_COLORS), 1);
  EXPECT_EQ(pixels[0], 0u);
  EXPECT_EQ(pixels[1], 0x00FFFFFFu);
}

}  // namespace
