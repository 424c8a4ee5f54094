/* Types shared by the library's exports and the components it talks to. */
#ifndef ZIVODARERODO_TYPES_H
#define ZIVODARERODO_TYPES_H

#include <stdint.h>

/* A rectangle in pixels; right and bottom are exclusive. It may be empty or inverted. */
typedef struct Rect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
} Rect;

#endif
