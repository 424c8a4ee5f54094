// Markup documents: loading through a viRAZera stub or from a string with the
// voZuzu parser, serializing as indented text after the XML declaration, and
// saving through a stub in one write.
//
// Serialization walks the tree with an explicit stack, so no depth can exhaust
// the call stack, and writes the text in one pass into the output itself, asking
// the components in the same order as a recursive walk. A tag's value line goes
// before its children but is asked for after them: a tag with children gets its
// ">" at its first child, and its value line, when it has one, is spliced in at
// the end, as are long runs of indenting tabs (a deep document's text is mostly
// tabs, written once that way), so the text is built in time linear in its
// length, whatever the depth.
#include "ziVodaRerodo/documents.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "markup/entities_append.h"
#include "viRAZera.h"
#include "voZuzu.h"

namespace zivoda {
namespace {

constexpr int32_t kChunkBytes = 1024;
// A source that keeps saying "not at end" yet hands out nothing is given up on
// after this many empty reads in a row, instead of looping for ever.
constexpr int kMaxEmptyReads = 1024;

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

// Writes the serialized text of a subtree at the end of a string. The string's
// bytes past the text written so far are scratch room, cut off at the end.
class TextWriter {
 public:
  explicit TextWriter(std::string& out) : out_(out), end_(out.size()) {}
  void Write(KespTag root, uint32_t depth);

 private:
  struct Frame {
    KespTag tag;
    uint32_t depth;
    size_t nameOffset;  // the name as written in out_
    size_t nameLength;
    size_t slot;        // where the value line goes, once the tag has a child
    int32_t nextChild;
    bool hasChildText;
  };
  // Text to splice in at `at`: bytes [from, from + length) of lines_, or with
  // `tabs` set, that many tabs. Splices at one place go in the order made.
  struct Splice {
    size_t at;
    size_t from;
    size_t length;
    bool tabs;
  };
  // Indents at least this long are spliced in, not written.
  static constexpr uint32_t kSplicedTabs = 256;

  // Room for n more bytes at end_; returns where they go.
  char* Room(size_t n) {
    if (out_.size() - end_ < n) Grow(n);
    return out_.data() + end_;
  }
  // Doubles the capacity when it must, but clears (zero-fills) new room an eighth
  // at a time, so little is cleared beyond what the text takes.
  [[gnu::noinline]] void Grow(size_t n) {
    const size_t need = end_ + n;
    if (need > out_.capacity()) out_.reserve(std::max(need, 2 * out_.capacity()));
    out_.resize(std::max(need, std::min(out_.capacity(), out_.size() + out_.size() / 8 + 4096)));
  }
  void Put(const char* s, size_t n) {
    std::memcpy(Room(n), s, n);
    end_ += n;
  }
  void Put(char c) {
    *Room(1) = c;
    ++end_;
  }
  // A NUL-terminated string; most are short, so the bytes are copied as they are measured.
  void PutString(const char* s);
  void PutBreak(uint32_t depth) {
    if (depth >= kSplicedTabs) {
      Put("\r\n", 2);
      splices_.push_back({end_, 0, depth, true});
      return;
    }
    char* d = Room(size_t{2} + depth);
    d[0] = '\r';
    d[1] = '\n';
    std::memset(d + 2, '\t', depth);
    end_ += size_t{2} + depth;
  }
  // Opens tag: its line break and "<name attrs". Pushes its frame.
  void Open(KespTag tag, uint32_t depth);
  // Closes the top frame once every child is written.
  void Close(const Frame& f);
  // Splices the value lines and long indents in and cuts the scratch room off.
  void Finish();

  std::string& out_;
  size_t end_;
  std::vector<Frame> stack_;
  std::vector<Splice> splices_;
  std::string lines_;
};

void TextWriter::PutString(const char* s) {
  constexpr size_t kShort = 32;
  char* d = Room(kShort);
  for (size_t k = 0; k < kShort; ++k) {
    if (s[k] == 0) {
      end_ += k;
      return;
    }
    d[k] = s[k];
  }
  end_ += kShort;
  s += kShort;
  Put(s, std::strlen(s));
}

void TextWriter::Open(KespTag tag, uint32_t depth) {
  if (depth != 0) PutBreak(depth);
  Put('<');
  const size_t nameOffset = end_;
  PutString(vxGetKespTagName(tag));
  const size_t nameLength = end_ - nameOffset;
  for (int32_t i = 0; i < vxGetKespTagAttrCount(tag); ++i) {
    Put(' ');
    PutString(vxGetKespTagAttrName(tag, i));
    Put("=\"", 2);
    end_ = detail::EscapeCStringInto(out_, end_, vxGetKespTagAttrValue(tag, i), true, true);
    Put('"');
  }
  stack_.push_back({tag, depth, nameOffset, nameLength, 0, 0, false});
}

void TextWriter::Close(const Frame& f) {
  const std::string_view value = vxGetKespTagValue(f.tag);
  if (!f.hasChildText) {
    if (value.empty()) {
      Put("/>", 2);
      return;
    }
    Put('>');
    PutBreak(f.depth + 1);
    Put(value.data(), value.size());
  } else if (!value.empty()) {
    const size_t from = lines_.size();
    lines_.append("\r\n", 2);
    lines_.append(value);
    splices_.push_back({f.slot, from, 2, false});
    splices_.push_back({f.slot, 0, uint32_t{f.depth + 1}, true});
    splices_.push_back({f.slot, from + 2, value.size(), false});
  }
  PutBreak(f.depth);
  char* d = Room(f.nameLength + 3);  // the name is copied from out_ itself, once it has room
  d[0] = '<';
  d[1] = '/';
  std::memcpy(d + 2, out_.data() + f.nameOffset, f.nameLength);
  d[2 + f.nameLength] = '>';
  end_ += f.nameLength + 3;
}

void TextWriter::Finish() {
  if (splices_.empty()) {
    out_.resize(end_);
    return;
  }
  // A value line's place follows its tag's ">", an indent's its "\r\n", so only
  // the pieces of one value line share a place. Value lines were made children
  // first: the stable sort puts everything in text order.
  std::stable_sort(splices_.begin(), splices_.end(), [](const Splice& a, const Splice& b) { return a.at < b.at; });
  size_t total = end_;
  for (const Splice& s : splices_) total += s.length;
  std::string text;
  text.reserve(total);
  size_t copied = 0;
  for (const Splice& s : splices_) {
    text.append(out_, copied, s.at - copied);
    if (s.tabs)
      text.append(s.length, '\t');
    else
      text.append(lines_, s.from, s.length);
    copied = s.at;
  }
  text.append(out_, copied, end_ - copied);
  out_ = std::move(text);
}

void TextWriter::Write(KespTag root, uint32_t depth) {
  if (root == 0) return;
  Open(root, depth);
  while (!stack_.empty()) {
    Frame& f = stack_.back();
    if (f.nextChild < vxGetKespTagSubTagCount(f.tag)) {
      const KespTag child = vxGetKespTagSubTag(f.tag, f.nextChild++, 0);
      if (child == 0) continue;  // a null child writes nothing
      if (!f.hasChildText) {
        f.hasChildText = true;
        Put('>');
        f.slot = end_;
      }
      // The depth wraps like the unsigned nesting level it is.
      Open(child, f.depth + 1);  // may reallocate stack_: f is not used after this
      continue;
    }
    Close(f);
    stack_.pop_back();
  }
  Finish();
}

}  // namespace

KespTag LoadKespFromStub(uintptr_t source) {
  IOStub* stub = vxCreateStub(source, VI_MODE_READ);
  if (stub == nullptr) return 0;
  const KespParser parser = vxCreateKespParser();
  char buffer[kChunkBytes];
  bool failed = false;
  int emptyReads = 0;
  while (stub->atEnd(stub->user) == 0) {
    int32_t count = stub->read(stub->user, buffer, kChunkBytes);
    if (count < 0) {  // a failed read ends the load; the parser never sees it
      failed = true;
      break;
    }
    if (count > kChunkBytes) count = kChunkBytes;  // never more than the buffer holds
    const int32_t last = stub->atEnd(stub->user) != 0 ? 1 : 0;
    vxParserKespBuffer(parser, buffer, count, last);
    emptyReads = (count == 0 && last == 0) ? emptyReads + 1 : 0;
    if (emptyReads >= kMaxEmptyReads) {
      failed = true;
      break;
    }
  }
  vxDeleteStub(stub);
  const KespTag root = failed ? 0 : vxGetParserKesp(parser, 1);
  vxDeleteKespParser(parser);
  return root;
}

KespTag LoadKespFromString(const char* text) {
  if (text == nullptr) return 0;
  const KespParser parser = vxCreateKespParser();
  size_t length = std::strlen(text);
  // One final chunk; a text beyond the 32-bit count goes in as several.
  constexpr size_t kMaxChunk = std::numeric_limits<int32_t>::max();
  while (length > kMaxChunk) {
    vxParserKespBuffer(parser, text, static_cast<int32_t>(kMaxChunk), 0);
    text += kMaxChunk;
    length -= kMaxChunk;
  }
  vxParserKespBuffer(parser, text, static_cast<int32_t>(length), 1);
  const KespTag root = vxGetParserKesp(parser, 1);
  vxDeleteKespParser(parser);
  return root;
}

std::string KespToText(KespTag tag, uint32_t depth) {
  std::string text;
  TextWriter(text).Write(tag, depth);
  return text;
}

std::string KespDocumentToText(KespTag root) {
  std::string text(kDeclaration);
  TextWriter(text).Write(root, 0);
  return text;
}

bool SaveKespToStub(KespTag root, uintptr_t destination) {
  IOStub* stub = vxCreateStub(destination, VI_MODE_WRITE);
  if (stub == nullptr) return false;
  const std::string text = KespDocumentToText(root);
  bool complete = false;
  // A text longer than one write can carry is not written at all: cutting its
  // length to 32 bits could report a partial save as complete.
  if (text.size() <= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    const int32_t length = static_cast<int32_t>(text.size());
    complete = stub->write(stub->user, text.data(), length) == length;
  }
  vxDeleteStub(stub);
  return complete;
}

}  // namespace zivoda
