// A device the library can open: the virtual device or an ALSA PCM. The engine drives a run
// through BeginRun, one Write per period and EndRun, all but BeginRun on the device thread.
#ifndef LIBS_FELL_SRC_DEVICE_H_
#define LIBS_FELL_SRC_DEVICE_H_

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace fell {

// Error codes, shared with the stream engine's numbering.
inline constexpr int kOk = 0;
inline constexpr int kErrMemory = 1;
inline constexpr int kErrDriver = 3;
inline constexpr int kErrFormat = 6;
inline constexpr int kErrInit = 8;
inline constexpr int kErrStart = 9;
inline constexpr int kErrAlready = 14;
inline constexpr int kErrIllegalParam = 20;
inline constexpr int kErrDevice = 23;
inline constexpr int kErrRate = 25;
inline constexpr int kErrTimeout = 40;
inline constexpr int kErrUnknown = -1;

inline constexpr double kDsdRates[4] = {2822400.0, 5644800.0, 11289600.0, 22579200.0};

// What a run was given by the device: the period the callbacks fill, in DSD bytes per channel.
struct RunShape {
  uint32_t period_bytes_per_channel = 0;
  uint32_t buffer_bytes_per_channel = 0;
};

class Device {
 public:
  virtual ~Device() = default;
  virtual bool TakesDsd() = 0;
  // Whether the device takes `rate` (one-bit rate in DSD mode, frame rate in PCM mode).
  virtual bool CheckRate(bool dsd, double rate) = 0;
  // The sample format a DSD run at `rate` would use, or nullptr when the rate does not work.
  virtual const char* FormatFor(double dsd_rate) = 0;
  // Sets the device up for a DSD run at `rate` (caller's thread). `period_bytes_per_channel` 0
  // asks for the preferred period. Returns an error code.
  virtual int BeginRun(double rate, uint32_t period_bytes_per_channel, RunShape* shape) = 0;
  // One period of the interleaved two-channel DSD stream; blocks until the device took it.
  // Returns 0, or the code of a lasting failure (the run then ends without a tail).
  virtual int Write(std::span<const uint8_t> dsd) = 0;
  // Bytes the callbacks wrote in the last period (the virtual device's capture); device thread.
  virtual void OnCallbackBytes(std::span<const uint8_t> bytes) {}
  // Lets what was written play out, bounded in time, and leaves the device idle but open.
  virtual void EndRun(bool failed) = 0;
};

// The preferred period: 4096 bytes per channel at DSD64 (11.6 ms), the same duration at every
// rate, so the callback's deadline and the buffer's latency do not shrink as the rate grows.
inline uint32_t PreferredPeriodBytes(double dsd_rate) {
  return static_cast<uint32_t>(4096.0 * dsd_rate / kDsdRates[0]);
}

}  // namespace fell

#endif  // LIBS_FELL_SRC_DEVICE_H_
