// Per-character font fallback: when the selected face has no glyph for a
// character, the installed font that fontconfig ranks first for the selected
// family and style among those that cover it. Bounded caches: a few primary
// faces, each with a capped memo of answers.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/font_face.h"

namespace zivoda::gdi {

// Primary faces whose fallback lists are kept, and answers kept for each.
constexpr size_t kFallbackPrimaries = 8;
constexpr size_t kFallbackMemo = 4096;

// The face that draws codePoint for text in primary (weight on the OpenType
// scale, italic): primary itself when it has the glyph, else the best covering
// font. Failure: null (no installed font covers it; the primary's .notdef box
// is then drawn).
std::shared_ptr<FontFace> FallbackFace(const std::shared_ptr<FontFace>& primary, int weight, bool italic,
                                       char32_t codePoint);

}  // namespace zivoda::gdi
