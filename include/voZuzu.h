/* voZuzu: the markup parser component. A document arrives in chunks of any size,
 * is parsed when its last chunk arrives, and is read back through 32-bit tag
 * handles. Every handle is an id into a table: a stale or foreign handle gives the
 * empty result of the call (0, "" or null), never a crash. Any thread may call;
 * calls on one parser are serialized, and the strings handed out stay valid until
 * their tree is released. A getter called after its tree's release (in the
 * caller's order) gives the empty result; one racing the release on another
 * thread gives the tag's data or the empty result, and never reads freed memory. */
#ifndef VOZUZU_H
#define VOZUZU_H

#include <stdint.h>

#if defined(_WIN32)
#define VOZUZU_API __declspec(dllimport)
#else
#define VOZUZU_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t KespParser; /* 0 is no parser */
typedef uint32_t KespTag;    /* 0 is no tag */

/* Deepest nesting of elements that a document may have; deeper is malformed. */
#define KESP_MAX_DEPTH 10000
/* Largest document, in bytes, that one parser gathers; more is malformed. */
#define KESP_MAX_DOCUMENT_BYTES (1024u * 1024u * 1024u)

/* A new parser. Failure: 0 (the table is full). */
VOZUZU_API KespParser vxCreateKespParser(void);
/* Gathers count bytes; the document is parsed when last is nonzero. A count of 0
 * is allowed. Returns 1 when the chunk was taken. Failure: 0 for a bad parser, a
 * negative count, null bytes with a nonzero count, a chunk after the last, or a
 * document over KESP_MAX_DOCUMENT_BYTES. Except for a chunk after the last, a
 * refused chunk fails the parser (it reports an error): a document with a lost
 * chunk must not parse as if it were whole. */
VOZUZU_API int32_t vxParserKespBuffer(KespParser parser, const void* bytes, int32_t count, int32_t last);
/* The root tag. keep = 1 (any nonzero): the tree outlives the parser and is
 * released with vxReleaseKespTree; keep = 0: the tree is released with the parser.
 * Called again, it returns the same root; a tree once kept stays the caller's.
 * A parser that never got its last chunk parses what it gathered. Failure: 0 for
 * a bad parser, a malformed document (see vxGetKespParserError) or a tree the
 * caller already released. */
VOZUZU_API KespTag vxGetParserKesp(KespParser parser, int32_t keep);
/* Releases the parser (and a tree it still owns). Failure: 0 for a bad parser. */
VOZUZU_API int32_t vxDeleteKespParser(KespParser parser);

/* The element's name. Failure: "" for a bad tag. */
VOZUZU_API const char* vxGetKespTagName(KespTag tag);
/* The element's character data (text and CDATA children, concatenated, with the
 * white space at both ends removed). Failure: "" for a bad tag or no text. */
VOZUZU_API const char* vxGetKespTagValue(KespTag tag);
/* The value of the named attribute; it stays valid as long as the tree does.
 * Failure: null when the tag has no such attribute, for a bad tag or a null name. */
VOZUZU_API const char* vxGetKespTagAttr(KespTag tag, const char* name);
/* Number of attributes. Failure: 0 for a bad tag. */
VOZUZU_API int32_t vxGetKespTagAttrCount(KespTag tag);
/* Name and value of attribute index (document order, from 0).
 * Failure: "" for a bad tag or an index out of range. */
VOZUZU_API const char* vxGetKespTagAttrName(KespTag tag, int32_t index);
VOZUZU_API const char* vxGetKespTagAttrValue(KespTag tag, int32_t index);
/* Number of direct child elements. Failure: 0 for a bad tag. */
VOZUZU_API int32_t vxGetKespTagSubTagCount(KespTag tag);
/* Child element index (document order, from 0); kind must be 0.
 * Failure: 0 for a bad tag, an index out of range or another kind. */
VOZUZU_API KespTag vxGetKespTagSubTag(KespTag tag, int32_t index, int32_t kind);

/* ---- Beyond the parser interface the library uses ---- */

/* Releases the whole tree that root heads (a root from vxGetParserKesp with keep = 1);
 * every tag of it becomes stale. Failure: 0 when root is not the root of a live,
 * caller-owned tree. */
VOZUZU_API int32_t vxReleaseKespTree(KespTag root);

/* Where and why a parse failed. line and column count from 1 (column in bytes). */
typedef struct KespParseError {
  int32_t line;
  int32_t column;
  const char* message; /* valid until the next parse on this thread */
} KespParseError;

/* The error of a parser that failed. Returns 1 and fills out when it failed, else 0. */
VOZUZU_API int32_t vxGetKespParserError(KespParser parser, KespParseError* out);
/* The error of the latest parse that failed on this thread, even once its parser is
 * deleted (a loader deletes its parser before it returns). Returns 1 and fills out
 * when the latest parse on this thread failed, else 0. */
VOZUZU_API int32_t vxGetLastKespError(KespParseError* out);

/* Live objects, for tests and long-running hosts: parsers, and trees (owned by a parser or by the caller). */
VOZUZU_API int32_t vzLiveParsers(void);
VOZUZU_API int32_t vzLiveTrees(void);

/* Optional call log: every interface call above (not the counters) is reported as one line:
 * the function's name, its arguments in order (handles and integers in decimal, a name
 * as given) and, for calls returning a handle or a count, " -> " and the result, e.g.
 * "vxCreateKespParser -> 1", "vxParserKespBuffer 1 1024 0", "vxGetParserKesp 1 1 -> 5",
 * "vxGetKespTagName 5", "vxGetKespTagSubTag 5 0 0 -> 6". Null fn turns the log off. */
typedef void (*vzLogFn)(void* context, const char* line);
VOZUZU_API void vzSetCallLog(vzLogFn fn, void* context);

#ifdef __cplusplus
}
#endif

#endif
