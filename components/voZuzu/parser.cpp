// Gathers a document chunk by chunk and parses it at the last chunk. The text is
// copied once (from the blocks, or straight from a lone final chunk), counting
// its marks on the way, into the buffer parsed in place and kept by the tree; the
// blocks stay intact until the parse is over, to locate a failure in the text as
// it was written.
#include "parser.hpp"

#include <new>
#include <utility>

#include "marking_copy.hpp"
#include "source_text.hpp"
#include "tree_builder.hpp"

namespace vozuzu {

static_assert(KESP_MAX_DOCUMENT_BYTES == 1073741824u, "the size message names the limit");

Parser::TakeResult Parser::Take(const void* bytes, int32_t count, bool last) {
  if (state_ != State::kGathering) return {};
  if (count < 0 || (bytes == nullptr && count > 0)) {
    FailAt(gathered_.Pieces(), gathered_.size(), "chunk lost (negative count or no bytes)");
    return {};
  }
  const std::string_view chunk(count > 0 ? static_cast<const char*>(bytes) : "", static_cast<size_t>(count));
  if (chunk.size() > KESP_MAX_DOCUMENT_BYTES - gathered_.size()) {
    // Reported where the refused chunk begins: locating the exact byte would read
    // up to a gigabyte of a chunk that is not taken.
    FailAt(gathered_.Pieces(), gathered_.size(), "document larger than 1073741824 bytes");
    return {};
  }
  if (last) return {true, Parse(chunk.data(), chunk.size())};
  try {
    gathered_.Append(chunk);
  } catch (const std::bad_alloc&) {
    FailAt(gathered_.Pieces(), gathered_.size(), "out of memory");
    return {};
  }
  return {true, nullptr};
}

std::unique_ptr<KespTree> Parser::Parse(const char* tail, size_t tailSize) {
  std::vector<std::string_view> pieces;
  std::unique_ptr<KespTree> tree;
  try {
    pieces = gathered_.Pieces();
    if (tailSize > 0) pieces.emplace_back(tail, tailSize);
    const size_t size = gathered_.size() + tailSize;
    std::unique_ptr<char[]> text(new char[size + 1]);
    MarkingCopy copy(text.get());
    for (std::string_view piece : pieces) copy.Append(piece);
    text[size] = 0;
    const SourceText source(pieces);
    BuildResult built = BuildKespTree(std::move(text), size, copy.marks(), source);
    if (built.tree) {
      tree = std::move(built.tree);
    } else {
      const TextPosition at = source.Locate(built.failure.offset);
      SetFailed({at.line, at.column, built.failure.message});
    }
  } catch (const std::bad_alloc&) {
    SetFailed({1, 1, "out of memory"});
  }
  gathered_.Clear();
  return tree;
}

void Parser::FailAt(const std::vector<std::string_view>& pieces, size_t offset, const char* message) {
  const TextPosition at = SourceText(pieces).Locate(offset);
  SetFailed({at.line, at.column, message});
}

void Parser::SetFailed(const KespParseError& error) {
  state_ = State::kFailed;
  error_ = error;
  gathered_.Clear();
}

}  // namespace vozuzu
