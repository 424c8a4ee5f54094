// The commands of the zivoda program and what they share. Each takes the
// arguments after its name and returns the exit code: 0 success, 1 the input
// could not be used, 2 a usage error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "voZuzu.h"
#include "ziVodaRerodo_types.h"

namespace zivoda::tool {

int Fmt(int argc, char** argv);
int Measure(int argc, char** argv);
int Render(int argc, char** argv);

bool IsHelp(std::string_view arg);
// Loads a markup file through a file stub; on failure prints why (missing file,
// or line and column of a malformed document) and returns 0.
KespTag LoadDocument(const char* path);
// "left top right bottom" (spaces or commas).
std::optional<Rect> ParseRect(std::string_view text);
// An 8-digit hexadecimal 0xAARRGGBB colour (a leading # or 0x allowed).
std::optional<uint32_t> ParseColor(std::string_view text);

}  // namespace zivoda::tool
