// Fonts by face name and point size, rendered with FreeType and found with fontconfig.
//
// The pixel size asked of FreeType is the character height (the em, not the line cell):
// points x 96 / 72, rounded. When the named face is not installed we do not take whatever
// fontconfig offers: we try our own fixed list instead, Open Sans (its Light weight for a face
// whose name ends in "Light"), then DejaVu Sans, so the look is the same on every machine that
// has those packages.
//
// A Font is used by one thread at a time (it caches rendered glyphs); main thread in practice.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/canvas/canvas.h"

namespace platform {

class Font : public canvas::GlyphSource {
 public:
  // Loads `face_name` at `points`; nullptr when neither the face nor any of the fallbacks can be
  // loaded (the reason in `error`).
  static std::unique_ptr<Font> Load(const std::string& face_name, int points,
                                    std::string* error = nullptr);
  ~Font() override;

  // The family and style actually used, and the file, e.g. "Open Sans Light".
  const std::string& family() const { return family_; }
  const std::string& file() const { return file_; }
  int pixel_size() const { return pixel_size_; }
  int ascent() const { return ascent_; }

  const canvas::Glyph* GlyphFor(char32_t code_point) const override;
  int Kerning(char32_t left, char32_t right) const override;
  int LineHeight() const override { return line_height_; }

  int TextWidth(std::string_view utf8) const { return canvas::TextWidth(*this, utf8); }

 private:
  Font() = default;
  struct FreeTypeState;
  std::unique_ptr<FreeTypeState> ft_;
  std::string family_, file_;
  int pixel_size_ = 0, ascent_ = 0, line_height_ = 0;
  mutable std::unordered_map<char32_t, std::unique_ptr<canvas::Glyph>> cache_;
};

// Pixel size for a point size at 96 dots per inch, rounded.
constexpr int PixelSizeForPoints(int points) {
  return (points * 96 + 36) / 72;
}

}  // namespace platform
