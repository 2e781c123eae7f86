// The player's entry. Start-up runs here on the main thread; every way out returns to main,
// which releases everything in the order of the common exit (the playback buffers and the engine
// libraries with the shell state, then the windows and the display) and ends with code 0.
#include <cstdint>
#include <cstdio>
#include <span>

#include "app/carried_libraries.h"
#include "app/startup.h"
#include "app/startup_windows.h"
#include "assets/pictures.h"
#include "platform/display.h"
#include "platform/system.h"
#include "ui/message_box.h"

namespace {

class PlatformFacts : public ax::SystemFactsSource {
 public:
  ax::SystemFacts Query() override {
    const platform::ProcessorCounts cpus = platform::QueryProcessorCounts();
    const platform::MemoryStatus memory = platform::QueryMemoryStatus();
    return {cpus.system, cpus.process, static_cast<int64_t>(memory.total),
            static_cast<int64_t>(memory.available)};
  }
};

}  // namespace

int main() {
  std::string error;
  std::unique_ptr<platform::Display> display = platform::Display::Open(&error);
  if (!display) {
    // Without a display there is no message box to say so; this is the one text on stderr.
    std::fprintf(stderr, "Ardent X needs a graphical display: %s\n", error.c_str());
    return 1;
  }

  PlatformFacts facts;
  ax::DisplayMessageSink messages(display.get());
  ax::ScreenStartupUi ui(*display, assets::SkinPng());
  const std::array<ax::CarriedLibrary, 3> carried = ax::CarriedEngineLibraries();

  ax::StartupEnvironment env;
  env.facts = &facts;
  env.process_names = [] { return platform::ProcessImageNames(); };
  env.messages = &messages;
  env.ui = &ui;
  env.app_data_folder = platform::LocalAppDataFolder();
  env.app_folder = platform::FolderOf(platform::OwnProgramPath());
  env.carried_libraries = carried;
  env.allocate_buffer = ax::AllocateZeroedBlock;

  {
    ax::ShellState state;
    ax::RunStartup(state, env);
    // The main window and its event loop continue from here once they exist; until then every
    // start ends after the buffers are allocated.
  }
  return 0;
}
