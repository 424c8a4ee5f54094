// The lifetime of each thread's RecentTree: made on the thread's first lookup,
// deleted by a thread-specific-data destructor (which runs after the C++
// thread_local destructors, so getters called from those still find it).
#include "recent_tree.hpp"

#include <pthread.h>

#include <new>

namespace vozuzu {
namespace {

struct Key {
  pthread_key_t key{};
  bool made = false;
};

}  // namespace

RecentTree* RecentTree::Create() {
  static const Key key = [] {
    Key k;
    k.made = pthread_key_create(&k.key, &RecentTree::Destroy) == 0;
    return k;
  }();
  if (!key.made) return nullptr;
  auto* recent = new (std::nothrow) RecentTree;
  if (recent == nullptr) return nullptr;
  if (pthread_setspecific(key.key, recent) != 0) {
    delete recent;
    return nullptr;
  }
  tRecent = recent;
  return recent;
}

// Runs on the exiting thread (never for the main thread, whose memo lives on like
// the tables). A getter called later in that thread's exit makes a new memo, which
// the next round of thread-specific-data destructors deletes.
void RecentTree::Destroy(void* recent) {
  tRecent = nullptr;
  delete static_cast<RecentTree*>(recent);
}

}  // namespace vozuzu
