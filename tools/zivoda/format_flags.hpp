// DrawTextW format flags by name ("DT_CENTER DT_VCENTER", "DT_TABSTOP:4"), as the
// command-line program and its scene files write them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zivoda::tool {

// Parses names separated by spaces, '|' or ','. DT_TABSTOP:N sets the tab length
// in bits 8-15. Returns the flags, or nothing and the offending name in bad.
std::optional<uint32_t> ParseFormat(std::string_view text, std::string& bad);

}  // namespace zivoda::tool
