// Removes spaces and tabs at the ends of a string in place: one pass for spaces,
// then one for tabs, on each side (so "\t x" keeps " x"). Nothing else is removed.
#pragma once

#include <string>

#include "ziVodaRerodo/api.hpp"

namespace zivoda {

ZIVODA_API std::string& TrimLeft(std::string& s);
ZIVODA_API std::string& TrimRight(std::string& s);
ZIVODA_API std::string& Trim(std::string& s);

}  // namespace zivoda
