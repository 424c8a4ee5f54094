// The coverage correction for text: a 256-entry table chosen from the text
// colour's luminance, so that text composited in gamma-encoded values looks as
// heavy light-on-dark as dark-on-light (a contrast-boosted, gamma-corrected
// "preblend" of coverage, the technique Skia's mask gamma uses).
#pragma once

#include <cstdint>

namespace varodurod {

inline constexpr int kLuminanceSteps = 16;
inline constexpr float kTextContrast = 0.5f;

// The luminance step (0 darkest .. kLuminanceSteps - 1 lightest) of a colour's RGB;
// alpha plays no part.
int LuminanceStep(uint32_t color);
// The table for a colour's RGB: 256 entries, [0] = 0, [255] = 255, never decreasing.
// Static storage, built once.
const uint8_t* TextCoverageTable(uint32_t color);

}  // namespace varodurod
