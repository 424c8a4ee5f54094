// Parses a document with pugixml (iterative; it expands only the five predefined
// entities and character references) and flattens it with an explicit stack, so
// nothing recurses per nesting level. A DOCTYPE that declares an entity is
// refused, so no input can expand.
#include "tree_builder.hpp"

#include <pugixml.hpp>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "voZuzu.h"

namespace vozuzu {
namespace {

// The default set (CDATA, escapes, attribute white space as spaces, CR LF as LF)
// plus the DOCTYPE node (to look for entity declarations), the first text of an
// element kept in the element (fewer nodes), and fragment mode, which keeps text
// outside the root element as nodes, so that it can be refused.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_doctype | pugi::parse_embed_pcdata |
                                   pugi::parse_fragment;

#define VOZUZU_STRING(x) #x
#define VOZUZU_EXPAND_STRING(x) VOZUZU_STRING(x)
constexpr char kTooDeep[] = "nesting deeper than " VOZUZU_EXPAND_STRING(KESP_MAX_DEPTH) " levels";

// pugixml's node and attribute handles are one pointer each, null for none (its
// public header declares them so). Testing that pointer spares the flattening a
// library call per node and per attribute.
static_assert(sizeof(pugi::xml_node) == sizeof(void*) && std::is_trivially_copyable_v<pugi::xml_node>);
static_assert(sizeof(pugi::xml_attribute) == sizeof(void*) && std::is_trivially_copyable_v<pugi::xml_attribute>);
template <class Handle>
bool Present(Handle handle) {
  return std::bit_cast<const void*>(handle) != nullptr;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

BuildResult Refuse(size_t offset, const char* message) { return {nullptr, {offset, message}}; }

// pugixml's error, with a message of ours. pugixml reports a wrong end tag and an
// element still open at the end of the input alike; tell them apart.
ParseFailure DescribePugiError(const pugi::xml_parse_result& result, const SourceText& source) {
  const size_t size = source.size();
  const size_t offset = std::min(static_cast<size_t>(std::max<ptrdiff_t>(result.offset, 0)), size);
  switch (result.status) {
    case pugi::status_out_of_memory:
      return {offset, "out of memory"};
    case pugi::status_unrecognized_tag:
      return {offset, "unrecognized markup after '<'"};
    case pugi::status_bad_pi:
      return {offset, "malformed XML declaration or processing instruction"};
    case pugi::status_bad_comment:
      return {offset, "malformed comment"};
    case pugi::status_bad_cdata:
      return {offset, "malformed CDATA section"};
    case pugi::status_bad_doctype:
      return {offset, "malformed document type declaration"};
    case pugi::status_bad_pcdata:
      return {offset, "malformed character data"};
    case pugi::status_bad_start_element:
      return {offset, "malformed start tag"};
    case pugi::status_bad_attribute:
      return {offset, "malformed attribute"};
    case pugi::status_bad_end_element:
      return {offset, "malformed end tag"};
    case pugi::status_end_element_mismatch: {
      // Back to the '<' of the construct pugixml stopped in: "</" is a wrong end tag.
      const std::optional<size_t> open = source.LastBefore(offset + 1, '<');
      if (open && source.At(*open + 1) == '/') return {*open, "end tag does not match the open element"};
      return {size, "element not closed at the end of the document"};
    }
    case pugi::status_no_document_element:
    case pugi::status_append_invalid_root:
      return {size, "no root element"};
    default:
      return {offset, "malformed document"};
  }
}

// Flattens the element tree under one root into a KespTree: flat arrays of
// records in which every element's children are contiguous.
class Flattener {
 public:
  Flattener(KespTree& tree, size_t size, std::vector<pugi::xml_node>& queue)
      : tree_(tree), begin_(tree.text.get()), end_(begin_ + size), queue_(queue) {
    tree_.empty = static_cast<StringRef>(size);
  }

  // Returns false and fills failure_ when the tree breaks a rule.
  //
  // Elements are visited in document order (an explicit stack, no recursion),
  // which is the order pugixml laid its nodes and our text out in memory; each
  // element's children get their block of records when the element is visited,
  // so every element's children stay contiguous.
  bool Run(pugi::xml_node root) {
    tree_.tags.push_back({Keep(root.name()), tree_.empty, 0, 0, 0, 0});
    queue_.push_back(root);
    pending_.push_back({0, 1});
    while (!pending_.empty()) {
      const Pending at = pending_.back();
      pending_.pop_back();
      const pugi::xml_node node = queue_.back();
      queue_.pop_back();
      const size_t i = at.tag;
      if (!AddAttributes(node, i)) return false;
      // The first text of an element sits in the element itself (parse_embed_pcdata).
      Value value;
      value.Add(node.value());
      const size_t firstChild = tree_.tags.size();
      const size_t stacked = queue_.size();
      for (pugi::xml_node child = node.first_child(); Present(child); child = child.next_sibling()) {
        // An element's name lies in the text (parsed in place, never empty); the
        // other children (character data) have none, so only they are asked their
        // type.
        const char* name = child.name();
        const pugi::xml_node_type type = InText(name) ? pugi::node_element : child.type();
        if (type == pugi::node_element) {
          if (at.depth >= KESP_MAX_DEPTH) return Fail(name - 1, kTooDeep);
          if (tree_.tags.size() >= std::numeric_limits<uint32_t>::max()) return Fail(name - 1, "too many elements");
          pending_.push_back({tree_.tags.size(), at.depth + 1});
          tree_.tags.push_back({Keep(name), tree_.empty, 0, 0, 0, 0});
          queue_.push_back(child);
        } else if (type == pugi::node_pcdata || type == pugi::node_cdata) {
          value.Add(child.value());
        }
      }
      // The first child on top, so it is visited next.
      std::reverse(queue_.begin() + static_cast<std::ptrdiff_t>(stacked), queue_.end());
      std::reverse(pending_.end() - static_cast<std::ptrdiff_t>(queue_.size() - stacked), pending_.end());
      TagRecord& tag = tree_.tags[i];
      tag.value = Finish(value);
      tag.firstChild = static_cast<uint32_t>(firstChild);
      tag.childCount = static_cast<uint32_t>(tree_.tags.size() - firstChild);
    }
    return true;
  }

  const ParseFailure& failure() const { return failure_; }

 private:
  // The pieces of an element's character data, in document order.
  struct Value {
    void Add(const char* piece) {
      if (*piece == 0) return;
      if (count == 0) {
        single = piece;
      } else {
        if (count == 1) joined.assign(single);
        joined.append(piece);
      }
      ++count;
    }
    const char* single = nullptr;
    std::string joined;
    int count = 0;
  };

  bool InText(const char* s) const { return s >= begin_ && s < end_; }

  // A reference to a string that pugixml parsed in place, so it is in the tree's
  // text already; anything else (pugixml has no reason to make one) is copied.
  // A string in the text is kept by its offset without reading it (an empty one
  // is its NUL), so building touches the parsed text no more than it must.
  StringRef Keep(const char* s) {
    if (InText(s)) return static_cast<StringRef>(s - begin_);
    if (*s == 0) return tree_.empty;
    return AddJoined(s, std::strlen(s));
  }

  StringRef AddJoined(const char* s, size_t length) {
    const size_t at = tree_.joined.size();
    if (at + length + 1 > kJoinedBit) throw std::bad_alloc();  // beyond what a reference can reach
    tree_.joined.insert(tree_.joined.end(), s, s + length);
    tree_.joined.push_back(0);
    return static_cast<StringRef>(at) | kJoinedBit;
  }

  // The value with white space trimmed at both ends. A single piece is trimmed
  // where it lies: its end is cut by a NUL written into the tree's own text.
  StringRef Finish(Value& value) {
    if (value.count == 0) return tree_.empty;
    if (value.count == 1 && InText(value.single)) {
      const char* first = value.single;
      while (IsXmlSpace(*first)) ++first;
      const char* last = first + std::strlen(first);
      while (last > first && IsXmlSpace(last[-1])) --last;
      if (last == first) return tree_.empty;
      const_cast<char*>(last)[0] = 0;  // inside the tree's text, which it owns
      return static_cast<StringRef>(first - begin_);
    }
    const std::string_view whole = value.count == 1 ? std::string_view(value.single) : value.joined;
    size_t first = 0;
    size_t last = whole.size();
    while (first < last && IsXmlSpace(whole[first])) ++first;
    while (last > first && IsXmlSpace(whole[last - 1])) --last;
    if (last == first) return tree_.empty;
    return AddJoined(whole.data() + first, last - first);
  }

  bool AddAttributes(pugi::xml_node node, size_t tagIndex) {
    const size_t first = tree_.attrs.size();
    for (pugi::xml_attribute a = node.first_attribute(); Present(a); a = a.next_attribute())
      tree_.attrs.push_back({Keep(a.name()), Keep(a.value())});
    const size_t count = tree_.attrs.size() - first;
    if (tree_.attrs.size() > std::numeric_limits<uint32_t>::max()) return Fail(node.name(), "too many attributes");
    TagRecord& tag = tree_.tags[tagIndex];
    tag.firstAttr = static_cast<uint32_t>(first);
    tag.attrCount = static_cast<uint32_t>(count);
    if (count > 1) {
      if (const AttrRecord* duplicate = FindDuplicate(first, count))
        return Fail(tree_.String(duplicate->name), "duplicate attribute");
    }
    return true;
  }

  // The first attribute (in document order) whose name came before.
  const AttrRecord* FindDuplicate(size_t first, size_t count) {
    const AttrRecord* attrs = tree_.attrs.data() + first;
    auto name = [&](size_t j) { return std::string_view(tree_.String(attrs[j].name)); };
    if (count <= 16) {
      // Few names: compare them pairwise as they are, most differ at the first byte.
      for (size_t j = 1; j < count; ++j) {
        const char* a = tree_.String(attrs[j].name);
        for (size_t k = 0; k < j; ++k) {
          const char* b = tree_.String(attrs[k].name);
          if (a[0] == b[0] && std::strcmp(a, b) == 0) return &attrs[j];
        }
      }
      return nullptr;
    }
    std::vector<std::pair<std::string_view, size_t>> sorted;
    sorted.reserve(count);
    for (size_t j = 0; j < count; ++j) sorted.emplace_back(name(j), j);
    std::sort(sorted.begin(), sorted.end());
    size_t earliest = count;
    for (size_t j = 1; j < count; ++j)
      if (sorted[j].first == sorted[j - 1].first) earliest = std::min(earliest, sorted[j].second);
    return earliest < count ? &attrs[earliest] : nullptr;
  }

  bool Fail(const char* at, const char* message) {
    failure_ = {InText(at) ? static_cast<size_t>(at - begin_) : 0, message};
    return false;
  }

  // An element waiting for its visit: its record and its nesting level.
  struct Pending {
    size_t tag;
    int depth;
  };

  KespTree& tree_;
  const char* begin_;
  const char* end_;
  std::vector<pugi::xml_node>& queue_;  // the pugixml nodes waiting for their visit, the next on top
  std::vector<Pending> pending_;        // their records, in step with queue_
  ParseFailure failure_;
};

// What pugixml accepts at the top level but a document may not have: text or
// CDATA outside the root, a second root, an entity declaration in the DOCTYPE.
BuildResult CheckTopLevel(const pugi::xml_document& doc, const char* text, size_t size, pugi::xml_node* root) {
  auto offsetOf = [&](const char* s) { return static_cast<size_t>(s - text); };
  for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
    switch (node.type()) {
      case pugi::node_element:
        if (*root) return Refuse(offsetOf(node.name()) - 1, "more than one root element");
        *root = node;
        break;
      case pugi::node_pcdata: {
        const char* text = node.value();
        while (IsXmlSpace(*text)) ++text;  // white space around the root is fine; the text starts here
        return Refuse(offsetOf(text), "text outside the root element");
      }
      case pugi::node_cdata:
        return Refuse(offsetOf(node.value()) - std::strlen("<![CDATA["), "text outside the root element");
      case pugi::node_doctype:
        if (const char* entity = std::strstr(node.value(), "<!ENTITY"))
          return Refuse(offsetOf(entity), "entity declarations are not supported");
        break;
      default:
        break;
    }
  }
  if (!*root) return Refuse(size, "no root element");
  return {};
}

// Every element has a '<' that does not start an end tag, and every attribute an
// '=', and each takes at least four bytes ("<a/>", ' a=""'): reserving that much
// up front spares the flat arrays their regrowth (pages never written cost nothing).
void ReserveFor(const TextMarks& marks, size_t size, KespTree& tree, std::vector<pugi::xml_node>& queue) {
  const size_t elements = std::min(marks.angles - marks.closes, size / 4 + 1);
  const size_t equals = std::min(marks.equals, size / 4);
  try {
    tree.tags.reserve(elements);
    queue.reserve(elements);
    tree.attrs.reserve(equals);
  } catch (const std::bad_alloc&) {
    // Grow as needed instead.
  }
}

}  // namespace

BuildResult BuildKespTree(std::unique_ptr<char[]> text, size_t size, const TextMarks& marks,
                          const SourceText& source) {
  try {
    if (size > KESP_MAX_DOCUMENT_BYTES) return Refuse(KESP_MAX_DOCUMENT_BYTES, "document too large");
    if (marks.nul) {
      const void* nul = std::memchr(text.get(), 0, size);
      return Refuse(nul != nullptr ? static_cast<const char*>(nul) - text.get() : 0, "NUL byte in the document");
    }

    auto tree = std::make_unique<KespTree>();
    tree->text = std::move(text);
    std::vector<pugi::xml_node> queue;
    ReserveFor(marks, size, *tree, queue);

    pugi::xml_document doc;
    const pugi::xml_parse_result result =
        doc.load_buffer_inplace(tree->text.get(), size, kParseOptions, pugi::encoding_utf8);
    if (!result) return {nullptr, DescribePugiError(result, source)};

    pugi::xml_node root;
    BuildResult top = CheckTopLevel(doc, tree->text.get(), size, &root);
    if (top.failure.message != nullptr) return top;

    Flattener flattener(*tree, size, queue);
    if (!flattener.Run(root)) return {nullptr, flattener.failure()};
    // Markup-heavy text ('<' and '=' in comments, CDATA, values) can leave most
    // of the reservation unused; a tree that lives on gives it back.
    if (tree->tags.capacity() > 2 * tree->tags.size()) tree->tags.shrink_to_fit();
    if (tree->attrs.capacity() > 2 * tree->attrs.size()) tree->attrs.shrink_to_fit();
    return {std::move(tree), {}};
  } catch (const std::bad_alloc&) {
    return Refuse(0, "out of memory");
  }
}

}  // namespace vozuzu
