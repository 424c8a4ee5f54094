// The command-line program as a user runs it: output, messages and exit codes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ziVodaRerodo.h"

namespace {

struct CliRun {
  int status;
  std::string out;  // stdout and stderr together
};

CliRun Zivoda(const std::string& args) {
  const std::string cmd = std::string(ZIVODA_TOOL) + " " + args + " 2>&1";
  CliRun r{-1, ""};
  if (std::FILE* p = popen(cmd.c_str(), "r")) {
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  return r;
}

class TempFile {
 public:
  TempFile(const std::string& name, const std::string& content)
      : path_(std::filesystem::temp_directory_path() / name) {
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

TEST(ZivodaCli, FmtPrintsTheSerializedDocument) {
  TempFile doc("zivoda_cli_fmt.xml", "<?xml version=\"1.0\"?>\n<A k=\"a&amp;b\">\n  <B>text</B>\n</A>\n");
  const CliRun r = Zivoda("fmt " + doc.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<A k=\"a&amp;b\">\r\n\t<B>\r\n\t\ttext\r\n\t</B>\r\n</A>");
}

TEST(ZivodaCli, FmtOfTheBundledSample) {
  const CliRun r = Zivoda(std::string("fmt ") + ZIVODA_SOURCE_DIR + "/examples/sample.xml");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Scene ", 0), 0u) << r.out;
}

TEST(ZivodaCli, Errors) {
  TempFile bad("zivoda_cli_bad.xml", "<A>\n  <B>\n</A>\n");
  struct Case {
    std::string args;
    int status;
    std::string says;
  } const cases[] = {
      {"fmt /nonexistent/zivoda.xml", 1, "cannot open /nonexistent/zivoda.xml"},
      {"fmt " + bad.path(), 1, bad.path() + ":3:"},
      {"", 2, "usage: zivoda"},
      {"nosuchcommand", 2, "unknown command 'nosuchcommand'"},
      {"fmt", 2, "usage: zivoda fmt"},
      {"fmt a b", 2, "usage: zivoda fmt"},
      {"--help", 0, "commands:"},
      {"fmt --help", 0, "usage: zivoda fmt"},
      {"render --help", 0, "usage: zivoda render"},
      {"measure --help", 0, "usage: zivoda measure"},
      {"render " + bad.path(), 2, "usage: zivoda render"},  // no -o
      {"render /nonexistent/scene.xml -o /tmp/x.png", 1, "cannot open /nonexistent/scene.xml"},
      {"measure --format DT_CENTRE x", 2, "unknown format flag 'DT_CENTRE'"},
      {"measure --box '1 2 3' x", 2, "bad box '1 2 3'"},
      {"measure --font 'DejaVu Sans,huge' x", 2, "bad font attribute 'huge'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("zivoda " + c.args);
    const CliRun r = Zivoda(c.args);
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
  }
}

TEST(ZivodaCli, RenderWritesAPngAndWarnsOfUnknownFonts) {
  const std::string png = (std::filesystem::temp_directory_path() / "zivoda_cli_render.png").string();
  TempFile scene("zivoda_cli_scene.xml",
                 "<Scene width=\"120\" height=\"40\" background=\"FF000000\">"
                 "<Fonts><Font id=\"f\" size=\"10\"/></Fonts>"
                 "<Fill box=\"0 0 10 10\" color=\"FFFF0000\"/>"
                 "<Text font=\"f\" box=\"0 0 120 20\" format=\"DT_CENTER DT_SINGLELINE\" color=\"FFFFFFFF\">Hi</Text>"
                 "<Text font=\"nope\" box=\"0 20 120 40\" color=\"FFFFFFFF\">Hi</Text></Scene>");
  const CliRun r = Zivoda("render " + scene.path() + " -o " + png + " --boxes");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("unknown font id 'nope'"), std::string::npos) << r.out;
  std::ifstream in(png, std::ios::binary);
  char sig[8] = {};
  in.read(sig, 8);
  EXPECT_EQ(std::string(sig + 1, 3), "PNG");
  std::filesystem::remove(png);

  TempFile badFlag("zivoda_cli_badflag.xml",
                   "<Scene><Text box=\"0 0 10 10\" format=\"DT_CENTER DT_MIDDLE\">x</Text></Scene>");
  const CliRun b = Zivoda("render " + badFlag.path() + " -o " + png);
  EXPECT_EQ(b.status, 1);
  EXPECT_NE(b.out.find("unknown format flag 'DT_MIDDLE'"), std::string::npos) << b.out;
  EXPECT_FALSE(std::filesystem::exists(png));
}

TEST(ZivodaCli, MeasurePrintsWhatVxCalcTextBoxGives) {
  // The program and this test see the same pinned fonts (FONTCONFIG_FILE is inherited).
  Rect box{0, 0, 100, 50};
  vxCalcTextBox(&box, "Hello", VX_DT_RIGHT | VX_DT_BOTTOM, "");
  const CliRun r = Zivoda("measure --box '0 0 100 50' --format 'DT_RIGHT|DT_BOTTOM' Hello");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, std::to_string(box.left) + " " + std::to_string(box.top) + " 100 50\n");
}

}  // namespace
