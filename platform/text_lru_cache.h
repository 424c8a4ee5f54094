// A bounded least-recently-used map for the text caches: entries in one array
// linked in use order, found through an open-addressing index of hash tags, so a
// hit is one hash and no allocation. Lookups take a hash and an equality test, so
// callers probe with views and build an owning key only to insert.
//
// A hit on an entry moved to the front within the last quarter of the capacity's
// moves leaves it where it is: it is that close to the front, so eviction by count
// cannot reach it before a later hit moves it (eviction by bytes may take it a
// little early), and hot entries (the words of running text) cost no list writes
// on other entries' memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace zivoda::gdi {

// A fast hash of UTF-16 text for the caches: 8 bytes at a time, multiplied and
// folded (not for adversarial keys; a collision only costs a comparison).
inline size_t HashUnits(std::u16string_view text) {
  uint64_t h = 0x9E3779B97F4A7C15ull ^ (text.size() * 0xC2B2AE3D27D4EB4Full);
  const char16_t* p = text.data();
  size_t n = text.size();
  for (; n >= 4; n -= 4, p += 4) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    h = (h ^ v) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  for (; n > 0; --n, ++p) h = (h ^ *p) * 0x100000001B3ull;
  h ^= h >> 29;
  h *= 0xC4CEB9FE1A85EC53ull;
  return static_cast<size_t>(h ^ (h >> 32));
}

template <class Key, class Value>
class LruCache {
 public:
  // capacity >= 1 entries at most.
  explicit LruCache(size_t capacity) : capacity_(capacity < 1 ? 1 : capacity) {
    size_t slots = 16;
    while (slots < capacity_ * 2) slots *= 2;
    index_.assign(slots, kEmptySlot);
    nodes_.reserve(capacity_);
  }

  // The value of the entry with hash that same() accepts, now the most recent;
  // null when there is none.
  template <class Same>
  Value* Find(size_t hash, Same&& same) {
    const size_t mask = index_.size() - 1;
    const uint32_t tag = Tag(hash);
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const uint64_t entry = index_[slot];
      if (entry == kEmptySlot) return nullptr;
      if (static_cast<uint32_t>(entry >> 32) != tag) continue;  // no need to touch the node
      const auto n = static_cast<uint32_t>(entry);
      Node& node = nodes_[n];
      if (node.hash == hash && same(node.key)) {
        Touch(n);
        return &node.value;
      }
    }
  }

  // Enters key (which must not be present) and returns its value, evicting the
  // least recently used entry when full; evicted(key, value) is told first.
  template <class Evicted>
  Value& Insert(size_t hash, Key key, Value value, Evicted&& evicted) {
    uint32_t n;
    if (nodes_.size() < capacity_) {
      n = static_cast<uint32_t>(nodes_.size());
      nodes_.push_back(Node{std::move(key), std::move(value), hash, kNone, kNone, 0});
    } else {
      n = tail_;
      evicted(nodes_[n].key, nodes_[n].value);
      Unindex(n);
      Unlink(n);
      nodes_[n].key = std::move(key);
      nodes_[n].value = std::move(value);
      nodes_[n].hash = hash;
    }
    Index(n);
    PushFront(n);
    return nodes_[n].value;
  }

  // Removes the least recently used entry (telling evicted); false when empty.
  template <class Evicted>
  bool EvictOldest(Evicted&& evicted) {
    if (tail_ == kNone) return false;
    const uint32_t n = tail_;
    evicted(nodes_[n].key, nodes_[n].value);
    Unindex(n);
    Unlink(n);
    // Move the last node into the hole so the array stays dense.
    const uint32_t last = static_cast<uint32_t>(nodes_.size() - 1);
    if (n != last) {
      Unindex(last);
      const Node& moved = nodes_[last];
      const uint32_t prev = moved.prev, next = moved.next;
      nodes_[n] = std::move(nodes_[last]);
      if (prev != kNone) nodes_[prev].next = n; else head_ = n;
      if (next != kNone) nodes_[next].prev = n; else tail_ = n;
      Index(n);
    }
    nodes_.pop_back();
    return true;
  }

  size_t size() const { return nodes_.size(); }

 private:
  // An index slot: the hash's top half as a tag, then the node; all ones is empty.
  static constexpr uint64_t kEmptySlot = UINT64_MAX;
  static constexpr uint32_t kNone = UINT32_MAX;

  static uint32_t Tag(size_t hash) { return static_cast<uint32_t>(static_cast<uint64_t>(hash) >> 32); }
  void Index(uint32_t n) {
    const size_t mask = index_.size() - 1;
    size_t slot = nodes_[n].hash & mask;
    while (index_[slot] != kEmptySlot) slot = (slot + 1) & mask;
    index_[slot] = (uint64_t{Tag(nodes_[n].hash)} << 32) | n;
  }

  struct Node {
    Key key;
    Value value;
    size_t hash;
    uint32_t prev;
    uint32_t next;
    uint64_t moved = 0;  // moves_ when it last went to the front
  };

  void Touch(uint32_t n) {
    if (head_ == n || moves_ - nodes_[n].moved < recent_) return;
    Unlink(n);
    PushFront(n);
  }
  void Unlink(uint32_t n) {
    Node& node = nodes_[n];
    if (node.prev != kNone) nodes_[node.prev].next = node.next; else head_ = node.next;
    if (node.next != kNone) nodes_[node.next].prev = node.prev; else tail_ = node.prev;
    node.prev = node.next = kNone;
  }
  void PushFront(uint32_t n) {
    nodes_[n].moved = ++moves_;
    nodes_[n].prev = kNone;
    nodes_[n].next = head_;
    if (head_ != kNone) nodes_[head_].prev = n;
    head_ = n;
    if (tail_ == kNone) tail_ = n;
  }
  // Takes n out of the index, shifting later probes back (no tombstones).
  void Unindex(uint32_t n) {
    const size_t mask = index_.size() - 1;
    size_t slot = nodes_[n].hash & mask;
    while (static_cast<uint32_t>(index_[slot]) != n || index_[slot] == kEmptySlot) slot = (slot + 1) & mask;
    for (size_t next = (slot + 1) & mask;; next = (next + 1) & mask) {
      const uint64_t entry = index_[next];
      if (entry == kEmptySlot) break;
      const size_t home = nodes_[static_cast<uint32_t>(entry)].hash & mask;
      // m may move into slot when slot lies cyclically in [home, next).
      if (((next - home) & mask) >= ((next - slot) & mask)) {
        index_[slot] = entry;
        slot = next;
      }
    }
    index_[slot] = kEmptySlot;
  }

  size_t capacity_;
  uint64_t recent_ = capacity_ / 4;  // moves within which a hit stays put
  uint64_t moves_ = 0;
  std::vector<uint64_t> index_;
  std::vector<Node> nodes_;
  uint32_t head_ = kNone;
  uint32_t tail_ = kNone;
};

}  // namespace zivoda::gdi
