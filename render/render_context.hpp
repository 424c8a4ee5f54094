// The single off-screen drawing surface through which all text is measured and
// drawn: a memory device context compatible with the screen, holding a 1x1
// screen-format bitmap, white text on black, transparent background.
#pragma once

#include <cstdint>

#include "platform/gdi.h"
#include "vaRodurod.h"
#include "ziVodaRerodo_types.h"

namespace zivoda {

class RenderContext {
 public:
  RenderContext();
  ~RenderContext();
  RenderContext(const RenderContext&) = delete;
  RenderContext& operator=(const RenderContext&) = delete;

  // Replaces *box by the text measured and aligned in it. Returns 1.
  int32_t CalcTextBox(Rect* box, const char16_t* text, int32_t length, uint32_t format, const char* fontId);
  // Draws the text aligned in box onto canvas, cut to the box and the canvas's
  // clip, combined with modulation. Returns 1.
  int32_t DrawTextToCanvas(CanvasHandle canvas, const Rect* box, const char16_t* text, int32_t length,
                           uint32_t format, uint32_t modulation, const char* fontId);

  HDC dc() const { return dc_; }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ savedBitmap_ = nullptr;
};

// The single render context, created on the first call and destroyed at unloading.
RenderContext& GetRenderContext();

// Measures text with the flags (plus DT_CALCRECT) in the font selected in dc and
// places the measured box in box by DT_CENTER/DT_RIGHT/DT_VCENTER/DT_BOTTOM
// (centring wins). Returns the aligned text box.
Rect LayoutTextBox(HDC dc, const Rect& box, const char16_t* text, int32_t length, uint32_t format);

// Copies a bitmap into a new texture of its size, top row first. Returns the
// texture (without pixels when it cannot be locked).
TextureHandle BitmapToTexture(HDC dc, HBITMAP bitmap);

}  // namespace zivoda
