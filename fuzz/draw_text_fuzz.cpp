// Fuzzes DrawTextW and DrawTextExW with arbitrary flags, rectangles, viewport
// origins, fonts, background modes and UTF-16 text (unpaired surrogates, NULs,
// controls), drawing into a small 32-bit bitmap and measuring with DT_CALCRECT.
// Checks what must hold whatever the input: DT_CALCRECT keeps left and top, the
// buffer never grows past its room, and every GDI object goes back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <algorithm>

#include "platform/gdi.h"
#include "platform/gdi_debug.h"

namespace {

// Reads fixed-size values from the front of the input, zeros once it runs out.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  template <class T>
  T Take() {
    T value{};
    const size_t n = std::min(sizeof(T), size_ - at_);
    if (n > 0) std::memcpy(&value, data_ + at_, n);
    at_ += n;
    return value;
  }
  std::vector<char16_t> Rest() {
    std::vector<char16_t> text((size_ - at_) / 2);
    if (!text.empty()) std::memcpy(text.data(), data_ + at_, text.size() * 2);
    at_ = size_;
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

const char16_t* const kFaces[] = {u"DejaVu Sans", u"DejaVu Sans Mono", u"FreeSerif", u"WenQuanYi Micro Hei", u""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The tests' pinned fonts, found from this file's place in the tree.
  static const bool pinned = [] {
    std::string conf = __FILE__;
    conf = conf.substr(0, conf.find_last_of('/') + 1) + "../tests/fonts/fonts.conf";
    setenv("FONTCONFIG_FILE", conf.c_str(), 0);
    return true;
  }();
  (void)pinned;
  const int objectsBefore = GdiLiveObjects();
  Reader in(data, size);
  const auto format = in.Take<uint32_t>();
  RECT rect{in.Take<int32_t>(), in.Take<int32_t>(), in.Take<int32_t>(), in.Take<int32_t>()};
  const auto faceIndex = in.Take<uint8_t>();
  // Heights that keep one case fast: -64..63, and 0.
  const LONG height = static_cast<int8_t>(in.Take<uint8_t>()) / 2;
  const auto style = in.Take<uint8_t>();
  const auto viewportX = in.Take<int16_t>();
  const auto viewportY = in.Take<int16_t>();
  const auto countMode = in.Take<uint8_t>();
  DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), in.Take<int8_t>(), in.Take<int16_t>(), in.Take<int16_t>(), 0};
  std::vector<char16_t> text = in.Rest();

  HDC dc = CreateCompatibleDC(nullptr);
  LOGFONTW logfont{};
  logfont.lfHeight = height;
  logfont.lfWeight = (style & 1) != 0 ? FW_BOLD : FW_NORMAL;
  logfont.lfItalic = (style & 2) != 0;
  logfont.lfUnderline = (style & 4) != 0;
  logfont.lfStrikeOut = (style & 8) != 0;
  const char16_t* face = kFaces[faceIndex % std::size(kFaces)];
  for (size_t i = 0; face[i] != 0 && i + 1 < LF_FACESIZE; ++i) logfont.lfFaceName[i] = face[i];
  HFONT font = CreateFontIndirectW(&logfont);
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 48, 32);
  ReleaseDC(nullptr, screen);
  HGDIOBJ oldFont = SelectObject(dc, font);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  SetBkMode(dc, (style & 16) != 0 ? OPAQUE : TRANSPARENT);
  // White (how the library draws, with a path of its own) for one style in four.
  SetTextColor(dc, (style & 96) == 96 ? RGB(255, 255, 255) : RGB(style, 255 - style, 128));
  SetViewportOrgEx(dc, viewportX, viewportY, nullptr);

  // The count: the whole buffer, -1 (up to the first NUL) or a part.
  int cch = static_cast<int>(text.size());
  if (countMode % 3 == 1) cch = -1;
  if (countMode % 3 == 2) cch = text.empty() ? 0 : countMode % static_cast<int>(text.size() + 1);
  const size_t length = cch < 0 ? std::find(text.begin(), text.end(), u'\0') - text.begin() : static_cast<size_t>(cch);
  // Room for DT_MODIFYSTRING: length + 4 units, then a guard that must survive.
  // Each call gets the original text back, as DT_MODIFYSTRING may lengthen it.
  std::vector<char16_t> original(text.begin(), text.end());
  original.resize(std::max(original.size(), length + 4) + 1, u'\0');
  original.back() = u'\xBEEF';
  if (cch < 0) original[length] = u'\0';
  std::vector<char16_t> buffer = original;

  RECT drawn = rect;
  DrawTextW(dc, buffer.data(), cch, &drawn, format);
  if (buffer.back() != u'\xBEEF') std::abort();
  buffer = original;
  RECT measured = rect;
  DrawTextW(dc, buffer.data(), cch, &measured, format | DT_CALCRECT);
  if (measured.left != rect.left || measured.top != rect.top) std::abort();
  if (buffer.back() != u'\xBEEF') std::abort();
  buffer = original;
  RECT extended = rect;
  DrawTextExW(dc, buffer.data(), cch, &extended, format, &params);
  if (buffer.back() != u'\xBEEF') std::abort();

  SelectObject(dc, oldBitmap);
  SelectObject(dc, oldFont);
  DeleteObject(bitmap);
  DeleteObject(font);
  DeleteDC(dc);
  if (GdiLiveObjects() != objectsBefore) std::abort();
  return 0;
}
