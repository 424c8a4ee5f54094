// The shared initial objects of every DC, made on first use and kept for the
// whole process: the 1x1 one-bit bitmap of a new memory DC, and the initial font,
// DejaVu Sans at a cell height of 16 pixels (the height of the Windows system
// font), or fontconfig's sans-serif where DejaVu Sans is not installed.
#include "platform/gdi_stock.h"

#include <algorithm>
#include <iterator>

#include "platform/gdi_handles.h"

namespace zivoda::gdi {

HBITMAP StockBitmap() {
  static const HBITMAP bitmap = static_cast<HBITMAP>(Handles().Add(MakeBitmap(1, 1, 1), true));
  return bitmap;
}

HFONT StockFont() {
  static const HFONT font = [] {
    LOGFONTW logfont{};
    logfont.lfHeight = 16;
    logfont.lfWeight = FW_NORMAL;
    logfont.lfCharSet = DEFAULT_CHARSET;
    constexpr char16_t kFace[] = u"DejaVu Sans";
    std::copy(std::begin(kFace), std::end(kFace), logfont.lfFaceName);
    return CreateFontObject(logfont, true);
  }();
  return font;
}

}  // namespace zivoda::gdi
