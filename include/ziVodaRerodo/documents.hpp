// Whole markup documents: loading through an IO stub or from a string, serializing
// as indented text (CR LF, one TAB a level) after the XML declaration, and saving
// through an IO stub in one write.
#pragma once

#include <cstdint>
#include <string>

#include "voZuzu.h"
#include "ziVodaRerodo/api.hpp"

namespace zivoda {

// Parses the document that viRAZera's stub for source (a StubTarget address) reads.
// Failure: 0 (no stub, a malformed document, a failed read).
ZIVODA_API KespTag LoadKespFromStub(uintptr_t source);
// Parses a zero-terminated document. Failure: 0 (a malformed document, a null text).
ZIVODA_API KespTag LoadKespFromString(const char* text);
// The tag and its subtree as text, indented from depth. A null tag gives "".
ZIVODA_API std::string KespToText(KespTag tag, uint32_t depth);
// The XML declaration, CR LF, and the tree of root. A null root gives the declaration line.
ZIVODA_API std::string KespDocumentToText(KespTag root);
// Writes the document of root through the stub for destination in one write.
// Returns true exactly when the stub took the whole text. Failure: false.
ZIVODA_API bool SaveKespToStub(KespTag root, uintptr_t destination);

}  // namespace zivoda
