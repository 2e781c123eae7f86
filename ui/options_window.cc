#include "ui/options_window.h"

#include "ui/palette.h"

namespace ax {
namespace {

bool InsideWindow(int x, int y) {
  return UiRect{0, 0, kDialogWidth, kDialogHeight}.Contains(x, y);
}

// Hover follows the cursor only on moves: a label left by a jump out of the window keeps its
// hover colour until the cursor moves inside the window again.
bool UpdateHover(uint32_t& colour, bool over) {
  if (over && colour == kPalette.dialog_text) {
    colour = kPalette.dialog_hover;
    return true;
  }
  if (!over && colour == kPalette.dialog_hover) {
    colour = kPalette.dialog_text;
    return true;
  }
  return false;
}

}  // namespace

const char* CoverToggleText(uint8_t cover_mode) {
  return cover_mode == 1 ? "View cover:  On" : "View cover:  Off";
}

OptionsWindowModel::OptionsWindowModel(uint8_t cover_mode)
    : cover_mode_(cover_mode),
      toggle_colour_(kPalette.dialog_text),
      start_colour_(kPalette.dialog_text) {}

bool OptionsWindowModel::OnLeftPress(int x, int y) {
  if (outcome_ != Outcome::kOpen || !InsideWindow(x, y)) return false;
  bool toggled = false;
  // A damaged settings file can leave a mode other than 0 or 1: it shows "Off" and stays.
  if (kCoverToggleRect.Contains(x, y) && cover_mode_ <= 1) {
    cover_mode_ = cover_mode_ == 0 ? 1 : 0;
    toggled = true;
  }
  if (kStartRect.Contains(x, y)) outcome_ = Outcome::kStarted;
  return toggled;
}

bool OptionsWindowModel::OnMouseMove(int x, int y) {
  if (outcome_ != Outcome::kOpen || !InsideWindow(x, y)) return false;
  bool changed = UpdateHover(toggle_colour_, kCoverToggleRect.Contains(x, y));
  changed |= UpdateHover(start_colour_, kStartRect.Contains(x, y));
  return changed;
}

void OptionsWindowModel::OnEscape(int x, int y) {
  if (outcome_ == Outcome::kOpen && InsideWindow(x, y)) outcome_ = Outcome::kClosed;
}

void OptionsWindowModel::OnCloseRequest() {
  if (outcome_ == Outcome::kOpen) outcome_ = Outcome::kClosed;
}

}  // namespace ax
