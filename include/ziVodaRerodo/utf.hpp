// UTF-8 <-> UTF-16 conversion through the platform's code-page calls (code page
// 65001). Malformed UTF-8 and unpaired surrogates become U+FFFD; the result ends
// at the first zero element of the input. Counted forms take n >= 0 elements.
#pragma once

#include <cstdint>
#include <string>

#include "ziVodaRerodo/api.hpp"

namespace zivoda {

// Replaces out by the UTF-16 of the n bytes at text. Failure: out becomes empty
// (n <= 0); std::bad_alloc when the buffer's byte size does not fit in 32 bits.
ZIVODA_API void Utf8ToUtf16(const char* text, int32_t n, std::u16string& out);
// The same for a zero-terminated string.
ZIVODA_API void Utf8ToUtf16(const char* text, std::u16string& out);

// Replaces out by the UTF-8 of the n units at text. Failure: out becomes empty (n <= 0).
ZIVODA_API void Utf16ToUtf8(const char16_t* text, int32_t n, std::string& out);
// The same for a whole wide string (longer than INT32_MAX units: out becomes empty).
ZIVODA_API void Utf16ToUtf8(const std::u16string& text, std::string& out);
// The same for a zero-terminated wide string.
ZIVODA_API void Utf16ToUtf8(const char16_t* text, std::string& out);

}  // namespace zivoda
