// Canvas pixels to and from PNG files, through libpng: saving un-premultiplies to
// 8-bit RGBA; loading converts any PNG to 8-bit sRGB RGBA and premultiplies it
// into the canvas from (0, 0), unscaled.
#pragma once

#include <cstdint>
#include <optional>

#include "canvas.hpp"
#include "pixel_buffer.hpp"

namespace varodurod {

// A decoded PNG: width x height pixels, 4 bytes each: R, G, B, A (straight alpha).
// Its memory is committed only as rows are decoded, so a short file that claims a
// huge size costs little.
struct PngPixels {
  int32_t width = 0;
  int32_t height = 0;
  PixelBuffer<uint8_t> rgba;
};

// Writes a temporary file beside path and renames it over path once complete.
// False (an old file at path untouched) when anything fails.
bool SavePng(const Canvas& canvas, const char* path);
// Nothing for a missing or malformed file, one with a side above
// VR_MAX_DIMENSION, or refused memory.
std::optional<PngPixels> ReadPng(const char* path);
// Premultiplies image into canvas with its top-left pixel at (0, 0); what lies
// beyond the canvas is dropped.
void PlacePng(Canvas& canvas, const PngPixels& image);

}  // namespace varodurod
