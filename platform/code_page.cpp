// MultiByteToWideChar and WideCharToMultiByte for code page 65001 (CP_UTF8), with
// the documented Windows argument rules and failures, over the walkers of
// utf_walker.h; plus the per-thread last error the platform calls report through.
#include "platform/code_page.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/utf_walker.h"

namespace {

thread_local DWORD t_last_error = 0;

int Fail(DWORD error) {
  t_last_error = error;
  return 0;
}

// Whether the byte ranges [a, a + an) and [b, b + bn) share a byte.
bool Overlap(const void* a, size_t an, const void* b, size_t bn) {
  const auto x = reinterpret_cast<uintptr_t>(a);
  const auto y = reinterpret_cast<uintptr_t>(b);
  return x < y + bn && y < x + an;
}

size_t WideLength(const char16_t* s) {
  const char16_t* p = s;
  while (*p) ++p;
  return static_cast<size_t>(p - s);
}

}  // namespace

DWORD GetLastError() { return t_last_error; }

void SetLastError(DWORD error) { t_last_error = error; }

int MultiByteToWideChar(UINT codePage, DWORD dwFlags, const char* lpMultiByteStr, int cbMultiByte,
                        char16_t* lpWideCharStr, int cchWideChar) {
  if (codePage != CP_UTF8) return Fail(ERROR_INVALID_PARAMETER);
  if (dwFlags != 0) return Fail(ERROR_INVALID_FLAGS);
  if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr))
    return Fail(ERROR_INVALID_PARAMETER);

  const size_t n = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  const auto* in = reinterpret_cast<const uint8_t*>(lpMultiByteStr);
  const size_t room = static_cast<size_t>(cchWideChar);
  if (room > 0 && Overlap(in, n, lpWideCharStr, room * sizeof(char16_t))) return Fail(ERROR_INVALID_PARAMETER);

  // Each byte gives at most one unit, so room for n units needs no count first.
  if (room < n) {
    zivoda::utf::Utf16Counter counter;
    zivoda::utf::DecodeUtf8(in, n, counter);
    if (counter.count() > INT_MAX) return Fail(ERROR_INVALID_PARAMETER);
    if (room == 0) return static_cast<int>(counter.count());
    if (counter.count() > room) return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  zivoda::utf::Utf16Writer writer(lpWideCharStr);
  zivoda::utf::DecodeUtf8(in, n, writer);
  return static_cast<int>(writer.count());
}

int WideCharToMultiByte(UINT codePage, DWORD dwFlags, const char16_t* lpWideCharStr, int cchWideChar,
                        char* lpMultiByteStr, int cbMultiByte, const char* lpDefaultChar,
                        BOOL* lpUsedDefaultChar) {
  if (codePage != CP_UTF8) return Fail(ERROR_INVALID_PARAMETER);
  if (dwFlags != 0) return Fail(ERROR_INVALID_FLAGS);
  if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && lpMultiByteStr == nullptr))
    return Fail(ERROR_INVALID_PARAMETER);

  const size_t n = cchWideChar == -1 ? WideLength(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
  const size_t room = static_cast<size_t>(cbMultiByte);
  if (room > 0 && Overlap(lpWideCharStr, n * sizeof(char16_t), lpMultiByteStr, room))
    return Fail(ERROR_INVALID_PARAMETER);

  // Each unit gives at most three bytes, so room for 3n bytes needs no count first.
  if (room / 3 < n) {
    zivoda::utf::Utf8Counter counter;
    zivoda::utf::EncodeUtf16(lpWideCharStr, n, counter);
    if (counter.count() > INT_MAX) return Fail(ERROR_INVALID_PARAMETER);
    if (room == 0) return static_cast<int>(counter.count());
    if (counter.count() > room) return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  zivoda::utf::Utf8Writer writer(lpMultiByteStr);
  zivoda::utf::EncodeUtf16(lpWideCharStr, n, writer);
  return static_cast<int>(writer.count());
}
