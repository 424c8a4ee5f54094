// One font file face opened with FreeType, with the table values GDI's metrics
// need read once at opening. Shared between the fonts made from it.
#pragma once

#include <memory>
#include <string>

#include "platform/text_metrics.h"

struct FT_FaceRec_;

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

 private:
  FontFace(FT_FaceRec_* face, std::string file, int index);

  FT_FaceRec_* face_;
  std::string file_;
  int index_;
  FontUnits units_;
};

}  // namespace zivoda::gdi
