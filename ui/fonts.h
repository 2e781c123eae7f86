// The four fonts of the palette table, loaded once at start-up and kept for the whole run.
// Main thread only (a font caches its glyphs).
#pragma once

#include <array>
#include <memory>

#include "platform/font.h"
#include "ui/palette.h"

namespace ax {

struct Fonts {
  std::array<std::unique_ptr<platform::Font>, kFonts.size()> fonts;
  // The font, or nullptr when neither it nor a fallback could be loaded (text is then not drawn).
  const platform::Font* get(FontId id) const { return fonts[static_cast<size_t>(id)].get(); }
};

// `load fonts`.
Fonts LoadFonts();

}  // namespace ax
