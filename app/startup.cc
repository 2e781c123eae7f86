// The start-up sequence in its fixed order. Each stage either passes or ends the start: a
// message first where the user must learn why, silence where a second copy or an abandoned
// set-up is the user's own doing. Nothing here retries.
#include "app/startup.h"

#include <cstdlib>

#include "app/redetect.h"

namespace ax {

void ZeroedBlock::Free::operator()(uint8_t* p) const {
  std::free(p);
}

ZeroedBlock AllocateZeroedBlock(size_t size) {
  // calloc hands blocks this large straight from fresh anonymous mappings, which the kernel
  // zero-fills on first touch, so nothing is written (or made resident) here.
  return ZeroedBlock{
      std::unique_ptr<uint8_t, ZeroedBlock::Free>(static_cast<uint8_t*>(std::calloc(size, 1))),
      size};
}

int64_t PlaybackBufferSize(int64_t total_memory) {
  const int64_t factor = total_memory >= 16'777'216 ? 6 : 4;
  return kTrackAreaSize * factor + 31'948'800;
}

StoredSettings SettingsToSave(const ShellState& state) {
  StoredSettings out;
  out.device_name = state.saved_device.name;
  for (size_t i = 0; i < out.rates.size(); ++i) out.rates[i] = state.saved_device.rates[i];
  out.first_channel = state.first_output_channel;
  out.cover_mode = state.cover_mode;
  out.reserved = state.reserved_settings_byte;
  return out;
}

StartupOutcome RunStartup(ShellState& state, const StartupEnvironment& env) {
  if (std::optional<Message> failure = CheckRequirements(env.facts->Query())) {
    env.messages->Show(*failure);
    return StartupOutcome::kSlowSystem;
  }

  if (!InstanceGuardAllows(env.process_names())) return StartupOutcome::kNotSoleCopy;

  InstallEngineLibraries(env.app_data_folder, env.carried_libraries);
  if (std::optional<Message> failure =
          LoadAndBindEngine(EngineFolderPath(env.app_data_folder), state.libraries, state.engine)) {
    env.messages->Show(*failure);
    return StartupOutcome::kEngineFailed;
  }

  state.pacing = std::make_unique<platform::Semaphore>(0);

  // Device names as UTF-16 from here on, and UTF-16 file names for the stream engine.
  if (state.engine.Fell_ASIO_SetUnicode != nullptr) state.engine.Fell_ASIO_SetUnicode(1);
  if (state.engine.Tarn_SetConfig != nullptr) state.engine.Tarn_SetConfig(42, 1);

  state.first_output_channel = 0;
  state.cover_mode = 0;
  state.reserved_settings_byte = 0;
  std::optional<StoredSettings> loaded = LoadSettings(env.app_folder);
  platform::SleepMs(20);
  state.settings_loaded = loaded.has_value();
  if (loaded) {
    state.stored = *loaded;
    state.first_output_channel = loaded->first_channel;
    state.cover_mode = loaded->cover_mode;
    state.setup_flag = 0;
  } else {
    state.setup_flag = 1;
  }

  env.ui->OpenSplash();
  if (state.setup_flag == 0) {
    state.setup_flag = 1;
    if (std::optional<DeviceEntry> found =
            RedetectDevice(state.engine, state.stored.device_name, state.stored.rates)) {
      state.saved_device = *found;
      state.device_index = found->number;
      state.setup_flag = 0;
    }
  }
  switch (env.ui->WaitSplashAndClose()) {
    case SplashEnd::kTimer:
      break;
    case SplashEnd::kForce:
      state.setup_flag = 1;
      break;
    case SplashEnd::kSkip:
      state.setup_flag = 0;
      break;
  }

  if (state.setup_flag == 1) {
    std::optional<DeviceEntry> chosen = env.ui->ChooseAudioDevice(state.engine);
    if (!chosen) return StartupOutcome::kSetupAbandoned;
    state.saved_device = *chosen;
    state.device_index = chosen->number;
    state.first_output_channel = 0;
    std::optional<uint8_t> cover_mode = env.ui->EditOptions(state.cover_mode);
    if (!cover_mode) return StartupOutcome::kSetupAbandoned;
    state.cover_mode = *cover_mode;
    SaveSettings(env.app_folder, SettingsToSave(state));
    platform::SleepMs(20);
  }

  // The main window is built and faded in here once it exists.

  state.track_read_limit = kTrackReadLimit;
  state.track_area_size = kTrackAreaSize;
  state.buffer_size = PlaybackBufferSize(static_cast<int64_t>(platform::QueryMemoryStatus().total));
  const size_t size = static_cast<size_t>(state.buffer_size);
  state.reader_buffer = env.allocate_buffer(size);
  state.output_buffer_b = env.allocate_buffer(size);
  state.output_buffer_a = env.allocate_buffer(size);
  // Playback works in these blocks without checking them, so a machine that cannot give them
  // must not get that far: it is told its memory is too small, as by the requirement check.
  if (!state.reader_buffer.data || !state.output_buffer_b.data || !state.output_buffer_a.data) {
    env.messages->Show(MemoryStatusFailure());
    return StartupOutcome::kSlowSystem;
  }
  return StartupOutcome::kReady;
}

}  // namespace ax
