// Fonts: CreateFontIndirectW matches the LOGFONTW through fontconfig, opens the
// face through the face cache, notes what must be synthesised and fixes the
// metrics at the requested height; GetTextMetricsW reads them back.
#include "platform/gdi_font.h"

#include <algorithm>
#include <string_view>

#include "platform/font_face_cache.h"
#include "platform/font_matcher.h"
#include "platform/gdi_handles.h"

namespace zivoda::gdi {
namespace {

// lfWeight as the matcher takes it: FW_DONTCARE is FW_NORMAL; outside 1..1000 clamped.
int RequestedWeight(LONG weight) {
  if (weight == FW_DONTCARE) return FW_NORMAL;
  return std::clamp<LONG>(weight, 1, 1000);
}

// The face name up to its terminator, at most LF_FACESIZE units.
std::u16string_view FaceName(const LOGFONTW& logfont) {
  const auto* end = std::find(std::begin(logfont.lfFaceName), std::end(logfont.lfFaceName), u'\0');
  return std::u16string_view(logfont.lfFaceName, static_cast<size_t>(end - std::begin(logfont.lfFaceName)));
}

}  // namespace

Font* FindFont(HGDIOBJ handle) { return Handles().Find<Font>(handle); }

HFONT CreateFontObject(const LOGFONTW& logfont, bool stock) {
  const int weight = RequestedWeight(logfont.lfWeight);
  const bool italic = logfont.lfItalic != 0;
  const std::optional<FontMatch> match = MatchFont(FaceName(logfont), weight, italic);
  if (!match) return nullptr;
  std::shared_ptr<FontFace> face = OpenFontFace(match->file, match->index);
  if (!face) return nullptr;

  auto font = std::make_unique<Font>();
  font->logfont = logfont;
  // Bold is synthesised when semibold or heavier is asked of a face lighter than
  // semibold; oblique when italic is asked of an upright face.
  font->syntheticBold = weight >= FW_SEMIBOLD && match->weight < FW_SEMIBOLD;
  font->syntheticOblique = italic && !match->italic;
  const int faceWeight = face->Units().weightClass >= 1 && face->Units().weightClass <= 1000
                             ? face->Units().weightClass
                             : match->weight;
  const FontStyle style{font->syntheticBold ? weight : faceWeight, match->italic || font->syntheticOblique};
  font->metrics = RealizeMetrics(face->Units(), logfont, style);
  font->face = std::move(face);
  return static_cast<HFONT>(Handles().Add(std::move(font), stock));
}

}  // namespace zivoda::gdi

HFONT CreateFontIndirectW(const LOGFONTW* logfont) {
  if (logfont == nullptr) return nullptr;
  return zivoda::gdi::CreateFontObject(*logfont, false);
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics) {
  const zivoda::gdi::DeviceContext* dc = zivoda::gdi::FindDC(hdc);
  if (dc == nullptr || metrics == nullptr) return 0;
  const zivoda::gdi::Font* font = zivoda::gdi::FindFont(dc->font);
  if (font == nullptr) return 0;
  *metrics = font->metrics.tm;
  return 1;
}
