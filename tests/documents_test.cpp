// Loading, serializing and saving whole markup documents through the real
// components: the serialized bytes, the chunked loading protocol as the call log
// shows it, and the save outcomes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "support/call_log.hpp"
#include "viRAZera.h"
#include "ziVodaRerodo/documents.hpp"

namespace {

using namespace zivoda;
using zivoda::test::CallLog;

// A tree parsed from markup, released at the end of the test.
class Tree {
 public:
  explicit Tree(const std::string& markup) : root_(LoadKespFromString(markup.c_str())) {}
  explicit Tree(KespTag root) : root_(root) {}
  ~Tree() {
    if (root_ != 0) vxReleaseKespTree(root_);
  }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  KespTag root() const { return root_; }

 private:
  KespTag root_;
};

uintptr_t Designator(const StubTarget& t) { return reinterpret_cast<uintptr_t>(&t); }

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

TEST(Documents, WorkedExample) {
  Tree t("<Doc note=\"it's &lt;b&gt; &amp; &quot;x&quot;\"><Item>x&lt;y</Item><Empty/></Doc>");
  ASSERT_NE(t.root(), 0u);
  EXPECT_EQ(KespDocumentToText(t.root()),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
            "<Doc note=\"it&apos;s &lt;b&gt; &amp; &quot;x&quot;\">\r\n"
            "\t<Item>\r\n"
            "\t\tx<y\r\n"
            "\t</Item>\r\n"
            "\t<Empty/>\r\n"
            "</Doc>");
}

TEST(Documents, TagText) {
  struct Case {
    const char* markup;
    uint32_t depth;
    std::string expected;
  } const cases[] = {
      {"<Name/>", 0, "<Name/>"},
      {"<Name/>", 2, "\r\n\t\t<Name/>"},
      {"<A>v</A>", 0, "<A>\r\n\tv\r\n</A>"},
      {"<A>v</A>", 1, "\r\n\t<A>\r\n\t\tv\r\n\t</A>"},
      // The value line comes first, then the children.
      {"<A>v<B/></A>", 0, "<A>\r\n\tv\r\n\t<B/>\r\n</A>"},
      {"<A><B><C/></B></A>", 0, "<A>\r\n\t<B>\r\n\t\t<C/>\r\n\t</B>\r\n</A>"},
      // Attribute values get all five entities, the value none.
      {"<A k=\"&amp;&lt;&gt;&apos;&quot;\">&amp;&lt;&gt;'\"</A>", 0,
       "<A k=\"&amp;&lt;&gt;&apos;&quot;\">\r\n\t&<>'\"\r\n</A>"},
      {"<A k=\"\"/>", 0, "<A k=\"\"/>"},
      {"<A a=\"1\" b=\"2\"/>", 0, "<A a=\"1\" b=\"2\"/>"},
      {"<A>caf\xC3\xA9</A>", 0, "<A>\r\n\tcaf\xC3\xA9\r\n</A>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.markup) + " at depth " + std::to_string(c.depth));
    Tree t(c.markup);
    ASSERT_NE(t.root(), 0u);
    EXPECT_EQ(KespToText(t.root(), c.depth), c.expected);
  }
}

TEST(Documents, NullTag) {
  EXPECT_EQ(KespToText(0, 0), "");
  EXPECT_EQ(KespToText(0, 5), "");
  EXPECT_EQ(KespDocumentToText(0), kDeclaration);
  EXPECT_EQ(KespDocumentToText(0).size(), 40u);
}

// Tag text is written unescaped (as the format has it), so only values free of
// '<' and '&' come back from a round trip.
TEST(Documents, SerializedTextLoadsBackToTheSameText) {
  const std::string markup =
      "<Scene w=\"640\" h=\"480\" t=\"a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;\">"
      "<Fonts><Font id=\"big\" face=\"DejaVu Sans\" size=\"24\"/></Fonts>"
      "<Text box=\"0 0 10 10\">Hello, w\xC3\xB6rld, more</Text><Empty/>"
      "<Nested><A><B><C>deep</C></B></A></Nested></Scene>";
  Tree t(markup);
  const std::string once = KespDocumentToText(t.root());
  Tree again(once);
  ASSERT_NE(again.root(), 0u);
  EXPECT_EQ(KespDocumentToText(again.root()), once);
}

TEST(Documents, DeepAndWideTreesSerializeExactly) {
  constexpr int kDepth = 3000;  // the text grows with the square of the depth
  std::string deep;
  for (int i = 0; i < kDepth; ++i) deep += "<d>";
  for (int i = 0; i < kDepth; ++i) deep += "</d>";
  Tree t(deep);
  ASSERT_NE(t.root(), 0u);
  const std::string text = KespToText(t.root(), 0);
  // Level k (from 0) opens with k tabs; the innermost is self-closing.
  size_t expected = 0;
  for (int k = 0; k < kDepth; ++k) {
    const size_t brk = k == 0 ? 0 : 2 + static_cast<size_t>(k);
    expected += brk + (k == kDepth - 1 ? 4 : 3 + (2 + static_cast<size_t>(k)) + 4);
  }
  EXPECT_EQ(text.size(), expected);
  EXPECT_EQ(text.substr(text.size() - 6), "\r\n</d>");

  std::string wide = "<w>";
  for (int i = 0; i < 100000; ++i) wide += "<i/>";
  wide += "</w>";
  Tree w(wide);
  EXPECT_EQ(KespToText(w.root(), 0).size(), 3 + 100000 * (3 + 4) + 2 + 4);
}

// The format written plainly, by recursion through the getters in the order the
// serializer must ask them: name, attributes (asking the count before each),
// children (asking the count before each), then the value.
std::string EscapeAttribute(const std::string& v) {
  std::string out;
  for (const char c : v) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '\'') out += "&apos;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

std::string ReferenceText(KespTag tag, uint32_t depth) {
  std::string out;
  if (depth != 0) out += "\r\n" + std::string(depth, '\t');
  const std::string name = vxGetKespTagName(tag);
  out += "<" + name;
  for (int32_t i = 0; i < vxGetKespTagAttrCount(tag); ++i) {
    out += std::string(" ") + vxGetKespTagAttrName(tag, i) + "=\"";
    out += EscapeAttribute(vxGetKespTagAttrValue(tag, i)) + "\"";
  }
  std::string children;
  for (int32_t i = 0; i < vxGetKespTagSubTagCount(tag); ++i)
    children += ReferenceText(vxGetKespTagSubTag(tag, i, 0), depth + 1);
  const std::string value = vxGetKespTagValue(tag);
  if (children.empty() && value.empty()) return out + "/>";
  out += ">";
  if (!value.empty()) out += "\r\n" + std::string(depth + 1, '\t') + value;
  return out + children + "\r\n" + std::string(depth, '\t') + "</" + name + ">";
}

std::string Chain(int depth, bool values) {
  std::string s;
  for (int i = 0; i < depth; ++i) s += "<c" + std::to_string(i % 3) + " k=\"" + std::to_string(i) + "&amp;\">" + (values ? "v" : "");
  for (int i = depth; i-- > 0;) s += std::string(values && i % 2 ? "w" : "") + "</c" + std::to_string(i % 3) + ">";
  return s;
}

// Same bytes and same calls as the plain walk, for shapes that reach the writer's
// corners: indents long enough to be spliced in, value lines of tags with
// children (spliced in after them) at every depth, names and attribute values
// around 32 bytes (measured as they are written up to there), long values.
TEST(Documents, SerializerMatchesAPlainWalkInTextAndCalls) {
  const std::string name31(31, 'n'), name33(33, 'm');
  const std::string longValue = std::string(40, 'q') + "&lt;" + std::string(30, '\'') + "&quot;";
  struct Case {
    std::string what;
    std::string markup;
    uint32_t depth;
  } const cases[] = {
      {"chain past the spliced indents", Chain(300, false), 0},
      {"chain with values at every level", Chain(300, true), 0},
      {"mixed tree started deep", "<a>x<b>y<c/>z</b><d k=\"1\">w</d></a>", 400},
      {"mixed tree at the edge of splicing", "<a>x<b>y<c/></b></a>", 254},
      {"names around 32 bytes", "<" + name31 + " " + name33 + "=\"" + name31 + "\"><" + name33 + "/></" + name31 + ">", 1},
      {"attribute values around 32 bytes",
       "<a v31=\"" + std::string(31, 'x') + "\" v32=\"" + std::string(31, 'x') + "&amp;\" v33=\"" +
           std::string(32, 'x') + "&lt;\" long=\"" + longValue + "\"/>",
       0},
      {"long value and attribute", "<a k=\"" + std::string(5000, 'x') + "&gt;\">" + std::string(5000, 'y') + "<b/></a>", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Tree t(c.markup);
    ASSERT_NE(t.root(), 0u);
    std::string expected, got;
    std::vector<std::string> expectedCalls, gotCalls;
    {
      CallLog log;
      expected = ReferenceText(t.root(), c.depth);
      expectedCalls = log.lines();
    }
    {
      CallLog log;
      got = KespToText(t.root(), c.depth);
      gotCalls = log.lines();
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(gotCalls, expectedCalls);
  }
}

// --- Loading through a stub ---------------------------------------------------

std::string Markup(size_t size) {
  std::string s = "<R>";
  while (s.size() + 4 < size) s += 'x';
  s += "</R>";
  return s;
}

TEST(Documents, LoadStreamsChunksAndMarksTheLast) {
  const std::string doc = Markup(2500);
  StubMemory mem{};
  mem.data = doc.data();
  mem.size = doc.size();
  StubTarget target{VI_TARGET_MEMORY, nullptr, &mem};
  CallLog log;
  Tree t(LoadKespFromStub(Designator(target)));
  ASSERT_NE(t.root(), 0u);
  EXPECT_EQ(std::string(vxGetKespTagValue(t.root())), doc.substr(3, doc.size() - 7));
  const auto chunks = log.Only({"vxParserKespBuffer"});
  ASSERT_EQ(chunks.size(), 3u) << log.Joined();
  EXPECT_NE(chunks[0].find(" 1024 0"), std::string::npos) << chunks[0];
  EXPECT_NE(chunks[1].find(" 1024 0"), std::string::npos) << chunks[1];
  EXPECT_NE(chunks[2].find(" 452 1"), std::string::npos) << chunks[2];
  // The stub is released before the tree is asked for.
  const auto order = log.Only({"vxDeleteStub", "vxGetParserKesp", "vxDeleteKespParser"});
  ASSERT_EQ(order.size(), 3u) << log.Joined();
  EXPECT_EQ(order[0].rfind("vxDeleteStub", 0), 0u);
  EXPECT_EQ(order[1].rfind("vxGetParserKesp", 0), 0u);
  EXPECT_EQ(order[2].rfind("vxDeleteKespParser", 0), 0u);
}

TEST(Documents, LoadFromAnEmptySourceNeverReads) {
  StubMemory mem{};
  StubTarget target{VI_TARGET_MEMORY, nullptr, &mem};
  CallLog log;
  EXPECT_EQ(LoadKespFromStub(Designator(target)), 0u);  // no document: no root
  EXPECT_TRUE(log.Only({"read", "vxParserKespBuffer"}).empty()) << log.Joined();
  EXPECT_EQ(log.Only({"vxGetParserKesp"}).size(), 1u) << log.Joined();
  EXPECT_EQ(log.Only({"vxDeleteStub"}).size(), 1u) << log.Joined();
}

TEST(Documents, LoadClampsAnOverclaimingReadAndStopsOnAFailedOne) {
  const std::string doc = Markup(3000);
  const int32_t overclaim[] = {5000};
  const int32_t failing[] = {1024, -1};
  for (const auto& [script, count, loads] :
       {std::tuple{overclaim, 1, true}, std::tuple{failing, 2, false}}) {
    StubMemory mem{};
    mem.data = doc.data();
    mem.size = doc.size();
    mem.chunks = script;
    mem.chunkCount = count;
    StubTarget target{VI_TARGET_MEMORY, nullptr, &mem};
    CallLog log;
    Tree t(LoadKespFromStub(Designator(target)));
    SCOPED_TRACE(log.Joined());
    EXPECT_EQ(t.root() != 0, loads);
    for (const auto& line : log.Only({"vxParserKespBuffer"})) {
      // No chunk ever claims more than the buffer, nor a negative count.
      const int32_t n = std::stoi(line.substr(line.find(' ', line.find(' ') + 1) + 1));
      EXPECT_GE(n, 0);
      EXPECT_LE(n, 1024);
    }
  }
}

TEST(Documents, LoadWithoutAStub) {
  StubMemory mem{};
  mem.refuseCreate = 1;
  StubTarget target{VI_TARGET_MEMORY, nullptr, &mem};
  CallLog log;
  EXPECT_EQ(LoadKespFromStub(Designator(target)), 0u);
  EXPECT_EQ(LoadKespFromStub(0), 0u);
  EXPECT_TRUE(log.Only({"vxCreateKespParser"}).empty()) << log.Joined();
}

TEST(Documents, LoadFromStringBadInput) {
  EXPECT_EQ(LoadKespFromString(nullptr), 0u);
  EXPECT_EQ(LoadKespFromString(""), 0u);
  EXPECT_EQ(LoadKespFromString("<a>"), 0u);
  EXPECT_EQ(LoadKespFromString("<a><b></a>"), 0u);
}

// --- Saving through a stub ----------------------------------------------------

TEST(Documents, SaveWritesTheDocumentInOneWrite) {
  Tree t("<A k=\"v\">x</A>");
  StubMemory mem{};
  StubTarget target{VI_TARGET_MEMORY, nullptr, &mem};
  CallLog log;
  EXPECT_TRUE(SaveKespToStub(t.root(), Designator(target)));
  const std::string expected = KespDocumentToText(t.root());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(mem.out), mem.outSize), expected);
  EXPECT_EQ(log.Only({"write"}).size(), 1u) << log.Joined();
  viFreeMemoryOutput(&mem);

  StubMemory nullDoc{};
  StubTarget nullTarget{VI_TARGET_MEMORY, nullptr, &nullDoc};
  EXPECT_TRUE(SaveKespToStub(0, Designator(nullTarget)));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(nullDoc.out), nullDoc.outSize), kDeclaration);
  viFreeMemoryOutput(&nullDoc);
}

TEST(Documents, SaveReportsAShortWriteAndAMissingStub) {
  Tree t("<A/>");
  const int64_t length = static_cast<int64_t>(KespDocumentToText(t.root()).size());
  {
    StubMemory mem{};
    mem.writeLimit = length - 1;
    StubTarget target{VI_TARGET_MEMORY, nullptr, &mem};
    CallLog log;
    EXPECT_FALSE(SaveKespToStub(t.root(), Designator(target)));
    EXPECT_EQ(log.Only({"vxDeleteStub"}).size(), 1u) << log.Joined();
    viFreeMemoryOutput(&mem);
  }
  {
    StubMemory mem{};
    mem.refuseCreate = 1;
    StubTarget target{VI_TARGET_MEMORY, nullptr, &mem};
    CallLog log;
    EXPECT_FALSE(SaveKespToStub(t.root(), Designator(target)));
    EXPECT_TRUE(log.Only({"write", "vxDeleteStub"}).empty()) << log.Joined();
  }
}

TEST(Documents, FileRoundTrip) {
  const auto dir = std::filesystem::temp_directory_path() / ("zivoda_documents_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "doc.xml").string();
  Tree t("<Doc a=\"1\"><Item>text</Item></Doc>");
  StubTarget target{VI_TARGET_FILE, path.c_str(), nullptr};
  ASSERT_TRUE(SaveKespToStub(t.root(), Designator(target)));
  std::ifstream in(path, std::ios::binary);
  const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(saved, KespDocumentToText(t.root()));
  Tree back(LoadKespFromStub(Designator(target)));
  ASSERT_NE(back.root(), 0u);
  EXPECT_EQ(KespDocumentToText(back.root()), saved);
  std::filesystem::remove_all(dir);
}

}  // namespace
