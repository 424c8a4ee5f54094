// Pixel arithmetic shared by the canvas, the compositor and the PNG reader:
// 8-bit products rounded to nearest, and conversion between straight and
// premultiplied 0xAARRGGBB.
#pragma once

#include <cstdint>

namespace varodurod {

// round(x / 255) for 0 <= x <= 255 * 255, exactly.
constexpr uint32_t Div255(uint32_t x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}

constexpr uint32_t Channel(uint32_t pixel, int shift) { return (pixel >> shift) & 0xFFu; }

// 0xAARRGGBB straight -> premultiplied, each colour rounded to nearest.
constexpr uint32_t Premultiply(uint32_t color) {
  const uint32_t a = color >> 24;
  return (a << 24) | (Div255(Channel(color, 16) * a) << 16) | (Div255(Channel(color, 8) * a) << 8) |
         Div255(Channel(color, 0) * a);
}

// Premultiplied -> straight, rounded to nearest; Premultiply(Unpremultiply(p)) == p
// for every pixel whose colours do not exceed its alpha. Alpha 0 gives 0.
constexpr uint32_t Unpremultiply(uint32_t pixel) {
  const uint32_t a = pixel >> 24;
  if (a == 0) return 0;
  auto un = [a](uint32_t c) {
    const uint32_t v = (c * 255 + a / 2) / a;
    return v > 255 ? 255u : v;
  };
  return (a << 24) | (un(Channel(pixel, 16)) << 16) | (un(Channel(pixel, 8)) << 8) | un(Channel(pixel, 0));
}

}  // namespace varodurod
