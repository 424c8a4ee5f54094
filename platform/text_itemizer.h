// Itemizing a paragraph for shaping: bidirectional levels (ICU, UAX #9, with the
// base direction DT_RTLREADING asks for), script runs, the face of each
// character (font fallback), and word boundaries, giving the segments that are
// shaped one by one and cached.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/text_run.h"

namespace zivoda::gdi {

// The faces a layout draws with: [0] is the selected font, fallbacks follow.
struct FontSet {
  std::vector<RunFont> fonts;
  int weight = 400;     // requested weight, for fallback matching and synthesis
  bool italic = false;  // requested slant
  // The index of face in fonts, added (scaled to the selected font's em) if new.
  uint16_t IndexOf(const std::shared_ptr<FontFace>& face);
};

// A stretch of one paragraph shaped as a whole: one face, one script, one bidi
// level, one word (it ends after white space). Control characters form
// segments of their own with no glyphs.
struct Segment {
  uint32_t start = 0;
  uint32_t end = 0;
  uint16_t font = 0;
  uint8_t level = 0;   // bidi embedding level; odd is right to left
  bool control = false;
  uint32_t script = 0;  // ISO 15924 tag as HarfBuzz takes it
};

// C0 controls and DEL: no glyph and no width (CR, LF and TAB among them, as
// Windows measures them; expanded tabs get their width from the layout).
bool IsControlUnit(char16_t unit);

// levels gets one entry a unit, or stays empty when every level is 0.
void ResolveLevels(std::u16string_view text, bool rtlBase, std::vector<uint8_t>& levels);

// Splits the paragraph into segments (appended to out) with the face of each
// character chosen through fonts (fallback per character, marks stay with their
// base's face when it has them).
void Itemize(std::u16string_view text, const std::vector<uint8_t>& levels, FontSet& fonts,
             std::vector<Segment>& out);

}  // namespace zivoda::gdi
