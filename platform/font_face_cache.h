// The FreeType faces opened so far, by file and face index, so that fonts of one
// face share one FT_Face. Bounded: past its capacity the least recently opened
// face leaves the cache (fonts that use it keep it alive).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/font_face.h"

namespace zivoda::gdi {

constexpr size_t kFontFaceCacheCapacity = 8;

// The cached face, or a newly opened one; null when it cannot be opened.
std::shared_ptr<FontFace> OpenFontFace(const std::string& file, int index);

// How many faces the cache holds now.
size_t CachedFontFaces();

}  // namespace zivoda::gdi
