// DrawTextW layout goldens: each line of data/draw_text_layout.txt is one call
// (font, flags, rectangle, text) with the rectangle and return value Windows'
// documented behaviour gives, worked out by hand from the fonts' own tables; plus
// the argument checks that do not fit a line (null text, dead DCs, bad params).
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdi.h"

namespace {

struct DcCloser {
  void operator()(GdiDeviceContextTag* dc) const { DeleteDC(dc); }
};
using OwnedDC = std::unique_ptr<GdiDeviceContextTag, DcCloser>;

// A memory DC with a 32-bit bitmap and a font selected, all released at the end.
class TextDC {
 public:
  TextDC(const std::u16string& face, LONG height) : dc_(CreateCompatibleDC(nullptr)) {
    LOGFONTW logfont{};
    logfont.lfHeight = height;
    logfont.lfWeight = FW_NORMAL;
    face.copy(logfont.lfFaceName, LF_FACESIZE - 1);
    font_ = CreateFontIndirectW(&logfont);
    HDC screen = GetDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(screen, 64, 64);
    ReleaseDC(nullptr, screen);
    oldFont_ = SelectObject(dc_.get(), font_);
    oldBitmap_ = SelectObject(dc_.get(), bitmap_);
  }
  ~TextDC() {
    SelectObject(dc_.get(), oldBitmap_);
    SelectObject(dc_.get(), oldFont_);
    DeleteObject(bitmap_);
    DeleteObject(font_);
  }
  HDC get() const { return dc_.get(); }

 private:
  OwnedDC dc_;
  HFONT font_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
};

const std::map<std::string, UINT>& FlagNames() {
  static const std::map<std::string, UINT> names = {
      {"0", 0},
      {"DT_CENTER", DT_CENTER},
      {"DT_RIGHT", DT_RIGHT},
      {"DT_VCENTER", DT_VCENTER},
      {"DT_BOTTOM", DT_BOTTOM},
      {"DT_WORDBREAK", DT_WORDBREAK},
      {"DT_SINGLELINE", DT_SINGLELINE},
      {"DT_EXPANDTABS", DT_EXPANDTABS},
      {"DT_TABSTOP", DT_TABSTOP},
      {"DT_NOCLIP", DT_NOCLIP},
      {"DT_EXTERNALLEADING", DT_EXTERNALLEADING},
      {"DT_CALCRECT", DT_CALCRECT},
      {"DT_NOPREFIX", DT_NOPREFIX},
      {"DT_INTERNAL", DT_INTERNAL},
      {"DT_EDITCONTROL", DT_EDITCONTROL},
      {"DT_PATH_ELLIPSIS", DT_PATH_ELLIPSIS},
      {"DT_END_ELLIPSIS", DT_END_ELLIPSIS},
      {"DT_MODIFYSTRING", DT_MODIFYSTRING},
      {"DT_RTLREADING", DT_RTLREADING},
      {"DT_WORD_ELLIPSIS", DT_WORD_ELLIPSIS},
      {"DT_NOFULLWIDTHCHARBREAK", DT_NOFULLWIDTHCHARBREAK},
      {"DT_HIDEPREFIX", DT_HIDEPREFIX},
      {"DT_PREFIXONLY", DT_PREFIXONLY},
  };
  return names;
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// Splits on '|' that is not escaped by a backslash (the escape stays for Unescape).
std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      fields.back() += line.substr(i, 2);
      ++i;
    } else if (line[i] == '|') {
      fields.emplace_back();
    } else {
      fields.back() += line[i];
    }
  }
  for (std::string& f : fields) f = Trim(f);
  return fields;
}

// UTF-8 with escapes to UTF-16.
std::u16string Unescape(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\\' && i + 1 < s.size()) {
      const char e = s[++i];
      if (e == 'r') out += u'\r';
      else if (e == 'n') out += u'\n';
      else if (e == 't') out += u'\t';
      else if (e == 'u' && i + 4 < s.size()) {
        out += static_cast<char16_t>(std::stoul(s.substr(i + 1, 4), nullptr, 16));
        i += 4;
      } else out += static_cast<char16_t>(e);
    } else if (c < 0x80) {
      out += static_cast<char16_t>(c);
    } else {
      // Two- and three-byte UTF-8 only (the data file keeps to the BMP).
      char32_t cp = 0;
      if ((c & 0xE0) == 0xC0) {
        cp = (char32_t{c} & 0x1F) << 6 | (static_cast<unsigned char>(s[i + 1]) & 0x3F);
        i += 1;
      } else {
        cp = (char32_t{c} & 0x0F) << 12 | (char32_t{static_cast<unsigned char>(s[i + 1])} & 0x3F) << 6 |
             (static_cast<unsigned char>(s[i + 2]) & 0x3F);
        i += 2;
      }
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

LONG Number(const std::string& s) {
  if (s == "MAX") return INT32_MAX;
  if (s == "MIN") return INT32_MIN;
  return static_cast<LONG>(std::stoll(s));
}

RECT ParseRect(const std::string& s) {
  std::vector<LONG> v;
  std::stringstream in(s);
  std::string part;
  while (std::getline(in, part, ',')) v.push_back(Number(Trim(part)));
  EXPECT_EQ(v.size(), 4u) << s;
  v.resize(4);
  return RECT{v[0], v[1], v[2], v[3]};
}

std::string Show(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

struct Case {
  int line = 0;
  std::string source;
  std::u16string face;
  LONG height = -16;
  UINT flags = 0;
  RECT box{};
  std::u16string text;
  RECT expected{};
  int result = 0;
  bool ex = false;
  int tab = 0, lm = 0, rm = 0;
  int cch = -1;
  bool checkModified = false;
  std::u16string modified;
  int drawn = -1;
};

std::vector<Case> LoadCases() {
  std::ifstream in(ZIVODA_TEST_DATA "/draw_text_layout.txt");
  EXPECT_TRUE(in.good());
  std::map<std::string, std::string> aliases;
  std::vector<Case> cases;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (Trim(line).empty() || line[0] == '#') continue;
    if (line.find('|') == std::string::npos && line.find(" = ") != std::string::npos) {
      aliases[Trim(line.substr(0, line.find(" = ")))] = Trim(line.substr(line.find(" = ") + 3));
      continue;
    }
    std::vector<std::string> f = SplitFields(line);
    if (f.size() < 6) {
      ADD_FAILURE() << "line " << number << ": too few fields";
      continue;
    }
    Case c;
    c.line = number;
    c.source = line;
    std::string font = aliases.count(f[0]) ? aliases[f[0]] : f[0];
    const size_t colon = font.rfind(':');
    c.face = Unescape(font.substr(0, colon));
    c.height = Number(font.substr(colon + 1));
    std::stringstream flags(f[1]);
    std::string name;
    while (flags >> name) {
      const auto it = FlagNames().find(name);
      if (it == FlagNames().end()) ADD_FAILURE() << "line " << number << ": unknown flag " << name;
      else c.flags |= it->second;
    }
    c.box = ParseRect(f[2]);
    c.text = Unescape(f[3]);
    c.expected = ParseRect(f[4]);
    c.result = static_cast<int>(Number(f[5]));
    if (f.size() > 6) {
      std::string extras = f[6];
      const size_t m = extras.find("modified=");
      if (m != std::string::npos) {
        c.checkModified = true;
        c.modified = Unescape(extras.substr(m + 9));
        extras = extras.substr(0, m);
      }
      std::stringstream words(extras);
      std::string word;
      while (words >> word) {
        const size_t eq = word.find('=');
        const std::string key = word.substr(0, eq);
        const int value = eq == std::string::npos ? 0 : std::stoi(word.substr(eq + 1));
        if (key == "ex") c.ex = true;
        else if (key == "tab") c.tab = value;
        else if (key == "lm") c.lm = value;
        else if (key == "rm") c.rm = value;
        else if (key == "cch") c.cch = value;
        else if (key == "drawn") c.drawn = value;
        else ADD_FAILURE() << "line " << number << ": unknown extra " << key;
      }
    }
    cases.push_back(std::move(c));
  }
  return cases;
}

TEST(DrawTextLayout, GoldenCases) {
  const std::vector<Case> cases = LoadCases();
  ASSERT_FALSE(cases.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE("draw_text_layout.txt line " + std::to_string(c.line) + ": " + c.source);
    TextDC dc(c.face, c.height);
    std::vector<char16_t> buffer(c.text.begin(), c.text.end());
    buffer.resize(c.text.size() + 8, u'\0');
    RECT rect = c.box;
    int result = 0;
    if (c.ex) {
      DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), c.tab, c.lm, c.rm, 12345};
      result = DrawTextExW(dc.get(), buffer.data(), c.cch, &rect, c.flags, &params);
      if (c.drawn >= 0) {
        EXPECT_EQ(params.uiLengthDrawn, static_cast<UINT>(c.drawn));
      }
      EXPECT_EQ(params.iTabLength, c.tab);  // never written back
    } else {
      result = DrawTextW(dc.get(), buffer.data(), c.cch, &rect, c.flags);
    }
    EXPECT_EQ(Show(rect), Show(c.expected));
    EXPECT_EQ(result, c.result);
    if (c.checkModified) {
      EXPECT_EQ(std::u16string(buffer.data()), c.modified);
    }
  }
}

TEST(DrawTextLayout, RefusesBadArguments) {
  TextDC dc(u"DejaVu Sans", -16);
  char16_t text[] = u"abc";
  struct Row {
    const char* what;
    HDC hdc;
    const char16_t* text;
    int cch;
    bool rect;
  };
  HDC dead = CreateCompatibleDC(nullptr);
  DeleteDC(dead);
  const Row rows[] = {
      {"null text, cch -1", dc.get(), nullptr, -1, true},
      {"null text, cch 0", dc.get(), nullptr, 0, true},
      {"null text, cch 3", dc.get(), nullptr, 3, true},
      {"null rect", dc.get(), text, -1, false},
      {"null DC", nullptr, text, -1, true},
      {"deleted DC", dead, text, -1, true},
      {"forged DC", reinterpret_cast<HDC>(uintptr_t{0xDEADBEEF}), text, -1, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    RECT rect{1, 2, 3, 4};
    EXPECT_EQ(DrawTextW(row.hdc, row.text, row.cch, row.rect ? &rect : nullptr, DT_CALCRECT), 0);
    EXPECT_EQ(Show(rect), "1,2,3,4");
  }
  // DrawTextExW with a wrong cbSize fails and writes nothing.
  for (UINT size : {0u, static_cast<UINT>(sizeof(DRAWTEXTPARAMS) - 1), static_cast<UINT>(sizeof(DRAWTEXTPARAMS) + 4)}) {
    SCOPED_TRACE("cbSize " + std::to_string(size));
    DRAWTEXTPARAMS params{size, 0, 0, 0, 77};
    RECT rect{1, 2, 3, 4};
    EXPECT_EQ(DrawTextExW(dc.get(), text, -1, &rect, DT_CALCRECT, &params), 0);
    EXPECT_EQ(params.uiLengthDrawn, 77u);
    EXPECT_EQ(Show(rect), "1,2,3,4");
  }
  // A null DRAWTEXTPARAMS is allowed.
  RECT rect{0, 0, 100, 0};
  EXPECT_EQ(DrawTextExW(dc.get(), text, -1, &rect, DT_CALCRECT, nullptr), 19);
}

}  // namespace
