// DrawTextW and DrawTextExW: argument checks, tab and margin settings, the layout
// (through the layout cache), its placement in the rectangle, DT_CALCRECT, the
// return value, DT_MODIFYSTRING and painting. Each choice where Windows'
// documented behaviour is silent is stated where it is made.
#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/gdi.h"
#include "platform/gdi_bitmap.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_font.h"
#include "platform/gdi_handles.h"
#include "platform/gdi_stock.h"
#include "platform/layout_cache.h"
#include "platform/text_renderer.h"

namespace zivoda::gdi {
namespace {

constexpr UINT kEllipsisFlags = DT_PATH_ELLIPSIS | DT_END_ELLIPSIS | DT_WORD_ELLIPSIS;

LONG Clamp32(int64_t value) { return static_cast<LONG>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

// Units of a NUL-terminated text, at most INT_MAX.
size_t TerminatedLength(const WCHAR* text) {
  size_t n = 0;
  while (n < static_cast<size_t>(INT_MAX) && text[n] != 0) ++n;
  return n;
}

// GDI's edit-control average character width: (w("A..Za..z") / 26 + 1) / 2.
int64_t EditControlAverage(HFONT handle, const Font& font) {
  static constexpr char16_t kAlphabet[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  LayoutRequest request;
  request.format = DT_SINGLELINE | DT_NOPREFIX;
  const auto layout = CachedLayout(handle, font, std::u16string_view(kAlphabet, 52), request);
  return (layout->maxWidth / 26 + 1) / 2;
}

struct Call {
  HDC hdc;
  const WCHAR* text;
  int cch;
  RECT* rect;
  UINT format;
  DRAWTEXTPARAMS* params;
  bool extended;
};

int DrawTextCore(const Call& call) {
  DeviceContext* dc = FindDC(call.hdc);
  if (dc == nullptr || call.rect == nullptr) return 0;
  if (call.extended && call.params != nullptr && call.params->cbSize != sizeof(DRAWTEXTPARAMS)) return 0;
  if (call.text == nullptr) return 0;
  UINT format = call.format;

  // Tab length: DrawTextW reads it from bits 8-15 (which then are no flags),
  // DrawTextExW from iTabLength; 0 means 8.
  int64_t tabLength = 8;
  if ((format & DT_TABSTOP) != 0) {
    if (call.extended) {
      if (call.params != nullptr && call.params->iTabLength > 0) tabLength = call.params->iTabLength;
    } else {
      const int64_t bits = (format >> 8) & 0xFF;
      if (bits != 0) tabLength = bits;
      format &= ~UINT{0xFF00};
    }
  }
  const int64_t leftMargin = call.extended && call.params != nullptr ? call.params->iLeftMargin : 0;
  const int64_t rightMargin = call.extended && call.params != nullptr ? call.params->iRightMargin : 0;
  if (call.extended && call.params != nullptr) call.params->uiLengthDrawn = 0;

  // Any negative count means a NUL-terminated text (Windows documents -1).
  const size_t length = call.cch < 0 ? TerminatedLength(call.text) : static_cast<size_t>(call.cch);
  // A count of 0 (with text) leaves the rectangle alone and succeeds.
  if (length == 0 && call.cch == 0) return 1;

  // DT_INTERNAL measures and draws with the system font, the DC's initial one.
  HFONT handle = (format & DT_INTERNAL) != 0 ? StockFont() : dc->font;
  const Font* font = FindFont(handle);
  if (font == nullptr || !font->face) return 0;

  RECT& rc = *call.rect;
  const int64_t left = rc.left, top = rc.top, right = rc.right, bottom = rc.bottom;
  const int64_t available = right - left - leftMargin - rightMargin;

  LayoutRequest request;
  request.format = format;
  request.width = available;
  // Tabs expand with DT_EXPANDTABS, to stops every tabLength average widths
  // (tmAveCharWidth, or the edit-control average under DT_EDITCONTROL). With an
  // ellipsis flag, which Windows does not combine with it, tabs stay unexpanded.
  if ((format & DT_EXPANDTABS) != 0 && (format & kEllipsisFlags) == 0) {
    const int64_t average = (format & DT_EDITCONTROL) != 0 ? EditControlAverage(handle, *font)
                                                           : int64_t{font->metrics.tm.tmAveCharWidth};
    request.tabInterval = tabLength * std::max<int64_t>(average, 1);
  }
  const std::u16string_view text(call.text, length);
  const std::shared_ptr<const TextLayout> layout = CachedLayout(handle, *font, text, request);

  const int64_t lineHeight = layout->lineHeight;
  const int64_t lines = static_cast<int64_t>(layout->lines.size());
  const bool single = (format & DT_SINGLELINE) != 0;
  int64_t y0 = top;
  bool offsetResult = false;
  if (single && (format & DT_VCENTER) != 0) {
    y0 = top + (bottom - top - lineHeight) / 2;  // truncating division, as Windows does
    offsetResult = true;
  } else if (single && (format & DT_BOTTOM) != 0) {
    y0 = bottom - lineHeight;
    offsetResult = true;
  }

  // DT_MODIFYSTRING: the shortened text back into the caller's buffer (room for
  // length + 4 units by contract); never more than length + 3 units and a NUL.
  if ((format & DT_MODIFYSTRING) != 0 && (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS)) != 0 && layout->modified) {
    const size_t count = std::min(layout->modifiedText.size(), length + 3);
    WCHAR* out = const_cast<WCHAR*>(call.text);
    std::memmove(out, layout->modifiedText.data(), count * sizeof(WCHAR));
    out[count] = 0;
  }

  // The result: the height of the text, or for a single line placed by
  // DT_VCENTER or DT_BOTTOM the offset of its bottom from the top; 0 becomes 1
  // so success never reads as failure. A negative offset is returned as it is.
  const auto result = [](int64_t value) { return value == 0 ? 1 : static_cast<int>(Clamp32(value)); };

  if ((format & DT_CALCRECT) != 0) {
    rc.right = Clamp32(left + leftMargin + layout->maxWidth + rightMargin);
    rc.bottom = Clamp32(offsetResult ? y0 + lineHeight : top + lines * lineHeight);
    if (call.extended && call.params != nullptr) call.params->uiLengthDrawn = static_cast<UINT>(length);
    return result(offsetResult ? y0 + lineHeight - top : lines * lineHeight);
  }

  // Placement, and which lines are processed: all with DT_NOCLIP; otherwise up
  // to the first line that starts at or below the bottom; with DT_EDITCONTROL
  // only lines wholly inside the rectangle, except that the first line is always
  // drawn so that text never vanishes from a box shorter than one line.
  const bool noClip = (format & DT_NOCLIP) != 0;
  const bool editControl = (format & DT_EDITCONTROL) != 0;
  const int64_t device = dc->viewportOrigin.x, deviceY = dc->viewportOrigin.y;
  std::vector<LineOrigin> origins;
  size_t processedEnd = 0;
  int64_t drawnLines = 0;
  for (int64_t i = 0; i < lines; ++i) {
    const LayoutLine& line = layout->lines[static_cast<size_t>(i)];
    const int64_t y = y0 + i * lineHeight;
    if (editControl && i > 0 && y + lineHeight > bottom) break;
    if (!noClip && !editControl && y >= bottom && !offsetResult) break;
    int64_t x = left + leftMargin;
    if ((format & DT_CENTER) != 0) {
      x = left + leftMargin + (available - line.width) / 2;
    } else if ((format & DT_RIGHT) != 0) {
      x = right - rightMargin - line.width;
    }
    origins.push_back(LineOrigin{static_cast<size_t>(i), x + device, y + deviceY});
    processedEnd = line.sourceEnd;
    ++drawnLines;
  }
  if (call.extended && call.params != nullptr) {
    call.params->uiLengthDrawn = static_cast<UINT>(noClip ? length : std::min(processedEnd, length));
  }

  Bitmap* bitmap = FindBitmap(dc->bitmap);
  if (bitmap != nullptr && !Handles().IsStock(dc->bitmap)) {
    PaintOptions options;
    options.textColor = dc->textColor;
    options.bkColor = dc->bkColor;
    options.opaque = dc->bkMode == OPAQUE;
    options.glyphs = (format & DT_PREFIXONLY) == 0;
    options.prefixes = (format & DT_HIDEPREFIX) == 0 && (format & DT_NOPREFIX) == 0;
    if (!noClip) {
      options.clipLeft = left + device;
      options.clipTop = top + deviceY;
      options.clipRight = right + device;
      options.clipBottom = bottom + deviceY;
    }
    PaintLayout(*layout, origins, options, *bitmap);
  }
  return result(offsetResult ? y0 + lineHeight - top : (editControl ? drawnLines : lines) * lineHeight);
}

}  // namespace
}  // namespace zivoda::gdi

int DrawTextW(HDC hdc, const WCHAR* text, int cch, RECT* rect, UINT format) {
  return zivoda::gdi::DrawTextCore({hdc, text, cch, rect, format, nullptr, false});
}

int DrawTextExW(HDC hdc, WCHAR* text, int cch, RECT* rect, UINT format, DRAWTEXTPARAMS* params) {
  return zivoda::gdi::DrawTextCore({hdc, text, cch, rect, format, params, true});
}
