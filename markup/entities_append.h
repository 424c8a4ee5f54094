// Appending forms of the entity transformations, shared by the public helpers and
// the document serializer (which escapes attribute values straight into its
// output instead of through a temporary string).
#pragma once

#include <cstddef>
#include <string>

namespace zivoda::detail {

// Appends bytes [s, s + n) to out with & < > escaped, and ' " when their flag is set.
void AppendEscaped(std::string& out, const char* s, size_t n, bool escapeApostrophe, bool escapeQuote);

}  // namespace zivoda::detail
