// Measures text with DrawTextW's DT_CALCRECT and places the measured box in the
// caller's box by the alignment flags. The library applies DT_BOTTOM and
// DT_VCENTER to text of any number of lines (DrawTextW itself honours them only
// with DT_SINGLELINE); centring wins over right or bottom alignment.
#include "render/rect.hpp"
#include "render/render_context.hpp"

namespace zivoda {

Rect LayoutTextBox(HDC dc, const Rect& box, const char16_t* text, int32_t length, uint32_t format) {
  Rect m = box;
  DrawTextW(dc, text, length, &m, format | DT_CALCRECT);
  // 64-bit arithmetic: a box near the ends of the range cannot overflow. The
  // halving truncates toward zero, as C's integer division does.
  int64_t x = m.left;
  int64_t y = m.top;
  if (format & DT_RIGHT) x = int64_t{box.right} - Width(m);
  if (format & DT_BOTTOM) y = int64_t{box.bottom} - Height(m);
  if (format & DT_CENTER) x = (int64_t{Width(box)} - Width(m)) / 2 + box.left;
  if (format & DT_VCENTER) y = (int64_t{Height(box)} - Height(m)) / 2 + box.top;
  MoveTo(m, ClampToInt32(x), ClampToInt32(y));
  return m;
}

}  // namespace zivoda
