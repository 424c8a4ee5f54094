// HarfBuzz shaping of one segment, and the bounded cache of shaped segments keyed
// by face serial, script, direction, scale and text. Kerning is on: GDI's
// DrawTextW does not kern Latin text, so kerned pairs may measure a pixel or two
// differently from Windows (mostly narrower); a deliberate choice for quality.
#include "platform/text_shaper.h"

#include <hb.h>

#include <algorithm>

#include <string>

#include "platform/text_lru_cache.h"

namespace zivoda::gdi {
namespace {

struct Key {
  uint64_t serial;
  uint32_t script;
  bool rtl;
  int64_t num;
  int64_t den;
  std::u16string text;
  bool operator==(const Key&) const = default;
};

size_t HashOf(uint64_t serial, uint32_t script, bool rtl, const PixelScale& scale, std::u16string_view text) {
  size_t h = HashUnits(text);
  h ^= (serial * 0x9E3779B97F4A7C15ull) + (uint64_t{script} << 1) + (rtl ? 1 : 0);
  h ^= static_cast<uint64_t>(scale.num * 0x100000001B3ll + scale.den) * 0xC2B2AE3D27D4EB4Full;
  return h;
}

using Cache = LruCache<Key, std::vector<ShapedGlyph>>;

Cache& ShapeCache() {
  static auto* const cache = new Cache(kShapeCacheEntries);
  return *cache;
}

hb_buffer_t* Buffer() {
  static hb_buffer_t* const buffer = hb_buffer_create();
  return buffer;
}

void Shape(FontFace& face, std::u16string_view text, uint32_t script, bool rtl, const PixelScale& scale,
           std::vector<ShapedGlyph>& out) {
  hb_font_t* font = face.ShapingFont();
  if (font == nullptr || text.empty()) return;
  hb_buffer_t* buffer = Buffer();
  hb_buffer_clear_contents(buffer);
  hb_buffer_add_utf16(buffer, reinterpret_cast<const uint16_t*>(text.data()), static_cast<int>(text.size()), 0,
                      static_cast<int>(text.size()));
  hb_buffer_set_direction(buffer, rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
  hb_buffer_set_script(buffer, static_cast<hb_script_t>(script));
  hb_buffer_set_language(buffer, hb_language_get_default());
  hb_buffer_set_cluster_level(buffer, HB_BUFFER_CLUSTER_LEVEL_MONOTONE_CHARACTERS);
  hb_shape(font, buffer, nullptr, 0);
  unsigned int count = 0;
  const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
  const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
  out.reserve(out.size() + count);
  for (unsigned int i = 0; i < count; ++i) {
    ShapedGlyph glyph{info[i].codepoint, info[i].cluster, pos[i].x_advance, pos[i].x_offset, pos[i].y_offset, 0, 0, 0};
    glyph.advancePixels = std::max(0, scale.Pixels(glyph.xAdvance));
    glyph.xPixels = scale.Pixels(glyph.xOffset);
    glyph.yPixels = -scale.Pixels(glyph.yOffset);
    out.push_back(glyph);
  }
}

}  // namespace

void ShapeSegment(FontFace& face, std::u16string_view text, uint32_t script, bool rtl, const PixelScale& scale,
                  uint32_t clusterBase, std::vector<ShapedGlyph>& out) {
  const size_t first = out.size();
  if (text.size() > kShapeCacheMaxUnits) {
    Shape(face, text, script, rtl, scale, out);
  } else {
    Cache& cache = ShapeCache();
    const uint64_t serial = face.Serial();
    const size_t hash = HashOf(serial, script, rtl, scale, text);
    const auto same = [&](const Key& key) {
      return key.serial == serial && key.script == script && key.rtl == rtl && key.num == scale.num &&
             key.den == scale.den && key.text == text;
    };
    if (const std::vector<ShapedGlyph>* glyphs = cache.Find(hash, same)) {
      out.insert(out.end(), glyphs->begin(), glyphs->end());
    } else {
      Shape(face, text, script, rtl, scale, out);
      cache.Insert(hash, Key{serial, script, rtl, scale.num, scale.den, std::u16string(text)},
                   std::vector<ShapedGlyph>(out.begin() + static_cast<std::ptrdiff_t>(first), out.end()),
                   [](const Key&, const std::vector<ShapedGlyph>&) {});
    }
  }
  for (size_t i = first; i < out.size(); ++i) out[i].cluster += clusterBase;
}

size_t CachedShapes() { return ShapeCache().size(); }

}  // namespace zivoda::gdi
