// A least-recently-used map from (font handle, layout flags, width, tab
// interval, text) to a finished layout. Font handles carry a generation, so a
// handle reused after DeleteObject never finds an old font's layouts.
#include "platform/layout_cache.h"

#include <string>

#include "platform/text_lru_cache.h"

namespace zivoda::gdi {
namespace {

// The flags that change a layout; the rest only place or paint it.
constexpr UINT kLayoutFlags = DT_WORDBREAK | DT_SINGLELINE | DT_EXPANDTABS | DT_EXTERNALLEADING | DT_NOPREFIX |
                              DT_EDITCONTROL | DT_PATH_ELLIPSIS | DT_END_ELLIPSIS | DT_RTLREADING |
                              DT_WORD_ELLIPSIS | DT_NOFULLWIDTHCHARBREAK | DT_HIDEPREFIX;

struct Key {
  uintptr_t font;
  UINT format;
  int64_t width;
  int64_t tabInterval;
  std::u16string text;
  bool operator==(const Key&) const = default;
};

size_t HashOf(uintptr_t font, const LayoutRequest& request, std::u16string_view text) {
  size_t h = HashUnits(text);
  h ^= font * 0x9E3779B97F4A7C15ull;
  h ^= (static_cast<uint64_t>(request.format) << 32) + static_cast<uint64_t>(request.width) * 0xC2B2AE3D27D4EB4Full +
       static_cast<uint64_t>(request.tabInterval);
  return h;
}

size_t EntryBytes(const Key& key, const TextLayout& layout) { return layout.bytes + key.text.size() * 2 + sizeof(Key); }

struct Cache {
  LruCache<Key, std::shared_ptr<const TextLayout>> entries{kLayoutCacheEntries};
  size_t bytes = 0;
  // Evicted layouts no caller holds, whose memory the next layout reuses.
  std::vector<std::shared_ptr<TextLayout>> spare;
};

constexpr size_t kSpareLayouts = 4;

Cache& Layouts() {
  static auto* const cache = new Cache;
  return *cache;
}

}  // namespace

std::shared_ptr<const TextLayout> CachedLayout(HFONT handle, const Font& font, std::u16string_view text,
                                               LayoutRequest request) {
  request.format &= kLayoutFlags;
  const bool widthMatters =
      ((request.format & DT_WORDBREAK) != 0 && (request.format & DT_SINGLELINE) == 0) ||
      (request.format & (DT_PATH_ELLIPSIS | DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) != 0;
  if (!widthMatters) request.width = 0;
  if ((request.format & DT_EXPANDTABS) == 0) request.tabInterval = 0;
  if (text.size() > kLayoutCacheMaxUnits) return LayOutText(font, text, request);

  Cache& cache = Layouts();
  const uintptr_t fontKey = reinterpret_cast<uintptr_t>(handle);
  const size_t hash = HashOf(fontKey, request, text);
  const auto same = [&](const Key& key) {
    return key.font == fontKey && key.format == request.format && key.width == request.width &&
           key.tabInterval == request.tabInterval && key.text == text;
  };
  if (const auto* found = cache.entries.Find(hash, same)) return *found;
  std::shared_ptr<TextLayout> reuse;
  if (!cache.spare.empty()) {
    reuse = std::move(cache.spare.back());
    cache.spare.pop_back();
  }
  std::shared_ptr<const TextLayout> layout = LayOutText(font, text, request, std::move(reuse));
  Key key{fontKey, request.format, request.width, request.tabInterval, std::u16string(text)};
  const size_t bytes = EntryBytes(key, *layout);
  const auto evicted = [&cache](const Key& old, const std::shared_ptr<const TextLayout>& value) {
    cache.bytes -= EntryBytes(old, *value);
    // Only the cache holds it: its arrays can serve the next layout. Large
    // ones go, so the spares never hold much memory.
    if (value.use_count() == 1 && value->bytes < 16384 && cache.spare.size() < kSpareLayouts) {
      cache.spare.push_back(std::const_pointer_cast<TextLayout>(value));
    }
  };
  cache.entries.Insert(hash, std::move(key), layout, evicted);
  cache.bytes += bytes;
  while (cache.entries.size() > 1 && cache.bytes > kLayoutCacheBytes) cache.entries.EvictOldest(evicted);
  return layout;
}

LayoutCacheStats LayoutCacheUsage() { return LayoutCacheStats{Layouts().entries.size(), Layouts().bytes}; }

}  // namespace zivoda::gdi
