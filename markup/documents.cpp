// Markup documents: loading through a viRAZera stub or from a string with the
// voZuzu parser, serializing as indented text after the XML declaration, and
// saving through a stub in one write.
//
// Serialization walks the tree with an explicit stack, so no depth can exhaust
// the call stack, and builds the text in one pass: each tag's "<name attrs" is
// followed by a slot that is filled once its children are done ("/>" when it has
// neither children nor value, else ">" and the value line), so the components
// are asked in the same order as a recursive walk and the text is built in time
// linear in its length, whatever the depth.
#include "ziVodaRerodo/documents.hpp"

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

// Builds the serialized text of a subtree into a list of pieces of one arena.
class TextWriter {
 public:
  void Write(KespTag root, uint32_t depth, std::string& out);

 private:
  struct Piece {
    size_t offset;
    size_t length;
  };
  struct Frame {
    KespTag tag;
    uint32_t depth;
    size_t nameOffset;  // the name's copy in the arena
    size_t nameLength;
    size_t slot;        // the piece after "<name attrs"
    int32_t nextChild;
    bool hasChildText;
  };

  size_t BeginPiece() { return arena_.size(); }
  void EndPiece(size_t begin) { pieces_.push_back({begin, arena_.size() - begin}); }
  void AppendBreak(uint32_t depth) {
    arena_.append("\r\n", 2);
    arena_.append(depth, '\t');
  }
  // Opens tag: its line break, "<name attrs", and an empty slot. Pushes its frame.
  void Open(KespTag tag, uint32_t depth);
  // Closes the top frame once every child is written.
  void Close(Frame& f);

  std::string arena_;
  std::vector<Piece> pieces_;
  std::vector<Frame> stack_;
};

void TextWriter::Open(KespTag tag, uint32_t depth) {
  const size_t begin = BeginPiece();
  if (depth != 0) AppendBreak(depth);
  const char* name = vxGetKespTagName(tag);
  const size_t nameLength = std::strlen(name);
  arena_.push_back('<');
  const size_t nameOffset = arena_.size();
  arena_.append(name, nameLength);
  for (int32_t i = 0; i < vxGetKespTagAttrCount(tag); ++i) {
    arena_.push_back(' ');
    arena_.append(vxGetKespTagAttrName(tag, i));
    arena_.append("=\"", 2);
    const char* value = vxGetKespTagAttrValue(tag, i);
    detail::AppendEscaped(arena_, value, std::strlen(value), true, true);
    arena_.push_back('"');
  }
  EndPiece(begin);
  pieces_.push_back({0, 0});  // the slot
  stack_.push_back({tag, depth, nameOffset, nameLength, pieces_.size() - 1, 0, false});
}

void TextWriter::Close(Frame& f) {
  const std::string_view value = vxGetKespTagValue(f.tag);
  size_t begin = BeginPiece();
  if (!f.hasChildText && value.empty()) {
    arena_.append("/>", 2);
    pieces_[f.slot] = {begin, arena_.size() - begin};
    return;
  }
  arena_.push_back('>');
  if (!value.empty()) {
    AppendBreak(f.depth + 1);
    arena_.append(value);
  }
  pieces_[f.slot] = {begin, arena_.size() - begin};
  begin = BeginPiece();
  AppendBreak(f.depth);
  arena_.append("</", 2);
  arena_.reserve(arena_.size() + f.nameLength + 1);  // the name is copied from the arena itself
  arena_.append(arena_.data() + f.nameOffset, f.nameLength);
  arena_.push_back('>');
  EndPiece(begin);
}

void TextWriter::Write(KespTag root, uint32_t depth, std::string& out) {
  if (root == 0) return;
  Open(root, depth);
  while (!stack_.empty()) {
    Frame& f = stack_.back();
    if (f.nextChild < vxGetKespTagSubTagCount(f.tag)) {
      const KespTag child = vxGetKespTagSubTag(f.tag, f.nextChild++, 0);
      if (child == 0) continue;  // a null child writes nothing
      f.hasChildText = true;
      // The depth wraps like the unsigned nesting level it is.
      Open(child, f.depth + 1);  // may reallocate stack_: f is not used after this
      continue;
    }
    Close(f);
    stack_.pop_back();
  }
  size_t total = 0;
  for (const Piece& p : pieces_) total += p.length;
  out.reserve(out.size() + total);
  for (const Piece& p : pieces_) out.append(arena_, p.offset, p.length);
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
  TextWriter().Write(tag, depth, text);
  return text;
}

std::string KespDocumentToText(KespTag root) {
  std::string text(kDeclaration);
  TextWriter().Write(root, 0, text);
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
