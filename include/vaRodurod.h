/* vaRodurod: the canvas and texture component. The library draws text into a
 * texture and has this component composite it onto a canvas. Handles are 32-bit
 * ids into a table; a stale or foreign handle makes a call a no-op.
 * Every call may come from any thread; one lock inside serialises them. */
#ifndef VARODUROD_H
#define VARODUROD_H

#include <stdint.h>

#include "ziVodaRerodo_types.h"

#if defined(_WIN32)
#define VARODUROD_API __declspec(dllimport)
#else
#define VARODUROD_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t CanvasHandle;  /* 0 is no canvas */
typedef uint32_t TextureHandle; /* 0 is no texture */

/* Handles: the low 16 bits name a slot of one table shared by canvases and
 * textures (slot + 1, so 0 is never a handle), the high 16 bits count the slot's
 * reuses. A handle of a deleted object, of the other kind or never handed out is
 * refused; a freed slot waits behind many others before it is reused. */

/* Largest width or height of a canvas or texture; larger sizes are refused, so
 * no image holds more than 16384 * 16384 * 4 bytes (1 GiB). */
#define VR_MAX_DIMENSION 16384

/* ---- Pixel formats -------------------------------------------------------
 * Canvas pixels: one uint32 a pixel, 0xAARRGGBB, premultiplied alpha (each
 * colour value <= alpha); in memory on a little-endian machine the bytes are
 * B, G, R, A. Rows are top-down, 4 * width bytes apart, no gap.
 * Colours given to calls (ClearCanvas, DrawModulation): 0xAARRGGBB with
 * straight (not premultiplied) alpha; alpha 0 is transparent, not "opaque".
 * Texture texels: 4 bytes each, B, G, R, then a fourth byte (X) whose meaning
 * the texture's shuffle mode selects; rows top-down, 4 * width bytes apart: the
 * layout of a 32-bit top-down device-independent bitmap (BI_RGB). */

/* What LockTextureBits reports: `height` rows of `width` 32-bit pixels at `bits`,
 * 4 * width bytes apart. */
typedef struct TextureLock {
  int32_t width;
  int32_t height;
  uint32_t imageSize; /* bytes: 4 * width * height */
  void* bits;
} TextureLock;

/* How a texture is sampled and blended; passed by value.
 * minFilter, magFilter: 0 nearest, 1 linear; wrap: 0 clamp, 1 repeat. They only
 *   matter when a texture is sampled at another scale; DrawModulation draws one
 *   texel a canvas pixel, so they are kept and logged but change nothing drawn.
 * blend: VR_BLEND_COPY (0): the modulated texel replaces the canvas pixel;
 *   VR_BLEND_OVER (1): it is composited source-over (the default of a new texture). */
typedef struct TextureFilter {
  uint8_t minFilter;
  uint8_t magFilter;
  uint8_t wrap;
  uint8_t blend;
} TextureFilter;

enum { VR_BLEND_COPY = 0, VR_BLEND_OVER = 1 };

/* ShuffleTexture modes: how a texel's four bytes become colour and alpha.
 * VR_SHUFFLE_OPAQUE (0, a new texture's mode): B, G, R colour, X ignored, opaque.
 * VR_SHUFFLE_PREMULTIPLIED (1): B, G, R, A premultiplied (a colour byte above A
 *   counts as A).
 * VR_SHUFFLE_COVERAGE (6): white-on-black grey levels become coverage: alpha =
 *   max(B, G, R), colour white, X ignored; sub-pixel (per-channel) coverage is
 *   not kept. This is the mode the library's text pipeline sets.
 *   Drawing such a texture corrects the coverage for the modulation colour
 *   (see vrGetTextCoverageTable), as text renderers do. */
enum { VR_SHUFFLE_OPAQUE = 0, VR_SHUFFLE_PREMULTIPLIED = 1, VR_SHUFFLE_COVERAGE = 6 };

/* ---- Canvases ------------------------------------------------------------ */

/* A new canvas, every pixel 0 (transparent), clip = the whole canvas.
 * Failure: 0 (a side below 1 or above VR_MAX_DIMENSION, no memory, table full). */
VARODUROD_API CanvasHandle CreateCanvas(int32_t width, int32_t height);
/* Releases the canvas. Failure: no-op for a bad handle. */
VARODUROD_API void DeleteCanvas(CanvasHandle canvas);
/* Writes width and height (either pointer may be null). Returns 1.
 * Failure: 0 for a bad handle, outputs untouched. */
VARODUROD_API int32_t GetCanvasSize(CanvasHandle canvas, int32_t* width, int32_t* height);
/* Sets the clip to *clip cut to the canvas; an empty or inverted result is the
 * empty clip (0, 0, 0, 0); null clip: the whole canvas.
 * Failure: no-op for a bad handle. */
VARODUROD_API void SetCanvasClip(CanvasHandle canvas, const Rect* clip);
/* Writes the clip, in canvas coordinates, into *clip.
 * Failure: *clip left alone for a bad handle or a null clip. */
VARODUROD_API void GetCanvasClip(CanvasHandle canvas, Rect* clip);
/* Sets every pixel of the canvas, whatever the clip, to color (0xAARRGGBB,
 * straight alpha), premultiplied. Failure: no-op for a bad handle. */
VARODUROD_API void ClearCanvas(CanvasHandle canvas, uint32_t color);
/* The canvas image in bytes (4 * width * height); when out is not null and
 * capacity is at least that, copies the pixels (format above) to out.
 * Failure: 0 for a bad handle; nothing copied when capacity is short. */
VARODUROD_API uint32_t ReadCanvasPixels(CanvasHandle canvas, void* out, uint32_t capacity);
/* Saves the canvas as an 8-bit RGBA PNG (straight alpha, sRGB) at path (UTF-8),
 * written beside it and renamed over it once complete. Returns 1.
 * Failure: 0 (bad handle, null path, a file that cannot be written; an old file
 * at path is then left as it was). */
VARODUROD_API int32_t SaveCanvasPng(CanvasHandle canvas, const char* path);
/* Loads a PNG (any colour type and depth, converted to 8-bit sRGB RGBA) as the
 * canvas's background: the image is placed unscaled with its top-left pixel at
 * canvas (0, 0) and replaces the canvas pixels it covers, whatever the clip; the
 * part beyond the canvas is dropped, canvas pixels beyond the image keep their
 * value. Returns 1. Failure: 0 and the canvas unchanged (bad handle, null path,
 * missing or malformed file, a side above VR_MAX_DIMENSION, no memory). */
VARODUROD_API int32_t LoadCanvasPng(CanvasHandle canvas, const char* path);

/* ---- Textures ------------------------------------------------------------ */

/* A new texture, every byte 0, mode VR_SHUFFLE_OPAQUE, filter {0, 0, 0, 1}.
 * A side of 0 gives an empty texture: a live handle that cannot be locked and
 * draws nothing. Failure: 0 (a negative side or one above VR_MAX_DIMENSION, no
 * memory, table full). */
VARODUROD_API TextureHandle CreateTexture(int32_t width, int32_t height);
/* flags must be 0 (read and write). Fills *lock with the texture's size, its
 * image size and its texel memory (holding the texels as last written), which
 * stays readable and writable until UnlockTextureBits or DeleteTexture. Returns 1.
 * Failure: 0 and *lock untouched (bad handle, null lock, nonzero flags, an empty
 * texture, a texture already locked). */
VARODUROD_API int32_t LockTextureBits(TextureHandle texture, TextureLock* lock, int32_t flags);
/* Ends the lock; the texels written become the texture's content and are read
 * again under its shuffle mode. flags are reserved (pass 0) and ignored.
 * Failure: no-op for a bad handle or a texture that is not locked. */
VARODUROD_API void UnlockTextureBits(TextureHandle texture, int32_t flags);
/* Sets the texture's filter (meaning at TextureFilter). Failure: no-op for a bad
 * handle or a field out of range (filters and wrap above 1, blend above 1). */
VARODUROD_API void SetTextureFilter(TextureHandle texture, TextureFilter filter);
/* Sets the texture's shuffle mode (VR_SHUFFLE_*) and converts its texels now
 * (for a locked texture, once unlocked); texels written under a later lock are
 * converted under the same mode. The texel bytes themselves are not changed: a
 * later lock sees them as written. Failure: no-op for a bad handle or an unknown mode. */
VARODUROD_API void ShuffleTexture(TextureHandle texture, int32_t mode);
/* Composites the whole texture onto the canvas with its top-left texel at
 * (x, y), cut to the canvas's clip (positions are taken in 64 bits: any int32
 * is safe). Each texel, premultiplied per its mode, is multiplied channel by
 * channel by the modulation colour (0xAARRGGBB, straight alpha, premultiplied
 * here): S = T * M / 255; then blended per the texture's filter: over gives
 * S + D * (255 - S.alpha) / 255, copy gives S; every product is rounded to
 * nearest. A coverage texture is white with alpha = its coverage, after the
 * coverage goes through the table vrGetTextCoverageTable gives for the
 * modulation. Failure: no-op for a bad canvas or texture, a locked or empty
 * texture; a texture wholly outside the clip draws nothing. */
VARODUROD_API void DrawModulation(CanvasHandle canvas, int32_t x, int32_t y, TextureHandle texture,
                                  uint32_t modulation);
/* Releases the texture (and its lock, if locked: the locked memory is freed).
 * Failure: no-op for a bad handle. */
VARODUROD_API void DeleteTexture(TextureHandle texture);

/* ---- Text coverage correction -------------------------------------------
 * Compositing in gamma-encoded (sRGB) values makes light text on dark look thin
 * and dark text on light look heavy. DrawModulation therefore maps a coverage
 * texture's coverage through a table chosen from the modulation colour's
 * luminance (Rec. 709 weights on linear sRGB, in 16 steps): the coverage is
 * boosted by a contrast of 0.5 that fades as the text colour goes to white, and
 * then chosen so that blending in encoded values over the colour's opposite
 * gives the result of blending in linear light. table[0] = 0, table[255] = 255,
 * never decreasing. Writes the 256 entries for modulation to table.
 * Failure: no-op for a null table. */
VARODUROD_API void vrGetTextCoverageTable(uint32_t modulation, uint8_t table[256]);

/* ---- For tests, benchmarks and long-running hosts ----------------------- */

/* Live objects: canvases, textures (empty ones included), locked textures. */
VARODUROD_API int32_t vrLiveCanvases(void);
VARODUROD_API int32_t vrLiveTextures(void);
VARODUROD_API int32_t vrLiveLocks(void);

/* Selects the vector (SSE2) or the scalar pixel kernels; both give the same
 * pixels. Returns whether vector kernels were in use. On a machine without
 * vector kernels the scalar ones stay in use. */
VARODUROD_API int32_t vrUseVectorKernels(int32_t enable);

/* Optional call log: every canvas and texture call above (not the coverage table,
 * the counters or these settings) is reported as one line: the function's name,
 * its arguments in order (handles and integers in decimal, colours in 8 lowercase
 * hex digits, a rectangle as its four values, a path as given, "(null)" for a
 * null pointer) and, for calls that return a value, " -> " and the result:
 * "CreateTexture 12 16 -> 3", "LockTextureBits 3 0 -> 1", "UnlockTextureBits 3 0",
 * "SetTextureFilter 3 0 0 0 1", "ShuffleTexture 3 6",
 * "DrawModulation 1 10 20 3 ffff0000", "DeleteTexture 3". Null fn turns it off. */
typedef void (*vrLogFn)(void* context, const char* line);
VARODUROD_API void vrSetCallLog(vrLogFn fn, void* context);

#ifdef __cplusplus
}
#endif

#endif
