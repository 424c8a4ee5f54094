// Typed readers of one attribute of a markup tag. Each asks voZuzu once; an
// absent attribute gives the caller's default.
#pragma once

#include <cstdint>
#include <string>

#include "voZuzu.h"
#include "ziVodaRerodo/api.hpp"

namespace zivoda {

// Replaces out by the value; an absent attribute leaves out as it is. Returns out.
ZIVODA_API std::string& GetAttrString(const char* name, KespTag tag, std::string& out);
// atoi-style decimal; values beyond the 32-bit range saturate. Absent: def.
ZIVODA_API int32_t GetAttrInt(const char* name, KespTag tag, int32_t def);
// "true" -> true, "false" -> false, exactly; anything else, or absent: def.
ZIVODA_API bool GetAttrBool(const char* name, KespTag tag, bool def);
// strtoul-style base 16 in 32 bits (too large: 0xFFFFFFFF). Absent: def.
ZIVODA_API uint32_t GetAttrHex(const char* name, KespTag tag, uint32_t def);

}  // namespace zivoda
