// What the commands share: loading markup files with readable errors, and
// parsing rectangles and colours from their text form.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "commands.hpp"
#include "viRAZera.h"
#include "ziVodaRerodo/documents.hpp"

namespace zivoda::tool {

bool IsHelp(std::string_view a) { return a == "--help" || a == "-h"; }

KespTag LoadDocument(const char* path) {
  if (std::FILE* f = std::fopen(path, "rb")) {
    std::fclose(f);
  } else {
    std::fprintf(stderr, "zivoda: cannot open %s: %s\n", path, std::strerror(errno));
    return 0;
  }
  StubTarget target{VI_TARGET_FILE, path, nullptr};
  const KespTag root = LoadKespFromStub(reinterpret_cast<uintptr_t>(&target));
  if (root == 0) {
    KespParseError error{};
    if (vxGetLastKespError(&error) != 0) {
      std::fprintf(stderr, "zivoda: %s:%d:%d: %s\n", path, error.line, error.column, error.message);
    } else {
      std::fprintf(stderr, "zivoda: %s: read error\n", path);
    }
  }
  return root;
}

std::optional<Rect> ParseRect(std::string_view text) {
  int32_t v[4];
  size_t i = 0;
  for (int k = 0; k < 4; ++k) {
    while (i < text.size() && (text[i] == ' ' || text[i] == ',')) ++i;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), v[k]);
    if (ec != std::errc()) return std::nullopt;
    i = static_cast<size_t>(end - text.data());
  }
  while (i < text.size() && (text[i] == ' ' || text[i] == ',')) ++i;
  if (i != text.size()) return std::nullopt;
  return Rect{v[0], v[1], v[2], v[3]};
}

std::optional<uint32_t> ParseColor(std::string_view text) {
  if (text.rfind('#', 0) == 0) text.remove_prefix(1);
  if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) text.remove_prefix(2);
  uint32_t c = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), c, 16);
  if (text.size() != 8 || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return c;
}

}  // namespace zivoda::tool
