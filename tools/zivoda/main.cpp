// zivoda: the command-line program of ziVodaRerodo.
//   zivoda fmt DOC.xml   loads a markup document through a file stub and prints
//                        it in the serialized form (CR LF, one TAB a level).
// Exit codes: 0 success, 1 the input could not be used, 2 a usage error.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include <unistd.h>

#include "viRAZera.h"
#include "voZuzu.h"
#include "ziVodaRerodo/documents.hpp"

namespace {

constexpr const char* kUsage =
    "usage: zivoda COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  fmt DOC.xml   print a markup document in the serialized form\n"
    "\n"
    "Run 'zivoda COMMAND --help' for a command's options.\n";

constexpr const char* kFmtUsage =
    "usage: zivoda fmt DOC.xml\n"
    "\n"
    "Loads DOC.xml and prints it as the library serializes documents: the XML\n"
    "declaration, then one tag a line, indented by one TAB a level, lines ending\n"
    "in CR LF. Attribute values are escaped; tag text is written as it is.\n";

bool IsHelp(std::string_view a) { return a == "--help" || a == "-h"; }

// Loads path through a file stub. Prints why on failure and returns 0.
KespTag LoadDocument(const char* path) {
  if (std::FILE* f = std::fopen(path, "rb")) {
    std::fclose(f);
  } else {
    std::fprintf(stderr, "zivoda: cannot open %s: %s\n", path, std::strerror(errno));
    return 0;
  }
  StubTarget target{VI_TARGET_FILE, path, nullptr};
  const KespTag root = zivoda::LoadKespFromStub(reinterpret_cast<uintptr_t>(&target));
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

int Fmt(int argc, char** argv) {
  if (argc == 1 && IsHelp(argv[0])) {
    std::fputs(kFmtUsage, stdout);
    return 0;
  }
  if (argc != 1 || argv[0][0] == '-') {
    std::fputs(kFmtUsage, stderr);
    return 2;
  }
  const KespTag root = LoadDocument(argv[0]);
  if (root == 0) return 1;
  const std::string text = zivoda::KespDocumentToText(root);
  vxReleaseKespTree(root);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (isatty(STDOUT_FILENO)) std::fputc('\n', stdout);  // the text itself ends without one
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string_view command = argv[1];
  if (IsHelp(command)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "fmt") return Fmt(argc - 2, argv + 2);
  std::fprintf(stderr, "zivoda: unknown command '%s'\n\n%s", argv[1], kUsage);
  return 2;
}
