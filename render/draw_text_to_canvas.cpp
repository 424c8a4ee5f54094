// The drawing pipeline of one call: cut the box to the canvas's clip, measure and
// align the text, draw it white into a bitmap that covers only the visible part,
// copy that into a texture and have vaRodurod composite it with the caller's
// modulation. Every object made here is released, every selection undone.
#include "fonts/font_registry.hpp"
#include "render/rect.hpp"
#include "render/render_context.hpp"
#include "render/scoped_select.hpp"

namespace zivoda {

int32_t RenderContext::DrawTextToCanvas(CanvasHandle canvas, const Rect* box, const char16_t* text,
                                        int32_t length, uint32_t format, uint32_t modulation,
                                        const char* fontId) {
  const Rect localBox = *box;
  Rect clip{0, 0, 0, 0};
  GetCanvasClip(canvas, &clip);
  Rect visible;
  // The cheap test first: a box outside the clip costs no font, measure or object.
  if (!Intersect(visible, clip, localBox)) return 1;

  HFONT font = GetFontRegistry().FindFont(fontId);
  ScopedSelect selectFont(dc_, font);
  const Rect textBox = LayoutTextBox(dc_, localBox, text, length, format);
  if (!Intersect(visible, visible, textBox)) {
    selectFont.Restore();
    return 1;
  }

  HBITMAP bitmap = CreateCompatibleBitmap(dc_, Width(visible), Height(visible));
  ScopedSelect selectBitmap(dc_, bitmap);
  // Bitmap pixel (0, 0) shows canvas point (visible.left, visible.top).
  SetViewportOrgEx(dc_, ClampToInt32(int64_t{textBox.left} - visible.left),
                   ClampToInt32(int64_t{textBox.top} - visible.top), nullptr);
  Rect drawing{0, 0, Width(textBox), Height(textBox)};
  DrawTextW(dc_, text, length, &drawing, format);

  const TextureHandle texture = BitmapToTexture(dc_, bitmap);
  SetTextureFilter(texture, TextureFilter{0, 0, 0, 1});
  ShuffleTexture(texture, 6);
  DrawModulation(canvas, visible.left, visible.top, texture, modulation);
  DeleteTexture(texture);

  selectBitmap.Restore();
  DeleteObject(bitmap);
  selectFont.Restore();
  return 1;
}

}  // namespace zivoda
