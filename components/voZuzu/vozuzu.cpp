// The C interface of voZuzu: parsers and tag handles over the tables, with an
// optional call log. Any thread may call. A getter on a tag whose tree was
// released before the call (in the caller's order) is refused; one racing that
// release gives the tag's data or the failure result. See "Thread safety" below.
#include "voZuzu.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "call_log.hpp"
#include "kesp_tree.hpp"
#include "parser.hpp"
#include "parser_table.hpp"
#include "recent_tree.hpp"
#include "tree_table.hpp"

// Thread safety: one mutex guards the tables and is held only for lookups and
// bookkeeping; parsing runs under the parser's own mutex, so parses on different
// parsers run side by side and getters never wait for a parse. Lock order: a
// parser's mutex, then the table mutex; the log function is called outside both.
//
// Tag getters first ask this thread's RecentTree, without the lock. It answers
// only while no tree has been removed since it was filled (a count bumped under
// the lock, read with acquire), so a release ordered before a getter (on this
// thread, or on another one that synchronized with it) always sends the getter to
// the table, which refuses the stale tag. A getter racing a release of its own
// tree on another thread answers as if it came first or is refused; either way it
// reads only a tree it shares, never freed memory. A tree can therefore outlive
// its release until each thread that read it last looks up again (or exits): at
// most one tree a thread, and never visible through a handle. Strings handed out
// stay valid until their tree is released.

namespace vozuzu {
namespace {

constexpr char kEmptyString[] = "";

struct Registry {
  std::mutex mutex;
  TreeTable trees;
  ParserTable parsers;
};

Registry& Tables() {
  static Registry* registry = new Registry;  // never destroyed: hosts may call during exit
  return *registry;
}

// The latest parse on this thread, for vxGetLastKespError.
struct LastParse {
  bool failed = false;
  KespParseError error{};
};
thread_local LastParse tLastParse;

void NoteParse(const Parser& parser) {
  tLastParse.failed = parser.state() == Parser::State::kFailed;
  tLastParse.error = parser.error();
}

// ---- Call log --------------------------------------------------------------

using zivoda::component::Returns;

// Logs one call; the check is inlined, so a getter with the log off pays one load.
template <class... Parts>
inline void LogCall(const char* name, const Parts&... parts) {
  if (zivoda::component::CallLogEnabled()) zivoda::component::Log(name, parts...);
}

// ---- Lookups ---------------------------------------------------------------

std::shared_ptr<Parser> FindParser(KespParser id) {
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  return r.parsers.Find(id);
}

// The locked half of WithTag: looks tag up in the table and remembers its tree.
template <class R, class F>
[[gnu::noinline]] R WithTagLocked(KespTag tag, R failure, F& f, RecentTree* recent) {
  std::shared_ptr<const KespTree> dropped;  // a tree the memo let go of: dropped after the lock
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  const uint64_t removals = gTreeRemovals.load(std::memory_order_relaxed);  // bumped only under the lock
  TreeTable::Hit hit;
  if (!r.trees.Find(tag, &hit)) {
    if (recent != nullptr) dropped = recent->Forget();
    return failure;
  }
  if (recent != nullptr) dropped = recent->Remember(hit, removals);
  return f(hit, hit.tree->tags[hit.index]);
}

// Calls f with the tag's record, from this thread's RecentTree when it holds the
// tag, else under the table lock; `failure` for a bad tag.
template <class R, class F>
R WithTag(KespTag tag, R failure, F&& f) {
  RecentTree* recent = RecentTree::OfThisThread();
  if (recent != nullptr && recent->Holds(tag)) {
    const TreeTable::Hit hit = recent->At(tag);
    return f(hit, hit.tree->tags[hit.index]);
  }
  return WithTagLocked(tag, failure, f, recent);
}

// Takes the tree whose root is `root` out of the table when `owner` owns it, and
// puts every RecentTree out of date. Runs with the table lock held.
std::shared_ptr<const KespTree> RemoveTree(Registry& r, KespTag root, KespParser owner) {
  std::shared_ptr<const KespTree> tree = r.trees.Remove(root, owner);
  if (tree) gTreeRemovals.fetch_add(1, std::memory_order_release);
  return tree;
}

// After a removal on this thread: lets go of this thread's memo too, so the
// tree's memory goes now unless another thread still reads it.
std::shared_ptr<const KespTree> ForgetOnThisThread() {
  RecentTree* recent = RecentTree::OfThisThread();
  return recent != nullptr ? recent->Forget() : nullptr;
}

// Registers the tree that parser `id` just parsed, owned by the parser.
// Runs with the parser's mutex held.
void RegisterTree(KespParser id, Parser& parser, std::unique_ptr<KespTree> built) {
  std::shared_ptr<const KespTree> tree;
  try {
    tree = std::move(built);
  } catch (const std::bad_alloc&) {
    parser.Fail("out of memory");
    return;
  }
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  if (!r.parsers.Holds(id, &parser)) {
    parser.Fail("parser deleted during the parse");
  } else if (const KespTag root = r.trees.Add(tree, id); root != 0) {
    parser.SetParsed(root);
    return;
  } else {
    parser.Fail("no free tag handles");
  }
  // The tree is destroyed here, with the lock: only a tree that could not be registered.
}

}  // namespace
}  // namespace vozuzu

using namespace vozuzu;

KespParser vxCreateKespParser(void) {
  KespParser id = 0;
  try {
    auto parser = std::make_shared<Parser>();
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    id = r.parsers.Add(std::move(parser));
  } catch (const std::bad_alloc&) {
    id = 0;
  }
  LogCall("vxCreateKespParser", Returns{id});
  return id;
}

int32_t vxParserKespBuffer(KespParser parser, const void* bytes, int32_t count, int32_t last) {
  int32_t taken = 0;
  if (std::shared_ptr<Parser> p = FindParser(parser)) {
    std::lock_guard lock(p->mutex);
    const bool wasGathering = p->state() == Parser::State::kGathering;
    Parser::TakeResult result = p->Take(bytes, count, last != 0);
    taken = result.taken ? 1 : 0;
    if (result.tree) RegisterTree(parser, *p, std::move(result.tree));
    if (wasGathering && p->state() != Parser::State::kGathering) NoteParse(*p);
  }
  LogCall("vxParserKespBuffer", parser, count, last);
  return taken;
}

KespTag vxGetParserKesp(KespParser parser, int32_t keep) {
  KespTag root = 0;
  if (std::shared_ptr<Parser> p = FindParser(parser)) {
    std::lock_guard lock(p->mutex);
    if (p->state() == Parser::State::kGathering) {
      if (std::unique_ptr<KespTree> tree = p->ParseGathered()) RegisterTree(parser, *p, std::move(tree));
      NoteParse(*p);
    }
    if (p->state() == Parser::State::kParsed) {
      Registry& r = Tables();
      std::lock_guard tablesLock(r.mutex);
      // Once handed to the caller a tree stays the caller's; one the caller
      // released is gone for good.
      if (const auto owner = r.trees.OwnerOf(p->root())) {
        if (*owner == parser && keep != 0) r.trees.SetOwner(p->root(), 0);
        root = p->root();
      }
    }
  }
  LogCall("vxGetParserKesp", parser, keep, Returns{root});
  return root;
}

int32_t vxDeleteKespParser(KespParser parser) {
  std::shared_ptr<const KespTree> tree;  // dropped last, outside both locks
  std::shared_ptr<Parser> p;
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    p = r.parsers.Remove(parser);
  }
  if (p) {
    std::lock_guard parserLock(p->mutex);
    if (p->state() == Parser::State::kParsed) {
      Registry& r = Tables();
      std::lock_guard lock(r.mutex);
      tree = RemoveTree(r, p->root(), parser);
    }
  }
  const std::shared_ptr<const KespTree> remembered = tree ? ForgetOnThisThread() : nullptr;
  LogCall("vxDeleteKespParser", parser);
  return p ? 1 : 0;
}

const char* vxGetKespTagName(KespTag tag) {
  const char* name = WithTag(tag, kEmptyString, [](const TreeTable::Hit& hit, const TagRecord& t) {
    return hit.tree->String(t.name);
  });
  LogCall("vxGetKespTagName", tag);
  return name;
}

const char* vxGetKespTagValue(KespTag tag) {
  const char* value = WithTag(tag, kEmptyString, [](const TreeTable::Hit& hit, const TagRecord& t) {
    return hit.tree->String(t.value);
  });
  LogCall("vxGetKespTagValue", tag);
  return value;
}

const char* vxGetKespTagAttr(KespTag tag, const char* name) {
  const char* value = nullptr;
  if (name != nullptr) {
    value = WithTag(tag, static_cast<const char*>(nullptr),
                    [name](const TreeTable::Hit& hit, const TagRecord& t) -> const char* {
                      const AttrRecord* attrs = hit.tree->attrs.data() + t.firstAttr;
                      for (uint32_t i = 0; i < t.attrCount; ++i)
                        if (std::strcmp(hit.tree->String(attrs[i].name), name) == 0)
                          return hit.tree->String(attrs[i].value);
                      return nullptr;
                    });
  }
  LogCall("vxGetKespTagAttr", tag, name);
  return value;
}

int32_t vxGetKespTagAttrCount(KespTag tag) {
  // Counts fit: a tree's attributes are counted in 32 bits and documents are at most 1 GiB.
  const int32_t count = WithTag(tag, int32_t{0}, [](const TreeTable::Hit&, const TagRecord& t) {
    return static_cast<int32_t>(t.attrCount);
  });
  LogCall("vxGetKespTagAttrCount", tag, Returns{static_cast<uint32_t>(count)});
  return count;
}

const char* vxGetKespTagAttrName(KespTag tag, int32_t index) {
  const char* name = WithTag(tag, kEmptyString, [index](const TreeTable::Hit& hit, const TagRecord& t) {
    if (index < 0 || static_cast<uint32_t>(index) >= t.attrCount) return kEmptyString;
    return hit.tree->String(hit.tree->attrs[t.firstAttr + static_cast<uint32_t>(index)].name);
  });
  LogCall("vxGetKespTagAttrName", tag, index);
  return name;
}

const char* vxGetKespTagAttrValue(KespTag tag, int32_t index) {
  const char* value = WithTag(tag, kEmptyString, [index](const TreeTable::Hit& hit, const TagRecord& t) {
    if (index < 0 || static_cast<uint32_t>(index) >= t.attrCount) return kEmptyString;
    return hit.tree->String(hit.tree->attrs[t.firstAttr + static_cast<uint32_t>(index)].value);
  });
  LogCall("vxGetKespTagAttrValue", tag, index);
  return value;
}

int32_t vxGetKespTagSubTagCount(KespTag tag) {
  const int32_t count = WithTag(tag, int32_t{0}, [](const TreeTable::Hit&, const TagRecord& t) {
    return static_cast<int32_t>(t.childCount);
  });
  LogCall("vxGetKespTagSubTagCount", tag, Returns{static_cast<uint32_t>(count)});
  return count;
}

KespTag vxGetKespTagSubTag(KespTag tag, int32_t index, int32_t kind) {
  KespTag child = 0;
  if (kind == 0 && index >= 0) {
    child = WithTag(tag, KespTag{0}, [index](const TreeTable::Hit& hit, const TagRecord& t) -> KespTag {
      if (static_cast<uint32_t>(index) >= t.childCount) return 0;
      return hit.base + t.firstChild + static_cast<uint32_t>(index);
    });
  }
  LogCall("vxGetKespTagSubTag", tag, index, kind, Returns{child});
  return child;
}

int32_t vxReleaseKespTree(KespTag root) {
  std::shared_ptr<const KespTree> tree;
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    tree = RemoveTree(r, root, 0);
  }
  const std::shared_ptr<const KespTree> remembered = tree ? ForgetOnThisThread() : nullptr;
  LogCall("vxReleaseKespTree", root);
  return tree ? 1 : 0;
}

int32_t vxGetKespParserError(KespParser parser, KespParseError* out) {
  int32_t failed = 0;
  if (out != nullptr) {
    if (std::shared_ptr<Parser> p = FindParser(parser)) {
      std::lock_guard lock(p->mutex);
      if (p->state() == Parser::State::kFailed) {
        *out = p->error();
        failed = 1;
      }
    }
  }
  LogCall("vxGetKespParserError", parser);
  return failed;
}

int32_t vxGetLastKespError(KespParseError* out) {
  int32_t failed = 0;
  if (out != nullptr && tLastParse.failed) {
    *out = tLastParse.error;
    failed = 1;
  }
  LogCall("vxGetLastKespError");
  return failed;
}

int32_t vzLiveParsers(void) {
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  return static_cast<int32_t>(r.parsers.size());
}

int32_t vzLiveTrees(void) {
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  return static_cast<int32_t>(r.trees.size());
}

void vzSetCallLog(vzLogFn fn, void* context) { zivoda::component::SetCallLog(fn, context); }
