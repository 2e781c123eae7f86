// The virtual device through the library's C interface: the channel semantics the player relies
// on, the error codes, and the capture file. The device runs at 20 times real time.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "libs/fell/fell.h"
#include "libs/fell/tests/support.h"

namespace {

using fell_test::Recorder;

constexpr uint32_t kBuflen = 1000;  // bytes per channel per period

std::string TmpPath(const std::string& leaf) {
  std::filesystem::create_directories(FELL_TEST_TMP);
  const auto* t = testing::UnitTest::GetInstance()->current_test_info();
  return std::string(FELL_TEST_TMP) + "/" + t->name() + "." + leaf;
}

class VirtualDevice : public testing::Test {
 protected:
  void SetUp() override {
    setenv("FELL_VIRTUAL_SPEED", "20", 1);
    unsetenv("FELL_VIRTUAL_CAPTURE");
  }
  void TearDown() override { Fell_ASIO_Free(); }

  void Open() {
    ASSERT_TRUE(Fell_ASIO_Init(0, 1));
    ASSERT_TRUE(Fell_ASIO_SetDSD(1));
  }
  // The player's sequence for a run.
  void StartPair(Recorder& r, uint32_t buflen = kBuflen) {
    ASSERT_TRUE(Fell_ASIO_ChannelEnable(0, 0, Recorder::Proc, &r));
    ASSERT_TRUE(Fell_ASIO_ChannelJoin(0, 1, 0));
    ASSERT_TRUE(Fell_ASIO_ChannelSetFormat(0, 0, FELL_FORMAT_DSD));
    ASSERT_TRUE(Fell_ASIO_Start(buflen, 0));
  }
  void StopAll(Recorder& r) {
    ASSERT_TRUE(Fell_ASIO_ChannelReset(0, -1, 3));
    while (Fell_ASIO_IsStarted()) Fell_ASIO_Stop();
    r.stopped.store(true, std::memory_order_release);
  }
};

TEST_F(VirtualDevice, IsDeviceZeroWithItsNameInBothEncodings) {
  FellDeviceInfo info{};
  ASSERT_TRUE(Fell_ASIO_GetDeviceInfo(0, &info));
  EXPECT_STREQ(static_cast<const char*>(info.name), "Virtual DSD output");
  ASSERT_TRUE(Fell_ASIO_SetUnicode(1));
  ASSERT_TRUE(Fell_ASIO_GetDeviceInfo(0, &info));
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(info.name)), u"Virtual DSD output");
  Fell_ASIO_SetUnicode(0);
  EXPECT_FALSE(Fell_ASIO_GetDeviceInfo(0, nullptr));
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 20);
}

TEST_F(VirtualDevice, RatesDependOnTheMode) {
  Open();
  EXPECT_EQ(Fell_ASIO_GetRate(), 2822400.0);
  for (double r : {2822400.0, 5644800.0, 11289600.0, 22579200.0}) {
    EXPECT_TRUE(Fell_ASIO_CheckRate(r)) << r;
  }
  for (double r : {44100.0, 2822401.0, 45158400.0, 0.0, -2822400.0}) {
    EXPECT_FALSE(Fell_ASIO_CheckRate(r)) << r;
    EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 25);
  }
  EXPECT_FALSE(Fell_ASIO_SetRate(1e6));
  EXPECT_EQ(Fell_ASIO_GetRate(), 2822400.0);  // a refused rate leaves the rate in force
  EXPECT_TRUE(Fell_ASIO_SetRate(11289600.0));
  EXPECT_EQ(Fell_ASIO_GetRate(), 11289600.0);

  ASSERT_TRUE(Fell_ASIO_SetDSD(0));
  EXPECT_TRUE(Fell_ASIO_CheckRate(44100.0));
  EXPECT_TRUE(Fell_ASIO_CheckRate(192000.0));
  EXPECT_FALSE(Fell_ASIO_CheckRate(2822400.0));
}

TEST_F(VirtualDevice, MisuseFailsWithItsCode) {
  // Before Init: every device call says "not initialised".
  EXPECT_FALSE(Fell_ASIO_SetDSD(1));
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 8);
  EXPECT_FALSE(Fell_ASIO_Start(0, 0));
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 8);
  EXPECT_FALSE(Fell_ASIO_ChannelEnable(0, 0, Recorder::Proc, nullptr));
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 8);
  EXPECT_TRUE(Fell_ASIO_Free());  // nothing open: nothing to do
  EXPECT_FALSE(Fell_ASIO_Init(-1, 0));
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 23);

  Open();
  EXPECT_FALSE(Fell_ASIO_Init(0, 0));
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 14);
  struct Call {
    const char* what;
    FELL_BOOL (*call)();
    int code;
  };
  const Call calls[] = {
      {"input channel", [] { return Fell_ASIO_ChannelEnable(1, 0, Recorder::Proc, nullptr); }, 20},
      {"channel 2", [] { return Fell_ASIO_ChannelEnable(0, 2, Recorder::Proc, nullptr); }, 20},
      {"join to itself", [] { return Fell_ASIO_ChannelJoin(0, 1, 1); }, 20},
      {"join out of range", [] { return Fell_ASIO_ChannelJoin(0, 1, 5); }, 20},
      {"format not DSD", [] { return Fell_ASIO_ChannelSetFormat(0, 0, 16); }, 6},
      {"reset channel 7", [] { return Fell_ASIO_ChannelReset(0, 7, 1); }, 20},
      {"start without a callback", [] { return Fell_ASIO_Start(0, 0); }, 20},
      {"stop while stopped", [] { return Fell_ASIO_Stop(); }, 9},
      {"future", [] { return Fell_ASIO_Future(1, nullptr); }, 20},
  };
  for (const Call& c : calls) {
    EXPECT_FALSE(c.call()) << c.what;
    EXPECT_EQ(Fell_ASIO_ErrorGetCode(), c.code) << c.what;
  }
  EXPECT_TRUE(Fell_ASIO_GetVersion());
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 0);  // success clears the code

  Recorder r(1 << 20);
  ASSERT_TRUE(Fell_ASIO_ChannelEnable(0, 0, Recorder::Proc, &r));
  EXPECT_FALSE(Fell_ASIO_Start(1u << 31, 0));  // a period of over a second
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 20);
  StartPair(r);
  EXPECT_FALSE(Fell_ASIO_Start(0, 0));
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 9);
  EXPECT_FALSE(Fell_ASIO_SetRate(5644800.0));  // rates change only between runs
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 9);
  EXPECT_FALSE(Fell_ASIO_SetDSD(0));
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 9);
  StopAll(r);

  ASSERT_TRUE(Fell_ASIO_SetDSD(0));
  ASSERT_TRUE(Fell_ASIO_ChannelEnable(0, 0, Recorder::Proc, &r));
  EXPECT_FALSE(Fell_ASIO_Start(0, 0));  // PCM output is not offered
  EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 6);
}

TEST_F(VirtualDevice, CaptureHoldsExactlyTheBytesTheCallbackWrote) {
  const std::string cap = TmpPath("cap");
  fell_test::TruncateFile(cap);
  setenv("FELL_VIRTUAL_CAPTURE", cap.c_str(), 1);
  Open();
  Recorder r(1 << 22);
  StartPair(r);
  ASSERT_TRUE(r.WaitCalls(40));
  EXPECT_EQ(r.last_length.load(), 2 * kBuflen);  // the joined pair's buffer
  EXPECT_EQ(r.last_channel.load(), 0u);
  StopAll(r);
  EXPECT_EQ(fell_test::ReadFile(cap), r.Written());
  EXPECT_EQ(r.late_calls.load(), 0);

  // A second run appends.
  Recorder r2(1 << 20);
  StartPair(r2);
  ASSERT_TRUE(r2.WaitCalls(3));
  StopAll(r2);
  std::vector<uint8_t> both = r.Written();
  const std::vector<uint8_t> w2 = r2.Written();
  both.insert(both.end(), w2.begin(), w2.end());
  EXPECT_EQ(fell_test::ReadFile(cap), both);
}

TEST_F(VirtualDevice, ChannelWithoutJoinGetsAOneChannelBuffer) {
  Open();
  Recorder r(1 << 20);
  ASSERT_TRUE(Fell_ASIO_ChannelEnable(0, 1, Recorder::Proc, &r));
  ASSERT_TRUE(Fell_ASIO_Start(kBuflen, 0));
  ASSERT_TRUE(r.WaitCalls(3));
  EXPECT_EQ(r.last_length.load(), kBuflen);
  EXPECT_EQ(r.last_channel.load(), 1u);
  StopAll(r);
}

TEST_F(VirtualDevice, PauseHaltsCallbacksUntilResumed) {
  Open();
  Recorder r(1 << 22);
  StartPair(r);
  ASSERT_TRUE(r.WaitCalls(5));
  ASSERT_TRUE(Fell_ASIO_ChannelPause(0, 0));
  const uint64_t at_pause = r.calls.load();
  // Some hundred periods go by at 20x; at most the callback already under way may finish.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LE(r.calls.load(), at_pause + 1);
  EXPECT_TRUE(Fell_ASIO_IsStarted());  // the device plays silence meanwhile

  ASSERT_TRUE(Fell_ASIO_ChannelReset(0, -1, 4));
  EXPECT_TRUE(r.WaitCalls(at_pause + 5));

  // Enabling a paused channel again clears its pause too.
  ASSERT_TRUE(Fell_ASIO_ChannelPause(0, 0));
  const uint64_t again = r.calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_LE(r.calls.load(), again + 1);
  ASSERT_TRUE(Fell_ASIO_ChannelEnable(0, 0, Recorder::Proc, &r));
  EXPECT_TRUE(r.WaitCalls(again + 5));
  StopAll(r);
}

TEST_F(VirtualDevice, PausingTheJoinedChannelPausesThePair) {
  Open();
  Recorder r(1 << 22);
  StartPair(r);
  ASSERT_TRUE(r.WaitCalls(2));
  ASSERT_TRUE(Fell_ASIO_ChannelPause(0, 1));
  const uint64_t at_pause = r.calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_LE(r.calls.load(), at_pause + 1);
  ASSERT_TRUE(Fell_ASIO_ChannelReset(0, 1, 4));
  EXPECT_TRUE(r.WaitCalls(at_pause + 3));
  StopAll(r);
}

TEST_F(VirtualDevice, NoCallbackRunsOnceStopHasReturned) {
  Open();
  // Another thread asks whether the device runs all along, as the player's reading thread does.
  std::jthread poller([](std::stop_token stop) {
    while (!stop.stop_requested()) {
      Fell_ASIO_IsStarted();
      std::this_thread::yield();
    }
  });
  for (int run = 0; run < 5; ++run) {
    Recorder r(1 << 20);
    StartPair(r);
    ASSERT_TRUE(r.WaitCalls(static_cast<uint64_t>(run)));  // stop at varied points
    ASSERT_TRUE(Fell_ASIO_Stop());
    r.stopped.store(true, std::memory_order_release);
    EXPECT_FALSE(Fell_ASIO_IsStarted());
    EXPECT_EQ(Fell_ASIO_ErrorGetCode(), 0);
    const uint64_t at_stop = r.calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(r.calls.load(), at_stop);
    EXPECT_EQ(r.late_calls.load(), 0);
    ASSERT_TRUE(Fell_ASIO_ChannelReset(0, -1, 3));
  }
}

TEST_F(VirtualDevice, ResetWithDisableAndUnjoinGivesAnUnpausedNextRun) {
  Open();
  Recorder r(1 << 22);
  StartPair(r);
  ASSERT_TRUE(r.WaitCalls(3));
  ASSERT_TRUE(Fell_ASIO_ChannelPause(0, 0));
  // The player's stop: reset with flags 3, then stop until stopped.
  ASSERT_TRUE(Fell_ASIO_ChannelReset(0, -1, 3));
  const uint64_t at_reset = r.calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_LE(r.calls.load(), at_reset + 1);  // disabled: no more callbacks
  StopAll(r);

  // Next run: enable, join, format, start; the old pause does not carry over, and the join
  // holds again (a two-channel buffer).
  Recorder r2(1 << 22);
  StartPair(r2);
  EXPECT_TRUE(r2.WaitCalls(5));
  EXPECT_EQ(r2.last_length.load(), 2 * kBuflen);
  StopAll(r2);

  // Unjoin alone: the channel's buffer is its own again.
  Recorder r3(1 << 22);
  StartPair(r3);
  ASSERT_TRUE(Fell_ASIO_ChannelReset(0, 1, 2));
  const uint64_t after = r3.calls.load();
  ASSERT_TRUE(r3.WaitCalls(after + 3));
  EXPECT_EQ(r3.last_length.load(), kBuflen);
  StopAll(r3);
}

TEST_F(VirtualDevice, PreferredPeriodKeepsItsDurationAtEveryRate) {
  Open();
  for (double rate : {2822400.0, 22579200.0}) {
    ASSERT_TRUE(Fell_ASIO_SetRate(rate));
    Recorder r(1 << 22);
    StartPair(r, 0);
    ASSERT_TRUE(r.WaitCalls(2));
    // 4096 bytes per channel at DSD64, 8 times that at DSD512: 11.6 ms either way.
    EXPECT_EQ(r.last_length.load(), 2u * static_cast<uint32_t>(4096 * rate / 2822400.0));
    StopAll(r);
  }
}

}  // namespace

namespace {

// A callback that claims more than its buffer must not make the library read past it.
struct Greedy {
  std::atomic<uint64_t> calls{0};
  std::atomic<uint32_t> length{0};
  static uint32_t Proc(FELL_BOOL, uint32_t, void* buffer, uint32_t length, void* user) {
    auto* g = static_cast<Greedy*>(user);
    std::memset(buffer, 0x11, length);
    g->length.store(length);
    g->calls.fetch_add(1, std::memory_order_release);
    return length + 100;
  }
};

TEST_F(VirtualDevice, ACallbackClaimingMoreThanItsBufferIsHeldToIt) {
  const std::string cap = TmpPath("cap");
  fell_test::TruncateFile(cap);
  setenv("FELL_VIRTUAL_CAPTURE", cap.c_str(), 1);
  Open();
  Greedy g;
  ASSERT_TRUE(Fell_ASIO_ChannelEnable(0, 0, Greedy::Proc, &g));
  ASSERT_TRUE(Fell_ASIO_Start(kBuflen, 0));
  while (g.calls.load(std::memory_order_acquire) < 4) std::this_thread::yield();
  ASSERT_TRUE(Fell_ASIO_Stop());
  const auto got = fell_test::ReadFile(cap);
  EXPECT_EQ(got.size(), g.calls.load() * kBuflen);
  EXPECT_TRUE(std::all_of(got.begin(), got.end(), [](uint8_t b) { return b == 0x11; }));
}

}  // namespace
