// One font file face opened with FreeType, with the table values GDI's metrics
// need read once at opening. Shared between the fonts made from it.
#pragma once

#include <memory>
#include <cstdint>
#include <string>

#include "platform/text_metrics.h"

struct FT_FaceRec_;
struct hb_font_t;

namespace zivoda::gdi {

class FontFace {
 public:
  // The face at index of file, or null when FreeType cannot open it or it has no
  // outlines. The Unicode character map is selected when the face has one.
  static std::shared_ptr<FontFace> Open(const std::string& file, int index);

  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  FT_FaceRec_* Handle() const { return face_; }
  const FontUnits& Units() const { return units_; }
  const std::string& File() const { return file_; }
  int Index() const { return index_; }
  std::string FamilyName() const;
  std::string StyleName() const;
  // A number no other face opened in this process carries: caches key on it, so
  // a face freed and another opened at the same address never share entries.
  uint64_t Serial() const { return serial_; }
  // Whether the face's own style slants (italic or oblique).
  bool Slanted() const;
  // The HarfBuzz font of this face, scaled to font units (one unit per unit), so
  // shaping results hold for every size; made on first use. Null when HarfBuzz
  // cannot make one.
  hb_font_t* ShapingFont();
  // The glyph of a code point (0 when the face has none), with a table for ASCII.
  uint32_t GlyphFor(char32_t codePoint);

 private:
  FontFace(FT_FaceRec_* face, std::string file, int index);

  FT_FaceRec_* face_;
  std::string file_;
  int index_;
  FontUnits units_;
  uint64_t serial_;
  hb_font_t* shaping_ = nullptr;
  bool asciiReady_ = false;
  uint16_t ascii_[128] = {};
};

}  // namespace zivoda::gdi
