// ALSA devices through alsa-lib itself: a private HOME whose asoundrc defines a `file` sink
// (bit-exact, unpaced) and paced fake cards (the test tree's ioplug plugin) that offer only the
// formats named, so that listing, rate checks, format choice, blocking writes, xrun recovery,
// drain and a vanishing device run for real.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "libs/fell/fell.h"
#include "libs/fell/tests/support.h"

namespace {

using fell_test::Layout;
using fell_test::Recorder;

std::string Dir() {
  static const std::string dir =
      std::string(FELL_TEST_TMP) + "/" + std::to_string(static_cast<long>(getpid()));
  return dir;
}
std::string Out(const std::string& pcm) {
  return Dir() + "/" + pcm + ".raw";
}

// One configuration for the whole process (alsa-lib reads it once).
class AlsaEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    std::filesystem::create_directories(Dir());
    std::ofstream rc(Dir() + "/.asoundrc");
    rc << "pcm_type.fakecard { lib \"" << FELL_FAKECARD_LIB << "\" }\n";
    rc << "pcm.dsdfile { type file slave.pcm \"null\" file \"" << Out("dsdfile")
       << "\" format \"raw\" truncate true\n"
          "  hint { show on description \"Test sink: raw bytes to a file\" } }\n";
    auto fake = [&](const std::string& name, const std::string& desc, const std::string& extra) {
      rc << "pcm." << name << " { type fakecard file \"" << Out(name) << "\" " << extra
         << "\n  hint { show on description \"" << desc << "\" } }\n";
    };
    fake("fake_u8", "Fake U8", "formats \"DSD_U8\" speed \"8\"");
    fake("fake_u16le", "Fake U16LE", "formats \"DSD_U16_LE\" speed \"8\"");
    fake("fake_u16be", "Fake U16BE", "formats \"DSD_U16_BE\" speed \"8\"");
    fake("fake_u32le", "Fake U32LE", "formats \"DSD_U32_LE\" speed \"8\"");
    fake("fake_u32be", "Fake U32BE", "formats \"DSD_U32_BE\" speed \"8\"");
    fake("fake_dop24", "Fake DoP24", "formats \"S24_3LE\" speed \"8\"");
    fake("fake_dop32", "Fake DoP32", "formats \"S32_LE\" speed \"8\" rate_max 400000");
    fake("fake_both", "Fake both",
         "formats \"DSD_U8,S24_3LE,DSD_U32_LE,S32_LE,DSD_U16_BE\" speed \"8\"");
    fake("fake_dsd128", "Fake up to DSD128", "formats \"DSD_U32_BE\" rate_max 176400 speed \"8\"");
    fake("fake_16bit", "Fake 16-bit only", "formats \"S16_LE\"");
    fake("fake_xrun", "Fake xrun",
         "formats \"S32_LE\" speed \"1\" events \"" + Dir() + "/xrun.events\"");
    fake("fake_gone", "Fake gone", "formats \"DSD_U32_BE\" speed \"8\" fail_after 200000");
    fake("fake_wedged", "Fake wedged", "formats \"DSD_U32_BE\" speed \"8\" freeze_after 200000");
    rc << "pcm.nohint { type null }\n";
    // PCMs that would take DSD but must not be offered: the default device and sound servers.
    for (const char* skip : {"!default", "!sysdefault", "!pulse", "!pipewire", "!jack"}) {
      rc << "pcm." << skip << " { type file slave.pcm \"null\" file \"/dev/null\" format \"raw\"\n"
         << "  hint { show on description \"Must not be listed\" } }\n";
    }
    rc.close();
    setenv("HOME", Dir().c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(Dir(), ignored);
  }
};
testing::Environment* const kEnv = testing::AddGlobalTestEnvironment(new AlsaEnvironment);

std::vector<std::string> DeviceNames() {
  std::vector<std::string> names;
  FellDeviceInfo info{};
  for (uint32_t n = 0; Fell_ASIO_GetDeviceInfo(n, &info); ++n) {
    names.push_back(static_cast<const char*>(info.name));
  }
  return names;
}

int DeviceNumber(const std::string& name) {
  const auto names = DeviceNames();
  auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

void Open(const std::string& name) {
  const int n = DeviceNumber(name);
  ASSERT_GE(n, 1) << name;
  ASSERT_TRUE(Fell_ASIO_Init(n, 1)) << name << " code " << Fell_ASIO_ErrorGetCode();
  ASSERT_TRUE(Fell_ASIO_SetDSD(1)) << name;
}

// A run of the player's shape: enable, join, format, start; `calls` callbacks; reset 3, stop.
void PlayRun(Recorder& r, uint64_t calls, uint32_t buflen = 0) {
  ASSERT_TRUE(Fell_ASIO_ChannelEnable(0, 0, Recorder::Proc, &r));
  ASSERT_TRUE(Fell_ASIO_ChannelJoin(0, 1, 0));
  ASSERT_TRUE(Fell_ASIO_ChannelSetFormat(0, 0, FELL_FORMAT_DSD));
  ASSERT_TRUE(Fell_ASIO_Start(buflen, 0)) << Fell_ASIO_ErrorGetCode();
  ASSERT_TRUE(r.WaitCalls(calls));
  ASSERT_TRUE(Fell_ASIO_ChannelReset(0, -1, 3));
  while (Fell_ASIO_IsStarted()) Fell_ASIO_Stop();
  r.stopped.store(true, std::memory_order_release);
}

size_t LeadingSilence(const std::vector<uint8_t>& v) {
  return static_cast<size_t>(std::find_if(v.begin(), v.end(), [](uint8_t b) { return b != 0x69; }) -
                             v.begin());
}

std::vector<uint8_t> WithoutSilence(std::vector<uint8_t> v) {
  v.erase(std::remove(v.begin(), v.end(), uint8_t{0x69}), v.end());
  return v;
}

class AlsaDevices : public testing::Test {
 protected:
  void TearDown() override { Fell_ASIO_Free(); }
};

TEST_F(AlsaDevices, ListsThePcmsThatTakeDsdNativelyAndAgainForDop) {
  // Texts handed out stay valid while the library is loaded, even across the listing of the
  // ALSA devices that the first question about device 1 triggers.
  FellDeviceInfo first{};
  ASSERT_TRUE(Fell_ASIO_GetDeviceInfo(0, &first));
  const auto names = DeviceNames();
  EXPECT_STREQ(static_cast<const char*>(first.name), "Virtual DSD output");
  EXPECT_STREQ(static_cast<const char*>(first.driver), "virtual");
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], "Virtual DSD output");
  auto has = [&](const std::string& n) {
    return std::find(names.begin(), names.end(), n) != names.end();
  };
  struct Want {
    const char* name;
    bool listed;
  };
  const Want wants[] = {
      {"Test sink: raw bytes to a file", true},  // takes every format: native and DoP
      {"Test sink: raw bytes to a file (DoP)", true},
      {"Fake U8", true},
      {"Fake U8 (DoP)", false},
      {"Fake DoP24", false},
      {"Fake DoP24 (DoP)", true},
      {"Fake both", true},
      {"Fake both (DoP)", true},
      {"Fake 16-bit only", false},  // DoP needs 24 bits
      {"Fake 16-bit only (DoP)", false},
  };
  for (const Want& w : wants) EXPECT_EQ(has(w.name), w.listed) << w.name;
  // Only the PCMs defined for the tests (and a machine's own hw: devices): not null, not the
  // hint-less PCM, not default, sysdefault or the sound servers.
  FellDeviceInfo d{};
  for (uint32_t i = 1; Fell_ASIO_GetDeviceInfo(i, &d); ++i) {
    const std::string pcm = static_cast<const char*>(d.driver);
    EXPECT_TRUE(pcm.rfind("fake_", 0) == 0 || pcm == "dsdfile" || pcm.rfind("hw:", 0) == 0) << pcm;
  }
  // The driver text is the PCM name; UTF-16 on request.
  FellDeviceInfo info{};
  const int n = DeviceNumber("Fake U8");
  ASSERT_TRUE(Fell_ASIO_GetDeviceInfo(n, &info));
  EXPECT_STREQ(static_cast<const char*>(info.driver), "fake_u8");
  Fell_ASIO_SetUnicode(1);
  ASSERT_TRUE(Fell_ASIO_GetDeviceInfo(n, &info));
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(info.name)), u"Fake U8");
  Fell_ASIO_SetUnicode(0);
  EXPECT_FALSE(Fell_ASIO_GetDeviceInfo(static_cast<uint32_t>(names.size()), &info));
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 23);
}

TEST_F(AlsaDevices, CheckRateAsksTheHardwareParameters) {
  struct Case {
    const char* device;
    bool rates[4];  // DSD64, 128, 256, 512
  };
  const Case cases[] = {
      {"Fake up to DSD128", {true, true, false, false}},  // U32 words: 88.2k and 176.4k frames
      {"Fake DoP32 (DoP)", {true, true, false, false}},   // DoP: 176.4k and 352.8k frames
      {"Fake U8", {true, true, true, true}},
  };
  const double rates[4] = {2822400.0, 5644800.0, 11289600.0, 22579200.0};
  for (const Case& c : cases) {
    Open(c.device);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(Fell_ASIO_CheckRate(rates[i]) != 0, c.rates[i]) << c.device << " " << rates[i];
      if (!c.rates[i]) {
        EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 25);
      }
    }
    EXPECT_EQ(Fell_ASIO_SetRate(rates[3]) != 0, c.rates[3]);
    // PCM mode asks for PCM formats: the DoP fake takes 32-bit PCM, the U8 fake none.
    ASSERT_TRUE(Fell_ASIO_SetDSD(0));
    EXPECT_EQ(Fell_ASIO_CheckRate(176400.0) != 0, std::string(c.device) == "Fake DoP32 (DoP)");
    ASSERT_TRUE(Fell_ASIO_Free());
  }
}

struct FormatCase {
  const char* device;
  Layout layout;
  const char* pcm;
  double rate;
};

// Every format a device can be driven in, bit for bit: lead-in silence, then exactly the
// callbacks' bytes with every unwritten byte as silence, then the tail; DoP markers unbroken.
TEST_F(AlsaDevices, EveryFormatCarriesTheCallbackBytesExactly) {
  const FormatCase cases[] = {
      {"Fake U8", Layout::kU8, "fake_u8", 2822400.0},
      {"Fake U16LE", Layout::kU16Le, "fake_u16le", 2822400.0},
      {"Fake U16BE", Layout::kU16Be, "fake_u16be", 2822400.0},
      {"Fake U32LE", Layout::kU32Le, "fake_u32le", 5644800.0},
      {"Fake U32BE", Layout::kU32Be, "fake_u32be", 2822400.0},
      {"Fake DoP24 (DoP)", Layout::kDop24, "fake_dop24", 2822400.0},
      {"Fake DoP32 (DoP)", Layout::kDop32, "fake_dop32", 5644800.0},
      // The order of choice: the widest native word first; S32_LE before S24_3LE for DoP.
      {"Fake both", Layout::kU32Le, "fake_both", 2822400.0},
      {"Fake both (DoP)", Layout::kDop32, "fake_both", 2822400.0},
      // The unpaced file sink, native and DoP.
      {"Test sink: raw bytes to a file", Layout::kU32Be, "dsdfile", 2822400.0},
      {"Test sink: raw bytes to a file (DoP)", Layout::kDop32, "dsdfile", 22579200.0},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.device);
    fell_test::TruncateFile(Out(c.pcm));
    Open(c.device);
    ASSERT_TRUE(Fell_ASIO_SetRate(c.rate));
    Recorder r(1 << 23);
    PlayRun(r, 12);
    ASSERT_TRUE(Fell_ASIO_Free());  // closes the PCM: the sink's file is complete

    std::string error;
    const std::vector<uint8_t> got =
        fell_test::Unpack(c.layout, fell_test::ReadFile(Out(c.pcm)), &error);
    EXPECT_EQ(error, "");
    const std::vector<uint8_t> want = r.Expected();
    const size_t period = r.last_length.load();
    ASSERT_GT(period, 0u);
    const size_t lead = LeadingSilence(got);
    // A lead-in of at least 50 ms of whole periods, a tail of at least 25 ms.
    const double bytes_per_second = c.rate / 4;
    EXPECT_EQ(lead % period, 0u);
    EXPECT_GE(static_cast<double>(lead), 0.050 * bytes_per_second);
    ASSERT_GE(got.size(), lead + want.size());
    EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin() + static_cast<long>(lead)))
        << "the callbacks' stream differs";
    const size_t tail = got.size() - lead - want.size();
    EXPECT_GE(static_cast<double>(tail), 0.025 * bytes_per_second);
    EXPECT_TRUE(std::all_of(got.end() - static_cast<long>(tail), got.end(),
                            [](uint8_t b) { return b == 0x69; }));
  }
}

// Runs one after another on the open device, the second at another rate: every byte of both
// arrives, and the DoP markers run on unbroken from one run into the next.
TEST_F(AlsaDevices, RunsFollowEachOtherWithUnbrokenMarkersAndNewRates) {
  fell_test::TruncateFile(Out("fake_dop32"));
  Open("Fake DoP32 (DoP)");
  Recorder first(1 << 22), second(1 << 22);
  // 1001 DoP frames a period: an odd count, so a run ends on either marker.
  PlayRun(first, 6, 2002);
  ASSERT_TRUE(Fell_ASIO_SetRate(5644800.0));
  PlayRun(second, 7, 2002);
  ASSERT_TRUE(Fell_ASIO_Free());
  std::string error;
  const auto got =
      fell_test::Unpack(Layout::kDop32, fell_test::ReadFile(Out("fake_dop32")), &error);
  EXPECT_EQ(error, "");
  std::vector<uint8_t> want = first.Expected();
  const auto w2 = second.Expected();
  want.insert(want.end(), w2.begin(), w2.end());
  EXPECT_EQ(WithoutSilence(got), WithoutSilence(want));
}

// A stalled callback starves the paced card into an xrun; the run recovers and goes on, and no
// byte is lost or doubled, the DoP markers never break, and a pause in the middle is silence.
TEST_F(AlsaDevices, RecoversFromAnXrunAndPausesInSilence) {
  fell_test::TruncateFile(Out("fake_xrun"));
  fell_test::TruncateFile(Dir() + "/xrun.events");
  Open("Fake xrun (DoP)");
  Recorder r(1 << 23);
  r.stall_at = 4;
  r.stall_ms = 300;  // the buffer holds about 46 ms
  ASSERT_TRUE(Fell_ASIO_ChannelEnable(0, 0, Recorder::Proc, &r));
  ASSERT_TRUE(Fell_ASIO_ChannelJoin(0, 1, 0));
  ASSERT_TRUE(Fell_ASIO_Start(0, 0));
  ASSERT_TRUE(r.WaitCalls(10));
  EXPECT_TRUE(Fell_ASIO_IsStarted());
  ASSERT_TRUE(Fell_ASIO_ChannelPause(0, 0));
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  ASSERT_TRUE(Fell_ASIO_ChannelReset(0, -1, 4));
  ASSERT_TRUE(r.WaitCalls(r.calls.load() + 5));
  ASSERT_TRUE(Fell_ASIO_Stop());
  ASSERT_TRUE(Fell_ASIO_Free());

  const auto ev = fell_test::ReadFile(Dir() + "/xrun.events");
  const std::string events(ev.begin(), ev.end());
  EXPECT_NE(events.find("xrun"), std::string::npos) << "the stall did not cause an xrun";
  // Stop let the tail play out: the card was stopped with nothing left unplayed.
  const size_t last_stop = events.rfind("stop ");
  ASSERT_NE(last_stop, std::string::npos) << events;
  EXPECT_EQ(events.substr(last_stop), "stop 0\n");
  std::string error;
  const auto got = fell_test::Unpack(Layout::kDop32, fell_test::ReadFile(Out("fake_xrun")), &error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(WithoutSilence(got), WithoutSilence(r.Expected()));
}

TEST_F(AlsaDevices, AVanishedDeviceEndsTheRunWithItsReason) {
  Open("Fake gone");
  Recorder r(1 << 23);
  ASSERT_TRUE(Fell_ASIO_ChannelEnable(0, 0, Recorder::Proc, &r));
  ASSERT_TRUE(Fell_ASIO_ChannelJoin(0, 1, 0));
  ASSERT_TRUE(Fell_ASIO_Start(0, 0));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (Fell_ASIO_IsStarted() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_FALSE(Fell_ASIO_IsStarted());
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 3);
  const uint64_t calls = r.calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(r.calls.load(), calls);  // the device thread has ended
  // Stop and Free still clean up; a new start reports the device's state again.
  Fell_ASIO_Stop();
  EXPECT_TRUE(Fell_ASIO_Free());
}

// A device that stops taking data without an error: the run ends after a bounded wait, with
// "time-out" as the reason, instead of leaving the device thread (and Stop) stuck for ever.
TEST_F(AlsaDevices, AWedgedDeviceEndsTheRunAfterABoundedWait) {
  Open("Fake wedged");
  Recorder r(1 << 23);
  ASSERT_TRUE(Fell_ASIO_ChannelEnable(0, 0, Recorder::Proc, &r));
  ASSERT_TRUE(Fell_ASIO_ChannelJoin(0, 1, 0));
  ASSERT_TRUE(Fell_ASIO_Start(0, 0));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (Fell_ASIO_IsStarted() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_FALSE(Fell_ASIO_IsStarted());
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 40);
  Fell_ASIO_Stop();
  EXPECT_TRUE(Fell_ASIO_Free());
}

}  // namespace
