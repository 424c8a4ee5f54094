// The five named entities of markup text (&amp; &apos; &quot; &lt; &gt;), byte by
// byte; every other byte, and so every UTF-8 sequence, passes unchanged.
#pragma once

#include <string>

#include "ziVodaRerodo/api.hpp"

namespace zivoda {

// Replaces out by input with & < > always escaped, ' and " when their flag is set.
ZIVODA_API void EscapeKesp(const std::string& input, std::string& out, bool escapeApostrophe, bool escapeQuote);
// The same with both flags set.
ZIVODA_API void EscapeKesp(const std::string& input, std::string& out);
// Replaces out by input with each "&name;" turned back into its character; any other
// reference, through its semicolon (or the end of input), is dropped. Never fails.
ZIVODA_API void UnescapeKesp(const std::string& input, std::string& out);

}  // namespace zivoda
