// The live trees and the tag handles that reach them. Each tree takes a
// contiguous run of 32-bit handle values (root first, then breadth-first), so a
// handle resolves with one ordered-map search and an index. Runs come from a
// counter that only moves forward; released runs are not handed out again until
// the counter wraps, and then only a gap between live runs is used, so a stale
// handle does not soon name a tag of another tree. Not thread-safe by itself.
#pragma once

#include <cstdint>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "kesp_tree.hpp"
#include "voZuzu.h"

namespace vozuzu {

class TreeTable {
 public:
  // firstHandle: where the counter starts (tests start it near the top to wrap).
  explicit TreeTable(uint32_t firstHandle = 1) : next_(firstHandle == 0 ? 1 : firstHandle) {}

  struct Hit {
    const KespTree* tree;
    uint32_t base;   // handle of tags[0]
    uint32_t index;  // index of the tag in tree->tags
  };

  // The tag a handle names. False for 0 and for stale or foreign handles.
  bool Find(KespTag tag, Hit* hit) const {
    if (cache_.tree == nullptr || tag - cache_.base >= cache_.count) {
      auto it = trees_.upper_bound(tag);
      if (it == trees_.begin()) return false;
      --it;
      if (tag - it->first >= it->second.count) return false;
      cache_ = {it->second.tree.get(), it->first, it->second.count};
    }
    *hit = {cache_.tree, cache_.base, tag - cache_.base};
    return true;
  }

  // Registers a tree owned by `owner` (0: the caller) and takes it. Returns its root
  // handle, or 0 (leaving the tree with the caller) when no run of free handles is
  // long enough.
  KespTag Add(std::unique_ptr<KespTree>&& tree, KespParser owner) {
    const uint64_t count = tree->tags.size();
    const std::optional<uint64_t> base = FindRun(count);
    if (!base) return 0;
    next_ = *base + count;
    trees_.emplace(static_cast<uint32_t>(*base), Entry{std::move(tree), static_cast<uint32_t>(count), owner});
    return static_cast<KespTag>(*base);
  }

  // The owner of the tree whose root is `root`; nothing when root is not a live root.
  std::optional<KespParser> OwnerOf(KespTag root) const {
    auto it = trees_.find(root);
    if (it == trees_.end()) return std::nullopt;
    return it->second.owner;
  }

  void SetOwner(KespTag root, KespParser owner) {
    auto it = trees_.find(root);
    if (it != trees_.end()) it->second.owner = owner;
  }

  // Takes out the tree whose root is `root` when `owner` owns it; the caller
  // destroys it (outside any lock). Null when there is no such tree.
  std::unique_ptr<KespTree> Remove(KespTag root, KespParser owner) {
    auto it = trees_.find(root);
    if (it == trees_.end() || it->second.owner != owner) return nullptr;
    std::unique_ptr<KespTree> tree = std::move(it->second.tree);
    trees_.erase(it);
    cache_ = {};
    return tree;
  }

  size_t size() const { return trees_.size(); }

 private:
  static constexpr uint64_t kLastHandle = std::numeric_limits<uint32_t>::max();

  struct Entry {
    std::unique_ptr<KespTree> tree;
    uint32_t count;
    KespParser owner;
  };

  // First fit for `count` handles at or after the counter, else from 1 (wrap).
  std::optional<uint64_t> FindRun(uint64_t count) const {
    if (count == 0 || count > kLastHandle) return std::nullopt;
    for (const uint64_t start : {next_, uint64_t{1}}) {
      uint64_t candidate = start;
      auto it = trees_.upper_bound(static_cast<uint32_t>(std::min(candidate, kLastHandle)));
      if (it != trees_.begin()) {
        auto before = std::prev(it);
        candidate = std::max<uint64_t>(candidate, uint64_t{before->first} + before->second.count);
      }
      while (candidate + count - 1 <= kLastHandle) {
        if (it == trees_.end() || it->first >= candidate + count) return candidate;
        candidate = uint64_t{it->first} + it->second.count;
        ++it;
      }
    }
    return std::nullopt;
  }

  struct Cache {
    const KespTree* tree = nullptr;
    uint32_t base = 0;
    uint32_t count = 0;
  };

  std::map<uint32_t, Entry> trees_;  // keyed by the root handle
  uint64_t next_;                    // 1 .. 2^32; 2^32 means "wrap on next use"
  mutable Cache cache_;              // the tree of the latest lookup
};

}  // namespace vozuzu
