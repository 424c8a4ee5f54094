/* Compiled as C: every public C header together, and the layout of each record
 * that crosses a boundary between the library, the components and the host. */
#include <assert.h>
#include <stddef.h>

#include "vaRodurod.h"
#include "viRAZera.h"
#include "voZuzu.h"
#include "ziVodaRerodo.h"
#include "ziVodaRerodo_types.h"

/* The platform's rectangle: four int32 in this order, 16 bytes. */
static_assert(sizeof(Rect) == 16, "Rect size");
static_assert(offsetof(Rect, left) == 0 && offsetof(Rect, top) == 4, "Rect left/top");
static_assert(offsetof(Rect, right) == 8 && offsetof(Rect, bottom) == 12, "Rect right/bottom");

/* Four bytes in one 32-bit slot. */
static_assert(sizeof(TextureFilter) == 4, "TextureFilter size");
static_assert(offsetof(TextureFilter, minFilter) == 0 && offsetof(TextureFilter, blend) == 3, "TextureFilter order");

/* Three 32-bit fields, then the pixel pointer (pointer-sized, naturally aligned). */
static_assert(offsetof(TextureLock, width) == 0 && offsetof(TextureLock, height) == 4, "TextureLock size fields");
static_assert(offsetof(TextureLock, imageSize) == 8, "TextureLock imageSize");
static_assert(offsetof(TextureLock, bits) == (sizeof(void*) == 8 ? 16 : 12), "TextureLock bits");

/* Six pointer-sized words: read, write, two reserved, atEnd, user. */
static_assert(offsetof(IOStub, read) == 0, "IOStub read");
static_assert(offsetof(IOStub, write) == 1 * sizeof(void*), "IOStub write");
static_assert(offsetof(IOStub, atEnd) == 4 * sizeof(void*), "IOStub atEnd");
static_assert(offsetof(IOStub, user) == 5 * sizeof(void*), "IOStub user");
static_assert(sizeof(IOStub) == 6 * sizeof(void*), "IOStub size");
static_assert(sizeof(uintptr_t) == sizeof(void*), "designators and user values carry pointers");

/* Handles stay 32-bit ids. */
static_assert(sizeof(KespTag) == 4 && sizeof(KespParser) == 4, "voZuzu handles");
static_assert(sizeof(CanvasHandle) == 4 && sizeof(TextureHandle) == 4, "vaRodurod handles");
