// A drawing object selected into a device context for the length of one call.
// The owner undoes the selection with Restore, exactly once, on every path; a null
// object selects nothing and its Restore changes nothing.
#pragma once

#include "platform/gdi.h"

namespace zivoda {

class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

  // Selects the object that was selected before construction again.
  void Restore() { SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace zivoda
