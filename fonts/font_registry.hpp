// The single map from font id (bytes, exact and case-sensitive, the empty id
// included) to font description. Descriptions are added or replaced, never
// removed one by one; their platform fonts are made on the first lookup.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "fonts/font_info.hpp"
#include "voZuzu.h"

namespace zivoda {

class FontRegistry {
 public:
  FontRegistry() = default;
  ~FontRegistry() { ClearFonts(); }
  FontRegistry(const FontRegistry&) = delete;
  FontRegistry& operator=(const FontRegistry&) = delete;

  // Stores info under id, replacing (and destroying) a description held there.
  // Returns 1 when stored (the registry then owns info). Failure: 0 for a null id or
  // info, and info stays with the caller.
  int32_t SetFont(const char* id, std::unique_ptr<FontInfo>&& info);
  // The platform font of id, made on its first lookup. Failure: null (unknown id,
  // a font that cannot be made, a null id).
  HFONT FindFont(const char* id);
  // Destroys every description in ascending key order, then empties the map.
  void ClearFonts();

  // Registers every direct child named "Font" of node. Returns how many. Failure: 0.
  int32_t RegisterFonts(KespTag node);
  // Registers one "Font" tag under its id. Returns 1, or 0 when it has no id.
  int32_t RegisterFontTag(KespTag tag);

  size_t size() const { return fonts_.size(); }
  // The description stored under id, or null (for tests and tools).
  const FontInfo* Find(std::string_view id) const;

 private:
  std::map<std::string, std::unique_ptr<FontInfo>, std::less<>> fonts_;
};

// The single registry, created empty on the first call, cleared at unloading.
FontRegistry& GetFontRegistry();

}  // namespace zivoda
