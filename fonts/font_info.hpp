// A font description (face, weight, slant, underline, strike-out, size in
// points) and the platform font made from it on first use, which it owns.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gdi.h"
#include "voZuzu.h"

namespace zivoda {

class FontInfo {
 public:
  // Not bold, italic, underlined or struck out; 9 points; no platform font.
  FontInfo() = default;
  // Reads a "Font" tag: face, bold, italic, underline, strike and size, in that
  // order, each absent attribute taking the DefaultFont's value (face: empty).
  explicit FontInfo(KespTag tag);
  ~FontInfo() { ReleaseFont(); }
  FontInfo(const FontInfo&) = delete;
  FontInfo& operator=(const FontInfo&) = delete;

  // Points to the platform's character height: -|size * 100 / 72| (truncated),
  // computed in 64 bits and clamped to the 32-bit range.
  static int32_t PointSizeToHeight(int32_t size);
  // Makes the platform font from the fields. Returns whether one now exists.
  bool CreateFontHandle();
  // The platform font, made on the first call (and again after a failure). Failure: null.
  HFONT GetFontHandle();
  // Deletes the platform font, if one was made.
  void ReleaseFont();

  const std::string& face() const { return face_; }
  bool bold() const { return bold_; }
  bool italic() const { return italic_; }
  bool underline() const { return underline_; }
  bool strike() const { return strike_; }
  int32_t size() const { return size_; }
  // The LOGFONTW this description asks the platform for.
  LOGFONTW Describe() const;

 private:
  std::string face_;
  bool bold_ = false;
  bool italic_ = false;
  bool underline_ = false;
  bool strike_ = false;
  int32_t size_ = 9;
  HFONT font_ = nullptr;
};

// The defaults of the attributes of a "Font" tag; alive as long as the library.
const FontInfo& DefaultFont();

}  // namespace zivoda
