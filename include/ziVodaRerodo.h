/* ziVodaRerodo: measures and draws UTF-8 text in a box onto a vaRodurod canvas,
 * laid out the way the Windows DrawTextW call lays it out. Three exports with C
 * linkage; calls must come from one thread at a time. */
#ifndef ZIVODARERODO_H
#define ZIVODARERODO_H

#include <stdint.h>

#include "vaRodurod.h"
#include "voZuzu.h"
#include "ziVodaRerodo_types.h"

#if defined(_WIN32)
#define ZIVODA_EXPORT __declspec(dllimport)
#else
#define ZIVODA_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The format flags: DrawTextW's DT_* values, under the library's prefix. */
enum {
  VX_DT_TOP = 0x00000000,
  VX_DT_LEFT = 0x00000000,
  VX_DT_CENTER = 0x00000001,
  VX_DT_RIGHT = 0x00000002,
  VX_DT_VCENTER = 0x00000004,
  VX_DT_BOTTOM = 0x00000008,
  VX_DT_WORDBREAK = 0x00000010,
  VX_DT_SINGLELINE = 0x00000020,
  VX_DT_EXPANDTABS = 0x00000040,
  VX_DT_TABSTOP = 0x00000080,
  VX_DT_NOCLIP = 0x00000100,
  VX_DT_EXTERNALLEADING = 0x00000200,
  VX_DT_CALCRECT = 0x00000400,
  VX_DT_NOPREFIX = 0x00000800,
  VX_DT_INTERNAL = 0x00001000,
  VX_DT_EDITCONTROL = 0x00002000,
  VX_DT_PATH_ELLIPSIS = 0x00004000,
  VX_DT_END_ELLIPSIS = 0x00008000,
  VX_DT_MODIFYSTRING = 0x00010000,
  VX_DT_RTLREADING = 0x00020000,
  VX_DT_WORD_ELLIPSIS = 0x00040000,
  VX_DT_NOFULLWIDTHCHARBREAK = 0x00080000,
  VX_DT_HIDEPREFIX = 0x00100000,
  VX_DT_PREFIXONLY = 0x00200000
};

/* Draws text (UTF-8) in the font registered under fontId, aligned in box by the
 * DrawTextW format flags, onto canvas, combined with modulation (0xAARRGGBB).
 * Returns 1. Failure: nothing is drawn (null arguments included). */
ZIVODA_EXPORT int32_t vxDrawText(CanvasHandle canvas, const Rect* box, const char* text, uint32_t format,
                                 uint32_t modulation, const char* fontId);
/* Replaces *box by the rectangle the text occupies once aligned in it. Returns 1.
 * Failure: an unknown font id measures in the initial font; null arguments leave box as it is. */
ZIVODA_EXPORT int32_t vxCalcTextBox(Rect* box, const char* text, uint32_t format, const char* fontId);
/* Registers every direct child named "Font" of tag under its id attribute.
 * Returns how many were registered. Failure: 0 (a null tag included). */
ZIVODA_EXPORT int32_t vxRegisterFont(KespTag tag);

#ifdef __cplusplus
}
#endif

#endif
