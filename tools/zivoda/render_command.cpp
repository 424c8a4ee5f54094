// zivoda render SCENE.xml -o OUT.png [--boxes]: draws a scene document onto a
// vaRodurod canvas with vxDrawText and saves it as a PNG.
//
// A scene: <Scene width="W" height="H" background="AARRGGBB" [image="bg.png"]>
// whose children are drawn in order:
//   <Fonts> with <Font id=… face=… size=… bold=… …/> children: vxRegisterFont
//   <Fill box="L T R B" color="AARRGGBB"/>: a filled rectangle
//   <Text font="ID" box="L T R B" format="DT_… DT_…" color="AARRGGBB"
//         [clip="L T R B"]>the text</Text>
// --boxes outlines each text's box and the measured text box (vxCalcTextBox).
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <string_view>

#include "commands.hpp"
#include "format_flags.hpp"
#include "vaRodurod.h"
#include "ziVodaRerodo.h"
#include "ziVodaRerodo/attributes.hpp"

namespace zivoda::tool {
namespace {

constexpr const char* kUsage =
    "usage: zivoda render SCENE.xml -o OUT.png [--boxes]\n"
    "\n"
    "Draws every text of the scene with vxDrawText onto a canvas and saves it as\n"
    "a PNG. A scene is <Scene width= height= background=AARRGGBB [image=PNG]>\n"
    "holding, in drawing order: <Fonts> (its <Font> children are registered),\n"
    "<Fill box='L T R B' color=AARRGGBB/> and\n"
    "<Text font=ID box='L T R B' format='DT_CENTER DT_WORDBREAK' color=AARRGGBB\n"
    "      [clip='L T R B']>text</Text>.\n"
    "  --boxes   outline each box (magenta) and its measured text box (cyan)\n";

constexpr uint32_t kBoxColor = 0xC0FF00FF;
constexpr uint32_t kTextBoxColor = 0xC000C8FF;

// Fills r with color (0xAARRGGBB) through a texture of full coverage.
void Fill(CanvasHandle canvas, const Rect& r, uint32_t color) {
  const int64_t w = int64_t{r.right} - r.left, h = int64_t{r.bottom} - r.top;
  if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return;
  const TextureHandle t = CreateTexture(static_cast<int32_t>(w), static_cast<int32_t>(h));
  TextureLock lock{};
  if (LockTextureBits(t, &lock, 0) != 0) {
    std::memset(lock.bits, 0xFF, lock.imageSize);
    UnlockTextureBits(t, 0);
  }
  ShuffleTexture(t, 6);
  DrawModulation(canvas, r.left, r.top, t, color);
  DeleteTexture(t);
}

void Outline(CanvasHandle canvas, const Rect& r, uint32_t color) {
  Fill(canvas, {r.left, r.top, r.right, r.top + 1}, color);
  Fill(canvas, {r.left, r.bottom - 1, r.right, r.bottom}, color);
  Fill(canvas, {r.left, r.top + 1, r.left + 1, r.bottom - 1}, color);
  Fill(canvas, {r.right - 1, r.top + 1, r.right, r.bottom - 1}, color);
}

struct Scene {
  const char* path;
  CanvasHandle canvas;
  bool boxes;
  std::set<std::string> fontIds;
};

// Reads a required attribute through a parser; prints why and returns false.
template <typename T, typename Parse>
bool Read(const Scene& s, KespTag tag, int index, const char* name, Parse parse, T& out, bool required) {
  const char* v = vxGetKespTagAttr(tag, name);
  if (v == nullptr) {
    if (!required) return true;
    std::fprintf(stderr, "zivoda: %s: %s #%d has no %s\n", s.path, vxGetKespTagName(tag), index, name);
    return false;
  }
  const auto parsed = parse(std::string_view(v));
  if (!parsed) {
    std::fprintf(stderr, "zivoda: %s: %s #%d: bad %s '%s'\n", s.path, vxGetKespTagName(tag), index, name, v);
    return false;
  }
  out = *parsed;
  return true;
}

bool DrawText(Scene& s, KespTag tag, int index) {
  Rect box{};
  Rect clip{};
  uint32_t color = 0xFF000000;
  bool hasClip = vxGetKespTagAttr(tag, "clip") != nullptr;
  if (!Read(s, tag, index, "box", ParseRect, box, true) || !Read(s, tag, index, "color", ParseColor, color, false) ||
      !Read(s, tag, index, "clip", ParseRect, clip, false)) {
    return false;
  }
  uint32_t format = 0;
  if (const char* names = vxGetKespTagAttr(tag, "format")) {
    std::string bad;
    const auto f = ParseFormat(names, bad);
    if (!f) {
      std::fprintf(stderr, "zivoda: %s: Text #%d: unknown format flag '%s'\n", s.path, index, bad.c_str());
      return false;
    }
    format = *f;
  }
  std::string font;
  GetAttrString("font", tag, font);
  if (s.fontIds.count(font) == 0) {
    std::fprintf(stderr, "zivoda: warning: %s: Text #%d: unknown font id '%s', the initial font is used\n", s.path,
                 index, font.c_str());
    s.fontIds.insert(font);  // warn once an id
  }
  const char* text = vxGetKespTagValue(tag);
  Rect saved{};
  if (hasClip) {
    GetCanvasClip(s.canvas, &saved);
    SetCanvasClip(s.canvas, &clip);
  }
  vxDrawText(s.canvas, &box, text, format, color, font.c_str());
  if (hasClip) SetCanvasClip(s.canvas, &saved);
  if (s.boxes) {
    Rect textBox = box;
    vxCalcTextBox(&textBox, text, format, font.c_str());
    Outline(s.canvas, box, kBoxColor);
    Outline(s.canvas, textBox, kTextBoxColor);
  }
  return true;
}

bool DrawScene(Scene& s, KespTag root) {
  int texts = 0, fills = 0;
  for (int32_t i = 0; i < vxGetKespTagSubTagCount(root); ++i) {
    const KespTag child = vxGetKespTagSubTag(root, i, 0);
    const std::string_view name = vxGetKespTagName(child);
    if (name == "Fonts") {
      vxRegisterFont(child);
      for (int32_t k = 0; k < vxGetKespTagSubTagCount(child); ++k) {
        const KespTag f = vxGetKespTagSubTag(child, k, 0);
        const char* id = vxGetKespTagAttr(f, "id");
        if (std::strcmp(vxGetKespTagName(f), "Font") == 0 && id != nullptr) s.fontIds.insert(id);
      }
    } else if (name == "Text") {
      if (!DrawText(s, child, ++texts)) return false;
    } else if (name == "Fill") {
      Rect box{};
      uint32_t color = 0xFF000000;
      ++fills;
      if (!Read(s, child, fills, "box", ParseRect, box, true) || !Read(s, child, fills, "color", ParseColor, color, true))
        return false;
      Fill(s.canvas, box, color);
    } else {
      std::fprintf(stderr, "zivoda: warning: %s: unknown element <%.*s> skipped\n", s.path,
                   static_cast<int>(name.size()), name.data());
    }
  }
  return true;
}

int RenderFile(const char* path, const char* out, bool boxes) {
  const KespTag root = LoadDocument(path);
  if (root == 0) return 1;
  const int32_t width = GetAttrInt("width", root, 640);
  const int32_t height = GetAttrInt("height", root, 480);
  uint32_t background = 0xFFFFFFFF;
  if (const char* bg = vxGetKespTagAttr(root, "background")) {
    const auto c = ParseColor(bg);
    if (!c) {
      std::fprintf(stderr, "zivoda: %s: bad background '%s'\n", path, bg);
      vxReleaseKespTree(root);
      return 1;
    }
    background = *c;
  }
  Scene s{path, CreateCanvas(width, height), boxes, {}};
  if (s.canvas == 0) {
    std::fprintf(stderr, "zivoda: %s: cannot make a canvas of %d x %d\n", path, width, height);
    vxReleaseKespTree(root);
    return 1;
  }
  ClearCanvas(s.canvas, background);
  int rc = 0;
  if (const char* image = vxGetKespTagAttr(root, "image")) {
    std::string file = image;
    const std::string_view p = path;
    if (!file.empty() && file[0] != '/' && p.rfind('/') != std::string_view::npos)
      file = std::string(p.substr(0, p.rfind('/') + 1)) + file;  // relative to the scene
    if (LoadCanvasPng(s.canvas, file.c_str()) == 0) {
      std::fprintf(stderr, "zivoda: %s: cannot load image %s\n", path, file.c_str());
      rc = 1;
    }
  }
  if (rc == 0 && !DrawScene(s, root)) rc = 1;
  if (rc == 0 && SaveCanvasPng(s.canvas, out) == 0) {
    std::fprintf(stderr, "zivoda: cannot write %s\n", out);
    rc = 1;
  }
  DeleteCanvas(s.canvas);
  vxReleaseKespTree(root);
  return rc;
}

}  // namespace

int Render(int argc, char** argv) {
  const char* scene = nullptr;
  const char* out = nullptr;
  bool boxes = false;
  for (int i = 0; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (IsHelp(a)) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "-o" && i + 1 < argc) {
      out = argv[++i];
    } else if (a == "--boxes") {
      boxes = true;
    } else if (scene == nullptr && !a.empty() && a[0] != '-') {
      scene = argv[i];
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (scene == nullptr || out == nullptr) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  return RenderFile(scene, out, boxes);
}

}  // namespace zivoda::tool
