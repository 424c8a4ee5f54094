// Shaping with HarfBuzz: a segment in one face, script and direction becomes
// glyphs (kerning, ligatures, Arabic joining, Indic reordering, marks from the
// font's OpenType tables), in font units and in pixels. Results are cached per
// face, scale and segment in a bounded LRU, so a host's words are shaped once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/font_face.h"
#include "platform/text_run.h"

namespace zivoda::gdi {

// Segments kept, and the longest segment (UTF-16 units) that is cached.
constexpr size_t kShapeCacheEntries = 8192;
constexpr size_t kShapeCacheMaxUnits = 64;

// Appends the glyphs of text, shaped in face with script (an ISO 15924 tag as
// HarfBuzz takes it) right to left when rtl, to out, in visual order, with
// clusterBase added to each cluster and pixel values at scale. Failure: nothing
// appended (no HarfBuzz font).
void ShapeSegment(FontFace& face, std::u16string_view text, uint32_t script, bool rtl, const PixelScale& scale,
                  uint32_t clusterBase, std::vector<ShapedGlyph>& out);

// How many segments the cache holds now.
size_t CachedShapes();

}  // namespace zivoda::gdi
