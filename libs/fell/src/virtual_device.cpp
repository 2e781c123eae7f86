// The virtual device imitates a device with a buffer of two periods: Write returns at once while
// the buffer has room and otherwise sleeps until the absolute time at which the imagined
// hardware has played far enough. Deadlines come from the run's start and the frames written,
// never from the previous wake-up, so late wake-ups do not add up to drift.
#include "libs/fell/src/virtual_device.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace fell {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kPcmRates[] = {44100, 48000, 88200, 96000, 176400, 192000, 352800, 384000};
constexpr uint64_t kBufferPeriods = 2;

class VirtualDevice final : public Device {
 public:
  VirtualDevice() {
    if (const char* s = std::getenv("FELL_VIRTUAL_SPEED")) {
      char* end = nullptr;
      double v = std::strtod(s, &end);
      if (end != s && v > 0 && v < 1e6) speed_ = v;
    }
    if (const char* c = std::getenv("FELL_VIRTUAL_CAPTURE"); c && *c) capture_path_ = c;
  }
  ~VirtualDevice() override { CloseCapture(); }

  bool TakesDsd() override { return true; }

  bool CheckRate(bool dsd, double rate) override {
    if (dsd) {
      for (double r : kDsdRates)
        if (r == rate) return true;
      return false;
    }
    for (double r : kPcmRates)
      if (r == rate) return true;
    return false;
  }

  const char* FormatFor(double dsd_rate) override {
    return CheckRate(true, dsd_rate) ? "DSD bytes (discarded)" : nullptr;
  }

  int BeginRun(double rate, uint32_t period, RunShape* shape) override {
    if (period == 0) period = PreferredPeriodBytes(rate);
    shape->period_bytes_per_channel = period;
    shape->buffer_bytes_per_channel = period * kBufferPeriods;
    period_bytes_ = period;
    bytes_per_second_ = rate / 8.0;  // per channel
    written_ = 0;
    start_ = Clock::now();
    if (!capture_path_.empty()) {
      capture_ = std::fopen(capture_path_.c_str(), "ab");
      if (!capture_) return kErrUnknown;
    }
    return kOk;
  }

  int Write(std::span<const uint8_t> dsd) override {
    // The imagined hardware must have played everything but the buffer before this period fits.
    const uint64_t ahead = period_bytes_ * kBufferPeriods;
    if (written_ >= ahead) std::this_thread::sleep_until(TimeOf(written_ - ahead));
    written_ += dsd.size() / 2;
    return kOk;
  }

  void OnCallbackBytes(std::span<const uint8_t> bytes) override {
    if (capture_ && !bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), capture_);
  }

  void EndRun(bool failed) override {
    if (!failed) std::this_thread::sleep_until(TimeOf(written_));
    CloseCapture();
  }

 private:
  Clock::time_point TimeOf(uint64_t bytes_per_channel) const {
    const double seconds = static_cast<double>(bytes_per_channel) / bytes_per_second_ / speed_;
    return start_ +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  }
  void CloseCapture() {
    if (capture_) std::fclose(capture_);
    capture_ = nullptr;
  }

  double speed_ = 1.0;
  std::string capture_path_;
  std::FILE* capture_ = nullptr;
  uint64_t period_bytes_ = 0;
  double bytes_per_second_ = 1;
  uint64_t written_ = 0;
  Clock::time_point start_;
};

}  // namespace

std::unique_ptr<Device> OpenVirtualDevice() {
  return std::make_unique<VirtualDevice>();
}

}  // namespace fell
