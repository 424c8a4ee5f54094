// Font matching through fontconfig for CreateFontIndirectW. A match counts as
// the face asked for only when it carries that family name (or a strongly bound
// alias); otherwise fontconfig picks for "sans-serif", so an unknown face name
// never lands on an arbitrary font.
#include "platform/font_matcher.h"

#include <fontconfig/fontconfig.h>
#include <unicode/ustring.h>

#include <memory>

namespace zivoda::gdi {
namespace {

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

// fontconfig's default configuration (which honours FONTCONFIG_FILE), loaded once.
bool FontconfigReady() {
  static const bool ready = FcInit() == FcTrue;
  return ready;
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text) {
  std::string out(text.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                     static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &error);
  if (U_FAILURE(error)) return {};
  out.resize(static_cast<size_t>(length));
  return out;
}

struct MatchResult {
  Pattern request;  // after fontconfig's substitutions
  Pattern font;
};

MatchResult Match(const std::string& family, int weight, bool italic) {
  MatchResult result;
  result.request.reset(FcPatternCreate());
  FcPattern* request = result.request.get();
  if (request == nullptr) return result;
  FcPatternAddString(request, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddDouble(request, FC_WEIGHT, FcWeightFromOpenTypeDouble(weight));
  FcPatternAddInteger(request, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(request, FC_SCALABLE, FcTrue);
  if (FcConfigSubstitute(nullptr, request, FcMatchPattern) != FcTrue) return result;
  FcDefaultSubstitute(request);
  FcResult status = FcResultNoMatch;
  result.font.reset(FcFontMatch(nullptr, request, &status));
  return result;
}

bool HasFamily(const FcPattern* font, const FcChar8* family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    if (FcStrCmpIgnoreCase(name, family) == 0) return true;
  }
  return false;
}

// Whether the font carries a family name that the request holds with a strong
// binding: the name asked for and aliases bound to it (not the weak defaults that
// fontconfig appends to every request).
bool FoundRequestedFamily(const MatchResult& match) {
  FcValue value;
  FcValueBinding binding;
  for (int i = 0; FcPatternGetWithBinding(match.request.get(), FC_FAMILY, i, &value, &binding) == FcResultMatch;
       ++i) {
    if (value.type == FcTypeString && binding != FcValueBindingWeak && HasFamily(match.font.get(), value.u.s)) {
      return true;
    }
  }
  return false;
}

std::optional<FontMatch> Describe(const FcPattern* font) {
  FcChar8* file = nullptr;
  if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) return std::nullopt;
  FontMatch match;
  match.file = reinterpret_cast<const char*>(file);
  FcPatternGetInteger(font, FC_INDEX, 0, &match.index);
  double weight = FC_WEIGHT_REGULAR;
  FcPatternGetDouble(font, FC_WEIGHT, 0, &weight);
  match.weight = static_cast<int>(FcWeightToOpenTypeDouble(weight) + 0.5);
  int slant = FC_SLANT_ROMAN;
  FcPatternGetInteger(font, FC_SLANT, 0, &slant);
  match.italic = slant != FC_SLANT_ROMAN;
  return match;
}

}  // namespace

std::optional<FontMatch> MatchFont(std::u16string_view face, int weight, bool italic) {
  if (!FontconfigReady()) return std::nullopt;
  const std::string family = ToUtf8(face);
  if (!family.empty()) {
    MatchResult named = Match(family, weight, italic);
    if (named.font && FoundRequestedFamily(named)) return Describe(named.font.get());
  }
  MatchResult fallback = Match("sans-serif", weight, italic);
  if (!fallback.font) return std::nullopt;
  return Describe(fallback.font.get());
}

}  // namespace zivoda::gdi
