// The library's one piece of state: the device list, the open device, its channels and the run
// on the device thread. The C functions of fell.h map one to one onto its members, which return
// an error code (0 = success).
//
// Threads: control members are serialised by one lock, which the device thread never takes.
// IsStarted never waits. Stop and Free wait for the device thread to end (bounded: the tail and
// a drain limited in time).
#ifndef LIBS_FELL_SRC_OUTPUT_H_
#define LIBS_FELL_SRC_OUTPUT_H_

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "libs/fell/fell.h"
#include "libs/fell/src/channels.h"
#include "libs/fell/src/device.h"
#include "libs/fell/src/device_list.h"

namespace fell {

// Silence at the start of a run, so that the device has settled (and a DoP decoder has locked
// on the markers) before the first sound, and at its end, so that the sound ends on silence
// before the device stops. Rounded up to whole periods.
inline constexpr double kLeadInSeconds = 0.050;
inline constexpr double kTailSeconds = 0.025;

class Output {
 public:
  Output();
  ~Output();

  void SetUnicode(bool utf16) { unicode_.store(utf16, std::memory_order_relaxed); }
  int GetDeviceInfo(uint32_t device, FellDeviceInfo* info);
  int Init(int device);
  int Free();
  int SetDsd(bool dsd);
  int CheckRate(double rate);
  int SetRate(double rate);
  int GetRate(double* rate);
  int Enable(bool input, uint32_t channel, FellAsioProc proc, void* user);
  int Join(bool input, uint32_t channel, int channel2);
  int SetFormat(bool input, uint32_t channel, uint32_t format);
  int Pause(bool input, uint32_t channel);
  int Reset(bool input, int channel, uint32_t flags);
  int Start(uint32_t buflen);
  int Stop();
  // *started is whether the device runs; the result is the code of a lasting device failure
  // that ended the run, else 0.
  int IsStarted(bool* started) const;

  // For the device tool: the open device (null when none).
  Device* device() { return device_.get(); }

 private:
  void EnsureListed();
  int StopLocked();
  void RunThread();
  void FillPeriod();

  std::mutex mu_;
  std::atomic<bool> unicode_{false};
  bool listed_ = false;
  // A deque: entries never move, so the texts handed out by GetDeviceInfo stay valid when the
  // ALSA devices are appended later.
  std::deque<DeviceEntry> devices_;

  std::unique_ptr<Device> device_;
  bool dsd_ = false;
  double rate_ = 0;
  ChannelTable channels_;

  // The run. Written by Start before the thread exists and read-only afterwards, except the
  // atomics.
  std::thread thread_;
  RunShape shape_;
  std::vector<uint8_t> period_;   // interleaved two-channel DSD bytes
  std::vector<uint8_t> scratch_;  // a single channel's callback buffer
  ChannelSnapshot snapshot_;      // the device thread's latest consistent view
  std::atomic<bool> stop_requested_{false};
  std::atomic<bool> started_{false};
  std::atomic<int> failure_{0};
};

}  // namespace fell

#endif  // LIBS_FELL_SRC_OUTPUT_H_
