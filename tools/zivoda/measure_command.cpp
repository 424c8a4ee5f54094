// zivoda measure: prints the box that vxCalcTextBox gives for a text, a font, a
// box and format flags.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "commands.hpp"
#include "format_flags.hpp"
#include "ziVodaRerodo.h"
#include "ziVodaRerodo/documents.hpp"
#include "ziVodaRerodo/entities.hpp"

namespace zivoda::tool {
namespace {

constexpr const char* kUsage =
    "usage: zivoda measure [--font SPEC] [--box 'L T R B'] [--format FLAGS] TEXT\n"
    "\n"
    "Prints the text box (left top right bottom) that the text occupies once\n"
    "aligned in the box, as vxCalcTextBox measures it.\n"
    "  --font SPEC     FACE[,SIZE][,bold][,italic][,underline][,strike], size in\n"
    "                  points (default: the initial font, DejaVu Sans 16 px)\n"
    "  --box 'L T R B' the box (default '0 0 640 480')\n"
    "  --format FLAGS  DrawTextW flags by name, e.g. 'DT_CENTER DT_WORDBREAK'\n";

// Registers SPEC under the id "measure" through the library's own markup path.
bool RegisterFontSpec(std::string_view spec) {
  std::string face, attrs;
  size_t i = 0;
  int part = 0;
  while (i <= spec.size()) {
    size_t j = spec.find(',', i);
    if (j == std::string_view::npos) j = spec.size();
    const std::string word(spec.substr(i, j - i));
    if (part == 0) {
      face = word;
    } else if (word == "bold" || word == "italic" || word == "underline" || word == "strike") {
      attrs += " " + word + "=\"true\"";
    } else if (!word.empty() && word.find_first_not_of("0123456789") == std::string::npos) {
      attrs += " size=\"" + word + "\"";
    } else {
      std::fprintf(stderr, "zivoda: bad font attribute '%s' in '%.*s'\n", word.c_str(), static_cast<int>(spec.size()),
                   spec.data());
      return false;
    }
    ++part;
    i = j + 1;
  }
  std::string escaped;
  EscapeKesp(face, escaped);
  const std::string markup = "<Fonts><Font id=\"measure\" face=\"" + escaped + "\"" + attrs + "/></Fonts>";
  const KespTag root = LoadKespFromString(markup.c_str());
  const bool ok = root != 0 && vxRegisterFont(root) == 1;
  vxReleaseKespTree(root);
  return ok;
}

}  // namespace

int Measure(int argc, char** argv) {
  std::string_view font, text;
  Rect box{0, 0, 640, 480};
  uint32_t format = 0;
  bool haveText = false;
  for (int i = 0; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (IsHelp(a)) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    const bool hasValue = i + 1 < argc;
    if (a == "--font" && hasValue) {
      font = argv[++i];
    } else if (a == "--box" && hasValue) {
      const auto r = ParseRect(argv[++i]);
      if (!r) {
        std::fprintf(stderr, "zivoda: bad box '%s' (want 'left top right bottom')\n", argv[i]);
        return 2;
      }
      box = *r;
    } else if (a == "--format" && hasValue) {
      std::string bad;
      const auto f = ParseFormat(argv[++i], bad);
      if (!f) {
        std::fprintf(stderr, "zivoda: unknown format flag '%s'\n", bad.c_str());
        return 2;
      }
      format = *f;
    } else if (!haveText && (a.empty() || a[0] != '-' || a == "-")) {
      text = a;
      haveText = true;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (!haveText) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const char* id = "";
  if (!font.empty()) {
    if (!RegisterFontSpec(font)) return 2;
    id = "measure";
  }
  const std::string t(text);
  vxCalcTextBox(&box, t.c_str(), format, id);
  std::printf("%d %d %d %d\n", box.left, box.top, box.right, box.bottom);
  return 0;
}

}  // namespace zivoda::tool
