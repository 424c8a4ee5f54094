// Typed readers of one markup attribute. Each asks voZuzu exactly once; only an
// absent attribute gives the caller's default (the boolean reader also falls back
// for any value but "true" and "false"). Numbers follow atoi and strtoul(…, 16)
// in the C locale, computed without overflow.
#include "ziVodaRerodo/attributes.hpp"

#include <cstdint>
#include <cstring>
#include <limits>

namespace zivoda {
namespace {

// White space as isspace() sees it in the C locale.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string& GetAttrString(const char* name, KespTag tag, std::string& out) {
  if (const char* value = vxGetKespTagAttr(tag, name)) out.assign(value);
  return out;
}

int32_t GetAttrInt(const char* name, KespTag tag, int32_t def) {
  const char* p = vxGetKespTagAttr(tag, name);
  if (p == nullptr) return def;
  while (IsSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  // Accumulate the magnitude up to one past the 32-bit range, then saturate.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<int32_t>(-magnitude);  // -2^31 at the most
  return magnitude >= kLimit ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(magnitude);
}

bool GetAttrBool(const char* name, KespTag tag, bool def) {
  const char* value = vxGetKespTagAttr(tag, name);
  if (value == nullptr) return def;
  if (std::strcmp(value, "true") == 0) return true;
  if (std::strcmp(value, "false") == 0) return false;
  return def;
}

uint32_t GetAttrHex(const char* name, KespTag tag, uint32_t def) {
  const char* p = vxGetKespTagAttr(tag, name);
  if (p == nullptr) return def;
  while (IsSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  // A 0x prefix counts only when a hex digit follows it; otherwise "0" is the number.
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexDigit(p[2]) >= 0) p += 2;
  uint64_t value = 0;
  bool overflow = false;
  for (int d; (d = HexDigit(*p)) >= 0; ++p) {
    value = value * 16 + static_cast<uint64_t>(d);
    if (value > std::numeric_limits<uint32_t>::max()) {
      overflow = true;
      value = std::numeric_limits<uint32_t>::max();
    }
  }
  if (overflow) return std::numeric_limits<uint32_t>::max();
  const auto v = static_cast<uint32_t>(value);
  return negative ? static_cast<uint32_t>(0u - v) : v;
}

}  // namespace zivoda
