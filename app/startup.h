// The player's start-up sequence and its common exit.
//
// Start-up runs on the main thread: requirement checks, the single-instance guard, engine
// installation and binding, the settings load, the splash window (during which the stored
// device is looked for again), the first-run windows and the settings save, and the buffer
// allocation. Every way out ends in RunStartup returning its outcome; the caller then releases
// everything (the common exit) by letting the ShellState go, and ends the process with code 0.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/engine_install.h"
#include "app/requirements.h"
#include "app/settings.h"
#include "engine/device.h"
#include "engine/entries.h"
#include "engine/message.h"
#include "platform/system.h"

namespace ax {

// How the splash wait ended.
enum class SplashEnd : uint8_t {
  kTimer,  // the 800 ms passed: the device re-detection decides
  kForce,  // Enter or a click: the configuration windows open in any case
  kSkip,   // Space: no configuration windows, even on a first run
};

// The windows of start-up. The real one draws through the platform; tests script the answers.
class StartupUi {
 public:
  virtual ~StartupUi() = default;
  virtual void OpenSplash() = 0;
  // Arms the 800 ms timer and the Enter and Space shortcuts, waits for the first of them or a
  // click, then closes the splash window.
  virtual SplashEnd WaitSplashAndClose() = 0;
  // The audio device window: the chosen device, or nothing when it was left without a choice.
  virtual std::optional<DeviceEntry> ChooseAudioDevice(const EngineEntries& engine) = 0;
  // The options window: the cover mode when Start was clicked, nothing when left with Escape.
  virtual std::optional<uint8_t> EditOptions(uint8_t cover_mode) = 0;
};

// A block of zero bytes the size of a playback buffer, allocated so that the system supplies the
// zero pages when they are first touched, not at allocation.
struct ZeroedBlock {
  struct Free {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t, Free> data;
  size_t size = 0;
};
ZeroedBlock AllocateZeroedBlock(size_t size);

// Where the player's files go and what the sequence asks of the system.
struct StartupEnvironment {
  SystemFactsSource* facts = nullptr;
  std::function<std::vector<std::string>()> process_names;
  MessageSink* messages = nullptr;
  StartupUi* ui = nullptr;
  std::string app_data_folder;  // with its trailing "/", or empty
  std::string app_folder;       // the program's own folder, with its trailing "/"
  std::span<const CarriedLibrary> carried_libraries;
  // Allocates one playback buffer; an empty block means it could not be had.
  std::function<ZeroedBlock(size_t)> allocate_buffer;
};

inline constexpr int64_t kTrackReadLimit = 81'607'680;
inline constexpr int64_t kTrackAreaSize = 86'929'920;
// Track area size x 6 + 31,948,800; x 4 when the machine's memory is unknown (below 16 MiB).
int64_t PlaybackBufferSize(int64_t total_memory);

// Everything start-up sets up, zeroed at first. Destroying it is the common exit's release:
// buffers, then the engine libraries are unloaded (members are destroyed in reverse order).
struct ShellState {
  LoadedEngineLibraries libraries;
  EngineEntries engine;

  uint8_t setup_flag = 0;
  DeviceEntry saved_device;
  uint8_t device_index = 0;
  uint8_t first_output_channel = 0;
  uint8_t cover_mode = 0;
  uint8_t reserved_settings_byte = 0;
  bool settings_loaded = false;
  StoredSettings stored;  // as read from the settings file

  std::unique_ptr<platform::Semaphore> pacing;  // released by the output callback

  int64_t track_read_limit = 0;
  int64_t track_area_size = 0;
  int64_t buffer_size = 0;
  ZeroedBlock reader_buffer;
  ZeroedBlock output_buffer_b;
  ZeroedBlock output_buffer_a;
};

enum class StartupOutcome : uint8_t {
  kSlowSystem,      // a requirement failed, or the buffers could not be had; message shown
  kNotSoleCopy,     // the guard found no copy or another one; silent
  kEngineFailed,    // an engine library failed; its message was shown
  kSetupAbandoned,  // a first-run window was left without completing it; silent, nothing saved
  kReady,           // the buffers exist: the main window comes next
};

// Runs the sequence up to the point where the main window would open.
StartupOutcome RunStartup(ShellState& state, const StartupEnvironment& env);

// The settings that a save writes from the state in force.
StoredSettings SettingsToSave(const ShellState& state);

}  // namespace ax
