// The exported measuring and drawing calls. A null box, text or font id is
// refused (the call returns 1 and does nothing) instead of being dereferenced.
#include <cstring>
#include <limits>
#include <string>

#include "render/render_context.hpp"
#include "ziVodaRerodo.h"
#include "ziVodaRerodo/utf.hpp"

namespace {

// The byte length of a zero-terminated string as the converter's 32-bit count;
// a longer text is cut to the largest count, whose buffer size then fails to fit.
int32_t ByteLength(const char* text) {
  const size_t n = std::strlen(text);
  return n > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                     : static_cast<int32_t>(n);
}

}  // namespace

extern "C" int32_t vxCalcTextBox(Rect* box, const char* text, uint32_t format, const char* fontId) {
  if (box == nullptr || text == nullptr || fontId == nullptr) return 1;
  std::u16string wide;
  zivoda::Utf8ToUtf16(text, ByteLength(text), wide);
  return zivoda::GetRenderContext().CalcTextBox(box, wide.data(), static_cast<int32_t>(wide.size()), format,
                                                fontId);
}

extern "C" int32_t vxDrawText(CanvasHandle canvas, const Rect* box, const char* text, uint32_t format,
                              uint32_t modulation, const char* fontId) {
  if (box == nullptr || text == nullptr || fontId == nullptr) return 1;
  std::u16string wide;
  zivoda::Utf8ToUtf16(text, ByteLength(text), wide);
  return zivoda::GetRenderContext().DrawTextToCanvas(canvas, box, wide.data(), static_cast<int32_t>(wide.size()),
                                                     format, modulation, fontId);
}
