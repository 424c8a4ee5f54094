// Selecting, deleting and describing GDI objects, with the documented rules: a
// selection hands back the object of the same kind it replaces, a bitmap lives in
// one memory DC at a time, and a selected object cannot be deleted.
#include <algorithm>
#include <cstring>

#include "platform/gdi_handles.h"

namespace zivoda::gdi {
namespace {

HGDIOBJ SelectBitmap(HDC hdc, DeviceContext& dc, HGDIOBJ handle, Bitmap& bitmap) {
  if (dc.kind != DcKind::Memory) return nullptr;
  if (dc.bitmap == handle) return handle;
  const bool stock = Handles().IsStock(handle);
  if (!stock && bitmap.selectedInto != nullptr) return nullptr;  // held by another DC
  HGDIOBJ previous = dc.bitmap;
  if (Bitmap* old = FindBitmap(previous); old != nullptr && old->selectedInto == hdc) old->selectedInto = nullptr;
  if (!stock) bitmap.selectedInto = hdc;
  dc.bitmap = static_cast<HBITMAP>(handle);
  return previous;
}

HGDIOBJ SelectFont(DeviceContext& dc, HGDIOBJ handle, Font& font) {
  HGDIOBJ previous = dc.font;
  if (previous == handle) return previous;
  if (Font* old = FindFont(previous); old != nullptr && old->selections > 0) --old->selections;
  ++font.selections;
  dc.font = static_cast<HFONT>(handle);
  return previous;
}

}  // namespace
}  // namespace zivoda::gdi

using namespace zivoda::gdi;

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr || object == nullptr) return nullptr;
  if (Bitmap* bitmap = FindBitmap(object)) return SelectBitmap(hdc, *dc, object, *bitmap);
  if (Font* font = FindFont(object)) return SelectFont(*dc, object, *font);
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
  HandleTable& handles = Handles();
  if (Bitmap* bitmap = FindBitmap(object)) {
    if (handles.IsStock(object)) return 1;
    if (bitmap->selectedInto != nullptr) return 0;
    return handles.Remove(object) ? 1 : 0;
  }
  if (Font* font = FindFont(object)) {
    if (handles.IsStock(object)) return 1;
    if (font->selections > 0) return 0;
    return handles.Remove(object) ? 1 : 0;
  }
  return 0;  // null, dead, or a DC
}

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
  if (const Bitmap* bitmap = FindBitmap(object)) return DescribeBitmap(*bitmap, size, buffer);
  if (const Font* font = FindFont(object)) {
    if (buffer == nullptr) return static_cast<int>(sizeof(LOGFONTW));
    if (size <= 0) return 0;
    const int written = std::min(size, static_cast<int>(sizeof(LOGFONTW)));
    std::memcpy(buffer, &font->logfont, static_cast<size_t>(written));
    return written;
  }
  return 0;
}
