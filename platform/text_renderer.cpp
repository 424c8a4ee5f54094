// The pixel work of DrawTextW: 0x00RRGGBB pixels, text colour blended by FreeType
// coverage (exact division by 255), rectangles filled for OPAQUE backgrounds and
// decorations. One-bit bitmaps keep their two values: a pixel turns white when
// the blended result is light. Every write is inside the clip and the bitmap.
#include "platform/text_renderer.h"

#include <algorithm>

#include "platform/glyph_cache.h"

namespace zivoda::gdi {
namespace {

struct Clip {
  int64_t left, top, right, bottom;
  bool Empty() const { return left >= right || top >= bottom; }
};

uint32_t ToPixel(COLORREF color) {
  const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  return (r << 16) | (g << 8) | b;
}

// (x + 127) / 255 for x in [0, 255 * 255], without a division.
inline uint32_t Div255(uint32_t x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}

inline uint32_t Blend(uint32_t dst, uint32_t src, uint32_t alpha) {
  const uint32_t inverse = 255 - alpha;
  const uint32_t r = Div255(((dst >> 16) & 0xFF) * inverse + ((src >> 16) & 0xFF) * alpha);
  const uint32_t g = Div255(((dst >> 8) & 0xFF) * inverse + ((src >> 8) & 0xFF) * alpha);
  const uint32_t b = Div255((dst & 0xFF) * inverse + (src & 0xFF) * alpha);
  return (r << 16) | (g << 8) | b;
}

inline uint32_t ToMonochrome(uint32_t pixel) {
  const uint32_t sum = ((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF);
  return sum >= 3 * 128 ? 0x00FFFFFF : 0;
}

class Painter {
 public:
  Painter(Bitmap& target, const Clip& clip) : target_(target), clip_(clip) {}

  void Fill(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel) {
    left = std::max(left, clip_.left);
    top = std::max(top, clip_.top);
    right = std::min(right, clip_.right);
    bottom = std::min(bottom, clip_.bottom);
    if (left >= right || top >= bottom) return;
    if (target_.bitsPixel == 1) pixel = ToMonochrome(pixel);
    for (int64_t y = top; y < bottom; ++y) {
      uint32_t* row = target_.Row(static_cast<int32_t>(y));
      std::fill(row + left, row + right, pixel);
    }
  }

  void Glyph(const GlyphImage& image, int64_t x, int64_t y, uint32_t pixel) {
    const int64_t left = std::max(x, clip_.left);
    const int64_t top = std::max(y, clip_.top);
    const int64_t right = std::min(x + image.width, clip_.right);
    const int64_t bottom = std::min(y + image.height, clip_.bottom);
    if (left >= right || top >= bottom) return;
    const bool mono = target_.bitsPixel == 1;
    for (int64_t row = top; row < bottom; ++row) {
      const uint8_t* coverage = image.coverage.data() + (row - y) * image.width + (left - x);
      uint32_t* out = target_.Row(static_cast<int32_t>(row)) + left;
      for (int64_t col = left; col < right; ++col, ++coverage, ++out) {
        const uint32_t alpha = *coverage;
        if (alpha == 0) continue;
        uint32_t value = alpha == 255 ? pixel : Blend(*out, pixel, alpha);
        if (mono) value = ToMonochrome(value);
        *out = value;
      }
    }
  }

 private:
  Bitmap& target_;
  Clip clip_;
};

}  // namespace

void PaintLayout(const TextLayout& layout, const std::vector<LineOrigin>& origins, const PaintOptions& options,
                 Bitmap& target) {
  Clip clip{std::max<int64_t>(options.clipLeft, 0), std::max<int64_t>(options.clipTop, 0),
            std::min<int64_t>(options.clipRight, target.width), std::min<int64_t>(options.clipBottom, target.height)};
  if (clip.Empty() || !target.pixels) return;
  Painter painter(target, clip);
  const uint32_t text = ToPixel(options.textColor);
  const int64_t height = layout.lineHeight;
  for (const LineOrigin& origin : origins) {
    if (origin.line >= layout.lines.size()) continue;
    const LayoutLine& line = layout.lines[origin.line];
    // Lines wholly outside the clip cost nothing.
    if (origin.y >= clip.bottom || origin.y + std::max<int64_t>(height, 1) + 64 <= clip.top) continue;
    const int64_t baseline = origin.y + layout.ascent;
    if (options.opaque) {
      painter.Fill(origin.x, origin.y, origin.x + line.width, origin.y + height, ToPixel(options.bkColor));
    }
    if (options.glyphs) {
      for (uint32_t r = line.runBegin; r < line.runEnd; ++r) {
        const GlyphRun& run = layout.runs[r];
        const RunFont& font = layout.fonts.fonts[run.font];
        for (uint32_t g = run.begin; g < run.end; ++g) {
          const PlacedGlyph& glyph = layout.glyphs[g];
          const GlyphImage* image = RasterizedGlyph(font, glyph.glyph);
          if (image == nullptr || image->width == 0 || image->height == 0) continue;
          painter.Glyph(*image, origin.x + glyph.x + image->left, baseline + glyph.y - image->top, text);
        }
      }
      if (layout.underlined) {
        const int64_t top = baseline + layout.underline.top;
        painter.Fill(origin.x, top, origin.x + line.width, top + layout.underline.thickness, text);
      }
      if (layout.struckOut) {
        const int64_t top = baseline + layout.strikeout.top;
        painter.Fill(origin.x, top, origin.x + line.width, top + layout.strikeout.thickness, text);
      }
    }
    if (options.prefixes && line.hasPrefix) {
      const int64_t top = baseline + layout.underline.top;
      painter.Fill(origin.x + line.prefixLeft, top, origin.x + line.prefixRight, top + layout.underline.thickness,
                   text);
    }
  }
}

}  // namespace zivoda::gdi
