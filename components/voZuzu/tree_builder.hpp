// Turns a whole document into a KespTree: pugixml parses a private copy of the
// bytes in place, then the tree is flattened in document order and checked for what
// pugixml lets through (several roots, stray text, duplicate attributes, entity
// declarations, NUL bytes, nesting deeper than KESP_MAX_DEPTH).
#pragma once

#include <cstddef>
#include <memory>

#include "kesp_tree.hpp"
#include "marking_copy.hpp"
#include "source_text.hpp"

namespace vozuzu {

// Where (byte offset into the document) and why a document was refused.
// Messages are string literals, valid for the life of the process.
struct ParseFailure {
  size_t offset = 0;
  const char* message = nullptr;
};

struct BuildResult {
  std::unique_ptr<KespTree> tree;  // null when the document was refused
  ParseFailure failure;
};

// Parses text (size bytes and a NUL after them), a private copy of source that
// becomes the tree's and is parsed in place; marks were counted on text as the
// copy was made. source, left intact, is only read to describe a failure.
BuildResult BuildKespTree(std::unique_ptr<char[]> text, size_t size, const TextMarks& marks,
                          const SourceText& source);

}  // namespace vozuzu
