// The C interface of voZuzu: parsers and tag handles over the tables, safe to
// call from any thread (see "Thread safety" below), with an optional call log.
#include "voZuzu.h"

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
#include "tree_table.hpp"

// Thread safety: one mutex guards the tables and is held only for lookups and
// bookkeeping; parsing runs under the parser's own mutex, so parses on different
// parsers run side by side and getters never wait for a parse. Strings handed
// out stay valid until their tree is released. Lock order: a parser's mutex,
// then the table mutex; the log function is called outside both.

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

using zivoda::component::Log;
using zivoda::component::Returns;

// ---- Lookups ---------------------------------------------------------------

std::shared_ptr<Parser> FindParser(KespParser id) {
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  return r.parsers.Find(id);
}

// Calls f with the tag's record under the table lock; `failure` for a bad tag.
template <class R, class F>
R WithTag(KespTag tag, R failure, F&& f) {
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  TreeTable::Hit hit;
  if (!r.trees.Find(tag, &hit)) return failure;
  return f(hit, hit.tree->tags[hit.index]);
}

// Registers the tree that parser `id` just parsed, owned by the parser.
// Runs with the parser's mutex held.
void RegisterTree(KespParser id, Parser& parser, std::unique_ptr<KespTree> tree) {
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
  Log("vxCreateKespParser", Returns{id});
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
  Log("vxParserKespBuffer", parser, count, last);
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
  Log("vxGetParserKesp", parser, keep, Returns{root});
  return root;
}

int32_t vxDeleteKespParser(KespParser parser) {
  std::unique_ptr<KespTree> tree;  // destroyed last, outside both locks
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
      tree = r.trees.Remove(p->root(), parser);
    }
  }
  Log("vxDeleteKespParser", parser);
  return p ? 1 : 0;
}

const char* vxGetKespTagName(KespTag tag) {
  const char* name = WithTag(tag, kEmptyString, [](const TreeTable::Hit& hit, const TagRecord& t) {
    return hit.tree->String(t.name);
  });
  Log("vxGetKespTagName", tag);
  return name;
}

const char* vxGetKespTagValue(KespTag tag) {
  const char* value = WithTag(tag, kEmptyString, [](const TreeTable::Hit& hit, const TagRecord& t) {
    return hit.tree->String(t.value);
  });
  Log("vxGetKespTagValue", tag);
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
  Log("vxGetKespTagAttr", tag, name);
  return value;
}

int32_t vxGetKespTagAttrCount(KespTag tag) {
  // Counts fit: a tree's attributes are counted in 32 bits and documents are at most 1 GiB.
  const int32_t count = WithTag(tag, int32_t{0}, [](const TreeTable::Hit&, const TagRecord& t) {
    return static_cast<int32_t>(t.attrCount);
  });
  Log("vxGetKespTagAttrCount", tag, Returns{static_cast<uint32_t>(count)});
  return count;
}

const char* vxGetKespTagAttrName(KespTag tag, int32_t index) {
  const char* name = WithTag(tag, kEmptyString, [index](const TreeTable::Hit& hit, const TagRecord& t) {
    if (index < 0 || static_cast<uint32_t>(index) >= t.attrCount) return kEmptyString;
    return hit.tree->String(hit.tree->attrs[t.firstAttr + static_cast<uint32_t>(index)].name);
  });
  Log("vxGetKespTagAttrName", tag, index);
  return name;
}

const char* vxGetKespTagAttrValue(KespTag tag, int32_t index) {
  const char* value = WithTag(tag, kEmptyString, [index](const TreeTable::Hit& hit, const TagRecord& t) {
    if (index < 0 || static_cast<uint32_t>(index) >= t.attrCount) return kEmptyString;
    return hit.tree->String(hit.tree->attrs[t.firstAttr + static_cast<uint32_t>(index)].value);
  });
  Log("vxGetKespTagAttrValue", tag, index);
  return value;
}

int32_t vxGetKespTagSubTagCount(KespTag tag) {
  const int32_t count = WithTag(tag, int32_t{0}, [](const TreeTable::Hit&, const TagRecord& t) {
    return static_cast<int32_t>(t.childCount);
  });
  Log("vxGetKespTagSubTagCount", tag, Returns{static_cast<uint32_t>(count)});
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
  Log("vxGetKespTagSubTag", tag, index, kind, Returns{child});
  return child;
}

int32_t vxReleaseKespTree(KespTag root) {
  std::unique_ptr<KespTree> tree;
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    tree = r.trees.Remove(root, 0);
  }
  Log("vxReleaseKespTree", root);
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
  Log("vxGetKespParserError", parser);
  return failed;
}

int32_t vxGetLastKespError(KespParseError* out) {
  int32_t failed = 0;
  if (out != nullptr && tLastParse.failed) {
    *out = tLastParse.error;
    failed = 1;
  }
  Log("vxGetLastKespError");
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
