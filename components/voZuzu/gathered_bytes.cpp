// Gathered document bytes in blocks: each chunk fills the last block and opens a
// new one when it runs out, so nothing is copied twice before the parse.
#include "gathered_bytes.hpp"

#include <algorithm>
#include <cstring>

namespace vozuzu {

void GatheredBytes::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    if (blocks_.empty() || blocks_.back().used == blocks_.back().capacity) {
      const size_t capacity = std::max(kBlockSize, bytes.size());
      blocks_.push_back({std::unique_ptr<char[]>(new char[capacity]), capacity, 0});
    }
    Block& block = blocks_.back();
    const size_t n = std::min(bytes.size(), block.capacity - block.used);
    std::memcpy(block.bytes.get() + block.used, bytes.data(), n);
    block.used += n;
    size_ += n;
    bytes.remove_prefix(n);
  }
}

std::vector<std::string_view> GatheredBytes::Pieces() const {
  std::vector<std::string_view> pieces;
  pieces.reserve(blocks_.size());
  for (const Block& b : blocks_) pieces.emplace_back(b.bytes.get(), b.used);
  return pieces;
}

}  // namespace vozuzu
