// Opening a face with FreeType and reading the table values GDI's metrics come
// from (OS/2, hhea, post). A face without an OS/2 table falls back on hhea and
// the head bounding box, so every face yields a usable cell and em.
#include "platform/font_face.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <hb-ft.h>
#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <atomic>
#include <utility>

namespace zivoda::gdi {
namespace {

// The process's FreeType library, never released (fonts may outlive any order
// of static teardown). Null when FreeType cannot start.
FT_Library FreeTypeLibrary() {
  static FT_Library const library = [] {
    FT_Library created = nullptr;
    return FT_Init_FreeType(&created) == 0 ? created : nullptr;
  }();
  return library;
}

FontUnits ReadUnits(FT_Face face) {
  FontUnits units;
  units.unitsPerEm = face->units_per_EM;
  units.hheaAscender = face->ascender;
  units.hheaDescender = face->descender;
  units.hheaLineGap = face->height - (face->ascender - face->descender);
  units.maxAdvance = face->max_advance_width;
  if (const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA))) {
    units.hheaAscender = hhea->Ascender;
    units.hheaDescender = hhea->Descender;
    units.hheaLineGap = hhea->Line_Gap;
    units.maxAdvance = hhea->advance_Width_Max;
  }
  // FreeType centres face->underline_position on the stroke; post gives its top.
  units.underlineThickness = face->underline_thickness;
  units.underlinePosition = face->underline_position + face->underline_thickness / 2;
  if (const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(face, FT_SFNT_POST))) {
    units.underlinePosition = post->underlinePosition;
    units.underlineThickness = post->underlineThickness;
  }
  units.fixedPitch = FT_IS_FIXED_WIDTH(face);
  const auto* maxp = static_cast<const TT_MaxProfile*>(FT_Get_Sfnt_Table(face, FT_SFNT_MAXP));
  units.trueTypeOutlines = maxp != nullptr && maxp->version == 0x00010000;  // 0.5 is CFF

  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr) {
    units.winAscent = os2->usWinAscent;
    units.winDescent = os2->usWinDescent;
    units.avgCharWidth = os2->xAvgCharWidth;
    units.weightClass = os2->usWeightClass;
    units.strikeoutPosition = os2->yStrikeoutPosition;
    units.strikeoutSize = os2->yStrikeoutSize;
    units.firstChar = os2->usFirstCharIndex;
    units.lastChar = os2->usLastCharIndex;
    if (os2->version >= 2) {
      units.defaultChar = os2->usDefaultChar;
      if (os2->usBreakChar != 0) units.breakChar = os2->usBreakChar;
    }
    units.panoseFamily = os2->panose[0];
    units.panoseSerif = os2->panose[1];
    units.codePageRange1 = static_cast<uint32_t>(os2->ulCodePageRange1);
  }
  // Without usable Windows metrics: hhea, then the bounding box, then 80/20 of the em.
  if (units.winAscent + units.winDescent <= 0) {
    units.winAscent = units.hheaAscender;
    units.winDescent = -units.hheaDescender;
  }
  if (units.winAscent + units.winDescent <= 0) {
    units.winAscent = face->bbox.yMax;
    units.winDescent = -face->bbox.yMin;
  }
  if (units.winAscent + units.winDescent <= 0) {
    units.winAscent = units.unitsPerEm * 4 / 5;
    units.winDescent = units.unitsPerEm - units.winAscent;
  }
  if (units.avgCharWidth <= 0) units.avgCharWidth = units.maxAdvance / 2;
  if (os2 == nullptr || units.strikeoutSize <= 0) {
    units.strikeoutPosition = units.unitsPerEm / 4;
    units.strikeoutSize = units.underlineThickness;
  }
  return units;
}

}  // namespace

std::shared_ptr<FontFace> FontFace::Open(const std::string& file, int index) {
  FT_Library library = FreeTypeLibrary();
  if (library == nullptr || index < 0) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(library, file.c_str(), index, &face) != 0) return nullptr;
  std::unique_ptr<FT_FaceRec_, decltype(&FT_Done_Face)> owned(face, &FT_Done_Face);
  if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return nullptr;
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);  // keeps the face's own map when it has none
  auto* opened = new FontFace(face, file, index);
  owned.release();  // the FontFace closes it from here on
  return std::shared_ptr<FontFace>(opened);
}

FontFace::FontFace(FT_FaceRec_* face, std::string file, int index)
    : face_(face), file_(std::move(file)), index_(index), units_(ReadUnits(face)) {
  static std::atomic<uint64_t> next{1};
  serial_ = next.fetch_add(1);
}

FontFace::~FontFace() {
  if (shaping_ != nullptr) hb_font_destroy(shaping_);
  FT_Done_Face(face_);
}

hb_font_t* FontFace::ShapingFont() {
  if (shaping_ != nullptr) return shaping_;
  // HarfBuzz maps the font file itself (shared, read-only pages, nothing copied);
  // its own OpenType functions give unhinted advances, so shaping does not
  // depend on the FT_Face's current size. Without the file (a face FreeType
  // opened some other way) the tables come through FreeType.
  hb_blob_t* blob = hb_blob_create_from_file_or_fail(file_.c_str());
  hb_face_t* face = blob != nullptr ? hb_face_create(blob, static_cast<unsigned int>(index_))
                                    : hb_ft_face_create_referenced(face_);
  if (blob != nullptr) hb_blob_destroy(blob);
  hb_font_t* font = hb_font_create(face);
  hb_face_destroy(face);
  if (font == hb_font_get_empty()) return nullptr;
  hb_ot_font_set_funcs(font);
  const int upem = static_cast<int>(face_->units_per_EM);
  hb_font_set_scale(font, upem, upem);
  shaping_ = font;
  return shaping_;
}

uint32_t FontFace::GlyphFor(char32_t codePoint) {
  if (codePoint < 128) {
    if (!asciiReady_) {
      for (char32_t c = 0; c < 128; ++c) ascii_[c] = static_cast<uint16_t>(FT_Get_Char_Index(face_, c));
      asciiReady_ = true;
    }
    return ascii_[codePoint];
  }
  return FT_Get_Char_Index(face_, codePoint);
}

bool FontFace::Slanted() const { return (face_->style_flags & FT_STYLE_FLAG_ITALIC) != 0; }

std::string FontFace::FamilyName() const { return face_->family_name != nullptr ? face_->family_name : ""; }

std::string FontFace::StyleName() const { return face_->style_name != nullptr ? face_->style_name : ""; }

}  // namespace zivoda::gdi
