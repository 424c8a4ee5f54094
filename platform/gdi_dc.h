// The state of one device context: what is selected into it and the settings
// that text drawing reads (colours, background mode, viewport origin).
#pragma once

#include <cstdint>

#include "platform/gdi.h"

namespace zivoda::gdi {

enum class DcKind : uint8_t { Memory, Screen };

struct DeviceContext {
  DcKind kind = DcKind::Memory;
  HBITMAP bitmap = nullptr;  // memory DCs: the bitmap drawn into; screen DCs: none
  HFONT font = nullptr;      // null only when no font at all could be made
  COLORREF bkColor = RGB(255, 255, 255);
  COLORREF textColor = RGB(0, 0, 0);
  int bkMode = OPAQUE;
  POINT viewportOrigin{0, 0};
};

// The live DC behind hdc, or null for a dead, stale or foreign handle.
DeviceContext* FindDC(HDC hdc);

}  // namespace zivoda::gdi
