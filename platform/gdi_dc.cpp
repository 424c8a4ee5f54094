// Device contexts: the screen DC that GetDC lends out, memory DCs, and the
// settings text drawing reads. Defaults and failure results follow the Windows
// documentation of each call (see platform/gdi.h).
#include "platform/gdi_dc.h"

#include "platform/gdi_handles.h"
#include "platform/gdi_stock.h"

namespace zivoda::gdi {
namespace {

bool IsScreenWindow(HWND hwnd) {
  return hwnd == nullptr || reinterpret_cast<uintptr_t>(hwnd) == kDesktopWindowValue;
}

HDC AddDC(DcKind kind) {
  auto dc = std::make_unique<DeviceContext>();
  dc->kind = kind;
  dc->bitmap = kind == DcKind::Memory ? StockBitmap() : nullptr;
  dc->font = StockFont();
  if (Font* font = FindFont(dc->font)) ++font->selections;
  return static_cast<HDC>(Handles().Add(std::move(dc)));
}

// Undoes what dc has selected, so its bitmap and font can be deleted once it is gone.
void ReleaseSelections(HDC hdc, DeviceContext& dc) {
  if (Bitmap* bitmap = FindBitmap(dc.bitmap); bitmap != nullptr && bitmap->selectedInto == hdc) {
    bitmap->selectedInto = nullptr;
  }
  if (Font* font = FindFont(dc.font); font != nullptr && font->selections > 0) --font->selections;
  dc.bitmap = nullptr;
  dc.font = nullptr;
}

}  // namespace

DeviceContext* FindDC(HDC hdc) { return Handles().Find<DeviceContext>(hdc); }

}  // namespace zivoda::gdi

using zivoda::gdi::DcKind;
using zivoda::gdi::DeviceContext;
using zivoda::gdi::FindDC;

HWND GetDesktopWindow() { return reinterpret_cast<HWND>(zivoda::gdi::kDesktopWindowValue); }

HDC GetDC(HWND hwnd) {
  if (!zivoda::gdi::IsScreenWindow(hwnd)) return nullptr;
  return zivoda::gdi::AddDC(DcKind::Screen);
}

int ReleaseDC(HWND hwnd, HDC hdc) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr || dc->kind != DcKind::Screen || !zivoda::gdi::IsScreenWindow(hwnd)) return 0;
  zivoda::gdi::ReleaseSelections(hdc, *dc);
  return zivoda::gdi::Handles().Remove(hdc) ? 1 : 0;
}

HDC CreateCompatibleDC(HDC hdc) {
  if (hdc != nullptr && FindDC(hdc) == nullptr) return nullptr;
  return zivoda::gdi::AddDC(DcKind::Memory);
}

BOOL DeleteDC(HDC hdc) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr || dc->kind != DcKind::Memory) return 0;
  zivoda::gdi::ReleaseSelections(hdc, *dc);
  return zivoda::gdi::Handles().Remove(hdc) ? 1 : 0;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr) return CLR_INVALID;
  const COLORREF previous = dc->bkColor;
  dc->bkColor = color;
  return previous;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr) return CLR_INVALID;
  const COLORREF previous = dc->textColor;
  dc->textColor = color;
  return previous;
}

int SetBkMode(HDC hdc, int mode) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int previous = dc->bkMode;
  dc->bkMode = mode;
  return previous;
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr) return 0;
  if (previous != nullptr) *previous = dc->viewportOrigin;
  dc->viewportOrigin = POINT{x, y};
  return 1;
}
