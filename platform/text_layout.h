// The lines of a DrawTextW layout: hard breaks, & prefixes, tabs, soft breaks,
// the three ellipsis styles, and each line's glyphs in visual order in whole
// pixels. Placement in the rectangle is left to DrawTextW, so one layout serves
// every rectangle of the same width (and is what the layout cache keeps).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi.h"
#include "platform/gdi_font.h"
#include "platform/text_itemizer.h"
#include "platform/text_run.h"

namespace zivoda::gdi {

struct LayoutRequest {
  UINT format = 0;        // DrawTextW flags; DT_TABSTOP's bits 8-15 already cleared
  int64_t width = 0;      // the formatting width: rectangle minus margins
  int64_t tabInterval = 0;  // pixels between tab stops when DT_EXPANDTABS applies
};

struct LayoutLine {
  size_t sourceEnd = 0;  // source units consumed up to the end of this line, breaks included
  int32_t width = 0;     // without white space hanging at a soft break
  bool hasPrefix = false;  // the last & prefix on the line, as a pixel span
  int32_t prefixLeft = 0;
  int32_t prefixRight = 0;
  uint32_t runBegin = 0;  // the line's runs: [runBegin, runEnd) of the layout's runs
  uint32_t runEnd = 0;
};

struct TextLayout {
  uint64_t serial = 0;  // unique per layout made, for caches of what is drawn from it
  FontSet fonts;
  std::vector<LayoutLine> lines;
  std::vector<GlyphRun> runs;
  std::vector<PlacedGlyph> glyphs;
  int32_t lineHeight = 0;
  int32_t ascent = 0;
  int64_t maxWidth = 0;
  Decoration underline;
  Decoration strikeout;
  bool underlined = false;
  bool struckOut = false;
  bool modified = false;     // an end or path ellipsis shortened the text
  std::u16string modifiedText;  // the displayed text in source form, for DT_MODIFYSTRING
  size_t bytes = 0;          // approximate memory held, for the layout cache's bound
};

// Lays out text (UTF-16, any content) in font by request. Never fails: bad
// input (unpaired surrogates, controls, NULs) lays out as documented per
// character.
std::shared_ptr<const TextLayout> LayOutText(const Font& font, std::u16string_view text, const LayoutRequest& request);

// The same, filling reuse (a layout no one else holds any more) so that its
// arrays' memory serves again; a null reuse makes a new layout.
std::shared_ptr<const TextLayout> LayOutText(const Font& font, std::u16string_view text, const LayoutRequest& request,
                                             std::shared_ptr<TextLayout> reuse);

}  // namespace zivoda::gdi
