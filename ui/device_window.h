// The audio device window: lists the first twelve output devices with the DSD rates each one
// accepts and lets the user pick one that plays DSD. Main thread only.
//
// The listing and the window's behaviour (hover, choice, close) are kept apart from drawing, so
// they can be checked without a screen; the window itself only turns platform events into
// calls of DeviceWindowModel and draws what the model says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/device.h"
#include "engine/entries.h"

namespace platform {
class Display;
}

namespace ax {

struct Fonts;

// Client area and element rectangles of the window (window id 21).
inline constexpr int kDialogWidth = 460;
inline constexpr int kDialogHeight = 560;

struct UiRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  bool operator==(const UiRect&) const = default;
};

inline constexpr UiRect kDeviceCloseRect{410, 0, 50, 36};
inline constexpr UiRect kDeviceTitleRect{0, 8, 410, 24};
inline constexpr int kDeviceLabelIdBase = 120;
UiRect DeviceLabelRect(int index);  // (20, 60 + 32 x index, 360, 22)

// The label text of a device: its first 60 characters, and for a device that plays DSD
// "  dsd 2.8", then "/5.6" and "/11.2" for the rates it accepts, then " MHz". The highest rate
// is never shown.
std::u16string DeviceLabelText(const DeviceEntry& device);

// Lists devices 0 to 11 until the library has no more, probing each one's rates (every device is
// opened and freed again).
std::vector<DeviceEntry> ListDevices(const EngineEntries& engine);

class DeviceWindowModel {
 public:
  struct Label {
    DeviceEntry device;
    std::u16string text;
    UiRect rect;
    uint32_t colour;  // 0xRRGGBB: dialog text, dialog hover or unsupported-device colour
  };

  enum class Outcome : uint8_t { kOpen, kChosen, kClosed };

  explicit DeviceWindowModel(std::vector<DeviceEntry> devices);

  const std::vector<Label>& labels() const { return labels_; }
  Outcome outcome() const { return outcome_; }
  // The chosen device, once outcome() is kChosen.
  const DeviceEntry& chosen() const { return chosen_; }

  // Events carry the press position relative to the window's client area; a position outside
  // the window is ignored, for Escape too. Each answers the labels whose colour changed.
  std::vector<size_t> OnLeftPress(int x, int y);
  std::vector<size_t> OnMouseMove(int x, int y);
  void OnEscape(int x, int y);
  // The window manager asks the window to close (for instance Alt+F4): like the close mark.
  void OnCloseRequest();

 private:
  std::vector<Label> labels_;
  Outcome outcome_ = Outcome::kOpen;
  DeviceEntry chosen_;
};

inline constexpr int kDeviceWindowId = 21;
inline constexpr int kDeviceCloseId = 500;
inline constexpr int kDeviceTitleId = 501;
// The command Escape gives in the audio device and options windows.
inline constexpr int kDialogEscapeCommand = 398;

// `choose audio device`: lists the devices, shows the window and runs it until the user picks a
// device that plays DSD (answered) or leaves with the close mark or Escape (nothing; the caller
// then ends the program). The window is closed on return.
std::optional<DeviceEntry> ChooseAudioDevice(platform::Display& display, const Fonts& fonts,
                                             const EngineEntries& engine);

}  // namespace ax
