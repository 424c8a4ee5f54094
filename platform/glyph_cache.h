// Rasterised glyphs: FreeType's anti-aliased coverage for a glyph of a face at
// a size, synthetic bold and oblique applied, in a bounded LRU (kGlyphCacheEntries
// glyphs, kGlyphCacheBytes of coverage) so a repeated draw never rasterises an
// outline again. Above kMaxGlyphEm pixels per em glyphs are not rasterised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/text_run.h"

namespace zivoda::gdi {

constexpr size_t kGlyphCacheEntries = 8192;
constexpr size_t kGlyphCacheBytes = size_t{8} << 20;
constexpr int64_t kMaxGlyphEm = 2048;

struct GlyphImage {
  int32_t left = 0;   // from the pen position to the first column
  int32_t top = 0;    // from the baseline up to the first row
  int32_t width = 0;   // columns with ink, padded with zero columns to a multiple of 4
  int32_t height = 0;
  std::vector<uint8_t> coverage;  // rows top first, width bytes each
};

// The image of glyph in font, valid until the next call. Failure: null (the
// glyph cannot be loaded, or the size is above kMaxGlyphEm).
const GlyphImage* RasterizedGlyph(const RunFont& font, uint32_t glyph);

struct GlyphCacheStats {
  size_t entries = 0;
  size_t bytes = 0;
  size_t rasterized = 0;  // outlines rendered since the process started
};
GlyphCacheStats GlyphCacheUsage();

}  // namespace zivoda::gdi
