// The options window: the cover toggle and the Start label. Main thread only.
// As with the audio device window, behaviour lives in a model and the window only draws it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ui/device_window.h"

namespace ax {

inline constexpr UiRect kCoverToggleRect{168, 120, 160, 24};
inline constexpr UiRect kStartRect{200, 380, 60, 24};

// "View cover:  On" for cover mode 1, "View cover:  Off" for anything else.
const char* CoverToggleText(uint8_t cover_mode);

class OptionsWindowModel {
 public:
  enum class Outcome : uint8_t { kOpen, kStarted, kClosed };

  explicit OptionsWindowModel(uint8_t cover_mode);

  uint8_t cover_mode() const { return cover_mode_; }
  const char* toggle_text() const { return CoverToggleText(cover_mode_); }
  uint32_t toggle_colour() const { return toggle_colour_; }
  uint32_t start_colour() const { return start_colour_; }
  Outcome outcome() const { return outcome_; }

  // Positions are relative to the client area; outside the window nothing happens. A press
  // answers whether the toggle's text changed; a move whether a colour changed.
  bool OnLeftPress(int x, int y);
  bool OnMouseMove(int x, int y);
  void OnEscape(int x, int y);
  // The window manager asks the window to close (for instance Alt+F4): like the close mark.
  void OnCloseRequest();

 private:
  uint8_t cover_mode_;
  uint32_t toggle_colour_;
  uint32_t start_colour_;
  Outcome outcome_ = Outcome::kOpen;
};

inline constexpr int kOptionsWindowId = 22;
inline constexpr int kCoverToggleId = 502;
inline constexpr int kStartId = 550;

// `edit options`: shows the window with `cover_mode` and runs it until Start (answers the cover
// mode then in force) or Escape (nothing; the caller ends the program). Closed on return.
std::optional<uint8_t> EditOptions(platform::Display& display, const Fonts& fonts,
                                   uint8_t cover_mode);

}  // namespace ax
