// The coverage of one laid-out line, all its glyph images composited into one
// 8-bit mask, cached per layout and line: a repeated draw of the same text is
// then one blend pass over long rows instead of a lookup and a short blend per
// glyph. Bounded by kLineMaskEntries masks and kLineMaskBytes of coverage.
#pragma once

#include <cstddef>

#include "platform/glyph_cache.h"
#include "platform/text_layout.h"

namespace zivoda::gdi {

constexpr size_t kLineMaskEntries = 4096;
constexpr size_t kLineMaskBytes = size_t{8} << 20;
constexpr size_t kLineMaskMaxBytes = size_t{1} << 20;  // larger lines draw glyph by glyph

// The mask of line of layout: left is from the line's left end, top from the
// line's top. Valid until the next call. Null when the line has no ink or its
// mask would exceed kLineMaskMaxBytes.
const GlyphImage* CachedLineMask(const TextLayout& layout, size_t line);

}  // namespace zivoda::gdi
