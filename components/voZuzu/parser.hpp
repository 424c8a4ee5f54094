// One document on its way in: chunks of any size are gathered until the last
// one, then the whole text is parsed once. A refused chunk (negative count, no
// bytes, too large a document) fails the parser, since a document with a hole in
// it must not parse as if it were whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "gathered_bytes.hpp"
#include "kesp_tree.hpp"
#include "voZuzu.h"

namespace vozuzu {

class Parser {
 public:
  enum class State { kGathering, kParsed, kFailed };

  std::mutex mutex;  // serializes the calls on this parser; taken before the table lock

  struct TakeResult {
    bool taken = false;
    std::unique_ptr<KespTree> tree;  // the parsed tree when this chunk completed a document
  };
  // Takes one chunk; with last set, parses the document. A failed parse leaves the
  // parser failed and tree null.
  TakeResult Take(const void* bytes, int32_t count, bool last);
  // Parses what was gathered (for a parser that never got its last chunk).
  std::unique_ptr<KespTree> ParseGathered() { return Parse(nullptr, 0); }

  void SetParsed(KespTag root) {
    state_ = State::kParsed;
    root_ = root;
  }
  // Fails with a position known without the text (e.g. no handles left).
  void Fail(const char* message) { SetFailed({1, 1, message}); }

  State state() const { return state_; }
  KespTag root() const { return root_; }
  const KespParseError& error() const { return error_; }

 private:
  std::unique_ptr<KespTree> Parse(const char* tail, size_t tailSize);
  void SetFailed(const KespParseError& error);
  void FailAt(const std::vector<std::string_view>& pieces, size_t offset, const char* message);

  State state_ = State::kGathering;
  GatheredBytes gathered_;
  KespTag root_ = 0;
  KespParseError error_{};
};

}  // namespace vozuzu
