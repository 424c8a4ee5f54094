// Fuzzes the code-page calls and the UTF helpers in both directions: the input is
// taken as UTF-8 bytes and, pairwise, as UTF-16 units. Checks that size queries
// match conversions, nothing is written past the result, outputs are well-formed,
// valid input round-trips, both walkers agree, and the helpers end at the first zero.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/utf_walker.h"
#include "ziVodaRerodo/utf.hpp"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

constexpr char16_t kSentinel16 = 0xA5A5;
constexpr char kSentinel8 = '\x5A';

// Well-formed UTF-8, checked the textbook way: the lead byte gives the length,
// the rest are 10xxxxxx, and the value is a scalar value in its shortest form.
bool IsUtf8(const uint8_t* s, size_t n) {
  for (size_t i = 0; i < n;) {
    const uint8_t b = s[i];
    const size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > n) return false;
    uint32_t c = len == 1 ? b : b & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      c = c << 6 | (s[i + k] & 0x3F);
    }
    const uint32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < shortest[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

// Well-formed UTF-16: every high surrogate followed by a low one, no other low.
bool IsUtf16(const char16_t* s, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (s[i] >= 0xDC00 && s[i] <= 0xDFFF) return false;
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF) {
      if (i + 1 == n || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return true;
}

std::u16string ToUtf16(const uint8_t* in, size_t n) {
  const int size = static_cast<int>(n);
  const int need = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(in), size, nullptr, 0);
  Check(need > 0 && static_cast<size_t>(need) <= n);
  // Exactly the room needed, then room for one unit a byte: same units, nothing
  // written past them.
  std::vector<char16_t> exact(static_cast<size_t>(need) + 1, kSentinel16);
  Check(MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(in), size, exact.data(), need) == need);
  Check(exact[static_cast<size_t>(need)] == kSentinel16);
  std::vector<char16_t> roomy(n + 8, kSentinel16);
  Check(MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(in), size, roomy.data(), size) == need);
  Check(std::memcmp(exact.data(), roomy.data(), 2 * static_cast<size_t>(need)) == 0);
  for (size_t i = static_cast<size_t>(need); i < roomy.size(); ++i) Check(roomy[i] == kSentinel16);
  if (need > 1) {
    std::vector<char16_t> small(static_cast<size_t>(need), kSentinel16);
    SetLastError(0);
    Check(MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(in), size, small.data(), need - 1) == 0);
    Check(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    for (char16_t u : small) Check(u == kSentinel16);
  }
  return std::u16string(exact.data(), static_cast<size_t>(need));
}

std::string ToUtf8(const char16_t* in, size_t n) {
  const int size = static_cast<int>(n);
  const int need = WideCharToMultiByte(CP_UTF8, 0, in, size, nullptr, 0, nullptr, nullptr);
  Check(need > 0 && static_cast<size_t>(need) <= 3 * n);
  std::vector<char> exact(static_cast<size_t>(need) + 1, kSentinel8);
  Check(WideCharToMultiByte(CP_UTF8, 0, in, size, exact.data(), need, nullptr, nullptr) == need);
  Check(exact[static_cast<size_t>(need)] == kSentinel8);
  std::vector<char> roomy(3 * n + 8, kSentinel8);
  Check(WideCharToMultiByte(CP_UTF8, 0, in, size, roomy.data(), 3 * size, nullptr, nullptr) == need);
  Check(std::memcmp(exact.data(), roomy.data(), static_cast<size_t>(need)) == 0);
  for (size_t i = static_cast<size_t>(need); i < roomy.size(); ++i) Check(roomy[i] == kSentinel8);
  if (need > 1) {
    std::vector<char> small(static_cast<size_t>(need), kSentinel8);
    SetLastError(0);
    Check(WideCharToMultiByte(CP_UTF8, 0, in, size, small.data(), need - 1, nullptr, nullptr) == 0);
    Check(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    for (char c : small) Check(c == kSentinel8);
  }
  return std::string(exact.data(), static_cast<size_t>(need));
}

// The walkers one by one (the platform calls take one of them), with both sinks.
void CheckWalkers(const uint8_t* in, size_t n, const std::u16string& expected) {
  using namespace zivoda::utf;
  std::u16string w(n + 16, kSentinel16);
  Utf16Writer writer(w.data());
  Utf16Counter counter;
  DecodeUtf8Portable(in, n, writer);
  DecodeUtf8Portable(in, n, counter);
  Check(writer.count() == expected.size() && counter.count() == expected.size());
  Check(w.compare(0, expected.size(), expected) == 0);
#if ZIVODA_UTF_SSE2
  if (__builtin_cpu_supports("ssse3")) {
    std::u16string b(n + 16, kSentinel16);
    Utf16Writer block_writer(b.data());
    Utf16Counter block_counter;
    DecodeUtf8Blocks(in, n, block_writer);
    DecodeUtf8Blocks(in, n, block_counter);
    Check(block_writer.count() == expected.size() && block_counter.count() == expected.size());
    Check(b.compare(0, expected.size(), expected) == 0);
  }
#endif
}

void CheckWalkers(const char16_t* in, size_t n, const std::string& expected) {
  using namespace zivoda::utf;
  std::string w(3 * n + 16, kSentinel8);
  Utf8Writer writer(w.data());
  Utf8Counter counter;
  EncodeUtf16Portable(in, n, writer);
  EncodeUtf16Portable(in, n, counter);
  Check(writer.count() == expected.size() && counter.count() == expected.size());
  Check(w.compare(0, expected.size(), expected) == 0);
#if ZIVODA_UTF_SSE2
  if (__builtin_cpu_supports("ssse3")) {
    std::string b(3 * n + 16, kSentinel8);
    Utf8Writer block_writer(b.data());
    Utf8Counter block_counter;
    EncodeUtf16Blocks(in, n, block_writer);
    EncodeUtf16Blocks(in, n, block_counter);
    Check(block_writer.count() == expected.size() && block_counter.count() == expected.size());
    Check(b.compare(0, expected.size(), expected) == 0);
  }
#endif
}

void FuzzUtf8(const uint8_t* data, size_t size) {
  const std::u16string wide = ToUtf16(data, size);
  Check(IsUtf16(wide.data(), wide.size()));
  CheckWalkers(data, size, wide);
  const std::string back = ToUtf8(wide.data(), wide.size());
  Check(IsUtf8(reinterpret_cast<const uint8_t*>(back.data()), back.size()));
  if (IsUtf8(data, size)) {
    Check(back.size() == size && std::memcmp(back.data(), data, size) == 0);
  } else {
    Check(wide.find(u'\uFFFD') != std::u16string::npos);
  }
  // Once well-formed, the text stays as it is.
  Check(ToUtf16(reinterpret_cast<const uint8_t*>(back.data()), back.size()) == wide);

  std::u16string helper = u"previous";
  zivoda::Utf8ToUtf16(reinterpret_cast<const char*>(data), static_cast<int32_t>(size), helper);
  Check(helper == wide.substr(0, wide.find(u'\0')));
}

void FuzzUtf16(const char16_t* units, size_t n) {
  const std::string narrow = ToUtf8(units, n);
  Check(IsUtf8(reinterpret_cast<const uint8_t*>(narrow.data()), narrow.size()));
  CheckWalkers(units, n, narrow);
  // Back to UTF-16: the input with every unpaired surrogate as U+FFFD.
  std::u16string expected(units, n);
  for (size_t i = 0; i < n; ++i) {
    const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
    const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
    if (high && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || low) {
      expected[i] = 0xFFFD;
    }
  }
  Check(ToUtf16(reinterpret_cast<const uint8_t*>(narrow.data()), narrow.size()) == expected);

  std::string helper = "previous";
  zivoda::Utf16ToUtf8(units, static_cast<int32_t>(n), helper);
  Check(helper == narrow.substr(0, narrow.find('\0')));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  FuzzUtf8(data, size);
  if (size >= 2) {
    std::vector<char16_t> units(size / 2);
    std::memcpy(units.data(), data, 2 * units.size());
    FuzzUtf16(units.data(), units.size());
  }
  return 0;
}
