#include "ui/fonts.h"

namespace ax {

Fonts LoadFonts() {
  Fonts out;
  for (size_t i = 0; i < kFonts.size(); ++i) {
    out.fonts[i] = platform::Font::Load(kFonts[i].face, kFonts[i].points);
  }
  return out;
}

}  // namespace ax
