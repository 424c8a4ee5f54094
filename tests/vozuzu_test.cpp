// The markup parser component voZuzu through its C interface: chunked input,
// the getters, handle safety, failure reports with line and column, the limits
// (depth, size, entity expansion), round trips through the serialized format,
// the call log, and the handle-range allocator behind the tag handles.
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <latch>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "components/voZuzu/handle_ranges.hpp"
#include "support/call_log.hpp"
#include "voZuzu.h"

namespace {

using zivoda::test::CallLog;

// The outcome of one parse: the root (kept by the caller) or the error.
struct Parsed {
  KespTag root = 0;
  KespParseError error{};
  bool failed = false;
  std::string message;
};

// Feeds chunks (the last one flagged) and takes the tree with keep = 1.
Parsed ParseChunks(const std::vector<std::string_view>& chunks) {
  Parsed out;
  const KespParser parser = vxCreateKespParser();
  for (size_t i = 0; i < chunks.size(); ++i)
    vxParserKespBuffer(parser, chunks[i].data(), static_cast<int32_t>(chunks[i].size()), i + 1 == chunks.size());
  out.root = vxGetParserKesp(parser, 1);
  out.failed = vxGetKespParserError(parser, &out.error) == 1;
  if (out.failed) out.message = out.error.message;
  vxDeleteKespParser(parser);
  return out;
}

Parsed ParseChunks(const std::vector<std::string>& chunks) {
  return ParseChunks(std::vector<std::string_view>(chunks.begin(), chunks.end()));
}

Parsed Parse(std::string_view markup) { return ParseChunks(std::vector<std::string_view>{markup}); }

// A string from the component, null shown as such.
std::string Str(const char* s) { return s != nullptr ? s : "(null)"; }

// A parsed tree, released at the end of the scope.
class Tree {
 public:
  explicit Tree(const std::string& markup) : parsed_(Parse(markup)) {}
  explicit Tree(Parsed parsed) : parsed_(std::move(parsed)) {}
  ~Tree() {
    if (parsed_.root != 0) vxReleaseKespTree(parsed_.root);
  }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  KespTag root() const { return parsed_.root; }
  const Parsed& parsed() const { return parsed_; }

 private:
  Parsed parsed_;
};

// A compact picture of a subtree: Name[attr=value,...]"value"{children}.
std::string Dump(KespTag tag) {
  std::string s = vxGetKespTagName(tag);
  const int32_t attrs = vxGetKespTagAttrCount(tag);
  if (attrs > 0) {
    s += '[';
    for (int32_t i = 0; i < attrs; ++i)
      s += std::string(i ? "," : "") + vxGetKespTagAttrName(tag, i) + "=" + vxGetKespTagAttrValue(tag, i);
    s += ']';
  }
  const std::string value = vxGetKespTagValue(tag);
  if (!value.empty()) s += "\"" + value + "\"";
  const int32_t children = vxGetKespTagSubTagCount(tag);
  if (children > 0) {
    s += '{';
    for (int32_t i = 0; i < children; ++i) s += (i ? "," : "") + Dump(vxGetKespTagSubTag(tag, i, 0));
    s += '}';
  }
  return s;
}

// The serialized document format: "<Name attrs>", CR LF, depth + 1 TABs and the
// value (not escaped), the children, CR LF, depth TABs, "</Name>"; attribute
// values escaped with the five predefined entities; a bare tag self-closes.
std::string Escape(const std::string& v) {
  std::string out;
  for (const char c : v) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '\'': out += "&apos;"; break;
      case '"': out += "&quot;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Serialize(KespTag tag, uint32_t depth) {
  std::string out;
  if (depth != 0) out += "\r\n" + std::string(depth, '\t');
  const std::string name = vxGetKespTagName(tag);
  std::string attrs;
  for (int32_t i = 0; i < vxGetKespTagAttrCount(tag); ++i)
    attrs += std::string(" ") + vxGetKespTagAttrName(tag, i) + "=\"" + Escape(vxGetKespTagAttrValue(tag, i)) + "\"";
  std::string children;
  for (int32_t i = 0; i < vxGetKespTagSubTagCount(tag); ++i)
    children += Serialize(vxGetKespTagSubTag(tag, i, 0), depth + 1);
  const std::string value = vxGetKespTagValue(tag);
  if (value.empty() && children.empty()) return out + "<" + name + attrs + "/>";
  out += "<" + name + attrs + ">";
  if (!value.empty()) out += "\r\n" + std::string(depth + 1, '\t') + value;
  return out + children + "\r\n" + std::string(depth, '\t') + "</" + name + ">";
}

std::string Nested(size_t depth) {
  std::string s;
  s.reserve(depth * 7);
  for (size_t i = 0; i < depth; ++i) s += "<a>";
  for (size_t i = 0; i < depth; ++i) s += "</a>";
  return s;
}

// --- Chunked input --------------------------------------------------------------

const std::string kSample =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<!-- a comment -->\r\n"
    "<Doc a=\"1\" b=\"x &amp; y\">\r\n"
    "  <Item id=\"i1\">  text &lt;1&gt;  </Item>\r\n"
    "  <Item id='i2'><![CDATA[<raw>]]></Item>\r\n"
    "  <Empty/>\r\n"
    "  <Mixed>head<B/>tail<?pi x?></Mixed>\r\n"
    "</Doc>\r\n";
const std::string kSampleDump =
    "Doc[a=1,b=x & y]{Item[id=i1]\"text <1>\",Item[id=i2]\"<raw>\",Empty,Mixed\"headtail\"{B}}";

TEST(VoZuzuChunks, EverySplitGivesTheSameTree) {
  {
    Tree whole(kSample);
    ASSERT_NE(whole.root(), 0u) << whole.parsed().message;
    EXPECT_EQ(Dump(whole.root()), kSampleDump);
  }
  // Two pieces with an empty chunk between them, at every split point.
  for (size_t k = 0; k <= kSample.size(); ++k) {
    SCOPED_TRACE("split at " + std::to_string(k));
    const std::string_view sample = kSample;
    Tree t(ParseChunks(std::vector<std::string_view>{sample.substr(0, k), "", sample.substr(k)}));
    ASSERT_NE(t.root(), 0u) << t.parsed().message;
    EXPECT_EQ(Dump(t.root()), kSampleDump);
  }
  // Chunks of every size, once with the data's last chunk flagged and once with
  // an empty final chunk.
  for (size_t size = 1; size <= kSample.size(); ++size) {
    std::vector<std::string> chunks;
    for (size_t at = 0; at < kSample.size(); at += size) chunks.push_back(kSample.substr(at, size));
    for (const bool emptyLast : {false, true}) {
      SCOPED_TRACE("chunk size " + std::to_string(size) + (emptyLast ? " + empty last chunk" : ""));
      std::vector<std::string> feed = chunks;
      if (emptyLast) feed.emplace_back();
      Tree t(ParseChunks(feed));
      ASSERT_NE(t.root(), 0u) << t.parsed().message;
      EXPECT_EQ(Dump(t.root()), kSampleDump);
    }
  }
}

TEST(VoZuzuChunks, ParserWithoutALastChunkParsesWhatItGathered) {
  const KespParser parser = vxCreateKespParser();
  ASSERT_NE(parser, 0u);
  EXPECT_EQ(vxParserKespBuffer(parser, "<a x='1'>", 9, 0), 1);
  EXPECT_EQ(vxParserKespBuffer(parser, nullptr, 0, 0), 1);  // no bytes, count 0: fine
  EXPECT_EQ(vxParserKespBuffer(parser, "v</a>", 5, 0), 1);
  const KespTag root = vxGetParserKesp(parser, 1);
  ASSERT_NE(root, 0u);
  EXPECT_EQ(Dump(root), "a[x=1]\"v\"");
  // Once parsed, the parser takes no more chunks and keeps its tree.
  EXPECT_EQ(vxParserKespBuffer(parser, "<b/>", 4, 1), 0);
  EXPECT_EQ(vxGetParserKesp(parser, 1), root);
  EXPECT_EQ(vxDeleteKespParser(parser), 1);
  EXPECT_EQ(Dump(root), "a[x=1]\"v\"");
  EXPECT_EQ(vxReleaseKespTree(root), 1);
}

TEST(VoZuzuChunks, RefusedChunksFailTheDocument) {
  struct Row {
    const char* what;
    const void* bytes;
    int32_t count;
  };
  const Row rows[] = {
      {"negative count", "<b/>", -1},
      {"no bytes with a count", nullptr, 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const KespParser parser = vxCreateKespParser();
    EXPECT_EQ(vxParserKespBuffer(parser, "<a>\n<b/>", 8, 0), 1);
    EXPECT_EQ(vxParserKespBuffer(parser, row.bytes, row.count, 0), 0);
    // Later chunks are refused too: the document has a hole.
    EXPECT_EQ(vxParserKespBuffer(parser, "</a>", 4, 1), 0);
    EXPECT_EQ(vxGetParserKesp(parser, 1), 0u);
    KespParseError error{};
    ASSERT_EQ(vxGetKespParserError(parser, &error), 1);
    EXPECT_EQ(error.line, 2);  // just after the bytes gathered before the lost chunk
    EXPECT_EQ(error.column, 5);
    EXPECT_NE(std::string(error.message).find("chunk lost"), std::string::npos) << error.message;
    vxDeleteKespParser(parser);
  }
}

TEST(VoZuzuChunks, DocumentOverTheSizeLimitIsRefusedWithoutBeingCopied) {
  // A read-only mapping of zero pages stands in for a huge chunk: the parser must
  // refuse it from its count, without copying (which would fault the pages in).
  const size_t length = size_t{KESP_MAX_DOCUMENT_BYTES} + 4096;
  void* huge = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(huge, MAP_FAILED);
  const KespParser parser = vxCreateKespParser();
  EXPECT_EQ(vxParserKespBuffer(parser, "<a>\n", 4, 0), 1);
  const int32_t over = static_cast<int32_t>(KESP_MAX_DOCUMENT_BYTES - 4 + 1);
  EXPECT_EQ(vxParserKespBuffer(parser, huge, over, 1), 0);
  EXPECT_EQ(vxGetParserKesp(parser, 1), 0u);
  KespParseError error{};
  ASSERT_EQ(vxGetKespParserError(parser, &error), 1);
  // Where the refused chunk begins.
  EXPECT_EQ(error.line, 2);
  EXPECT_EQ(error.column, 1);
  EXPECT_NE(std::string(error.message).find("larger than"), std::string::npos) << error.message;
  vxDeleteKespParser(parser);
  munmap(huge, length);
}

// --- Getters -------------------------------------------------------------------

TEST(VoZuzuGetters, AttributesChildrenAndOutOfRangeIndexes) {
  Tree t("<Root first=\"1\" second=\"two\" empty=\"\"><A/><B k=\"v\">b</B><C/></Root>");
  const KespTag root = t.root();
  ASSERT_NE(root, 0u);
  EXPECT_STREQ(vxGetKespTagName(root), "Root");
  EXPECT_STREQ(vxGetKespTagValue(root), "");
  ASSERT_EQ(vxGetKespTagAttrCount(root), 3);
  EXPECT_STREQ(vxGetKespTagAttrName(root, 0), "first");
  EXPECT_STREQ(vxGetKespTagAttrValue(root, 1), "two");
  EXPECT_STREQ(vxGetKespTagAttrName(root, 2), "empty");
  EXPECT_STREQ(vxGetKespTagAttrValue(root, 2), "");
  EXPECT_STREQ(vxGetKespTagAttr(root, "second"), "two");
  EXPECT_STREQ(vxGetKespTagAttr(root, "empty"), "");  // present and empty: not null
  EXPECT_EQ(vxGetKespTagAttr(root, "missing"), nullptr);
  EXPECT_EQ(vxGetKespTagAttr(root, "Second"), nullptr);  // names match exactly
  EXPECT_EQ(vxGetKespTagAttr(root, nullptr), nullptr);
  for (const int32_t bad : {-1, 3, INT32_MAX, INT32_MIN}) {
    SCOPED_TRACE(bad);
    EXPECT_STREQ(vxGetKespTagAttrName(root, bad), "");
    EXPECT_STREQ(vxGetKespTagAttrValue(root, bad), "");
  }

  ASSERT_EQ(vxGetKespTagSubTagCount(root), 3);
  const char* names[] = {"A", "B", "C"};
  for (int32_t i = 0; i < 3; ++i) EXPECT_STREQ(vxGetKespTagName(vxGetKespTagSubTag(root, i, 0)), names[i]);
  for (const int32_t bad : {-1, 3, INT32_MIN}) EXPECT_EQ(vxGetKespTagSubTag(root, bad, 0), 0u) << bad;
  EXPECT_EQ(vxGetKespTagSubTag(root, 0, 1), 0u);  // other kinds give nothing
  const KespTag b = vxGetKespTagSubTag(root, 1, 0);
  EXPECT_STREQ(vxGetKespTagValue(b), "b");
  EXPECT_EQ(vxGetKespTagSubTagCount(b), 0);
  EXPECT_EQ(vxGetKespTagSubTag(b, 0, 0), 0u);

  // An attribute value stays put across further getter calls on the tag.
  const char* first = vxGetKespTagAttr(root, "first");
  for (int i = 0; i < 6; ++i) vxGetKespTagAttr(root, "second");
  EXPECT_EQ(vxGetKespTagAttr(root, "first"), first);
  EXPECT_STREQ(first, "1");
}

TEST(VoZuzuGetters, ValueIsCharacterDataTrimmedOfWhiteSpace) {
  struct Row {
    const char* markup;
    const char* value;
  };
  const Row rows[] = {
      {"<a>x</a>", "x"},
      {"<a> \t\r\n x y \t\r\n </a>", "x y"},            // XML white space at both ends
      {"<a>x\r\ny\rz</a>", "x\ny\nz"},                  // line breaks inside become LF
      {"<a>\xC2\xA0x\xC2\xA0</a>", "\xC2\xA0x\xC2\xA0"},  // no-break space is not XML white space
      {"<a>&#32;x&#9;</a>", "x"},                       // white space from references is trimmed too
      {"<a>&lt;&amp;&gt;&quot;&apos;&#65;&#x42;</a>", "<&>\"'AB"},
      {"<a>&unknown; &#xZZ;</a>", "&unknown; &#xZZ;"},  // left as written
      {"<a>head<b>inner</b>tail</a>", "headtail"},      // only the tag's own text
      {"<a> one <b/> two </a>", "one  two"},
      {"<a><![CDATA[ c ]]></a>", "c"},
      {"<a>x<![CDATA[<y>]]>z</a>", "x<y>z"},
      {"<a>x<!-- comment -->y<?pi?>z</a>", "xyz"},
      {"<a></a>", ""},
      {"<a>  \r\n\t </a>", ""},
      {"<a/>", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.markup);
    Tree t(row.markup);
    ASSERT_NE(t.root(), 0u) << t.parsed().message;
    EXPECT_STREQ(vxGetKespTagValue(t.root()), row.value);
  }
}

TEST(VoZuzuGetters, AttributeValuesAreUnescapedAndNormalized) {
  Tree t("<a e=\"&lt;&amp;&gt;&quot;&apos;\" w=\"x\ty\r\nz\" q='\"' r=\"'\"/>");
  ASSERT_NE(t.root(), 0u) << t.parsed().message;
  EXPECT_STREQ(vxGetKespTagAttr(t.root(), "e"), "<&>\"'");
  EXPECT_STREQ(vxGetKespTagAttr(t.root(), "w"), "x y z");  // XML attribute-value normalization
  EXPECT_STREQ(vxGetKespTagAttr(t.root(), "q"), "\"");
  EXPECT_STREQ(vxGetKespTagAttr(t.root(), "r"), "'");
}

TEST(VoZuzuGetters, FlatDocumentWithManyChildren) {
  // 100,000 children: every getter is an index, so walking them all is quick.
  const int kChildren = 100000;
  std::string markup = "<r>";
  for (int i = 0; i < kChildren; ++i) markup += "<c i=\"" + std::to_string(i) + "\"/>";
  markup += "</r>";
  Tree t(markup);
  ASSERT_NE(t.root(), 0u);
  ASSERT_EQ(vxGetKespTagSubTagCount(t.root()), kChildren);
  for (int i = 0; i < kChildren; i += 9973)
    EXPECT_EQ(Str(vxGetKespTagAttr(vxGetKespTagSubTag(t.root(), i, 0), "i")), std::to_string(i));
  const std::string text = Serialize(t.root(), 0);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kChildren + 1);
}

// --- Handles -------------------------------------------------------------------

TEST(VoZuzuHandles, StaleForeignAndReleasedTagsGiveEmptyResults) {
  Tree live("<a x=\"1\"><b/></a>");
  ASSERT_NE(live.root(), 0u);
  KespTag releasedRoot;
  KespTag releasedChild;
  {
    Tree gone("<r y=\"2\"><s/></r>");
    releasedRoot = gone.root();
    releasedChild = vxGetKespTagSubTag(releasedRoot, 0, 0);
    ASSERT_NE(releasedChild, 0u);
  }
  struct Row {
    const char* what;
    KespTag tag;
  };
  const Row rows[] = {
      {"no tag", 0},
      {"all bits set", 0xFFFFFFFFu},
      {"released root", releasedRoot},
      {"released child", releasedChild},
      {"one past the live tree", live.root() + 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_STREQ(vxGetKespTagName(row.tag), "");
    EXPECT_STREQ(vxGetKespTagValue(row.tag), "");
    EXPECT_EQ(vxGetKespTagAttr(row.tag, "x"), nullptr);
    EXPECT_EQ(vxGetKespTagAttr(row.tag, "y"), nullptr);
    EXPECT_EQ(vxGetKespTagAttrCount(row.tag), 0);
    EXPECT_STREQ(vxGetKespTagAttrName(row.tag, 0), "");
    EXPECT_STREQ(vxGetKespTagAttrValue(row.tag, 0), "");
    EXPECT_EQ(vxGetKespTagSubTagCount(row.tag), 0);
    EXPECT_EQ(vxGetKespTagSubTag(row.tag, 0, 0), 0u);
    EXPECT_EQ(vxReleaseKespTree(row.tag), 0);
  }
  EXPECT_EQ(Dump(live.root()), "a[x=1]{b}");
}

TEST(VoZuzuHandles, ReleasedHandlesAreNotReusedSoon) {
  std::set<KespTag> old;
  {
    Tree first("<a><b/><c/></a>");
    old = {first.root(), vxGetKespTagSubTag(first.root(), 0, 0), vxGetKespTagSubTag(first.root(), 1, 0)};
  }
  for (int i = 0; i < 100; ++i) {
    Tree next("<a><b/><c/></a>");
    for (const KespTag tag :
         {next.root(), vxGetKespTagSubTag(next.root(), 0, 0), vxGetKespTagSubTag(next.root(), 1, 0)})
      ASSERT_EQ(old.count(tag), 0u) << "handle " << tag << " came back after " << i << " trees";
    for (const KespTag tag : old) ASSERT_STREQ(vxGetKespTagName(tag), "");
  }
}

TEST(VoZuzuHandles, TreeOwnership) {
  const std::string markup = "<a><b/></a>";
  auto start = [&] {
    const KespParser p = vxCreateKespParser();
    vxParserKespBuffer(p, markup.data(), static_cast<int32_t>(markup.size()), 1);
    return p;
  };
  const int32_t trees = vzLiveTrees();
  {  // keep = 0: the tree goes with the parser, and the caller cannot release it.
    const KespParser p = start();
    const KespTag root = vxGetParserKesp(p, 0);
    ASSERT_NE(root, 0u);
    EXPECT_EQ(vxGetParserKesp(p, 0), root);
    EXPECT_EQ(vxReleaseKespTree(root), 0);
    EXPECT_EQ(vzLiveTrees(), trees + 1);
    EXPECT_EQ(vxDeleteKespParser(p), 1);
    EXPECT_EQ(vzLiveTrees(), trees);
    EXPECT_STREQ(vxGetKespTagName(root), "");
  }
  for (const auto& [firstKeep, secondKeep] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{1, 1}}) {
    // Once kept, the tree is the caller's, whatever later calls ask.
    SCOPED_TRACE(std::to_string(firstKeep) + " then " + std::to_string(secondKeep));
    const KespParser p = start();
    const KespTag root = vxGetParserKesp(p, firstKeep);
    EXPECT_EQ(vxGetParserKesp(p, secondKeep), root);
    EXPECT_EQ(vxDeleteKespParser(p), 1);
    EXPECT_EQ(Dump(root), "a{b}");
    EXPECT_EQ(vxReleaseKespTree(vxGetKespTagSubTag(root, 0, 0)), 0);  // not a root
    EXPECT_EQ(vxReleaseKespTree(root), 1);
    EXPECT_EQ(vxReleaseKespTree(root), 0);
  }
  {  // A kept tree the caller released is gone for the parser too.
    const KespParser p = start();
    const KespTag root = vxGetParserKesp(p, 1);
    EXPECT_EQ(vxReleaseKespTree(root), 1);
    EXPECT_EQ(vxGetParserKesp(p, 1), 0u);
    EXPECT_EQ(vxDeleteKespParser(p), 1);
  }
}

TEST(VoZuzuHandles, DeletedAndForeignParsers) {
  const KespParser deleted = vxCreateKespParser();
  ASSERT_NE(deleted, 0u);
  EXPECT_EQ(vxDeleteKespParser(deleted), 1);
  for (const KespParser bad : {deleted, KespParser{0}, KespParser{0xFFFFFFFFu}}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(vxParserKespBuffer(bad, "<a/>", 4, 1), 0);
    EXPECT_EQ(vxGetParserKesp(bad, 1), 0u);
    KespParseError error{};
    EXPECT_EQ(vxGetKespParserError(bad, &error), 0);
    EXPECT_EQ(vxDeleteKespParser(bad), 0);
  }
  // A new parser does not take the deleted one's handle.
  const KespParser next = vxCreateKespParser();
  EXPECT_NE(next, deleted);
  vxDeleteKespParser(next);
}

TEST(VoZuzuHandles, ManyThreadsParseAndReadAtOnce) {
  const std::string markup = "<Doc><Font id=\"f\" size=\"12\"/><Font id=\"g\"/></Doc>";
  std::vector<int> good(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const Parsed p = Parse(markup);
        const KespTag font = vxGetKespTagSubTag(p.root, 0, 0);
        good[t] += Str(vxGetKespTagAttr(font, "size")) == "12" && vxGetKespTagSubTagCount(p.root) == 2;
        vxReleaseKespTree(p.root);
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(good[t], 200) << "thread " << t;
}

// Getters answer from a per-thread memo of the tree last read: a release on
// another thread, ordered before the next getter, must still make that getter
// refuse, and the tree counts as released at once.
TEST(VoZuzuHandles, AReleaseOnAnotherThreadIsSeenByTheNextGetter) {
  const int32_t trees = vzLiveTrees();
  const Parsed p = Parse("<a x=\"1\"><b/><c/></a>");
  ASSERT_NE(p.root, 0u);
  const KespTag child = vxGetKespTagSubTag(p.root, 1, 0);
  std::latch read(1), released(1);
  std::string before, after;
  std::thread reader([&] {
    before = Dump(p.root);  // the reader's memo now holds the tree
    read.count_down();
    released.wait();
    after = Dump(p.root) + "|" + Dump(child) + "|" + Str(vxGetKespTagAttr(p.root, "x")) + "|" +
            std::to_string(vxGetKespTagSubTagCount(p.root)) + "|" + std::to_string(vxGetKespTagAttrCount(p.root));
  });
  read.wait();
  EXPECT_EQ(vxReleaseKespTree(p.root), 1);
  EXPECT_EQ(vzLiveTrees(), trees);
  released.count_down();
  reader.join();
  EXPECT_EQ(before, "a[x=1]{b,c}");
  EXPECT_EQ(after, "||(null)|0|0");
}

// Readers racing a release of their tree (a caller's race, but not a crash):
// each getter sees the tree whole or refuses; under the sanitizers no freed
// memory is read.
TEST(VoZuzuHandles, GettersRacingAReleaseSeeTheTreeOrNothing) {
  for (int round = 0; round < 20; ++round) {
    const Parsed p = Parse("<a><b x=\"1\"/><b x=\"2\" y=\"3\"/></a>");
    ASSERT_NE(p.root, 0u);
    std::atomic<int> ready{0};
    std::atomic<bool> odd{false};
    std::vector<std::thread> readers;
    for (int t = 0; t < 2; ++t) {
      readers.emplace_back([&] {
        ready.fetch_add(1);
        for (int i = 0; i < 2000; ++i) {
          const int32_t children = vxGetKespTagSubTagCount(p.root);
          const int32_t attrs = vxGetKespTagAttrCount(vxGetKespTagSubTag(p.root, 1, 0));
          if ((children != 2 && children != 0) || (attrs != 2 && attrs != 0)) odd = true;
        }
      });
    }
    while (ready.load() < 2) std::this_thread::yield();
    EXPECT_EQ(vxReleaseKespTree(p.root), 1);
    for (auto& r : readers) r.join();
    EXPECT_FALSE(odd.load()) << "round " << round;
    EXPECT_EQ(vxGetKespTagSubTagCount(p.root), 0);
  }
}

// --- Failures ------------------------------------------------------------------

TEST(VoZuzuFailures, MalformedDocumentsReportWhereAndWhy) {
  struct Row {
    std::string markup;
    int32_t line;
    int32_t column;  // 0: not checked (where the XML parser gave up inside a construct)
    const char* message;
  };
  const Row rows[] = {
      // Nothing to parse: the position is the end of the text.
      {"", 1, 1, "no root element"},
      {"  \n   ", 2, 4, "no root element"},
      {"<!-- only a comment -->", 1, 24, "no root element"},
      // Structure.
      {"<a>\n  <b>\n</a>", 3, 1, "end tag does not match"},
      {"<a>\r\n<b></c></a>", 2, 4, "end tag does not match"},  // CR LF is one line break
      {"<a>\r<b></c></a>", 2, 4, "end tag does not match"},    // so is a lone CR
      {"<a/></a>", 1, 5, "end tag does not match"},
      {"<a>\n<b>", 2, 4, "not closed"},
      {"<a>text", 1, 8, "not closed"},
      {"<a/>\n<b/>", 2, 1, "more than one root"},
      {"<a/>\njunk", 2, 1, "text outside the root"},
      {"junk<a/>", 1, 1, "text outside the root"},
      {"<a/><![CDATA[x]]>", 1, 5, "text outside the root"},
      {"<a x=\"1\" y=\"2\"\n   x=\"3\"/>", 2, 4, "duplicate attribute"},
      {std::string("<a>\0</a>", 8), 1, 4, "NUL byte"},
      // Syntax, where the XML parser stops.
      {"<a x=1/>", 1, 6, "malformed attribute"},
      {"<a>\n<b x=\"1/></a>", 2, 0, "malformed attribute"},
      {"<a>\n<!-- x </a>", 2, 0, "malformed comment"},
      {"<a>\n<![CDATA[x</a>", 2, 0, "malformed CDATA"},
      {"<a>\n</a", 2, 0, "malformed end tag"},
      {"<a>\n< b/></a>", 2, 0, "unrecognized markup"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.markup);
    const Parsed p = Parse(row.markup);
    EXPECT_EQ(p.root, 0u);
    ASSERT_TRUE(p.failed);
    EXPECT_NE(p.message.find(row.message), std::string::npos) << p.message;
    EXPECT_EQ(p.error.line, row.line);
    if (row.column != 0) {
      EXPECT_EQ(p.error.column, row.column);
    }
    // The loader's view: the parser is gone, the thread still knows why.
    KespParseError last{};
    ASSERT_EQ(vxGetLastKespError(&last), 1);
    EXPECT_EQ(last.line, p.error.line);
    EXPECT_EQ(last.column, p.error.column);
    EXPECT_STREQ(last.message, p.error.message);
  }
}

// A NUL anywhere is found: at the first byte of a chunk, inside the wide steps
// of the copy and in its last few bytes, whatever the chunk boundaries.
TEST(VoZuzuFailures, NulByteIsFoundWhereverItLies) {
  std::string doc = "<a>";
  for (int i = 0; i < 12; ++i) doc += "<b k=\"v\">text</b>";
  doc += "</a>";
  {
    const Tree good(doc);
    ASSERT_NE(good.root(), 0u);
  }
  for (size_t at = 1; at + 1 < doc.size(); ++at) {
    std::string bad = doc;
    bad[at] = '\0';
    for (size_t split : {size_t{0}, at, at + 1, at / 2}) {
      SCOPED_TRACE(testing::Message() << "NUL at " << at << ", chunks split at " << split);
      const std::string_view whole(bad);
      const Parsed p = split == 0 ? Parse(whole) : ParseChunks(std::vector<std::string_view>{whole.substr(0, split),
                                                                                             whole.substr(split)});
      EXPECT_EQ(p.root, 0u);
      ASSERT_TRUE(p.failed);
      EXPECT_NE(p.message.find("NUL byte"), std::string::npos) << p.message;
      EXPECT_EQ(p.error.column, static_cast<int32_t>(at + 1));
    }
  }
}

TEST(VoZuzuFailures, SuccessClearsTheLastErrorAndGoodParsersHaveNone) {
  EXPECT_EQ(Parse("<a>").root, 0u);
  KespParseError error{};
  EXPECT_EQ(vxGetLastKespError(&error), 1);
  EXPECT_EQ(vxGetLastKespError(nullptr), 0);

  const KespParser parser = vxCreateKespParser();
  vxParserKespBuffer(parser, "<a/>", 4, 1);
  EXPECT_EQ(vxGetKespParserError(parser, &error), 0);
  EXPECT_EQ(vxGetLastKespError(&error), 0);
  vxDeleteKespParser(parser);

  // The last error belongs to the thread that parsed.
  EXPECT_EQ(Parse("<a>").root, 0u);
  int32_t other = -1;
  std::thread([&] { other = vxGetLastKespError(&error); }).join();
  EXPECT_EQ(other, 0);
}

// --- Limits --------------------------------------------------------------------

TEST(VoZuzuLimits, NestingDepth) {
  {  // Exactly KESP_MAX_DEPTH levels: accepted, and walked and released without recursion.
    Tree t(Nested(KESP_MAX_DEPTH));
    ASSERT_NE(t.root(), 0u) << t.parsed().message;
    int depth = 1;
    for (KespTag tag = t.root(); vxGetKespTagSubTagCount(tag) == 1; tag = vxGetKespTagSubTag(tag, 0, 0)) ++depth;
    EXPECT_EQ(depth, KESP_MAX_DEPTH);
  }
  {  // One more: refused at the '<' of the element one level too deep.
    const Parsed p = Parse(Nested(KESP_MAX_DEPTH + 1));
    EXPECT_EQ(p.root, 0u);
    EXPECT_NE(p.message.find("nesting deeper than 10000"), std::string::npos) << p.message;
    EXPECT_EQ(p.error.line, 1);
    EXPECT_EQ(p.error.column, 3 * KESP_MAX_DEPTH + 1);
  }
  {  // A million levels, closed or not: refused, no crash.
    const std::string deep = Nested(1000000);
    EXPECT_EQ(Parse(deep).root, 0u);
    EXPECT_EQ(Parse(deep.substr(0, deep.size() / 2)).root, 0u);
  }
}

TEST(VoZuzuLimits, EntityDeclarationsAreRefusedAndNothingExpands) {
  std::string laughs =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE lolz [\n"
      " <!ENTITY lol \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    std::string refs;
    for (int j = 0; j < 10; ++j) refs += "&lol" + (i == 1 ? std::string() : std::to_string(i - 1)) + ";";
    laughs += " <!ENTITY lol" + std::to_string(i) + " \"" + refs + "\">\n";
  }
  laughs += "]>\n<lolz>&lol9;</lolz>";
  const Parsed p = Parse(laughs);
  EXPECT_EQ(p.root, 0u);
  EXPECT_NE(p.message.find("entity declarations"), std::string::npos) << p.message;
  EXPECT_EQ(p.error.line, 3);
  EXPECT_EQ(p.error.column, 2);

  const Parsed parameter = Parse("<!DOCTYPE a [<!ENTITY % p \"x\">]><a/>");
  EXPECT_EQ(parameter.root, 0u);
  EXPECT_NE(parameter.message.find("entity declarations"), std::string::npos) << parameter.message;

  // A DOCTYPE that names an external subset is skipped, never loaded; references
  // to entities it might declare stay as written.
  Tree external("<!DOCTYPE lolz SYSTEM \"file:///dev/zero\"><lolz>&lol9;&lol9;</lolz>");
  ASSERT_NE(external.root(), 0u) << external.parsed().message;
  EXPECT_STREQ(vxGetKespTagValue(external.root()), "&lol9;&lol9;");
}

TEST(VoZuzuLimits, HundredMegabyteAttributeValue) {
  const size_t kLength = 100u << 20;
  std::string markup;
  markup.reserve(kLength + 16);
  markup = "<a v=\"";
  markup.append(kLength / 2, 'x');
  markup += "&amp;";
  markup.append(kLength / 2 - 1, 'y');
  markup += "\"/>";
  Tree t(markup);
  ASSERT_NE(t.root(), 0u) << t.parsed().message;
  const char* value = vxGetKespTagAttr(t.root(), "v");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(std::strlen(value), kLength);
  EXPECT_EQ(value[kLength / 2], '&');
  EXPECT_EQ(value[kLength - 1], 'y');
}

// --- Round trip ------------------------------------------------------------------

TEST(VoZuzuRoundTrip, SerializedTreesParseBackTheSame) {
  // Values without white space at their ends (and without '<' or '&', which the
  // format writes unescaped) come back as they were.
  const char* documents[] = {
      "<Doc/>",
      "<Doc note=\"it's &lt;b&gt; &amp; &quot;x&quot;\"><Item>x&gt;y</Item><Empty/></Doc>",
      "<A a=\"\" b=\" spaced \"><B>one two\nthree</B><C><D>deep</D></C>tail</A>",
      "<R>v<S>w</S><S/><S k=\"1\">x</S></R>",
      "<U name=\"\xE6\x97\xA5\xE6\x9C\xAC\">\xC3\xA9t\xC3\xA9</U>",
  };
  for (const char* doc : documents) {
    SCOPED_TRACE(doc);
    Tree first(doc);
    ASSERT_NE(first.root(), 0u) << first.parsed().message;
    const std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" + Serialize(first.root(), 0);
    Tree second(text);
    ASSERT_NE(second.root(), 0u) << second.parsed().message << "\n" << text;
    EXPECT_EQ(Dump(second.root()), Dump(first.root()));
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" + Serialize(second.root(), 0), text);
  }
}

// --- Call log ------------------------------------------------------------------

TEST(VoZuzuCallLog, ReportsEveryCallInOrder) {
  CallLog log;
  const KespParser p = vxCreateKespParser();
  vxParserKespBuffer(p, "<a id=\"7\">", 10, 0);
  vxParserKespBuffer(p, nullptr, 0, 0);
  vxParserKespBuffer(p, "<b/></a>", 8, 1);
  const KespTag root = vxGetParserKesp(p, 1);
  vxGetKespTagName(root);
  vxGetKespTagValue(root);
  vxGetKespTagAttrCount(root);
  vxGetKespTagAttrName(root, 0);
  vxGetKespTagAttrValue(root, 0);
  vxGetKespTagAttr(root, "id");
  vxGetKespTagSubTagCount(root);
  const KespTag child = vxGetKespTagSubTag(root, 0, 0);
  vxDeleteKespParser(p);
  vxReleaseKespTree(root);
  const std::string P = std::to_string(p);
  const std::string R = std::to_string(root);
  const std::vector<std::string> expected = {
      "vxCreateKespParser -> " + P,
      "vxParserKespBuffer " + P + " 10 0",
      "vxParserKespBuffer " + P + " 0 0",
      "vxParserKespBuffer " + P + " 8 1",
      "vxGetParserKesp " + P + " 1 -> " + R,
      "vxGetKespTagName " + R,
      "vxGetKespTagValue " + R,
      "vxGetKespTagAttrCount " + R + " -> 1",
      "vxGetKespTagAttrName " + R + " 0",
      "vxGetKespTagAttrValue " + R + " 0",
      "vxGetKespTagAttr " + R + " id",
      "vxGetKespTagSubTagCount " + R + " -> 1",
      "vxGetKespTagSubTag " + R + " 0 0 -> " + std::to_string(child),
      "vxDeleteKespParser " + P,
      "vxReleaseKespTree " + R,
  };
  EXPECT_EQ(log.lines(), expected) << log.Joined();
}

TEST(VoZuzuCallLog, OffWhenCleared) {
  { CallLog log; }
  Tree t("<a/>");  // would crash or be recorded if the cleared log were still called
  EXPECT_NE(t.root(), 0u);
}

// --- Handle ranges ---------------------------------------------------------------

TEST(VoZuzuHandleRanges, CounterMovesOnAndWrapsIntoGaps) {
  vozuzu::HandleRanges<int> ranges(1);
  EXPECT_EQ(ranges.Add(4, 1), 1u);
  EXPECT_EQ(ranges.Add(4, 2), 5u);
  EXPECT_EQ(ranges.Add(4, 3), 9u);
  // A huge run takes all but the last 8 handles; then it goes.
  const uint32_t huge = 0xFFFFFFFFu - 12 - 8;
  EXPECT_EQ(ranges.Add(huge, 4), 13u);
  EXPECT_TRUE(ranges.Remove(13).has_value());
  // The counter does not go back for a freed run while there is room ahead...
  EXPECT_EQ(ranges.Add(8, 5), 13u + huge);
  EXPECT_TRUE(ranges.Remove(5).has_value());
  // ...and once it wraps, it takes the first gap long enough, skipping live runs.
  // [5, 9) is too short for 6.
  EXPECT_EQ(ranges.Add(6, 6), 13u);
  // From there the counter moves on again.
  EXPECT_EQ(ranges.Add(3, 7), 19u);
  EXPECT_EQ(ranges.Add(4, 8), 22u);
  EXPECT_EQ(ranges.Add(0xFFFFFFFFu, 9), 0u);  // no room that large

  uint32_t base = 0;
  const auto* run = ranges.Find(16, &base);
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(base, 13u);
  EXPECT_EQ(run->payload, 6);
  EXPECT_EQ(ranges.Find(0, &base), nullptr);
  EXPECT_EQ(ranges.Find(5, &base), nullptr);   // a freed run
  EXPECT_EQ(ranges.Find(26, &base), nullptr);  // past the last run below the top
  EXPECT_FALSE(ranges.Remove(14).has_value());  // not the first handle of a run
}

TEST(VoZuzuHandleRanges, RunsEndAtTheLastHandle) {
  vozuzu::HandleRanges<int> ranges(0xFFFFFFF0u);
  EXPECT_EQ(ranges.Add(16, 1), 0xFFFFFFF0u);  // exactly up to 0xFFFFFFFF
  uint32_t base = 0;
  ASSERT_NE(ranges.Find(0xFFFFFFFFu, &base), nullptr);
  EXPECT_EQ(base, 0xFFFFFFF0u);
  EXPECT_EQ(ranges.Add(1, 2), 1u);  // wraps, never to 0
}

}  // namespace
