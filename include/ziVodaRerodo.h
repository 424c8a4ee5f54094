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
