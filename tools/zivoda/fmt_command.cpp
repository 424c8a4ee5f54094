// zivoda fmt DOC.xml: prints a markup document as the library serializes it.
#include <cstdio>
#include <string>

#include <unistd.h>

#include "commands.hpp"
#include "ziVodaRerodo/documents.hpp"

namespace zivoda::tool {
namespace {

constexpr const char* kUsage =
    "usage: zivoda fmt DOC.xml\n"
    "\n"
    "Loads DOC.xml and prints it as the library serializes documents: the XML\n"
    "declaration, then one tag a line, indented by one TAB a level, lines ending\n"
    "in CR LF. Attribute values are escaped; tag text is written as it is.\n";

}  // namespace

int Fmt(int argc, char** argv) {
  if (argc == 1 && IsHelp(argv[0])) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 1 || argv[0][0] == '-') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const KespTag root = LoadDocument(argv[0]);
  if (root == 0) return 1;
  const std::string text = KespDocumentToText(root);
  vxReleaseKespTree(root);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (isatty(STDOUT_FILENO)) std::fputc('\n', stdout);  // the text itself ends without one
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace zivoda::tool
