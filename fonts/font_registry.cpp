// The font registry: one ordered map from id to description. std::string keys
// compare as unsigned bytes, a proper prefix first, as the ids are matched.
#include "fonts/font_registry.hpp"

namespace zivoda {

int32_t FontRegistry::SetFont(const char* id, std::unique_ptr<FontInfo>&& info) {
  if (id == nullptr || info == nullptr) return 0;
  auto it = fonts_.find(std::string_view(id));
  if (it != fonts_.end()) {
    it->second = std::move(info);  // the old description and its platform font go at once
  } else {
    fonts_.emplace(id, std::move(info));
  }
  return 1;
}

HFONT FontRegistry::FindFont(const char* id) {
  if (id == nullptr) return nullptr;
  auto it = fonts_.find(std::string_view(id));
  return it == fonts_.end() ? nullptr : it->second->GetFontHandle();
}

void FontRegistry::ClearFonts() {
  for (auto& entry : fonts_) entry.second.reset();
  fonts_.clear();
}

const FontInfo* FontRegistry::Find(std::string_view id) const {
  auto it = fonts_.find(id);
  return it == fonts_.end() ? nullptr : it->second.get();
}

FontRegistry& GetFontRegistry() {
  static FontRegistry registry;
  return registry;
}

}  // namespace zivoda
