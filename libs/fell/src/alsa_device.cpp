// One ALSA PCM, opened non-blocking at Init and kept open until Free. A run sets the hardware
// parameters for the chosen sample format and writes one packed period at a time with
// snd_pcm_writei, polling the PCM's descriptors between partial writes so that a wedged device
// is noticed after a bounded time instead of hanging the device thread (and Stop) for ever.
//
// Sample format order, native: DSD_U32_BE, DSD_U32_LE, DSD_U16_BE, DSD_U16_LE, DSD_U8. A wider
// word means a lower frame rate (DSD512 is 705.6 kHz in 32-bit words but 2.8 MHz in bytes), which
// more devices and USB links accept; U32_BE is what most USB DACs offer. Within a width the
// big-endian word comes first because it keeps the bytes in time order, the layout the kernel's
// USB driver passes on without reordering. DoP order: S32_LE, then S24_3LE (rarer, and its
// 3-byte frames are awkward for some drivers).
#include "libs/fell/src/alsa_device.h"

#include <alsa/asoundlib.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "libs/fell/src/packing.h"

namespace fell {
namespace {

using Clock = std::chrono::steady_clock;

struct FormatChoice {
  WireFormat wire;
  snd_pcm_format_t alsa;
};
constexpr FormatChoice kNativeOrder[] = {
    {WireFormat::kDsdU32Be, SND_PCM_FORMAT_DSD_U32_BE},
    {WireFormat::kDsdU32Le, SND_PCM_FORMAT_DSD_U32_LE},
    {WireFormat::kDsdU16Be, SND_PCM_FORMAT_DSD_U16_BE},
    {WireFormat::kDsdU16Le, SND_PCM_FORMAT_DSD_U16_LE},
    {WireFormat::kDsdU8, SND_PCM_FORMAT_DSD_U8},
};
constexpr FormatChoice kDopOrder[] = {
    {WireFormat::kDopS32Le, SND_PCM_FORMAT_S32_LE},
    {WireFormat::kDopS24_3Le, SND_PCM_FORMAT_S24_3LE},
};
constexpr snd_pcm_format_t kPcmFormats[] = {SND_PCM_FORMAT_S32_LE, SND_PCM_FORMAT_S24_3LE,
                                            SND_PCM_FORMAT_S16_LE};

constexpr int kBufferPeriods = 4;
// No progress for this long while the device is running means it is wedged.
constexpr auto kStallLimit = std::chrono::seconds(3);
// Recoveries in a row without a frame getting in before the device counts as failed.
constexpr int kMaxRecoveries = 8;

// A failure the device will not recover from; "gone" when the device itself disappeared.
int LastingFailureCode(int err) {
  return (err == -ENODEV || err == -ENXIO || err == -ESHUTDOWN) ? kErrDriver : kErrUnknown;
}

bool TakesFormat(snd_pcm_t* pcm, snd_pcm_format_t format, double rate) {
  if (rate <= 0 || rate != static_cast<double>(static_cast<unsigned>(rate))) return false;
  snd_pcm_hw_params_t* p;
  snd_pcm_hw_params_alloca(&p);
  if (snd_pcm_hw_params_any(pcm, p) < 0) return false;
  return snd_pcm_hw_params_set_access(pcm, p, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
         snd_pcm_hw_params_set_format(pcm, p, format) >= 0 &&
         snd_pcm_hw_params_set_channels(pcm, p, kDeviceChannels) >= 0 &&
         snd_pcm_hw_params_set_rate(pcm, p, static_cast<unsigned>(rate), 0) >= 0;
}

template <size_t N>
std::optional<FormatChoice> Choose(snd_pcm_t* pcm, const FormatChoice (&order)[N],
                                   double dsd_rate) {
  for (const FormatChoice& c : order)
    if (TakesFormat(pcm, c.alsa, FrameRate(c.wire, dsd_rate))) return c;
  return std::nullopt;
}

class AlsaDevice final : public Device {
 public:
  AlsaDevice(snd_pcm_t* pcm, bool dop) : pcm_(pcm), dop_(dop) {}
  ~AlsaDevice() override { snd_pcm_close(pcm_); }

  std::optional<FormatChoice> ChooseFor(double dsd_rate) {
    return dop_ ? Choose(pcm_, kDopOrder, dsd_rate) : Choose(pcm_, kNativeOrder, dsd_rate);
  }

  bool TakesDsd() override {
    for (double r : kDsdRates)
      if (ChooseFor(r)) return true;
    return false;
  }

  bool CheckRate(bool dsd, double rate) override {
    if (dsd) return ChooseFor(rate).has_value();
    for (snd_pcm_format_t f : kPcmFormats)
      if (TakesFormat(pcm_, f, rate)) return true;
    return false;
  }

  const char* FormatFor(double dsd_rate) override {
    auto c = ChooseFor(dsd_rate);
    return c ? WireFormatName(c->wire) : nullptr;
  }

  int BeginRun(double rate, uint32_t period_bytes, RunShape* shape) override {
    auto choice = ChooseFor(rate);
    if (!choice) return kErrRate;
    format_ = choice->wire;
    if (period_bytes == 0) period_bytes = PreferredPeriodBytes(rate);
    const size_t per_frame = DsdBytesPerChannelFrame(format_);
    snd_pcm_uframes_t period = std::max<size_t>(1, period_bytes / per_frame);
    snd_pcm_uframes_t buffer = period * kBufferPeriods;

    snd_pcm_drop(pcm_);
    snd_pcm_hw_params_t* p;
    snd_pcm_hw_params_alloca(&p);
    int dir = 0;
    if (snd_pcm_hw_params_any(pcm_, p) < 0 ||
        snd_pcm_hw_params_set_access(pcm_, p, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm_, p, choice->alsa) < 0 ||
        snd_pcm_hw_params_set_channels(pcm_, p, kDeviceChannels) < 0 ||
        snd_pcm_hw_params_set_rate(pcm_, p, static_cast<unsigned>(FrameRate(format_, rate)), 0) <
            0) {
      return kErrRate;
    }
    if (snd_pcm_hw_params_set_period_size_near(pcm_, p, &period, &dir) < 0 ||
        snd_pcm_hw_params_set_buffer_size_near(pcm_, p, &buffer) < 0 ||
        snd_pcm_hw_params(pcm_, p) < 0) {
      return kErrFormat;
    }
    snd_pcm_hw_params_get_period_size(p, &period, &dir);
    snd_pcm_hw_params_get_buffer_size(p, &buffer);

    // Start once the whole buffer is full (the lead-in fills it), wake for every period.
    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    if (snd_pcm_sw_params_current(pcm_, sw) < 0 ||
        snd_pcm_sw_params_set_start_threshold(pcm_, sw, buffer) < 0 ||
        snd_pcm_sw_params_set_avail_min(pcm_, sw, period) < 0 || snd_pcm_sw_params(pcm_, sw) < 0 ||
        snd_pcm_prepare(pcm_) < 0) {
      return kErrFormat;
    }
    period_frames_ = period;
    buffer_frames_ = buffer;
    frame_rate_ = FrameRate(format_, rate);
    packed_.assign(period * OutputBytesPerFrame(format_), 0);
    shape->period_bytes_per_channel = static_cast<uint32_t>(period * per_frame);
    shape->buffer_bytes_per_channel = static_cast<uint32_t>(buffer * per_frame);
    return kOk;
  }

  int Write(std::span<const uint8_t> dsd) override {
    const size_t frames = Pack(format_, dsd, packed_, phase_);
    const size_t frame_bytes = OutputBytesPerFrame(format_);
    const uint8_t* p = packed_.data();
    size_t left = frames;
    auto last_progress = Clock::now();
    int recoveries = 0;  // since the last frames went in
    while (left > 0) {
      snd_pcm_sframes_t n = snd_pcm_writei(pcm_, p, left);
      if (n == -EAGAIN || n == 0) {
        // Full buffer: wait for room. An xrun comes back as -EPIPE, handled below.
        const int w = WaitForRoom(100);
        if (w < 0) n = w;
        if (Clock::now() - last_progress > kStallLimit) return kErrTimeout;
        if (w >= 0) continue;
      }
      if (n < 0) {
        // An xrun (-EPIPE) or a suspend: prepare again and rewrite what did not get in, so the
        // stream and the DoP marker sequence stay unbroken. A device that fails again at once
        // after every recovery is as good as gone.
        if (snd_pcm_state(pcm_) == SND_PCM_STATE_DISCONNECTED) return kErrDriver;
        if (++recoveries > kMaxRecoveries) return LastingFailureCode(static_cast<int>(n));
        // The reason of a failed recovery (an unplugged device refuses to prepare) is the
        // one that counts.
        if (int r = snd_pcm_recover(pcm_, static_cast<int>(n), 1); r < 0) {
          return LastingFailureCode(r);
        }
        ++xruns_;
        continue;
      }
      p += static_cast<size_t>(n) * frame_bytes;
      left -= static_cast<size_t>(n);
      last_progress = Clock::now();
      recoveries = 0;
    }
    return kOk;
  }

  // Polls the PCM's descriptors once, at most `timeout_ms`: 1 when there is room, 0 when not
  // (yet), or a negative error for the state the PCM fell into. Unlike snd_pcm_wait, which polls
  // again with the whole time-out whenever a descriptor wakes without room, this always returns
  // within the time-out, so the caller's stall limit holds whatever the driver's descriptors do.
  int WaitForRoom(int timeout_ms) {
    pollfd fds[8];
    const int count = snd_pcm_poll_descriptors_count(pcm_);
    if (count <= 0 || count > 8) return snd_pcm_wait(pcm_, timeout_ms);
    snd_pcm_poll_descriptors(pcm_, fds, static_cast<unsigned>(count));
    const int r = poll(fds, static_cast<nfds_t>(count), timeout_ms);
    if (r < 0) return errno == EINTR ? 0 : -errno;
    if (r == 0) return 0;
    unsigned short revents = 0;
    if (int e = snd_pcm_poll_descriptors_revents(pcm_, fds, static_cast<unsigned>(count), &revents);
        e < 0) {
      return e;
    }
    if (revents & (POLLERR | POLLNVAL)) {
      switch (snd_pcm_state(pcm_)) {
        case SND_PCM_STATE_XRUN:
          return -EPIPE;
        case SND_PCM_STATE_SUSPENDED:
          return -ESTRPIPE;
        case SND_PCM_STATE_DISCONNECTED:
          return -ENODEV;
        default:
          return 0;  // let the next write report what is wrong
      }
    }
    return (revents & POLLOUT) ? 1 : 0;
  }

  void EndRun(bool failed) override {
    if (!failed) {
      // Non-blocking drain: returns -EAGAIN and leaves the PCM draining. Poll its state,
      // bounded by the buffer's duration plus a second, then drop whatever is left.
      const auto deadline =
          Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                             static_cast<double>(buffer_frames_) / frame_rate_ + 1.0));
      snd_pcm_drain(pcm_);
      while (snd_pcm_state(pcm_) == SND_PCM_STATE_DRAINING && Clock::now() < deadline) {
        snd_pcm_avail_update(pcm_);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
    snd_pcm_drop(pcm_);
  }

 private:
  snd_pcm_t* pcm_;
  bool dop_;
  WireFormat format_ = WireFormat::kDsdU8;
  // Lives as long as the open device, not a run: a DAC that stays locked onto DoP between runs
  // never sees the marker sequence break.
  DopPhase phase_;
  std::vector<uint8_t> packed_;
  snd_pcm_uframes_t period_frames_ = 0, buffer_frames_ = 0;
  double frame_rate_ = 1;
  uint64_t xruns_ = 0;
};

snd_pcm_t* OpenPcm(const std::string& name, int* err) {
  snd_pcm_t* pcm = nullptr;
  *err = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
  return *err < 0 ? nullptr : pcm;
}

bool Excluded(const std::string& name) {
  // Of the "prefix:ARGS" PCMs only the raw hardware device passes DSD through untouched.
  if (auto colon = name.find(':'); colon != std::string::npos) return name.substr(0, colon) != "hw";
  static const char* const kSkip[] = {
      "null",  "default", "sysdefault", "pulse",   "pipewire",   "jack",
      "oss",   "upmix",   "vdownmix",   "lavrate", "samplerate", "speexrate",
      "speex", "a52",     "dmix",       "dsnoop",  "plug",       "plughw"};
  for (const char* s : kSkip)
    if (name == s) return true;
  return false;
}

std::string HintString(void* hint, const char* id) {
  char* s = snd_device_name_get_hint(hint, id);
  std::string out = s ? s : "";
  free(s);
  return out;
}

// For a hardware PCM without a description: the card's name, else the PCM name itself.
std::string CardName(const std::string& pcm) {
  const std::string key = "CARD=";
  const size_t at = pcm.find(key);
  if (at == std::string::npos) return pcm;
  const std::string id = pcm.substr(at + key.size(), pcm.find(',', at) - at - key.size());
  char* card = nullptr;
  const int index = snd_card_get_index(id.c_str());
  if (index < 0 || snd_card_get_name(index, &card) < 0 || !card) return pcm;
  std::string out = card;
  free(card);
  return out;
}

}  // namespace

std::vector<DeviceEntry> ListAlsaDevices() {
  std::vector<DeviceEntry> out;
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0 || !hints) return out;
  for (void** h = hints; *h; ++h) {
    const std::string name = HintString(*h, "NAME");
    const std::string ioid = HintString(*h, "IOID");
    if (name.empty() || (!ioid.empty() && ioid != "Output") || Excluded(name)) continue;
    std::string label = HintString(*h, "DESC");
    label = label.substr(0, label.find('\n'));
    // alsa-lib also lists configured PCMs that have no hint; only those with one are offered.
    const bool hardware = name.rfind("hw:", 0) == 0;
    if (label.empty() && !hardware) continue;
    if (label.empty()) label = CardName(name);

    int err = 0;
    snd_pcm_t* pcm = OpenPcm(name, &err);
    if (!pcm) continue;
    bool native = false, dop = false;
    for (double r : kDsdRates) {
      native = native || Choose(pcm, kNativeOrder, r).has_value();
      dop = dop || Choose(pcm, kDopOrder, r).has_value();
    }
    snd_pcm_close(pcm);
    if (native) out.push_back(MakeEntry(DeviceEntry::Kind::kAlsaNative, name, label, name));
    if (dop) {
      out.push_back(MakeEntry(DeviceEntry::Kind::kAlsaDop, name, label + " (DoP)", name));
    }
  }
  snd_device_name_free_hint(hints);
  return out;
}

std::unique_ptr<Device> OpenAlsaDevice(const DeviceEntry& entry, int* error) {
  int err = 0;
  snd_pcm_t* pcm = OpenPcm(entry.pcm, &err);
  if (!pcm) {
    *error = kErrDriver;
    return nullptr;
  }
  *error = kOk;
  return std::make_unique<AlsaDevice>(pcm, entry.kind == DeviceEntry::Kind::kAlsaDop);
}

}  // namespace fell
