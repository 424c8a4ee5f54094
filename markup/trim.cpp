// Removal of spaces and tabs at the ends of a UTF-8 string, in place. Each side
// takes one pass for spaces and then one for tabs, no loop over both, so a space
// behind leading tabs (or in front of trailing tabs) stays. Bytes 0x20 and 0x09
// never occur inside a multi-byte UTF-8 sequence, so no character is split.
#include "ziVodaRerodo/trim.hpp"

#include <string>

namespace zivoda {
namespace {

void EraseLeading(std::string& s, char c) {
  s.erase(0, s.find_first_not_of(c));  // npos: everything
}

void EraseTrailing(std::string& s, char c) {
  const size_t last = s.find_last_not_of(c);
  s.erase(last == std::string::npos ? 0 : last + 1);
}

}  // namespace

std::string& TrimLeft(std::string& s) {
  EraseLeading(s, ' ');
  EraseLeading(s, '\t');
  return s;
}

std::string& TrimRight(std::string& s) {
  EraseTrailing(s, ' ');
  EraseTrailing(s, '\t');
  return s;
}

std::string& Trim(std::string& s) { return TrimRight(TrimLeft(s)); }

}  // namespace zivoda
