// Finds the font file for a GDI font request through fontconfig: the face name,
// weight and slant of a LOGFONTW become a fontconfig pattern.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zivoda::gdi {

struct FontMatch {
  std::string file;
  int index = 0;
  int weight = 400;     // the matched face's weight, OpenType scale
  bool italic = false;  // the matched face slants (italic or oblique)
};

// The face of family face (UTF-16, compared without regard to case, also under
// the names fontconfig's configuration binds strongly to it: metric-compatible
// aliases) closest to weight (1..1000) and italic. An empty face, or one that
// names no installed family, gets fontconfig's choice for "sans-serif".
// Failure: nullopt (fontconfig unusable, no font at all).
std::optional<FontMatch> MatchFont(std::u16string_view face, int weight, bool italic);

}  // namespace zivoda::gdi
