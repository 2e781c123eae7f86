// Drawing helpers shared by the audio device window and the options window: a label is a
// surface filled with the dialog background and its text drawn at the top, left aligned or
// centred. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/display.h"
#include "platform/font.h"
#include "ui/device_window.h"

namespace ax {

enum class Align : uint8_t { kLeft, kCentre };

// Adds surface `element` at `rect` (if not there yet) and draws `text` on it in `colour`
// (0xRRGGBB) over the dialog background colour. A missing font draws the background only.
void DrawDialogLabel(platform::Window& window, int element, const UiRect& rect,
                     std::string_view utf8, const platform::Font* font, uint32_t colour,
                     Align align = Align::kLeft);

// The client position of the cursor in `window`: the press position that the dialogs' hit
// tests use, taken after every event.
platform::Point CursorInWindow(const platform::Display& display, const platform::Window& window);

// UTF-16 (device names) to UTF-8 (what the canvas draws); a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace ax
