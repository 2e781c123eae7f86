// The start-up flow with the real engine libraries in a private folder, and scripted windows
// and system facts in place of the screen and the machine.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/carried_libraries.h"
#include "tests/app/temp_folder.h"

namespace ax {
namespace {

class FixedFacts : public SystemFactsSource {
 public:
  SystemFacts facts{8, 8, 16'000'000'000, 8'000'000'000};
  SystemFacts Query() override { return facts; }
};

class RecordingSink : public MessageSink {
 public:
  std::vector<Message> shown;
  void Show(const Message& message) override { shown.push_back(message); }
};

// Plays the user's part: how the splash ends, and what each window answers. The device window
// lists through the real output library and picks the device with the given number.
class ScriptedUi : public StartupUi {
 public:
  SplashEnd splash_end = SplashEnd::kTimer;
  std::optional<uint32_t> pick_device = 0;  // nothing: left with Escape
  std::optional<uint8_t> cover_answer = 1;  // nothing: left with Escape
  std::vector<std::string> calls;

  void OpenSplash() override { calls.push_back("splash"); }
  SplashEnd WaitSplashAndClose() override {
    calls.push_back("wait");
    return splash_end;
  }
  std::optional<DeviceEntry> ChooseAudioDevice(const EngineEntries& engine) override {
    calls.push_back("device window");
    if (!pick_device) return std::nullopt;
    std::optional<std::u16string> name = QueryDeviceName(engine, *pick_device);
    if (!name) return std::nullopt;
    return DeviceEntry{static_cast<uint8_t>(*pick_device), *name,
                       ProbeDeviceRates(engine, *pick_device).rates};
  }
  std::optional<uint8_t> EditOptions(uint8_t cover_mode) override {
    calls.push_back("options window");
    return cover_answer;
  }
};

using Calls = std::vector<std::string>;

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() {
    env_.facts = &facts_;
    env_.process_names = [this] { return processes_; };
    env_.messages = &sink_;
    env_.ui = &ui_;
    env_.app_data_folder = home_.path();
    env_.app_folder = program_folder_.path();
    env_.carried_libraries = carried_;
    env_.allocate_buffer = [this](size_t size) {
      allocations_.push_back(size);
      if (fail_allocation_) return ZeroedBlock{};
      // A small stand-in block: the flow only keeps it.
      return AllocateZeroedBlock(16);
    };
  }

  StartupOutcome Start() {
    ShellState state;
    StartupOutcome outcome = RunStartup(state, env_);
    last_device_ = state.saved_device;
    last_cover_mode_ = state.cover_mode;
    last_device_index_ = state.device_index;
    return outcome;
  }

  std::string SettingsPath() const { return program_folder_.path() + kSettingsFileName; }

  std::array<CarriedLibrary, 3> carried_ = CarriedEngineLibraries();
  testing::TempFolder home_;
  testing::TempFolder program_folder_;
  FixedFacts facts_;
  RecordingSink sink_;
  ScriptedUi ui_;
  std::vector<std::string> processes_ = {"bash", "Ardent-X"};
  std::vector<size_t> allocations_;
  bool fail_allocation_ = false;
  StartupEnvironment env_;
  DeviceEntry last_device_;
  uint8_t last_cover_mode_ = 0;
  uint8_t last_device_index_ = 0;
};

const std::vector<uint8_t> kVirtualDeviceSettings = [] {
  std::vector<uint8_t> bytes = {0x2C, 0x62, 0x34, 0x01};
  for (char c : std::string("Virtual DSD output")) bytes.insert(bytes.end(), {uint8_t(c), 0});
  bytes.insert(bytes.end(), {0x0D, 0x00, 0x0A, 0x00, 0, 1, 1, 1, 1, 0, 0xFF});
  return bytes;
}();

TEST_F(StartupTest, FirstRunConfiguresAndSavesSecondRunFindsTheDeviceAgain) {
  EXPECT_EQ(Start(), StartupOutcome::kReady);
  EXPECT_EQ(ui_.calls, (Calls{"splash", "wait", "device window", "options window"}));
  EXPECT_EQ(testing::ReadFile(SettingsPath()), kVirtualDeviceSettings);
  EXPECT_EQ(allocations_, (std::vector<size_t>{553'528'320, 553'528'320, 553'528'320}));
  EXPECT_TRUE(sink_.shown.empty());

  ui_.calls.clear();
  EXPECT_EQ(Start(), StartupOutcome::kReady);
  EXPECT_EQ(ui_.calls, (Calls{"splash", "wait"}));
  EXPECT_EQ(last_device_, (DeviceEntry{0, u"Virtual DSD output", {1, 1, 1, 1}}));
  EXPECT_EQ(last_cover_mode_, 1);
}

TEST_F(StartupTest, TheSplashDecidesOverTheSettings) {
  struct Case {
    const char* what;
    bool settings_present;
    SplashEnd end;
    Calls calls;
  };
  const Case cases[] = {
      {"Space on a first run skips the windows", false, SplashEnd::kSkip, {"splash", "wait"}},
      {"Enter with the device found opens them",
       true,
       SplashEnd::kForce,
       {"splash", "wait", "device window", "options window"}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(SettingsPath());
    if (c.settings_present) testing::WriteFile(SettingsPath(), kVirtualDeviceSettings);
    ui_.calls.clear();
    ui_.splash_end = c.end;
    EXPECT_EQ(Start(), StartupOutcome::kReady) << c.what;
    EXPECT_EQ(ui_.calls, c.calls) << c.what;
  }
  // After Space on a first run nothing was chosen and nothing saved.
  ui_.splash_end = SplashEnd::kSkip;
  std::filesystem::remove(SettingsPath());
  Start();
  EXPECT_EQ(last_device_, DeviceEntry{});
  EXPECT_EQ(last_device_index_, 0);
  EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
}

TEST_F(StartupTest, ChangedRatesOrAnUnknownDeviceOpenTheWindows) {
  std::vector<uint8_t> fewer_rates = kVirtualDeviceSettings;
  fewer_rates[fewer_rates.size() - 5] = 0;  // 11.2896 MHz stored as unsupported
  std::vector<uint8_t> other_name = kVirtualDeviceSettings;
  other_name[4] = 'v';
  for (const std::vector<uint8_t>& bytes : {fewer_rates, other_name}) {
    testing::WriteFile(SettingsPath(), bytes);
    ui_.calls.clear();
    EXPECT_EQ(Start(), StartupOutcome::kReady);
    EXPECT_EQ(ui_.calls, (Calls{"splash", "wait", "device window", "options window"}));
    EXPECT_EQ(testing::ReadFile(SettingsPath()), kVirtualDeviceSettings);
  }
}

TEST_F(StartupTest, LeavingAWindowEndsTheStartWithoutSaving) {
  ui_.pick_device.reset();
  EXPECT_EQ(Start(), StartupOutcome::kSetupAbandoned);
  EXPECT_EQ(ui_.calls, (Calls{"splash", "wait", "device window"}));

  ui_.pick_device = 0;
  ui_.cover_answer.reset();
  EXPECT_EQ(Start(), StartupOutcome::kSetupAbandoned);
  EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
  EXPECT_TRUE(allocations_.empty());
  EXPECT_TRUE(sink_.shown.empty());
}

TEST_F(StartupTest, EarlyEndsShowTheirMessageAndInstallNothing) {
  struct Case {
    const char* what;
    SystemFacts facts;
    std::vector<std::string> processes;
    StartupOutcome outcome;
    std::vector<std::string> texts;
  };
  const SystemFacts enough = facts_.facts;
  const Case cases[] = {
      {"one processor",
       {1, 1, enough.total_memory, enough.available_memory},
       {"Ardent-X"},
       StartupOutcome::kSlowSystem,
       {"Slow system #B (CPU count)"}},
      {"little memory",
       {8, 8, 1'000'000'000, 500'000'000},
       {"Ardent-X"},
       StartupOutcome::kSlowSystem,
       {"Slow system #C (memory status)"}},
      {"second copy", enough, {"Ardent-X", "Ardent X"}, StartupOutcome::kNotSoleCopy, {}},
      {"another name", enough, {"player"}, StartupOutcome::kNotSoleCopy, {}},
  };
  for (const Case& c : cases) {
    facts_.facts = c.facts;
    processes_ = c.processes;
    sink_.shown.clear();
    ui_.calls.clear();
    EXPECT_EQ(Start(), c.outcome) << c.what;
    std::vector<std::string> texts;
    for (const Message& m : sink_.shown) texts.push_back(m.text);
    EXPECT_EQ(texts, c.texts) << c.what;
    EXPECT_TRUE(ui_.calls.empty()) << c.what;
    EXPECT_FALSE(std::filesystem::exists(home_.path() + "Marwenholt")) << c.what;
  }
}

TEST_F(StartupTest, BuffersThatCannotBeHadEndTheStartWithTheMemoryMessage) {
  fail_allocation_ = true;
  EXPECT_EQ(Start(), StartupOutcome::kSlowSystem);
  ASSERT_EQ(sink_.shown.size(), 1u);
  EXPECT_EQ(sink_.shown[0].text, "Slow system #C (memory status)");
}

}  // namespace
}  // namespace ax
