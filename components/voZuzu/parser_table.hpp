// The live parsers by handle. Handles come from a 32-bit counter that only moves
// forward (skipping 0 and live handles when it wraps), so a deleted parser's
// handle names nothing until some four billion parsers later. Not thread-safe by
// itself.
#pragma once

#include <cstddef>
#include <memory>
#include <unordered_map>
#include <utility>

#include "parser.hpp"
#include "voZuzu.h"

namespace vozuzu {

class ParserTable {
 public:
  static constexpr size_t kMaxParsers = size_t{1} << 16;

  // The new parser's handle; 0 when the table is full.
  KespParser Add(std::shared_ptr<Parser> parser) {
    if (parsers_.size() >= kMaxParsers) return 0;
    while (next_ == 0 || parsers_.count(next_) != 0) ++next_;
    const KespParser id = next_++;
    parsers_.emplace(id, std::move(parser));
    return id;
  }

  std::shared_ptr<Parser> Find(KespParser id) const {
    auto it = parsers_.find(id);
    return it == parsers_.end() ? nullptr : it->second;
  }

  // True while `parser` is still registered under id.
  bool Holds(KespParser id, const Parser* parser) const {
    auto it = parsers_.find(id);
    return it != parsers_.end() && it->second.get() == parser;
  }

  std::shared_ptr<Parser> Remove(KespParser id) {
    auto it = parsers_.find(id);
    if (it == parsers_.end()) return nullptr;
    std::shared_ptr<Parser> parser = std::move(it->second);
    parsers_.erase(it);
    return parser;
  }

  size_t size() const { return parsers_.size(); }

 private:
  std::unordered_map<KespParser, std::shared_ptr<Parser>> parsers_;
  KespParser next_ = 1;
};

}  // namespace vozuzu
