// The palette and the fonts, fixed for the whole run. Colours are 0xRRGGBB.
#pragma once

#include <array>
#include <cstdint>

namespace ax {

struct Palette {
  uint32_t text = 0xC1CED1;
  uint32_t window = 0x697B82;
  uint32_t current_row = 0xDCECF0;
  uint32_t close_hover = 0xA2C2C6;
  uint32_t close_normal = 0x92A4A8;
  uint32_t progress_dot = 0xC1CED1;
  uint32_t caption = 0x7D8087;
  uint32_t caption_hover = 0x8D9097;
  uint32_t dialog_text = 0xCDCDE6;
  uint32_t unsupported_device = 0x919191;
  uint32_t dialog_background = 0x3F424E;
  uint32_t dialog_hover = 0xEDEDF6;
};

// `load palette`: the one palette the windows draw with.
inline constexpr Palette kPalette{};

// Colours outside the palette.
inline constexpr uint32_t kPlayingCaption = 0xA2A6C8;
inline constexpr uint32_t kPausedCaption = 0xA69C46;
inline constexpr uint32_t kClosePressed = 0xC28286;

struct FontSpec {
  const char* face;
  int points;  // requested as a character height of points x dpi / 72 pixels, rounded
};

// `load fonts`: the four fonts, normal weight.
enum class FontId : uint8_t { kDialog, kDialogLarge, kSurface, kCaption };
inline constexpr std::array<FontSpec, 4> kFonts = {{
    {"Segoe UI", 10},        // audio device window labels, the cover toggle
    {"Segoe UI", 12},        // the options window's Start label
    {"Segoe UI Light", 11},  // text on the main window's surfaces
    {"Segoe UI Light", 12},  // transport button captions
}};

}  // namespace ax
