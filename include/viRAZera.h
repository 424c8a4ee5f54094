/* viRAZera: IO stubs. vxCreateStub turns a designator (the address of a StubTarget)
 * into an IOStub record whose functions read from or write to a file or a memory
 * buffer. A file written through a stub replaces the old file only when every
 * write was complete; a memory target can be scripted to misbehave, for tests.
 * Any thread may call; calls through one stub are serialized. */
#ifndef VIRAZERA_H
#define VIRAZERA_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define VIRAZERA_API __declspec(dllimport)
#else
#define VIRAZERA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The record a stub hands out. Every call through it receives `user` unchanged as
 * its first argument; a call with a user value of no live stub does nothing
 * (read and write return -1, atEnd returns 1). */
typedef struct IOStub {
  /* Stores at most capacity bytes of the source at buffer; returns how many, -1 on error. */
  int32_t (*read)(uintptr_t user, void* buffer, int32_t capacity);
  /* Writes length bytes; returns how many were taken, -1 on error. */
  int32_t (*write)(uintptr_t user, const void* bytes, int32_t length);
  uintptr_t reserved1; /* 0 */
  uintptr_t reserved2; /* 0 */
  /* Nonzero when the source has no more bytes to give (always 1 for a writing stub). */
  int32_t (*atEnd)(uintptr_t user);
  uintptr_t user;
} IOStub;

enum { VI_MODE_READ = 0, VI_MODE_WRITE = 1 };
enum { VI_TARGET_FILE = 1, VI_TARGET_MEMORY = 2 };

/* A memory source or destination, and its script. Reading hands out `data`;
 * writing appends to `out`, which the component grows with realloc and the owner
 * frees with viFreeMemoryOutput. Zeroed, it is a well-behaved empty buffer. */
typedef struct StubMemory {
  const void* data;       /* bytes a reading stub hands out */
  size_t size;
  /* Script of reads: read number i (from 0) returns chunks[i] as its count and stores
   * min(chunks[i], capacity, bytes left) bytes (nothing for a negative entry), so an
   * entry can claim more than it stores, or report an error; the source moves on by the
   * bytes stored, whatever was claimed. Past the script, a read stores and returns
   * min(capacity, bytes left). */
  const int32_t* chunks;
  int32_t chunkCount;
  int32_t refuseCreate;   /* nonzero: vxCreateStub returns null */
  int64_t writeLimit;     /* <= 0: no limit; else the stub's writes take at most this many bytes in all */
  uint8_t* out;           /* bytes written (owned by the component until freed) */
  size_t outSize;
} StubMemory;

/* What a designator points at. */
typedef struct StubTarget {
  int32_t kind;           /* VI_TARGET_FILE or VI_TARGET_MEMORY */
  const char* path;       /* VI_TARGET_FILE: a file name (UTF-8) */
  StubMemory* memory;     /* VI_TARGET_MEMORY */
} StubTarget;

/* designator: (uintptr_t) of a StubTarget that outlives the stub. mode: VI_MODE_READ or
 * VI_MODE_WRITE. A writing file stub writes to a temporary file beside the target and
 * renames it over the target in vxDeleteStub when every write was complete.
 * Failure: null (null designator, unknown kind or mode, missing file, refused creation). */
VIRAZERA_API IOStub* vxCreateStub(uintptr_t designator, int32_t mode);
/* Releases the stub; a writing file stub commits its file here.
 * Returns 1 when all went well (for a writing file stub: the file was replaced),
 * 0 otherwise: a read that failed, a write that failed or fell short, a stub that
 * is not live. */
VIRAZERA_API int32_t vxDeleteStub(IOStub* stub);

/* Frees the bytes a memory destination gathered and zeroes out/outSize. */
VIRAZERA_API void viFreeMemoryOutput(StubMemory* memory);

/* Live stubs, for tests. */
VIRAZERA_API int32_t viLiveStubs(void);

/* Optional call log: each call (create, delete, and every call through a record) is
 * reported as one line: "vxCreateStub <mode>", "read <capacity> -> <result>",
 * "write <length> -> <result>", "atEnd -> <result>", "vxDeleteStub -> <result>".
 * Null fn turns it off. */
typedef void (*viLogFn)(void* context, const char* line);
VIRAZERA_API void viSetCallLog(viLogFn fn, void* context);

#ifdef __cplusplus
}
#endif

#endif
