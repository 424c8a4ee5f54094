// Fuzzes unescaping of arbitrary bytes, and checks that unescaping undoes escaping
// with both optional entities on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ziVodaRerodo/entities.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string out;
  zivoda::UnescapeKesp(input, out);
  if (out.size() > input.size()) std::abort();  // unescaping never grows text

  std::string escaped, back;
  zivoda::EscapeKesp(input, escaped);
  zivoda::UnescapeKesp(escaped, back);
  if (back != input) std::abort();
  zivoda::EscapeKesp(input, escaped, size % 2 == 0, size % 3 == 0);
  return 0;
}
