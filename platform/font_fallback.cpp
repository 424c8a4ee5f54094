// Font fallback through fontconfig: FcFontSort ranks the installed fonts for a
// primary face's family and style once; a character the primary lacks goes to
// the first ranked font that covers it. Opened faces stay with the entry, so
// their serials (which the shaping and glyph caches key on) stay valid.
#include "platform/font_fallback.h"

#include <fontconfig/fontconfig.h>

#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/font_face_cache.h"

namespace zivoda::gdi {
namespace {

struct Candidate {
  std::string file;
  int index = 0;
  FcCharSet* charset = nullptr;  // owned (a copy)
  std::shared_ptr<FontFace> face;  // opened on first use
};

struct Entry {
  uint64_t serial = 0;
  int weight = 400;
  bool italic = false;
  std::vector<Candidate> candidates;
  std::unordered_map<char32_t, std::shared_ptr<FontFace>> memo;

  Entry() = default;
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;
  ~Entry() {
    for (Candidate& c : candidates) {
      if (c.charset != nullptr) FcCharSetDestroy(c.charset);
    }
  }
};

std::list<Entry>& Entries() {
  static auto* const entries = new std::list<Entry>;
  return *entries;
}

void Rank(Entry& entry, FontFace& primary) {
  if (FcInit() != FcTrue) return;
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return;
  const std::string family = primary.FamilyName();
  if (!family.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddDouble(pattern, FC_WEIGHT, FcWeightFromOpenTypeDouble(entry.weight));
  FcPatternAddInteger(pattern, FC_SLANT, entry.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcFontSet* set = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
  FcPatternDestroy(pattern);
  if (set == nullptr) return;
  for (int i = 0; i < set->nfont; ++i) {
    FcChar8* file = nullptr;
    FcCharSet* charset = nullptr;
    if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
    if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &charset) != FcResultMatch) continue;
    Candidate candidate;
    candidate.file = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &candidate.index);
    candidate.charset = FcCharSetCopy(charset);
    entry.candidates.push_back(std::move(candidate));
  }
  FcFontSetDestroy(set);
}

Entry& EntryFor(FontFace& primary, int weight, bool italic) {
  auto& entries = Entries();
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->serial == primary.Serial() && it->weight == weight && it->italic == italic) {
      entries.splice(entries.begin(), entries, it);
      return entries.front();
    }
  }
  entries.emplace_front();
  Entry& entry = entries.front();
  entry.serial = primary.Serial();
  entry.weight = weight;
  entry.italic = italic;
  Rank(entry, primary);
  if (entries.size() > kFallbackPrimaries) entries.pop_back();
  return entry;
}

std::shared_ptr<FontFace> Search(Entry& entry, char32_t codePoint) {
  for (Candidate& candidate : entry.candidates) {
    if (FcCharSetHasChar(candidate.charset, codePoint) != FcTrue) continue;
    if (!candidate.face) candidate.face = OpenFontFace(candidate.file, candidate.index);
    if (candidate.face && candidate.face->GlyphFor(codePoint) != 0) return candidate.face;
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<FontFace> FallbackFace(const std::shared_ptr<FontFace>& primary, int weight, bool italic,
                                       char32_t codePoint) {
  if (!primary) return nullptr;
  if (primary->GlyphFor(codePoint) != 0) return primary;
  Entry& entry = EntryFor(*primary, weight, italic);
  if (const auto found = entry.memo.find(codePoint); found != entry.memo.end()) return found->second;
  std::shared_ptr<FontFace> face = Search(entry, codePoint);
  if (entry.memo.size() >= kFallbackMemo) entry.memo.clear();
  entry.memo.emplace(codePoint, face);
  return face;
}

}  // namespace zivoda::gdi
