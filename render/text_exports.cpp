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

// The text as UTF-16 in one buffer that calls reuse (calls come from one thread
// at a time), so measuring the same strings every frame allocates nothing. A
// buffer grown past a large text is given back after the call.
//
// Four zero units follow the text: with DT_MODIFYSTRING and an ellipsis flag,
// DrawTextW writes the shortened text back into the buffer, up to four units
// past the text's length, and the host's flags reach it unchanged.
class WideText {
 public:
  explicit WideText(const char* text) {
    std::u16string& b = Buffer();
    zivoda::Utf8ToUtf16(text, ByteLength(text), b);
    length_ = static_cast<int32_t>(b.size());
    b.resize(b.size() + kRoomToModify);
  }
  ~WideText() {
    if (Buffer().capacity() > kKeptUnits) std::u16string().swap(Buffer());
  }
  WideText(const WideText&) = delete;
  WideText& operator=(const WideText&) = delete;
  char16_t* data() const { return Buffer().data(); }
  int32_t length() const { return length_; }

 private:
  static constexpr size_t kKeptUnits = 16 * 1024;
  static constexpr size_t kRoomToModify = 4;
  int32_t length_ = 0;
  static std::u16string& Buffer() {
    static std::u16string buffer;
    return buffer;
  }
};

}  // namespace

extern "C" int32_t vxCalcTextBox(Rect* box, const char* text, uint32_t format, const char* fontId) {
  if (box == nullptr || text == nullptr || fontId == nullptr) return 1;
  const WideText wide(text);
  return zivoda::GetRenderContext().CalcTextBox(box, wide.data(), wide.length(), format, fontId);
}

extern "C" int32_t vxDrawText(CanvasHandle canvas, const Rect* box, const char* text, uint32_t format,
                              uint32_t modulation, const char* fontId) {
  if (box == nullptr || text == nullptr || fontId == nullptr) return 1;
  const WideText wide(text);
  return zivoda::GetRenderContext().DrawTextToCanvas(canvas, box, wide.data(), wide.length(), format, modulation,
                                                     fontId);
}
