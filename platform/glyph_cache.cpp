// Glyph rasterisation through FreeType (light hinting, 8-bit anti-aliasing) and
// its cache. The FT_Face is shared by every size, so the size is set on each
// rasterisation; a hit touches FreeType not at all.
#include "platform/glyph_cache.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <cstring>

#include "platform/text_lru_cache.h"

namespace zivoda::gdi {
namespace {

struct Key {
  uint64_t serial;
  uint32_t glyph;
  int64_t em64;  // pixels per em in 26.6
  uint8_t synthesis;
  bool operator==(const Key&) const = default;
};

size_t HashOf(const Key& key) {
  uint64_t h = key.serial * 0x9E3779B97F4A7C15ull;
  h ^= (uint64_t{key.glyph} << 8 | key.synthesis) * 0xC2B2AE3D27D4EB4Full;
  h ^= static_cast<uint64_t>(key.em64) * 0x165667B19E3779F9ull;
  return static_cast<size_t>(h ^ (h >> 29));
}

size_t ImageBytes(const GlyphImage& image) { return image.coverage.size() + sizeof(GlyphImage); }

struct Cache {
  LruCache<Key, GlyphImage> entries{kGlyphCacheEntries};
  size_t bytes = 0;
  size_t rasterized = 0;
};

Cache& Glyphs() {
  static auto* const cache = new Cache;
  return *cache;
}

bool Rasterize(const RunFont& font, uint32_t glyph, int64_t em64, GlyphImage& out) {
  FT_Face face = font.face->Handle();
  if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(em64), 72, 72) != 0) return false;
  if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  if (font.syntheticOblique) FT_GlyphSlot_Oblique(slot);
  if (font.syntheticBold) FT_GlyphSlot_Embolden(slot);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return false;
  const FT_Bitmap& bitmap = slot->bitmap;
  out.left = slot->bitmap_left;
  out.top = slot->bitmap_top;
  const auto inked = static_cast<int32_t>(bitmap.width);
  // Zero columns up to a multiple of 4 let the blender work in whole groups.
  out.width = (inked + 3) / 4 * 4;
  out.height = static_cast<int32_t>(bitmap.rows);
  out.coverage.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0);
  for (int32_t y = 0; y < out.height; ++y) {
    const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
    if (bitmap.pitch < 0) row = bitmap.buffer + static_cast<ptrdiff_t>(out.height - 1 - y) * -bitmap.pitch;
    std::memcpy(out.coverage.data() + static_cast<size_t>(y) * static_cast<size_t>(out.width), row,
                static_cast<size_t>(inked));
  }
  return true;
}

}  // namespace

const GlyphImage* RasterizedGlyph(const RunFont& font, uint32_t glyph) {
  if (!font.face || font.scale.den <= 0) return nullptr;
  // Pixels per em in 26.6: the face's units per em through the font's scale.
  const int64_t em64 = int64_t{font.face->Units().unitsPerEm} * font.scale.num * 64 / font.scale.den;
  if (em64 < 1 || em64 > kMaxGlyphEm * 64) return nullptr;
  Cache& cache = Glyphs();
  const Key key{font.face->Serial(), glyph, em64,
                static_cast<uint8_t>((font.syntheticBold ? 1 : 0) | (font.syntheticOblique ? 2 : 0))};
  const size_t hash = HashOf(key);
  if (const GlyphImage* found = cache.entries.Find(hash, [&](const Key& k) { return k == key; })) return found;
  GlyphImage image;
  if (!Rasterize(font, glyph, em64, image)) image = GlyphImage{};  // kept empty: not retried
  ++cache.rasterized;
  // Make room first, so the entry returned is never the one evicted.
  const auto evicted = [&cache](const Key&, const GlyphImage& old) { cache.bytes -= ImageBytes(old); };
  while (cache.entries.size() > 0 && cache.bytes + ImageBytes(image) > kGlyphCacheBytes) {
    cache.entries.EvictOldest(evicted);
  }
  cache.bytes += ImageBytes(image);
  return &cache.entries.Insert(hash, key, std::move(image), evicted);
}

GlyphCacheStats GlyphCacheUsage() {
  const Cache& cache = Glyphs();
  return GlyphCacheStats{cache.entries.size(), cache.bytes, cache.rasterized};
}

}  // namespace zivoda::gdi
