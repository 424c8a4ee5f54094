// Font descriptions and their platform fonts. Point sizes become character
// heights at 100 units per 72 points, with no device resolution taking part; the
// negative height asks the font mapper for the em height.
#include "fonts/font_info.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "ziVodaRerodo/utf.hpp"

namespace zivoda {
namespace {

// Constructed when the library loads, destroyed last at unloading.
const FontInfo gDefaultFont;

}  // namespace

const FontInfo& DefaultFont() { return gDefaultFont; }

int32_t FontInfo::PointSizeToHeight(int32_t size) {
  const int64_t y = int64_t{size} * 100 / 72;  // truncates toward zero
  const int64_t h = -(y < 0 ? -y : y);
  return static_cast<int32_t>(std::max<int64_t>(h, std::numeric_limits<int32_t>::min()));
}

LOGFONTW FontInfo::Describe() const {
  LOGFONTW lf{};
  lf.lfHeight = PointSizeToHeight(size_);
  lf.lfWeight = bold_ ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = italic_ ? 1 : 0;
  lf.lfUnderline = underline_ ? 1 : 0;
  lf.lfStrikeOut = strike_ ? 1 : 0;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = 0;
  // At most 31 units of the face (a surrogate pair counts as two); the 32nd stays zero.
  std::u16string wide;
  const size_t bytes = std::min(face_.size(), static_cast<size_t>(std::numeric_limits<int32_t>::max() - 1));
  Utf8ToUtf16(face_.data(), static_cast<int32_t>(bytes), wide);
  std::copy_n(wide.data(), std::min<size_t>(wide.size(), LF_FACESIZE - 1), lf.lfFaceName);
  return lf;
}

bool FontInfo::CreateFontHandle() {
  const LOGFONTW lf = Describe();
  font_ = CreateFontIndirectW(&lf);
  return font_ != nullptr;
}

HFONT FontInfo::GetFontHandle() {
  if (font_ == nullptr) CreateFontHandle();
  return font_;
}

void FontInfo::ReleaseFont() {
  if (font_ != nullptr) {
    DeleteObject(font_);
    font_ = nullptr;
  }
}

}  // namespace zivoda
