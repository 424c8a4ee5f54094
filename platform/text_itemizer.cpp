// Bidi levels through ICU's UBiDi (UAX #9) with the paragraph level given by
// DT_RTLREADING; scripts through HarfBuzz's Unicode functions with Common and
// Inherited characters joining their neighbours (UAX #24); faces per character
// through font fallback. Pure left-to-right text skips ICU altogether.
#include "platform/text_itemizer.h"

#include <hb.h>
#include <unicode/ubidi.h>

#include <algorithm>

#include "platform/font_fallback.h"
#include "platform/line_breaker.h"

namespace zivoda::gdi {
namespace {

struct BidiCloser {
  void operator()(UBiDi* bidi) const { ubidi_close(bidi); }
};

char32_t Decode(std::u16string_view text, size_t i, size_t& length) {
  const char16_t u = text[i];
  length = 1;
  if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
    length = 2;
    return 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00);
  }
  if (u >= 0xD800 && u <= 0xDFFF) return 0xFFFD;  // unpaired surrogate
  return u;
}

bool IsMark(hb_unicode_funcs_t* funcs, char32_t c) {
  if (c < 0x300) return false;
  const hb_unicode_general_category_t gc = hb_unicode_general_category(funcs, c);
  return gc == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK || gc == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK ||
         gc == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK || c == 0x200C || c == 0x200D ||
         (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF);
}

hb_script_t ScriptOf(hb_unicode_funcs_t* funcs, char32_t c) {
  if (c < 0x80) {
    return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') ? HB_SCRIPT_LATIN : HB_SCRIPT_COMMON;
  }
  return hb_unicode_script(funcs, c);
}

}  // namespace

uint16_t FontSet::IndexOf(const std::shared_ptr<FontFace>& face) {
  for (size_t i = 0; i < fonts.size(); ++i) {
    if (fonts[i].face == face) return static_cast<uint16_t>(i);
  }
  if (fonts.empty() || fonts.size() >= 0xFFFF) return 0;
  const RunFont& primary = fonts.front();
  RunFont added;
  added.face = face;
  // The same em as the selected font: units of face scale by the primary's
  // pixels per em over this face's units per em.
  added.scale.num = primary.scale.num * primary.face->Units().unitsPerEm;
  added.scale.den = primary.scale.den * face->Units().unitsPerEm;
  added.syntheticBold = weight >= FW_SEMIBOLD && face->Units().weightClass < FW_SEMIBOLD;
  added.syntheticOblique = italic && !face->Slanted();
  fonts.push_back(std::move(added));
  return static_cast<uint16_t>(fonts.size() - 1);
}

bool IsControlUnit(char16_t unit) { return unit < 0x20 || unit == 0x7F; }

void ResolveLevels(std::u16string_view text, bool rtlBase, std::vector<uint8_t>& levels) {
  levels.clear();
  const bool needed = rtlBase || std::any_of(text.begin(), text.end(), [](char16_t u) { return u >= 0x0590; });
  if (!needed || text.empty() || text.size() > static_cast<size_t>(INT32_MAX)) return;
  static std::unique_ptr<UBiDi, BidiCloser> bidi(ubidi_open());
  if (!bidi) return;
  UErrorCode error = U_ZERO_ERROR;
  ubidi_setPara(bidi.get(), text.data(), static_cast<int32_t>(text.size()), rtlBase ? 1 : 0, nullptr, &error);
  if (U_FAILURE(error)) return;
  const UBiDiLevel* resolved = ubidi_getLevels(bidi.get(), &error);
  if (U_FAILURE(error) || resolved == nullptr) return;
  levels.assign(resolved, resolved + text.size());
  for (uint8_t& level : levels) level = static_cast<uint8_t>(std::min<int>(level, UBIDI_MAX_EXPLICIT_LEVEL + 1));
  ubidi_setPara(bidi.get(), u"", 0, 0, nullptr, &error);  // drop the pointer to text
}

void Itemize(std::u16string_view text, const std::vector<uint8_t>& levels, FontSet& fonts,
             std::vector<Segment>& out) {
  if (text.empty() || fonts.fonts.empty()) return;
  hb_unicode_funcs_t* funcs = hb_unicode_funcs_get_default();
  const std::shared_ptr<FontFace> primary = fonts.fonts.front().face;  // a copy: fonts grows
  // Printable ASCII the selected face covers (most UI text): one Latin segment a
  // word, no fallback, no bidi, without the per-character analysis below.
  if (levels.empty() && std::all_of(text.begin(), text.end(), [&](char16_t u) {
        return u >= 0x20 && u < 0x7F && primary->GlyphFor(u) != 0;
      })) {
    Segment segment;
    segment.script = HB_SCRIPT_LATIN;
    for (size_t i = 0; i < text.size();) {
      size_t end = i;
      while (end < text.size() && text[end] != u' ') ++end;
      while (end < text.size() && text[end] == u' ') ++end;
      segment.start = static_cast<uint32_t>(i);
      segment.end = static_cast<uint32_t>(end);
      out.push_back(segment);
      i = end;
    }
    return;
  }
  Segment current;
  bool open = false;
  bool afterSpace = false;
  hb_script_t lastScript = HB_SCRIPT_COMMON;
  size_t i = 0;
  while (i < text.size()) {
    size_t length = 1;
    const char32_t c = Decode(text, i, length);
    const uint8_t level = levels.empty() ? 0 : levels[i];
    if (IsControlUnit(text[i])) {
      if (open) out.push_back(current);
      Segment control;
      control.start = static_cast<uint32_t>(i);
      control.end = static_cast<uint32_t>(i + 1);
      control.level = level;
      control.control = true;
      out.push_back(control);
      open = false;
      afterSpace = false;
      i += 1;
      continue;
    }
    // The face: the primary when it has the glyph; a mark stays with its base's
    // face when that face has it; otherwise fallback.
    uint16_t font = 0;
    if (primary->GlyphFor(c) == 0) {
      if (open && IsMark(funcs, c) && fonts.fonts[current.font].face->GlyphFor(c) != 0) {
        font = current.font;
      } else if (std::shared_ptr<FontFace> face = FallbackFace(primary, fonts.weight, fonts.italic, c)) {
        font = fonts.IndexOf(face);
      }
    }
    hb_script_t script = ScriptOf(funcs, c);
    const bool neutral = script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
    if (neutral) script = open ? static_cast<hb_script_t>(current.script) : lastScript;
    const bool space = IsBreakSpace(text[i]);
    const bool startNew = !open || font != current.font || level != current.level ||
                          (!neutral && static_cast<uint32_t>(script) != current.script) || (afterSpace && !space);
    if (startNew) {
      if (open) out.push_back(current);
      current = Segment{};
      current.start = static_cast<uint32_t>(i);
      current.font = font;
      current.level = level;
      current.script = static_cast<uint32_t>(script);
      open = true;
    } else if (current.script == HB_SCRIPT_COMMON && !neutral) {
      current.script = static_cast<uint32_t>(script);
    }
    if (!neutral) lastScript = script;
    current.end = static_cast<uint32_t>(i + length);
    afterSpace = space;
    i += length;
  }
  if (open) out.push_back(current);
}

}  // namespace zivoda::gdi
