// Internal forms of the entity transformations: escaping into a growing buffer
// (for the document serializer, which escapes attribute values straight into its
// output), and each way of scanning by name, so tests hold every path to one
// reference.
#pragma once

#include <cstddef>
#include <string>

namespace zivoda::detail {

// How special bytes are found: byte by byte, 16 bytes at a time (SSE2, the x86-64
// baseline) or 32 at a time (AVX2, where the processor has it). All give the same
// output.
enum class EntityScan { kScalar, kSse2, kAvx2 };

// Whether this build and processor can run scan. The functions below take only
// an available scan.
bool EntityScanAvailable(EntityScan scan);
// The widest scan available; the one the public helpers use.
EntityScan BestEntityScan();

// Writes bytes [s, s + n) with & < > escaped, and ' " when their flag is set, at
// buf[end...), growing buf as needed. Bytes of buf past `end` are scratch: they
// are overwritten, and buf may stay longer than the text. Returns the text's end.
size_t EscapeInto(std::string& buf, size_t end, const char* s, size_t n, bool escapeApostrophe,
                  bool escapeQuote, EntityScan scan);
// The same for the NUL-terminated s, measured as it is written (most are short).
size_t EscapeCStringInto(std::string& buf, size_t end, const char* s, bool escapeApostrophe, bool escapeQuote);

// UnescapeKesp with the given scan.
void UnescapeWith(EntityScan scan, const std::string& input, std::string& out);

}  // namespace zivoda::detail
