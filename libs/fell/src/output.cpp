// The run: Start sets the device up on the caller's thread (so that a refusal is reported to the
// caller) and starts the device thread, which writes the lead-in, then one period at a time
// filled by the channel callbacks, then the tail, and lets the device play out. Stop asks the
// thread to end and joins it, so no callback runs once Stop has returned.
//
// Channel model: two output channels. A channel with a callback (enabled) and the channels
// joined to it form a group; the callback gets one buffer with the group's bytes interleaved in
// channel order. The usual group, channel 1 joined to 0, is exactly the device's two-channel
// layout, so the callback writes straight into the period buffer. Bytes a callback does not
// write, paused or disabled groups and the lead-in and tail are DSD silence (0x69).
#include "libs/fell/src/output.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "libs/fell/src/alsa_device.h"
#include "libs/fell/src/packing.h"
#include "libs/fell/src/virtual_device.h"

namespace fell {
namespace {

constexpr double kDefaultPcmRate = 44100;

// Real-time priority helps the device thread meet its deadlines on a loaded desktop; without
// the privilege the run goes on at normal priority.
void AskForRealtime() {
  sched_param p{};
  p.sched_priority = std::max(sched_get_priority_min(SCHED_FIFO), 10);
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &p);
}

bool ValidChannel(bool input, uint32_t channel) {
  return !input && channel < static_cast<uint32_t>(kOutputChannels);
}

}  // namespace

Output::Output() {
  devices_.push_back(MakeEntry(DeviceEntry::Kind::kVirtual, "", "Virtual DSD output", "virtual"));
}

Output::~Output() {
  Free();
}

void Output::EnsureListed() {
  if (listed_) return;
  listed_ = true;
  for (DeviceEntry& e : ListAlsaDevices()) devices_.push_back(std::move(e));
}

int Output::GetDeviceInfo(uint32_t device, FellDeviceInfo* info) {
  std::lock_guard lock(mu_);
  if (!info) return kErrIllegalParam;
  if (device >= 1) EnsureListed();
  if (device >= devices_.size()) return kErrDevice;
  const DeviceEntry& e = devices_[device];
  const bool u = unicode_.load(std::memory_order_relaxed);
  info->name = u ? static_cast<const void*>(e.name16.c_str()) : e.name.c_str();
  info->driver = u ? static_cast<const void*>(e.driver16.c_str()) : e.driver.c_str();
  return kOk;
}

int Output::Init(int device) {
  std::lock_guard lock(mu_);
  if (device_) return kErrAlready;
  if (device < 0) return kErrDevice;
  if (device >= 1) EnsureListed();
  if (static_cast<size_t>(device) >= devices_.size()) return kErrDevice;
  const DeviceEntry& e = devices_[device];
  int err = kOk;
  std::unique_ptr<Device> d =
      e.kind == DeviceEntry::Kind::kVirtual ? OpenVirtualDevice() : OpenAlsaDevice(e, &err);
  if (!d) return err ? err : kErrDriver;
  device_ = std::move(d);
  dsd_ = false;
  rate_ = kDefaultPcmRate;
  channels_.Publish(ChannelSnapshot{});
  failure_.store(0, std::memory_order_relaxed);
  return kOk;
}

int Output::Free() {
  std::lock_guard lock(mu_);
  StopLocked();
  device_.reset();
  failure_.store(0, std::memory_order_relaxed);
  return kOk;
}

int Output::SetDsd(bool dsd) {
  std::lock_guard lock(mu_);
  if (!device_) return kErrInit;
  if (thread_.joinable() && started_.load(std::memory_order_acquire)) return kErrStart;
  if (dsd && !device_->TakesDsd()) return kErrFormat;
  dsd_ = dsd;
  rate_ = dsd ? kDsdRates[0] : kDefaultPcmRate;
  return kOk;
}

int Output::CheckRate(double rate) {
  std::lock_guard lock(mu_);
  if (!device_) return kErrInit;
  if (!std::isfinite(rate) || rate <= 0 || !device_->CheckRate(dsd_, rate)) return kErrRate;
  return kOk;
}

int Output::SetRate(double rate) {
  std::lock_guard lock(mu_);
  if (!device_) return kErrInit;
  if (started_.load(std::memory_order_acquire)) return kErrStart;
  if (!std::isfinite(rate) || rate <= 0 || !device_->CheckRate(dsd_, rate)) return kErrRate;
  rate_ = rate;
  return kOk;
}

int Output::GetRate(double* rate) {
  std::lock_guard lock(mu_);
  *rate = device_ ? rate_ : 0;
  return device_ ? kOk : kErrInit;
}

int Output::Enable(bool input, uint32_t channel, FellAsioProc proc, void* user) {
  std::lock_guard lock(mu_);
  if (!device_) return kErrInit;
  if (!ValidChannel(input, channel)) return kErrIllegalParam;
  ChannelSnapshot s = channels_.Current();
  s[channel].proc = proc;
  s[channel].user = user;
  s[channel].paused = false;
  channels_.Publish(s);
  return kOk;
}

int Output::Join(bool input, uint32_t channel, int channel2) {
  std::lock_guard lock(mu_);
  if (!device_) return kErrInit;
  if (!ValidChannel(input, channel) || channel2 < 0 || channel2 >= kOutputChannels ||
      static_cast<uint32_t>(channel2) == channel) {
    return kErrIllegalParam;
  }
  ChannelSnapshot s = channels_.Current();
  // One level only: the lead must not be joined itself, and the joining channel must not lead.
  if (s[channel2].join_to >= 0) return kErrIllegalParam;
  for (int c = 0; c < kOutputChannels; ++c)
    if (s[c].join_to == static_cast<int>(channel)) return kErrIllegalParam;
  s[channel].join_to = channel2;
  channels_.Publish(s);
  return kOk;
}

int Output::SetFormat(bool input, uint32_t channel, uint32_t format) {
  std::lock_guard lock(mu_);
  if (!device_) return kErrInit;
  if (!ValidChannel(input, channel)) return kErrIllegalParam;
  if (format != FELL_FORMAT_DSD) return kErrFormat;
  ChannelSnapshot s = channels_.Current();
  s[channel].format = format;
  channels_.Publish(s);
  return kOk;
}

int Output::Pause(bool input, uint32_t channel) {
  std::lock_guard lock(mu_);
  if (!device_) return kErrInit;
  if (!ValidChannel(input, channel)) return kErrIllegalParam;
  ChannelSnapshot s = channels_.Current();
  const int lead = s[channel].join_to >= 0 ? s[channel].join_to : static_cast<int>(channel);
  s[lead].paused = true;
  channels_.Publish(s);
  return kOk;
}

int Output::Reset(bool input, int channel, uint32_t flags) {
  std::lock_guard lock(mu_);
  if (!device_) return kErrInit;
  if (input || channel < -1 || channel >= kOutputChannels) return kErrIllegalParam;
  ChannelSnapshot s = channels_.Current();
  const int first = channel < 0 ? 0 : channel;
  const int last = channel < 0 ? kOutputChannels - 1 : channel;
  for (int c = first; c <= last; ++c) {
    if (flags & FELL_RESET_UNPAUSE) {
      s[c].paused = false;
      if (s[c].join_to >= 0) s[s[c].join_to].paused = false;  // a pause is held by the lead
    }
    if (flags & FELL_RESET_DISABLE) {
      s[c].proc = nullptr;
      s[c].user = nullptr;
      s[c].paused = false;
    }
    if (flags & FELL_RESET_UNJOIN) s[c].join_to = -1;
    if (flags & FELL_RESET_FORMAT) s[c].format = FELL_FORMAT_DSD;
  }
  channels_.Publish(s);
  return kOk;
}

int Output::Start(uint32_t buflen) {
  std::lock_guard lock(mu_);
  if (!device_) return kErrInit;
  if (thread_.joinable()) {
    if (started_.load(std::memory_order_acquire)) return kErrStart;
    thread_.join();  // a run that ended by a device failure
  }
  if (!dsd_) return kErrFormat;  // only DSD output is implemented
  const ChannelSnapshot s = channels_.Current();
  bool any = false;
  for (const ChannelSettings& c : s) any = any || (c.proc && c.join_to < 0);
  if (!any) return kErrIllegalParam;

  // More than a second a period is no buffer size but a wrong argument (and would overflow the
  // callback's 32-bit length).
  if (buflen > rate_ / 8) return kErrIllegalParam;
  RunShape shape;
  if (int err = device_->BeginRun(rate_, buflen, &shape); err != kOk) return err;
  shape_ = shape;
  try {
    period_.assign(static_cast<size_t>(shape.period_bytes_per_channel) * kDeviceChannels,
                   kDsdSilence);
    scratch_.assign(shape.period_bytes_per_channel, kDsdSilence);
  } catch (const std::bad_alloc&) {
    device_->EndRun(true);
    return kErrMemory;
  }
  snapshot_ = s;
  stop_requested_.store(false, std::memory_order_relaxed);
  failure_.store(0, std::memory_order_relaxed);
  started_.store(true, std::memory_order_release);
  thread_ = std::thread([this] { RunThread(); });
  return kOk;
}

int Output::Stop() {
  std::lock_guard lock(mu_);
  return StopLocked();
}

int Output::StopLocked() {
  if (!thread_.joinable()) return kErrStart;
  if (thread_.get_id() == std::this_thread::get_id()) {
    // Called from a callback, against the rules: ask, cannot wait for ourselves.
    stop_requested_.store(true, std::memory_order_release);
    return kErrStart;
  }
  // Pairs with the acquire load in RunThread's loop.
  stop_requested_.store(true, std::memory_order_release);
  thread_.join();
  started_.store(false, std::memory_order_release);
  return kOk;
}

int Output::IsStarted(bool* started) const {
  // Pairs with the release stores of started_ in Start and at the end of RunThread, which
  // follow the store of failure_.
  *started = started_.load(std::memory_order_acquire);
  return *started ? kOk : failure_.load(std::memory_order_relaxed);
}

void Output::FillPeriod() {
  channels_.TryRead(&snapshot_);
  const ChannelSnapshot& s = snapshot_;
  const size_t frames = shape_.period_bytes_per_channel;
  uint8_t* out = period_.data();
  std::memset(out, kDsdSilence, period_.size());
  for (int lead = 0; lead < kOutputChannels; ++lead) {
    const ChannelSettings& c = s[lead];
    if (c.join_to >= 0 || !c.proc || c.paused) continue;
    bool joined[kOutputChannels] = {};
    joined[lead] = true;
    int members = 1;
    for (int m = 0; m < kOutputChannels; ++m) {
      if (s[m].join_to == lead) {
        joined[m] = true;
        ++members;
      }
    }
    if (members == kOutputChannels) {
      // The whole device layout: the callback fills the period buffer itself.
      const uint32_t len = static_cast<uint32_t>(period_.size());
      const uint32_t wrote = std::min(c.proc(0, lead, out, len, c.user), len);
      std::memset(out + wrote, kDsdSilence, len - wrote);
      device_->OnCallbackBytes({out, wrote});
      continue;
    }
    const uint32_t len = static_cast<uint32_t>(frames);
    uint8_t* buf = scratch_.data();
    const uint32_t wrote = std::min(c.proc(0, lead, buf, len, c.user), len);
    std::memset(buf + wrote, kDsdSilence, len - wrote);
    device_->OnCallbackBytes({buf, wrote});
    for (int m = 0; m < kOutputChannels; ++m) {
      if (!joined[m]) continue;
      for (size_t i = 0; i < frames; ++i) out[i * kDeviceChannels + m] = buf[i];
    }
  }
}

void Output::RunThread() {
  AskForRealtime();
  const double period_seconds = shape_.period_bytes_per_channel * 8.0 / rate_;
  const int lead_in = static_cast<int>(std::ceil(kLeadInSeconds / period_seconds));
  const int tail = static_cast<int>(std::ceil(kTailSeconds / period_seconds));
  const std::span<const uint8_t> period(period_);

  int err = kOk;
  std::memset(period_.data(), kDsdSilence, period_.size());
  for (int i = 0; i < lead_in && err == kOk; ++i) err = device_->Write(period);
  // Pairs with the release store in StopLocked.
  while (err == kOk && !stop_requested_.load(std::memory_order_acquire)) {
    FillPeriod();
    err = device_->Write(period);
  }
  if (err == kOk) {
    std::memset(period_.data(), kDsdSilence, period_.size());
    for (int i = 0; i < tail && err == kOk; ++i) err = device_->Write(period);
  }
  device_->EndRun(err != kOk);
  failure_.store(err, std::memory_order_relaxed);
  // Pairs with the acquire load in IsStarted.
  started_.store(false, std::memory_order_release);
}

}  // namespace fell
