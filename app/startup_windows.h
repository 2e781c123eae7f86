// Start-up's windows on the screen: the splash window, then (on a first run) the audio device
// window and the options window. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "app/startup.h"
#include "platform/canvas/canvas.h"
#include "platform/display.h"
#include "ui/fonts.h"

namespace ax {

inline constexpr int kSplashWindowId = 19;
inline constexpr int kSplashSurfaceId = 18;
inline constexpr int kSplashTimer = 121;
inline constexpr uint32_t kSplashPeriodMs = 800;
inline constexpr int kSplashEnterCommand = 444;
inline constexpr int kSplashSpaceCommand = 445;

class ScreenStartupUi : public StartupUi {
 public:
  // `skin_png` is the main window's skin picture as PNG bytes; the splash decodes it, shows a
  // region of it and lets it go. A picture that does not decode leaves the splash in its
  // background colour.
  ScreenStartupUi(platform::Display& display, std::span<const uint8_t> skin_png)
      : display_(display), skin_png_(skin_png) {}

  void OpenSplash() override;
  SplashEnd WaitSplashAndClose() override;
  std::optional<DeviceEntry> ChooseAudioDevice(const EngineEntries& engine) override;
  std::optional<uint8_t> EditOptions(uint8_t cover_mode) override;

  const Fonts& fonts() const { return fonts_; }

 private:
  platform::Display& display_;
  std::span<const uint8_t> skin_png_;
  Fonts fonts_;
  std::unique_ptr<platform::Window> splash_;
};

}  // namespace ax
