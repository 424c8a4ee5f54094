// The live trees and the tag handles that reach them. Each tree takes a run of
// handle values (its tags in record order, root first), so a tag handle
// resolves to a tree and an index; the latest tree looked up is remembered, as
// getters tend to walk one tree. Not thread-safe by itself.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "handle_ranges.hpp"
#include "kesp_tree.hpp"
#include "voZuzu.h"

namespace vozuzu {

class TreeTable {
 public:
  struct Hit {
    const KespTree* tree;
    uint32_t base;   // handle of tags[0]
    uint32_t index;  // index of the tag in tree->tags
    uint32_t count;  // number of tags in the tree
    const std::shared_ptr<const KespTree>* shared;  // the table's reference, to share the tree
  };

  // The tag a handle names. False for 0 and for stale or foreign handles.
  bool Find(KespTag tag, Hit* hit) const {
    if (cache_.tree == nullptr || tag - cache_.base >= cache_.count) {
      uint32_t base;
      const auto* run = trees_.Find(tag, &base);
      if (run == nullptr) return false;
      cache_ = {&run->payload.tree, base, run->count};
    }
    *hit = {cache_.tree->get(), cache_.base, tag - cache_.base, cache_.count, cache_.tree};
    return true;
  }

  // Registers a tree owned by `owner` (0: the caller) and takes it. Returns its root
  // handle, or 0 (leaving the tree with the caller) when no run of free handles is
  // long enough.
  KespTag Add(std::shared_ptr<const KespTree>& tree, KespParser owner) {
    const uint32_t count = static_cast<uint32_t>(tree->tags.size());  // the builder keeps it in 32 bits
    Entry entry{std::move(tree), owner};
    const KespTag root = trees_.Add(count, std::move(entry));
    if (root == 0) tree = std::move(entry.tree);
    return root;
  }

  // The owner of the tree whose root is `root`; nothing when root is not a live root.
  std::optional<KespParser> OwnerOf(KespTag root) {
    const auto* run = trees_.At(root);
    if (run == nullptr) return std::nullopt;
    return run->payload.owner;
  }

  void SetOwner(KespTag root, KespParser owner) {
    if (auto* run = trees_.At(root)) run->payload.owner = owner;
  }

  // Takes out the tree whose root is `root` when `owner` owns it; the caller
  // drops it (outside any lock). Null when there is no such tree.
  std::shared_ptr<const KespTree> Remove(KespTag root, KespParser owner) {
    const auto* run = trees_.At(root);
    if (run == nullptr || run->payload.owner != owner) return nullptr;
    cache_ = {};
    return std::move(trees_.Remove(root)->tree);
  }

  size_t size() const { return trees_.size(); }

 private:
  struct Entry {
    std::shared_ptr<const KespTree> tree;
    KespParser owner;
  };
  struct Cache {
    const std::shared_ptr<const KespTree>* tree = nullptr;  // in the run's entry, which stays put while it lives
    uint32_t base = 0;
    uint32_t count = 0;
  };

  HandleRanges<Entry> trees_;
  mutable Cache cache_;  // the tree of the latest lookup
};

}  // namespace vozuzu
