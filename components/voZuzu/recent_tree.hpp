// The tree that the latest tag lookup on this thread found, remembered so that
// getters walking one tree answer without the table lock. The memo shares the
// tree (so it is never freed under a reader) and answers only while no tree has
// been removed since it was taken, so a tag released before the call is refused.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "kesp_tree.hpp"
#include "tree_table.hpp"
#include "voZuzu.h"

namespace vozuzu {

// Trees taken out of the table so far: bumped under the table lock with each
// removal, read without it.
inline constinit std::atomic<uint64_t> gTreeRemovals{0};

class RecentTree {
 public:
  // This thread's memo, made on first use and deleted when the thread exits;
  // null when it cannot be made (then every lookup takes the lock).
  static RecentTree* OfThisThread() {
    RecentTree* recent = tRecent;
    return recent != nullptr ? recent : Create();
  }

  // Whether the memo may answer for tag: it holds the tag and no tree has been
  // removed since it was taken. The acquire load sees every removal ordered before
  // this call, so such a removal is never missed.
  bool Holds(KespTag tag) const {
    return tag - base_ < count_ && removals_ == gTreeRemovals.load(std::memory_order_acquire);
  }
  // The tag (one the memo holds) as a table hit.
  TreeTable::Hit At(KespTag tag) const { return {tree_.get(), base_, tag - base_, count_, nullptr}; }

  // Remembers the tree of hit, found under the table lock when `removals` trees had
  // been removed. Returns the tree let go of, to drop outside the lock.
  std::shared_ptr<const KespTree> Remember(const TreeTable::Hit& hit, uint64_t removals) {
    std::shared_ptr<const KespTree> old = *hit.shared;  // a share of the table's tree: no allocation
    old.swap(tree_);
    removals_ = removals;
    base_ = hit.base;
    count_ = hit.count;
    return old;
  }

  // Lets go of the tree once a removal has put the memo out of date. Returns it,
  // to drop outside any lock.
  std::shared_ptr<const KespTree> Forget() {
    if (removals_ == gTreeRemovals.load(std::memory_order_acquire)) return nullptr;
    count_ = 0;
    return std::move(tree_);
  }

 private:
  static RecentTree* Create();
  static void Destroy(void* recent);

  // Trivially destructible, so it stays usable while the thread winds down; the
  // memo it points to is deleted by a thread-exit hook. Read on every getter, so
  // it sits in the static TLS block (one register-relative load, no call): eight
  // bytes, which the loader's spare static TLS covers even when the library is
  // loaded with dlopen.
  [[gnu::tls_model("initial-exec")]] static inline thread_local RecentTree* tRecent = nullptr;

  std::shared_ptr<const KespTree> tree_;
  uint64_t removals_ = 0;
  uint32_t base_ = 0;   // handle of tree_->tags[0]
  uint32_t count_ = 0;  // tags of tree_; 0 while nothing is remembered
};

}  // namespace vozuzu
