// A GDI font: the LOGFONTW it was made from, the face it was matched to, what
// must be synthesised, and its metrics at the requested size.
#pragma once

#include <memory>

#include "platform/font_face.h"
#include "platform/gdi.h"
#include "platform/text_metrics.h"

namespace zivoda::gdi {

struct Font {
  LOGFONTW logfont{};  // as given to CreateFontIndirectW
  std::shared_ptr<FontFace> face;
  bool syntheticBold = false;     // bold asked for, the family has no bold face
  bool syntheticOblique = false;  // italic asked for, the family has no slanted face
  RealizedMetrics metrics;
  int selections = 0;  // DCs it is selected into
};

// The live font behind a handle, or null.
Font* FindFont(HGDIOBJ handle);

// CreateFontIndirectW, with the font entered in the handle table as a stock
// object (never counted, never deleted) when stock is set.
HFONT CreateFontObject(const LOGFONTW& logfont, bool stock);

}  // namespace zivoda::gdi
