// Creation and teardown of the single render context, and measuring in it.
// The context is created on first use and lives until the library is unloaded.
#include "render/render_context.hpp"

#include "fonts/font_registry.hpp"
#include "render/scoped_select.hpp"

namespace zivoda {

RenderContext::RenderContext() {
  HDC screen = GetDC(GetDesktopWindow());
  dc_ = CreateCompatibleDC(screen);
  // Compatible with the screen, not with dc_: bitmaps made later for dc_ then get
  // the screen's 32-bit format instead of the new context's one bit per pixel.
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
  savedBitmap_ = SelectObject(dc_, bitmap);
  SetBkColor(dc_, RGB(0, 0, 0));
  SetTextColor(dc_, RGB(255, 255, 255));
  SetBkMode(dc_, TRANSPARENT);
  ReleaseDC(GetDesktopWindow(), screen);
}

RenderContext::~RenderContext() {
  HGDIOBJ old = SelectObject(dc_, savedBitmap_);  // yields the 1x1 bitmap of creation
  DeleteObject(old);
  savedBitmap_ = nullptr;
  DeleteDC(dc_);
  dc_ = nullptr;
}

RenderContext& GetRenderContext() {
  static RenderContext context;
  return context;
}

int32_t RenderContext::CalcTextBox(Rect* box, const char16_t* text, int32_t length, uint32_t format,
                                   const char* fontId) {
  HFONT font = GetFontRegistry().FindFont(fontId);
  ScopedSelect selectFont(dc_, font);
  const Rect local = *box;
  *box = LayoutTextBox(dc_, local, text, length, format);
  selectFont.Restore();
  return 1;
}

}  // namespace zivoda
