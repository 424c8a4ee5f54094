// Format flags by name, with the values DrawTextW documents.
#include "format_flags.hpp"

#include <charconv>

#include "ziVodaRerodo.h"

namespace zivoda::tool {
namespace {

struct Flag {
  std::string_view name;
  uint32_t value;
};

constexpr Flag kFlags[] = {
    {"DT_TOP", VX_DT_TOP},
    {"DT_LEFT", VX_DT_LEFT},
    {"DT_CENTER", VX_DT_CENTER},
    {"DT_RIGHT", VX_DT_RIGHT},
    {"DT_VCENTER", VX_DT_VCENTER},
    {"DT_BOTTOM", VX_DT_BOTTOM},
    {"DT_WORDBREAK", VX_DT_WORDBREAK},
    {"DT_SINGLELINE", VX_DT_SINGLELINE},
    {"DT_EXPANDTABS", VX_DT_EXPANDTABS},
    {"DT_TABSTOP", VX_DT_TABSTOP},
    {"DT_NOCLIP", VX_DT_NOCLIP},
    {"DT_EXTERNALLEADING", VX_DT_EXTERNALLEADING},
    {"DT_CALCRECT", VX_DT_CALCRECT},
    {"DT_NOPREFIX", VX_DT_NOPREFIX},
    {"DT_INTERNAL", VX_DT_INTERNAL},
    {"DT_EDITCONTROL", VX_DT_EDITCONTROL},
    {"DT_PATH_ELLIPSIS", VX_DT_PATH_ELLIPSIS},
    {"DT_END_ELLIPSIS", VX_DT_END_ELLIPSIS},
    {"DT_MODIFYSTRING", VX_DT_MODIFYSTRING},
    {"DT_RTLREADING", VX_DT_RTLREADING},
    {"DT_WORD_ELLIPSIS", VX_DT_WORD_ELLIPSIS},
    {"DT_NOFULLWIDTHCHARBREAK", VX_DT_NOFULLWIDTHCHARBREAK},
    {"DT_HIDEPREFIX", VX_DT_HIDEPREFIX},
    {"DT_PREFIXONLY", VX_DT_PREFIXONLY},
};

bool IsSeparator(char c) { return c == ' ' || c == '|' || c == ',' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::optional<uint32_t> ParseFormat(std::string_view text, std::string& bad) {
  uint32_t flags = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (IsSeparator(text[i])) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < text.size() && !IsSeparator(text[j])) ++j;
    std::string_view word = text.substr(i, j - i);
    i = j;
    if (word.rfind("DT_TABSTOP:", 0) == 0) {
      unsigned n = 0;
      const auto digits = word.substr(11);
      const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
      if (ec != std::errc() || end != digits.data() + digits.size() || n > 255) {
        bad = word;
        return std::nullopt;
      }
      flags |= VX_DT_TABSTOP | (n << 8);
      continue;
    }
    bool known = false;
    for (const Flag& f : kFlags) {
      if (f.name == word) {
        flags |= f.value;
        known = true;
        break;
      }
    }
    if (!known) {
      bad = word;
      return std::nullopt;
    }
  }
  return flags;
}

}  // namespace zivoda::tool
