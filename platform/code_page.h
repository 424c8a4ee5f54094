// The Windows code-page conversion calls, for code page 65001 (CP_UTF8), with the
// documented behaviour of MultiByteToWideChar and WideCharToMultiByte: explicit
// counts write no terminator, -1 counts a NUL-terminated input and its NUL, an
// output size of 0 asks for the size, failure returns 0 and sets GetLastError.
// Malformed UTF-8 becomes one U+FFFD per maximal subpart (Unicode chapter 3,
// "U+FFFD substitution of maximal subparts"); an unpaired surrogate becomes U+FFFD.
#pragma once

#include <cstdint>

using UINT = uint32_t;
using DWORD = uint32_t;
using BOOL = int;

constexpr UINT CP_UTF8 = 65001;

constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;

// The calling thread's last error. The platform calls set it when they fail and
// leave it as it was when they succeed.
DWORD GetLastError();
void SetLastError(DWORD error);

// Decodes cbMultiByte bytes (-1: up to and including the NUL) of codePage into
// lpWideCharStr, room for cchWideChar units (0: only count). Returns the units
// written or needed; writes nothing beyond them and nothing at all on failure.
// Failure: 0 with ERROR_INVALID_PARAMETER (count 0 or below -1, null pointers,
// overlapping buffers, a code page other than CP_UTF8, a result above INT_MAX
// units), ERROR_INVALID_FLAGS (flags other than 0), ERROR_INSUFFICIENT_BUFFER.
int MultiByteToWideChar(UINT codePage, DWORD dwFlags, const char* lpMultiByteStr, int cbMultiByte,
                        char16_t* lpWideCharStr, int cchWideChar);

// Encodes cchWideChar units (-1: up to and including the NUL) as codePage into
// lpMultiByteStr, room for cbMultiByte bytes (0: only count). For CP_UTF8 the two
// default-character arguments must be null (else ERROR_INVALID_PARAMETER).
// Returns the bytes written or needed. Failure: 0, as above.
int WideCharToMultiByte(UINT codePage, DWORD dwFlags, const char16_t* lpWideCharStr, int cchWideChar,
                        char* lpMultiByteStr, int cbMultiByte, const char* lpDefaultChar,
                        BOOL* lpUsedDefaultChar);
