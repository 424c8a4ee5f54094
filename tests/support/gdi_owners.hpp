// Owners of GDI objects for tests: they release on every path, so a failed
// assertion leaks nothing into the next test's live-object counts.
#pragma once

#include <memory>

#include "platform/gdi.h"

namespace zivoda::test {

struct DcCloser {
  void operator()(GdiDeviceContextTag* dc) const { DeleteDC(dc); }
};
struct ObjectCloser {
  void operator()(void* object) const { DeleteObject(object); }
};
using OwnedDC = std::unique_ptr<GdiDeviceContextTag, DcCloser>;
using OwnedBitmap = std::unique_ptr<GdiBitmapTag, ObjectCloser>;
using OwnedFont = std::unique_ptr<GdiFontTag, ObjectCloser>;

}  // namespace zivoda::test
