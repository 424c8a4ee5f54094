// Font registration from markup: every direct child named "Font" of the host's
// tag becomes a description stored under its id attribute. Only descriptions are
// stored; platform fonts are made by the first measure or draw that needs them.
#include <cstring>
#include <memory>

#include "fonts/font_registry.hpp"
#include "ziVodaRerodo.h"
#include "ziVodaRerodo/attributes.hpp"

namespace zivoda {

FontInfo::FontInfo(KespTag tag) {
  const FontInfo& d = DefaultFont();
  GetAttrString("face", tag, face_);
  bold_ = GetAttrBool("bold", tag, d.bold());
  italic_ = GetAttrBool("italic", tag, d.italic());
  underline_ = GetAttrBool("underline", tag, d.underline());
  strike_ = GetAttrBool("strike", tag, d.strike());
  size_ = GetAttrInt("size", tag, d.size());
}

int32_t FontRegistry::RegisterFontTag(KespTag tag) {
  const char* id = vxGetKespTagAttr(tag, "id");
  if (id == nullptr) return 0;
  auto info = std::make_unique<FontInfo>(tag);
  // The id stays valid across the six attribute reads; SetFont copies it.
  return SetFont(id, std::move(info));
}

int32_t FontRegistry::RegisterFonts(KespTag node) {
  if (node == 0) return 0;
  const int32_t children = vxGetKespTagSubTagCount(node);
  int32_t count = 0;
  for (int32_t i = 0; i < children; ++i) {
    const KespTag child = vxGetKespTagSubTag(node, i, 0);
    if (std::strcmp(vxGetKespTagName(child), "Font") == 0 && RegisterFontTag(child) != 0) ++count;
  }
  return count;
}

}  // namespace zivoda

extern "C" int32_t vxRegisterFont(KespTag tag) {
  zivoda::FontRegistry& registry = zivoda::GetFontRegistry();  // created even for a null tag
  return registry.RegisterFonts(tag);
}
