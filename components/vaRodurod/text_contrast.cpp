// Builds the text coverage tables once, one for each luminance step, and picks
// the step of a colour. Transfer curves are sRGB's (IEC 61966-2-1), luminance
// weights Rec. 709's.
#include "text_contrast.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace varodurod {
namespace {

float ToLinear(float v) { return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f); }
float ToEncoded(float v) { return v <= 0.0031308f ? v * 12.92f : 1.055f * std::pow(v, 1.0f / 2.4f) - 0.055f; }

struct Tables {
  std::array<float, 256> linear{};  // an encoded byte's linear value
  std::array<std::array<uint8_t, 256>, kLuminanceSteps> coverage{};

  Tables() {
    for (int i = 0; i < 256; ++i) linear[i] = ToLinear(static_cast<float>(i) / 255.0f);
    for (int step = 0; step < kLuminanceSteps; ++step) Build(step, coverage[step]);
  }

  // For a text colour of encoded value src, the background is guessed as its
  // opposite dst = 1 - src. A coverage a is first boosted by contrast:
  // a' = a + k * a * (1 - a), k fading from kTextContrast for black text to 0 for
  // white (k scales with dst's linear value). The blend in linear light,
  // lin(src) * a' + lin(dst) * (1 - a'), is then encoded, and the table holds the
  // coverage c that gives that value when blending in encoded values:
  // src * c + dst * (1 - c).
  static void Build(int step, std::array<uint8_t, 256>& table) {
    const float src = static_cast<float>(step) / (kLuminanceSteps - 1);
    const float dst = 1.0f - src;  // with an odd step count never equal to src
    const float linSrc = ToLinear(src);
    const float linDst = ToLinear(dst);
    const float contrast = kTextContrast * linDst;
    int previous = 0;
    for (int i = 0; i < 256; ++i) {
      const float a = static_cast<float>(i) / 255.0f;
      const float boosted = a + contrast * a * (1.0f - a);
      const float out = ToEncoded(linSrc * boosted + linDst * (1.0f - boosted));
      const float c = std::clamp((out - dst) / (src - dst), 0.0f, 1.0f);
      const int value = std::max(previous, static_cast<int>(std::lround(c * 255.0f)));
      table[i] = static_cast<uint8_t>(value);
      previous = value;
    }
    table[0] = 0;
    table[255] = 255;
  }
};

const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

}  // namespace

int LuminanceStep(uint32_t color) {
  const Tables& t = GetTables();
  // Rec. 709 luminance of the linear colour, then encoded again to pick the step.
  const float y = 0.2126f * t.linear[(color >> 16) & 0xFF] + 0.7152f * t.linear[(color >> 8) & 0xFF] +
                  0.0722f * t.linear[color & 0xFF];
  const long step = std::lround(ToEncoded(std::clamp(y, 0.0f, 1.0f)) * (kLuminanceSteps - 1));
  return static_cast<int>(std::clamp(step, 0L, static_cast<long>(kLuminanceSteps - 1)));
}

const uint8_t* TextCoverageTable(uint32_t color) { return GetTables().coverage[LuminanceStep(color)].data(); }

}  // namespace varodurod
