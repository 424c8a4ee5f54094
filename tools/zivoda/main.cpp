// zivoda: the command-line program of ziVodaRerodo.
//   zivoda render SCENE.xml -o OUT.png [--boxes]   draw a scene to a PNG
//   zivoda measure [options] TEXT                  print the aligned text box
//   zivoda fmt DOC.xml                             print a document serialized
// Exit codes: 0 success, 1 the input could not be used, 2 a usage error.
#include <cstdio>
#include <string_view>

#include "commands.hpp"

namespace {

constexpr const char* kUsage =
    "usage: zivoda COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  render SCENE.xml -o OUT.png [--boxes]   draw the texts of a scene onto a canvas, save a PNG\n"
    "  measure [--font F] [--box B] [--format FLAGS] TEXT   print the aligned text box\n"
    "  fmt DOC.xml                             print a markup document in the serialized form\n"
    "\n"
    "Run 'zivoda COMMAND --help' for a command's options.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace zivoda::tool;
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
  if (command == "measure") return Measure(argc - 2, argv + 2);
  if (command == "render") return Render(argc - 2, argv + 2);
  std::fprintf(stderr, "zivoda: unknown command '%s'\n\n%s", argv[1], kUsage);
  return 2;
}
