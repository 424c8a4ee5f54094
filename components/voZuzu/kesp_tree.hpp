// The flat form of a parsed document: tags laid out so that a tag's
// children are one contiguous run and every getter is an index. Names and values
// are 32-bit references into the tree's own parsed copy of the text (or a buffer
// of joined values); small records keep the tree cheap to build.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vozuzu {

// A string of the tree: an offset into text, or into joined when kJoinedBit is set.
using StringRef = uint32_t;
inline constexpr StringRef kJoinedBit = 0x80000000u;

struct TagRecord {
  StringRef name;
  StringRef value;      // character data, trimmed; the empty string when there is none
  uint32_t firstChild;  // index into KespTree::tags
  uint32_t childCount;
  uint32_t firstAttr;   // index into KespTree::attrs
  uint32_t attrCount;
};

struct AttrRecord {
  StringRef name;
  StringRef value;
};

struct KespTree {
  std::vector<TagRecord> tags;  // tags[0] is the root
  std::vector<AttrRecord> attrs;
  std::unique_ptr<char[]> text;  // the parsed copy of the document, with a NUL after it
  std::vector<char> joined;      // NUL-terminated values joined from several pieces
  StringRef empty = 0;           // the NUL after the text

  const char* String(StringRef ref) const {
    return (ref & kJoinedBit) != 0 ? joined.data() + (ref & ~kJoinedBit) : text.get() + ref;
  }
};

}  // namespace vozuzu
