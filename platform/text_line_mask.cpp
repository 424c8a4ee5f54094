// Line masks: the glyph images of a line composited with the "over" rule for
// one colour (c = a + b - ab/255), which is what blending them one after the
// other in the same colour gives, then kept in a bounded LRU keyed by the
// layout's serial and the line.
#include "platform/text_line_mask.h"

#include <algorithm>
#include <climits>

#include "platform/text_lru_cache.h"

namespace zivoda::gdi {
namespace {

struct Key {
  uint64_t layout;
  size_t line;
  bool operator==(const Key&) const = default;
};

struct Cache {
  LruCache<Key, GlyphImage> entries{kLineMaskEntries};
  size_t bytes = 0;
};

Cache& Masks() {
  static auto* const cache = new Cache;
  return *cache;
}

size_t Bytes(const GlyphImage& image) { return image.coverage.size() + sizeof(GlyphImage); }

// Calls f(image, x, y) for every drawn glyph of the line, with the image's top-left
// corner in line coordinates. Images are fetched afresh on every walk: a glyph
// cache may evict an earlier image while a later one is rasterised.
template <class F>
void ForEachGlyphImage(const TextLayout& layout, const LayoutLine& line, F&& f) {
  for (uint32_t r = line.runBegin; r < line.runEnd; ++r) {
    const GlyphRun& run = layout.runs[r];
    for (uint32_t g = run.begin; g < run.end; ++g) {
      const PlacedGlyph& glyph = layout.glyphs[g];
      const GlyphImage* image = RasterizedGlyph(layout.fonts.fonts[run.font], glyph.glyph);
      if (image == nullptr || image->width == 0 || image->height == 0) continue;
      f(*image, int64_t{glyph.x} + image->left, int64_t{layout.ascent} + glyph.y - image->top);
    }
  }
}

bool Build(const TextLayout& layout, const LayoutLine& line, GlyphImage& mask) {
  int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
  ForEachGlyphImage(layout, line, [&](const GlyphImage& image, int64_t x, int64_t y) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x + image.width);
    bottom = std::max(bottom, y + image.height);
  });
  if (left >= right || top >= bottom) return false;
  const int64_t width = (right - left + 7) / 8 * 8;
  const int64_t height = bottom - top;
  if (width * height > static_cast<int64_t>(kLineMaskMaxBytes)) return false;
  mask.left = static_cast<int32_t>(left);
  mask.top = static_cast<int32_t>(-top);  // GlyphImage's top counts upwards
  mask.width = static_cast<int32_t>(width);
  mask.height = static_cast<int32_t>(height);
  mask.coverage.assign(static_cast<size_t>(width * height), 0);
  ForEachGlyphImage(layout, line, [&](const GlyphImage& image, int64_t gx, int64_t gy) {
    const int64_t x = gx - left;
    const int64_t y = gy - top;
    for (int32_t row = 0; row < image.height; ++row) {
      const uint8_t* in = image.coverage.data() + static_cast<size_t>(row) * image.width;
      uint8_t* out = mask.coverage.data() + (y + row) * width + x;
      for (int32_t col = 0; col < image.width; ++col) {
        const uint32_t a = out[col], b = in[col];
        if (b != 0) out[col] = static_cast<uint8_t>(a + b - (a * b + 127) / 255);
      }
    }
  });
  return true;
}

}  // namespace

const GlyphImage* CachedLineMask(const TextLayout& layout, size_t line) {
  if (line >= layout.lines.size()) return nullptr;
  Cache& cache = Masks();
  const Key key{layout.serial, line};
  const size_t hash = static_cast<size_t>((layout.serial * 0x9E3779B97F4A7C15ull) ^ (line * 0xC2B2AE3D27D4EB4Full));
  if (const GlyphImage* found = cache.entries.Find(hash, [&](const Key& k) { return k == key; })) {
    return found->width == 0 ? nullptr : found;
  }
  GlyphImage mask;
  if (!Build(layout, layout.lines[line], mask)) mask = GlyphImage{};  // remembered as "none"
  const auto evicted = [&cache](const Key&, const GlyphImage& old) { cache.bytes -= Bytes(old); };
  while (cache.entries.size() > 0 && cache.bytes + Bytes(mask) > kLineMaskBytes) cache.entries.EvictOldest(evicted);
  cache.bytes += Bytes(mask);
  const GlyphImage& stored = cache.entries.Insert(hash, key, std::move(mask), evicted);
  return stored.width == 0 ? nullptr : &stored;
}

}  // namespace zivoda::gdi
