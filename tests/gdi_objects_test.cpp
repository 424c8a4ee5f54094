// Handles, selection and device-context state of the GDI subset: every call
// fails on null, deleted, stale and foreign handles without touching anything,
// and selection and deletion follow the documented SelectObject/DeleteObject rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "support/gdi_owners.hpp"
#include "platform/gdi_debug.h"

namespace {

using zivoda::test::OwnedBitmap;
using zivoda::test::OwnedDC;
using zivoda::test::OwnedFont;

OwnedDC MemoryDC() { return OwnedDC(CreateCompatibleDC(nullptr)); }

OwnedBitmap Bitmap32(int width, int height) {
  HDC screen = GetDC(nullptr);
  OwnedBitmap bitmap(CreateCompatibleBitmap(screen, width, height));
  ReleaseDC(nullptr, screen);
  return bitmap;
}

OwnedFont MakeFont(const char16_t* face, LONG height) {
  LOGFONTW logfont{};
  logfont.lfHeight = height;
  logfont.lfWeight = FW_NORMAL;
  std::char_traits<char16_t>::copy(logfont.lfFaceName, face, std::char_traits<char16_t>::length(face));
  return OwnedFont(CreateFontIndirectW(&logfont));
}

// The font selected into dc, read without changing it.
HGDIOBJ SelectedFont(HDC dc, HFONT probe) {
  HGDIOBJ current = SelectObject(dc, probe);
  SelectObject(dc, current);
  return current;
}

HGDIOBJ SelectedBitmap(HDC dc, HBITMAP probe) {
  HGDIOBJ current = SelectObject(dc, probe);
  SelectObject(dc, current);
  return current;
}

void* Value(uintptr_t value) { return reinterpret_cast<void*>(value); }

TEST(GdiHandles, DeadAndForeignHandlesFailEverywhereAndChangeNothing) {
  OwnedDC dc = MemoryDC();
  OwnedBitmap liveBitmap = Bitmap32(2, 2);
  OwnedFont liveFont = MakeFont(u"DejaVu Sans", -12);
  ASSERT_TRUE(dc && liveBitmap && liveFont);

  // Deleted objects of each kind.
  HGDIOBJ deletedBitmap = Bitmap32(1, 1).release();
  ASSERT_EQ(DeleteObject(deletedBitmap), 1);
  HGDIOBJ deletedFont = MakeFont(u"DejaVu Sans", -12).release();
  ASSERT_EQ(DeleteObject(deletedFont), 1);
  HDC deletedDC = CreateCompatibleDC(nullptr);
  ASSERT_EQ(DeleteDC(deletedDC), 1);
  HDC releasedScreen = GetDC(nullptr);
  ASSERT_EQ(ReleaseDC(nullptr, releasedScreen), 1);
  // A stale handle whose slot now holds a live bitmap of the same kind.
  HGDIOBJ stale = Bitmap32(1, 1).release();
  ASSERT_EQ(DeleteObject(stale), 1);
  OwnedBitmap reuser = Bitmap32(1, 1);
  ASSERT_NE(reuser.get(), stale);
  const uintptr_t reuserValue = reinterpret_cast<uintptr_t>(reuser.get());

  int objectInMemory = 0;
  struct Row {
    std::string name;
    void* handle;
  };
  const std::vector<Row> rows = {
      {"null", nullptr},
      {"deleted bitmap", deletedBitmap},
      {"deleted font", deletedFont},
      {"deleted DC", deletedDC},
      {"released screen DC", releasedScreen},
      {"stale handle of a reused slot", stale},
      {"reused slot, a later generation", Value(reuserValue + (uintptr_t{1} << 20))},
      {"the desktop window", GetDesktopWindow()},
      {"an address in memory", &objectInMemory},
      {"small integer", Value(1)},
      {"highest index", Value((uintptr_t{1} << 20) - 1)},
      {"all bits set", Value(~uintptr_t{0})},
  };
  const int objectsBefore = GdiLiveObjects();
  const int selectionsBefore = GdiLiveSelections();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    void* handle = row.handle;
    auto asDC = static_cast<HDC>(handle);
    auto asBitmap = static_cast<HBITMAP>(handle);

    EXPECT_EQ(SelectObject(dc.get(), handle), nullptr);
    EXPECT_EQ(SelectObject(asDC, liveFont.get()), nullptr);
    EXPECT_EQ(DeleteObject(handle), 0);
    EXPECT_EQ(DeleteDC(asDC), 0);
    EXPECT_EQ(ReleaseDC(nullptr, asDC), 0);
    EXPECT_EQ(SetBkColor(asDC, RGB(1, 2, 3)), CLR_INVALID);
    EXPECT_EQ(SetTextColor(asDC, RGB(1, 2, 3)), CLR_INVALID);
    EXPECT_EQ(SetBkMode(asDC, TRANSPARENT), 0);
    POINT origin{7, 7};
    EXPECT_EQ(SetViewportOrgEx(asDC, 1, 1, &origin), 0);
    EXPECT_EQ(origin.x, 7);
    TEXTMETRICW tm;
    std::memset(&tm, 0xCD, sizeof tm);
    EXPECT_EQ(GetTextMetricsW(asDC, &tm), 0);
    EXPECT_EQ(tm.tmHeight, static_cast<LONG>(0xCDCDCDCD));
    unsigned char record[sizeof(LOGFONTW)];
    std::memset(record, 0xCD, sizeof record);
    EXPECT_EQ(GetObjectW(handle, sizeof record, record), 0);
    EXPECT_EQ(record[0], 0xCD);
    EXPECT_EQ(CreateCompatibleBitmap(asDC, 1, 1), nullptr);
    if (handle != nullptr) {
      EXPECT_EQ(CreateCompatibleDC(asDC), nullptr);  // null means "the screen"
    }
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 1, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    uint32_t pixel = 0xCDCDCDCD;
    EXPECT_EQ(GetDIBits(asDC, liveBitmap.get(), 0, 1, &pixel, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(dc.get(), asBitmap, 0, 1, &pixel, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(pixel, 0xCDCDCDCDu);
  }
  EXPECT_EQ(GdiLiveObjects(), objectsBefore);
  EXPECT_EQ(GdiLiveSelections(), selectionsBefore);
  // The live objects next to the dead ones are intact.
  BITMAP described{};
  EXPECT_EQ(GetObjectW(reuser.get(), sizeof described, &described), static_cast<int>(sizeof described));
  EXPECT_EQ(described.bmWidth, 1);
  EXPECT_EQ(SetBkColor(dc.get(), 0), RGB(255, 255, 255));
}

TEST(GdiHandles, AHandleOfTheWrongKindIsRefused) {
  OwnedDC dc = MemoryDC();
  OwnedDC other = MemoryDC();
  OwnedFont font = MakeFont(u"DejaVu Sans", -12);
  OwnedBitmap bitmap = Bitmap32(2, 2);
  ASSERT_TRUE(dc && other && font && bitmap);
  auto fontAsDC = reinterpret_cast<HDC>(font.get());
  auto bitmapAsDC = reinterpret_cast<HDC>(bitmap.get());

  EXPECT_EQ(SelectObject(dc.get(), other.get()), nullptr);  // a DC is not selectable
  EXPECT_EQ(DeleteObject(other.get()), 0);                   // DCs go with DeleteDC
  EXPECT_EQ(GetObjectW(other.get(), 64, nullptr), 0);
  EXPECT_EQ(DeleteDC(fontAsDC), 0);
  EXPECT_EQ(SetBkColor(bitmapAsDC, 0), CLR_INVALID);
  EXPECT_EQ(CreateCompatibleBitmap(fontAsDC, 1, 1), nullptr);
  EXPECT_EQ(GetDIBits(dc.get(), reinterpret_cast<HBITMAP>(font.get()), 0, 1, nullptr, nullptr, 0), 0);
  // All of them still work as what they are.
  TEXTMETRICW tm{};
  EXPECT_EQ(GetTextMetricsW(other.get(), &tm), 1);
  HGDIOBJ initialFont = SelectObject(dc.get(), font.get());
  HGDIOBJ initialBitmap = SelectObject(dc.get(), bitmap.get());
  EXPECT_NE(initialFont, nullptr);
  EXPECT_NE(initialBitmap, nullptr);
  SelectObject(dc.get(), initialFont);
  SelectObject(dc.get(), initialBitmap);
}

TEST(GdiDeviceContext, ANewMemoryDCHasTheDocumentedDefaults) {
  OwnedDC dc = MemoryDC();
  OwnedBitmap probeBitmap = Bitmap32(1, 1);
  OwnedFont probeFont = MakeFont(u"DejaVu Sans", -12);
  ASSERT_TRUE(dc && probeBitmap && probeFont);

  // A 1x1 one-bit bitmap.
  BITMAP initial{};
  ASSERT_EQ(GetObjectW(SelectedBitmap(dc.get(), probeBitmap.get()), sizeof initial, &initial),
            static_cast<int>(sizeof initial));
  EXPECT_EQ(initial.bmType, 0);
  EXPECT_EQ(initial.bmWidth, 1);
  EXPECT_EQ(initial.bmHeight, 1);
  EXPECT_EQ(initial.bmWidthBytes, 2);
  EXPECT_EQ(initial.bmPlanes, 1);
  EXPECT_EQ(initial.bmBitsPixel, 1);

  // The initial font: DejaVu Sans at a cell height of 16.
  LOGFONTW logfont{};
  ASSERT_EQ(GetObjectW(SelectedFont(dc.get(), probeFont.get()), sizeof logfont, &logfont),
            static_cast<int>(sizeof logfont));
  EXPECT_EQ(logfont.lfHeight, 16);
  EXPECT_EQ(std::u16string(logfont.lfFaceName), u"DejaVu Sans");
  TEXTMETRICW tm{};
  ASSERT_EQ(GetTextMetricsW(dc.get(), &tm), 1);
  EXPECT_EQ(tm.tmHeight, 16);

  // Colours, background mode and viewport origin (each call returns the old value).
  EXPECT_EQ(SetBkColor(dc.get(), RGB(1, 2, 3)), RGB(255, 255, 255));
  EXPECT_EQ(SetTextColor(dc.get(), RGB(4, 5, 6)), RGB(0, 0, 0));
  EXPECT_EQ(SetBkMode(dc.get(), TRANSPARENT), OPAQUE);
  POINT origin{99, 99};
  EXPECT_EQ(SetViewportOrgEx(dc.get(), -3, 4, &origin), 1);
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);
}

TEST(GdiDeviceContext, SettingsKeepWhatWasSetAndRefuseAnUnknownMode) {
  OwnedDC dc = MemoryDC();
  ASSERT_TRUE(dc);
  SetBkColor(dc.get(), RGB(10, 20, 30));
  EXPECT_EQ(SetBkColor(dc.get(), 0), RGB(10, 20, 30));
  SetTextColor(dc.get(), RGB(255, 255, 255));
  EXPECT_EQ(SetTextColor(dc.get(), 0), RGB(255, 255, 255));
  ASSERT_EQ(SetBkMode(dc.get(), TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(dc.get(), 0), 0);
  EXPECT_EQ(SetBkMode(dc.get(), 3), 0);
  EXPECT_EQ(SetBkMode(dc.get(), OPAQUE), TRANSPARENT);  // the refused modes changed nothing
  ASSERT_EQ(SetViewportOrgEx(dc.get(), -75, 12, nullptr), 1);
  POINT origin{};
  EXPECT_EQ(SetViewportOrgEx(dc.get(), 0, 0, &origin), 1);
  EXPECT_EQ(origin.x, -75);
  EXPECT_EQ(origin.y, 12);
}

TEST(GdiSelection, SelectObjectReturnsThePreviousObjectOfItsKind) {
  const int selections0 = GdiLiveSelections();  // the library's render context holds some
  OwnedBitmap first = Bitmap32(2, 2);
  OwnedBitmap second = Bitmap32(3, 3);
  OwnedFont font = MakeFont(u"FreeSans", -20);
  OwnedDC dc = MemoryDC();
  ASSERT_TRUE(dc && first && second && font);
  HGDIOBJ initialBitmap = SelectObject(dc.get(), first.get());
  ASSERT_NE(initialBitmap, nullptr);
  EXPECT_EQ(SelectObject(dc.get(), second.get()), first.get());
  HGDIOBJ initialFont = SelectObject(dc.get(), font.get());  // a font replaces no bitmap
  ASSERT_NE(initialFont, nullptr);
  EXPECT_NE(initialFont, second.get());
  EXPECT_EQ(SelectObject(dc.get(), second.get()), second.get());  // selecting again returns itself
  EXPECT_EQ(SelectObject(dc.get(), font.get()), font.get());

  // Null is refused and changes nothing.
  EXPECT_EQ(SelectObject(dc.get(), nullptr), nullptr);
  EXPECT_EQ(SelectObject(dc.get(), initialBitmap), second.get());
  EXPECT_EQ(SelectObject(dc.get(), initialFont), font.get());
  EXPECT_EQ(GdiLiveSelections(), selections0);
}

TEST(GdiSelection, ABitmapLivesInOneMemoryDCAtATimeAndFontsInMany) {
  const int selections0 = GdiLiveSelections();  // the library's render context holds some
  OwnedBitmap bitmap = Bitmap32(2, 2);
  OwnedBitmap spare = Bitmap32(2, 2);
  OwnedFont font = MakeFont(u"DejaVu Sans", -12);
  OwnedDC one = MemoryDC();
  OwnedDC two = MemoryDC();
  HDC screen = GetDC(GetDesktopWindow());
  ASSERT_TRUE(one && two && screen && bitmap && spare && font);

  HGDIOBJ oneInitial = SelectObject(one.get(), bitmap.get());
  EXPECT_EQ(SelectObject(two.get(), bitmap.get()), nullptr);
  EXPECT_EQ(SelectObject(screen, spare.get()), nullptr);  // screens take no bitmap
  EXPECT_EQ(SelectedBitmap(two.get(), spare.get()), oneInitial);  // two kept its 1x1 bitmap
  HGDIOBJ oneFont = SelectObject(one.get(), font.get());
  HGDIOBJ twoFont = SelectObject(two.get(), font.get());
  HGDIOBJ screenFont = SelectObject(screen, font.get());
  EXPECT_TRUE(oneFont != nullptr && twoFont != nullptr && screenFont != nullptr);
  EXPECT_EQ(GdiLiveSelections(), selections0 + 4);

  // Moving the bitmap: once one lets it go, two may take it.
  SelectObject(one.get(), oneInitial);
  EXPECT_NE(SelectObject(two.get(), bitmap.get()), nullptr);
  SelectObject(two.get(), oneInitial);
  SelectObject(one.get(), oneFont);
  SelectObject(two.get(), twoFont);
  SelectObject(screen, screenFont);
  EXPECT_EQ(GdiLiveSelections(), selections0);
  EXPECT_EQ(ReleaseDC(GetDesktopWindow(), screen), 1);
}

TEST(GdiSelection, DeleteObjectRefusesWhatIsSelected) {
  OwnedBitmap bitmap = Bitmap32(2, 2);
  OwnedFont font = MakeFont(u"DejaVu Sans", -12);
  OwnedDC one = MemoryDC();
  OwnedDC two = MemoryDC();
  ASSERT_TRUE(one && two && bitmap && font);
  HGDIOBJ initialBitmap = SelectObject(one.get(), bitmap.get());
  HGDIOBJ oneFont = SelectObject(one.get(), font.get());
  HGDIOBJ twoFont = SelectObject(two.get(), font.get());

  EXPECT_EQ(DeleteObject(bitmap.get()), 0);
  EXPECT_EQ(DeleteObject(font.get()), 0);
  BITMAP described{};
  EXPECT_EQ(GetObjectW(bitmap.get(), sizeof described, &described), static_cast<int>(sizeof described));
  SelectObject(one.get(), oneFont);
  EXPECT_EQ(DeleteObject(font.get()), 0);  // still in two
  SelectObject(two.get(), twoFont);
  EXPECT_EQ(DeleteObject(font.release()), 1);
  SelectObject(one.get(), initialBitmap);
  EXPECT_EQ(DeleteObject(bitmap.release()), 1);
}

TEST(GdiSelection, DeleteDCLetsGoOfWhatItHadSelected) {
  const int selections0 = GdiLiveSelections();  // the library's render context holds some
  OwnedBitmap bitmap = Bitmap32(2, 2);
  OwnedFont font = MakeFont(u"DejaVu Sans", -12);
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_TRUE(dc && bitmap && font);
  SelectObject(dc, bitmap.get());
  SelectObject(dc, font.get());
  EXPECT_EQ(GdiLiveSelections(), selections0 + 2);
  EXPECT_EQ(DeleteDC(dc), 1);
  EXPECT_EQ(GdiLiveSelections(), selections0);
  EXPECT_EQ(DeleteObject(bitmap.release()), 1);
  EXPECT_EQ(DeleteObject(font.release()), 1);
}

TEST(GdiSelection, TheSharedInitialObjectsSurviveDeleteObject) {
  OwnedBitmap probeBitmap = Bitmap32(1, 1);
  OwnedFont probeFont = MakeFont(u"DejaVu Sans", -12);
  OwnedDC dc = MemoryDC();
  ASSERT_TRUE(dc && probeBitmap && probeFont);
  HGDIOBJ initialBitmap = SelectedBitmap(dc.get(), probeBitmap.get());
  HGDIOBJ initialFont = SelectedFont(dc.get(), probeFont.get());
  EXPECT_EQ(DeleteObject(initialBitmap), 1);
  EXPECT_EQ(DeleteObject(initialFont), 1);

  OwnedDC fresh = MemoryDC();
  ASSERT_TRUE(fresh);
  EXPECT_EQ(SelectedBitmap(fresh.get(), probeBitmap.get()), initialBitmap);
  BITMAP described{};
  EXPECT_EQ(GetObjectW(initialBitmap, sizeof described, &described), static_cast<int>(sizeof described));
  TEXTMETRICW tm{};
  EXPECT_EQ(GetTextMetricsW(fresh.get(), &tm), 1);
  // The 1x1 bitmap is shared: two DCs may hold it at once.
  HGDIOBJ previous = SelectObject(dc.get(), probeBitmap.get());
  EXPECT_EQ(SelectObject(dc.get(), initialBitmap), probeBitmap.get());
  EXPECT_EQ(previous, initialBitmap);
}

TEST(GdiDeviceContext, ScreenDCsComeFromGetDCAndGoBackWithReleaseDC) {
  const int dcs0 = GdiLiveDCs();
  HDC byNull = GetDC(nullptr);
  HDC byDesktop = GetDC(GetDesktopWindow());
  ASSERT_NE(byNull, nullptr);
  ASSERT_NE(byDesktop, nullptr);
  EXPECT_EQ(GetDC(reinterpret_cast<HWND>(uintptr_t{0x1234})), nullptr);
  OwnedDC memory(CreateCompatibleDC(byDesktop));
  ASSERT_TRUE(memory);

  EXPECT_EQ(GdiLiveDCs(), dcs0 + 3);
  EXPECT_EQ(DeleteDC(byNull), 0);                           // not a memory DC
  EXPECT_EQ(ReleaseDC(nullptr, memory.get()), 0);           // not from GetDC
  EXPECT_EQ(ReleaseDC(reinterpret_cast<HWND>(uintptr_t{0x1234}), byNull), 0);
  TEXTMETRICW tm{};
  EXPECT_EQ(GetTextMetricsW(byNull, &tm), 1);
  EXPECT_EQ(ReleaseDC(nullptr, byNull), 1);
  EXPECT_EQ(ReleaseDC(GetDesktopWindow(), byDesktop), 1);
  EXPECT_EQ(ReleaseDC(GetDesktopWindow(), byDesktop), 0);  // already given back
  EXPECT_EQ(GdiLiveDCs(), dcs0 + 1);
}

TEST(GdiDebug, TheCountsFollowEveryObjectAndSelection) {
  const int selections0 = GdiLiveSelections();  // the library's render context holds some
  const int dcs = GdiLiveDCs();
  const int bitmaps = GdiLiveBitmaps();
  const int fonts = GdiLiveFonts();
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);
  LOGFONTW logfont{};
  logfont.lfHeight = -10;
  HFONT font = CreateFontIndirectW(&logfont);
  ASSERT_TRUE(dc && bitmap && font);
  EXPECT_EQ(GdiLiveDCs(), dcs + 1);
  EXPECT_EQ(GdiLiveBitmaps(), bitmaps + 1);
  EXPECT_EQ(GdiLiveFonts(), fonts + 1);
  EXPECT_EQ(GdiLiveObjects(), dcs + bitmaps + fonts + 3);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  HGDIOBJ oldFont = SelectObject(dc, font);
  EXPECT_EQ(GdiLiveSelections(), selections0 + 2);
  SelectObject(dc, oldBitmap);
  EXPECT_EQ(GdiLiveSelections(), selections0 + 1);
  SelectObject(dc, oldFont);
  EXPECT_EQ(GdiLiveSelections(), selections0);
  DeleteObject(bitmap);
  DeleteObject(font);
  DeleteDC(dc);
  EXPECT_EQ(GdiLiveObjects(), dcs + bitmaps + fonts);
}

// The steps by which the library's render context is made and torn down: a
// memory DC compatible with the screen, holding a screen-compatible 1x1 bitmap.
TEST(GdiDeviceContext, TheRenderContextSequenceLeavesNothingBehind) {
  HDC screen = GetDC(GetDesktopWindow());
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
  ASSERT_TRUE(screen && dc && bitmap);
  HGDIOBJ savedBitmap = SelectObject(dc, bitmap);
  EXPECT_NE(savedBitmap, nullptr);
  SetBkColor(dc, 0x000000);
  SetTextColor(dc, 0xFFFFFF);
  SetBkMode(dc, TRANSPARENT);
  EXPECT_EQ(ReleaseDC(GetDesktopWindow(), screen), 1);

  // A later bitmap compatible with the context is 32 bits, like the screen.
  HBITMAP drawing = CreateCompatibleBitmap(dc, 75, 20);
  BITMAP described{};
  ASSERT_EQ(GetObjectW(drawing, 24, &described), 24);
  EXPECT_EQ(described.bmBitsPixel, 32);
  EXPECT_EQ(described.bmWidth, 75);
  EXPECT_EQ(DeleteObject(drawing), 1);

  HGDIOBJ old = SelectObject(dc, savedBitmap);
  EXPECT_EQ(old, bitmap);
  EXPECT_EQ(DeleteObject(old), 1);
  EXPECT_EQ(DeleteDC(dc), 1);
}

TEST(GdiObjects, GetObjectWOfAFontGivesBackItsLogfont) {
  LOGFONTW logfont{};
  logfont.lfHeight = -13;
  logfont.lfWeight = FW_BOLD;
  logfont.lfItalic = 1;
  logfont.lfUnderline = 1;
  logfont.lfCharSet = DEFAULT_CHARSET;
  for (int i = 0; i < LF_FACESIZE; ++i) logfont.lfFaceName[i] = u'x';  // no terminator
  OwnedFont font(CreateFontIndirectW(&logfont));
  ASSERT_TRUE(font);
  EXPECT_EQ(GetObjectW(font.get(), 0, nullptr), static_cast<int>(sizeof(LOGFONTW)));
  LOGFONTW back{};
  ASSERT_EQ(GetObjectW(font.get(), sizeof back, &back), static_cast<int>(sizeof back));
  EXPECT_EQ(std::memcmp(&back, &logfont, sizeof back), 0);
  LONG height = 0;
  EXPECT_EQ(GetObjectW(font.get(), sizeof height, &height), static_cast<int>(sizeof height));
  EXPECT_EQ(height, -13);
  EXPECT_EQ(GetObjectW(font.get(), 0, &back), 0);
  EXPECT_EQ(GetObjectW(font.get(), -1, &back), 0);
}

}  // namespace
