// The layouts of recent DrawTextW calls, keyed by font, the flags that shape a
// layout, the width where it matters and the text: a host measures and draws the
// same strings every frame, and a hit skips shaping and line breaking. Bounded
// in entries and bytes; long texts are laid out without being kept.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/gdi.h"
#include "platform/gdi_font.h"
#include "platform/text_layout.h"

namespace zivoda::gdi {

constexpr size_t kLayoutCacheEntries = 4096;
constexpr size_t kLayoutCacheBytes = size_t{16} << 20;
constexpr size_t kLayoutCacheMaxUnits = 4096;  // longer texts are not kept

// The layout of text in font (the object behind handle) for request, from the
// cache or made now and kept. request.width is ignored unless the flags wrap
// or shorten lines.
std::shared_ptr<const TextLayout> CachedLayout(HFONT handle, const Font& font, std::u16string_view text,
                                               LayoutRequest request);

struct LayoutCacheStats {
  size_t entries = 0;
  size_t bytes = 0;
};
LayoutCacheStats LayoutCacheUsage();

}  // namespace zivoda::gdi
