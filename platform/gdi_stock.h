// The objects every new DC starts with: one 1x1 one-bit bitmap and one initial
// font (DejaVu Sans, or fontconfig's sans-serif, at a cell height of 16 pixels),
// shared by all DCs and alive for the whole process, as GDI's stock objects are.
#pragma once

#include "platform/gdi.h"

namespace zivoda::gdi {

HBITMAP StockBitmap();
// Null only when no font at all can be made; then DCs start without a font.
HFONT StockFont();

}  // namespace zivoda::gdi
