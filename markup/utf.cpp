// UTF-8 <-> UTF-16 conversion of the library's text (every measure, draw and font
// creation turns its UTF-8 into UTF-16 here): code-page calls straight into the
// output, sized for the worst case (UTF-8 output reused in chunks, so that room is
// not cleared on every call), and the result ends at the first zero element.
#include "ziVodaRerodo/utf.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>

#include "platform/code_page.h"

namespace zivoda {
namespace {

// Makes out at least n elements long so the conversion can write into it; every
// old element is overwritten or cut off afterwards, so the output is replaced,
// never appended to. Growing goes through a fresh string: if that allocation
// fails, out is left as it was.
template <class String>
void SizeForConversion(String& out, size_t n) {
  if (out.capacity() < n) {
    String fresh;
    fresh.resize(n);
    out.swap(fresh);
  } else if (out.size() < n) {
    out.resize(n);
  }
}

}  // namespace

void Utf8ToUtf16(const char* text, int32_t n, std::u16string& out) {
  if (n < 0) {
    out.clear();
    return;
  }
  // The conversion's buffer holds n + 1 units; a byte size beyond 32 bits is an
  // allocation failure, reported before anything is read or changed.
  if ((static_cast<uint64_t>(n) + 1) * sizeof(char16_t) > UINT32_MAX) throw std::bad_alloc();
  if (n == 0 || text == nullptr) {
    out.clear();
    return;
  }
  // A zero byte decodes to a zero unit and never belongs to a malformed sequence,
  // so the units before the first zero unit are exactly those of the bytes before
  // the first zero byte: convert only those.
  const void* zero = std::memchr(text, 0, static_cast<size_t>(n));
  const size_t m = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : static_cast<size_t>(n);
  if (m == 0) {
    out.clear();
    return;
  }
  SizeForConversion(out, m);  // at most one unit per byte
  const int k = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(m), out.data(), static_cast<int>(m));
  out.resize(k > 0 ? static_cast<size_t>(k) : 0);
}

void Utf8ToUtf16(const char* text, std::u16string& out) {
  if (text == nullptr) {
    out.clear();
    return;
  }
  const size_t n = std::strlen(text);
  if (n > INT32_MAX) throw std::bad_alloc();  // its buffer would not fit 32 bits either
  Utf8ToUtf16(text, static_cast<int32_t>(n), out);
}

void Utf16ToUtf8(const char16_t* text, int32_t n, std::string& out) {
  if (n <= 0 || text == nullptr) {
    out.clear();
    return;
  }
  const size_t worst = 3 * static_cast<size_t>(n);  // three bytes a unit at most
  size_t written = 0;
  if (out.capacity() < worst) {
    SizeForConversion(out, worst);
    // Room beyond INT_MAX cannot be passed on; the call then counts first and fails
    // (empty output) only if the text really needs more.
    const int room = worst > INT_MAX ? INT_MAX : static_cast<int>(worst);
    const int k = WideCharToMultiByte(CP_UTF8, 0, text, n, out.data(), room, nullptr, nullptr);
    written = k > 0 ? static_cast<size_t>(k) : 0;
  } else {
    // A string with room for the worst case is reused without growing it to that
    // size, which would clear up to two thirds of it on every call: the text goes
    // in chunks, each given three bytes a unit past what is written, and a
    // surrogate pair is never cut between chunks. Growing within the capacity
    // allocates nothing.
    constexpr size_t kChunk = 16384;
    const size_t units = static_cast<size_t>(n);
    for (size_t at = 0; at < units;) {
      size_t take = std::min(kChunk, units - at);
      if (take < units - at && (text[at + take - 1] & 0xFC00) == 0xD800) --take;  // keep a pair whole
      const size_t room = 3 * take;
      if (out.size() < written + room) out.resize(written + room);
      const int k = WideCharToMultiByte(CP_UTF8, 0, text + at, static_cast<int>(take), out.data() + written,
                                        static_cast<int>(room), nullptr, nullptr);
      written += k > 0 ? static_cast<size_t>(k) : 0;
      at += take;
    }
  }
  const void* zero = std::memchr(out.data(), 0, written);
  out.resize(zero ? static_cast<size_t>(static_cast<const char*>(zero) - out.data()) : written);
}

void Utf16ToUtf8(const std::u16string& text, std::string& out) {
  if (text.size() > INT32_MAX) {
    out.clear();
    return;
  }
  Utf16ToUtf8(text.data(), static_cast<int32_t>(text.size()), out);
}

void Utf16ToUtf8(const char16_t* text, std::string& out) {
  if (text == nullptr) {
    out.clear();
    return;
  }
  const size_t n = std::char_traits<char16_t>::length(text);
  if (n > INT32_MAX) {
    out.clear();
    return;
  }
  Utf16ToUtf8(text, static_cast<int32_t>(n), out);
}

}  // namespace zivoda
