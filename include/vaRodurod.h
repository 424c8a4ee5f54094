/* vaRodurod: the canvas and texture component. The library draws text into a
 * texture and has this component composite it onto a canvas. Handles are 32-bit
 * ids into a table; a stale or foreign handle makes a call a no-op. */
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

/* What LockTextureBits reports: `height` rows of `width` 32-bit pixels at `bits`,
 * 4 * width bytes apart. */
typedef struct TextureLock {
  int32_t width;
  int32_t height;
  uint32_t imageSize; /* bytes */
  void* bits;
} TextureLock;

/* How a texture is sampled and blended; passed by value. */
typedef struct TextureFilter {
  uint8_t minFilter;
  uint8_t magFilter;
  uint8_t wrap;
  uint8_t blend;
} TextureFilter;

VARODUROD_API void GetCanvasClip(CanvasHandle canvas, Rect* clip);
VARODUROD_API TextureHandle CreateTexture(int32_t width, int32_t height);
VARODUROD_API int32_t LockTextureBits(TextureHandle texture, TextureLock* lock, int32_t flags);
VARODUROD_API void UnlockTextureBits(TextureHandle texture, int32_t flags);
VARODUROD_API void SetTextureFilter(TextureHandle texture, TextureFilter filter);
VARODUROD_API void ShuffleTexture(TextureHandle texture, int32_t mode);
VARODUROD_API void DrawModulation(CanvasHandle canvas, int32_t x, int32_t y, TextureHandle texture, uint32_t modulation);
VARODUROD_API void DeleteTexture(TextureHandle texture);

#ifdef __cplusplus
}
#endif

#endif
