// A small most-recently-used list of opened faces keyed by file and face index:
// fonts of the same face share one FT_Face, and the cache never holds more than
// kFontFaceCacheCapacity faces of its own.
#include "platform/font_face_cache.h"

#include <algorithm>
#include <list>

namespace zivoda::gdi {
namespace {

// Front = most recently used. Never destroyed, like the handle table whose fonts
// refer to these faces.
std::list<std::shared_ptr<FontFace>>& Cache() {
  static auto* const cache = new std::list<std::shared_ptr<FontFace>>;
  return *cache;
}

}  // namespace

std::shared_ptr<FontFace> OpenFontFace(const std::string& file, int index) {
  auto& cache = Cache();
  const auto found = std::find_if(cache.begin(), cache.end(), [&](const std::shared_ptr<FontFace>& face) {
    return face->Index() == index && face->File() == file;
  });
  if (found != cache.end()) {
    cache.splice(cache.begin(), cache, found);
    return cache.front();
  }
  std::shared_ptr<FontFace> face = FontFace::Open(file, index);
  if (!face) return nullptr;
  cache.push_front(face);
  if (cache.size() > kFontFaceCacheCapacity) cache.pop_back();
  return face;
}

size_t CachedFontFaces() { return Cache().size(); }

}  // namespace zivoda::gdi
