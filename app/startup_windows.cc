#include "app/startup_windows.h"

#include "platform/picture.h"
#include "platform/system.h"
#include "ui/device_window.h"
#include "ui/options_window.h"
#include "ui/palette.h"

namespace ax {

void ScreenStartupUi::OpenSplash() {
  fonts_ = LoadFonts();

  platform::WindowOptions options;
  options.id = kSplashWindowId;
  options.title = "Ardent X";
  options.width = 390;
  options.height = 480;
  options.background = canvas::Rgb(kPalette.window);
  options.always_on_top = true;
  splash_ = display_.OpenWindow(options);
  if (!splash_) return;
  splash_->AddSurface(kSplashSurfaceId, {10, 10, 370, 460});
  canvas::Canvas surface = splash_->BeginDraw(kSplashSurfaceId);
  surface.FillRect({0, 0, surface.width(), surface.height()}, canvas::Rgb(kPalette.window));
  // Decoded for this one drawing and released with it: the main window decodes its own copy.
  if (std::optional<canvas::Bitmap> skin = platform::DecodePng(skin_png_)) {
    surface.Blit(-50, -220, *skin);
  }
  splash_->EndDraw(kSplashSurfaceId);
  splash_->Present();
}

SplashEnd ScreenStartupUi::WaitSplashAndClose() {
  if (!splash_) return SplashEnd::kTimer;
  // The timer starts only now, after the device re-detection, so the splash stays at least its
  // full period; input given meanwhile waits in the queue.
  display_.StartTimer(kSplashWindowId, kSplashTimer, kSplashPeriodMs);
  splash_->SetAccelerators(
      {{0x0D, false, kSplashEnterCommand}, {0x20, false, kSplashSpaceCommand}});
  SplashEnd end = SplashEnd::kTimer;
  for (bool waiting = true; waiting;) {
    const platform::Event event = display_.WaitEvent(20);
    if (event.window != kSplashWindowId) continue;
    switch (event.type) {
      case platform::EventType::kLeftPress:
      case platform::EventType::kLeftDoubleClick:  // a quick second press is a press too
        end = SplashEnd::kForce;
        waiting = false;
        break;
      case platform::EventType::kCommand:
        end = event.command == kSplashEnterCommand ? SplashEnd::kForce : SplashEnd::kSkip;
        waiting = false;
        break;
      case platform::EventType::kTimer:
        if (event.timer == kSplashTimer) waiting = false;
        break;
      default:
        break;
    }
  }
  display_.StopTimer(kSplashWindowId, kSplashTimer);
  splash_->SetAccelerators({});
  splash_.reset();
  return end;
}

std::optional<DeviceEntry> ScreenStartupUi::ChooseAudioDevice(const EngineEntries& engine) {
  return ax::ChooseAudioDevice(display_, fonts_, engine);
}

std::optional<uint8_t> ScreenStartupUi::EditOptions(uint8_t cover_mode) {
  return ax::EditOptions(display_, fonts_, cover_mode);
}

}  // namespace ax
