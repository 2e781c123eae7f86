// Test helpers: a recording channel callback and unpacking of device formats back into the
// two-channel DSD byte stream, written independently of the library's packing code.
#ifndef LIBS_FELL_TESTS_SUPPORT_H_
#define LIBS_FELL_TESTS_SUPPORT_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "libs/fell/fell.h"

namespace fell_test {

inline constexpr uint8_t kSilence = 0x69;

// Fills each buffer with a non-repeating pattern that never contains 0x69, writing a varying
// share of it (whole, a third, nothing, all but one byte, five bytes) so that the library's
// filling of the rest shows. Records what a correct device stream must carry: the bytes written
// followed by silence up to the buffer's length. Memory is reserved up front: the callback
// does not allocate.
struct Recorder {
  explicit Recorder(size_t capacity) : expected(capacity), written(capacity) {}

  static uint32_t Proc(FELL_BOOL input, uint32_t channel, void* buffer, uint32_t length,
                       void* user) {
    auto* r = static_cast<Recorder*>(user);
    if (r->stopped.load(std::memory_order_acquire)) r->late_calls.fetch_add(1);
    r->last_length.store(length, std::memory_order_relaxed);
    r->last_channel.store(channel, std::memory_order_relaxed);
    const uint64_t call = r->calls.load(std::memory_order_relaxed);
    if (call == r->stall_at) std::this_thread::sleep_for(std::chrono::milliseconds(r->stall_ms));
    uint32_t n = length;
    switch (call % 5) {
      case 1:
        n = length / 3;
        break;
      case 2:
        n = 0;
        break;
      case 3:
        n = length - 1;
        break;
      case 4:
        n = length < 5 ? length : 5;
        break;
    }
    if (call == 0) n = length;  // the stream's first byte is never silence
    auto* out = static_cast<uint8_t*>(buffer);
    if (r->exp_size + length > r->expected.size())
      n = 0;  // full: silence from here on
    else {
      for (uint32_t i = 0; i < n; ++i) {
        const uint8_t b = static_cast<uint8_t>((r->counter++ * 7u) % 0x60u);  // 0x00..0x5f
        out[i] = b;
        r->written[r->wr_size++] = b;
        r->expected[r->exp_size++] = b;
      }
      for (uint32_t i = n; i < length; ++i) r->expected[r->exp_size++] = kSilence;
    }
    // Junk beyond what we report: the library must overwrite it with silence.
    for (uint32_t i = n; i < length; ++i) out[i] = 0x00;
    r->calls.store(call + 1, std::memory_order_release);
    return n;
  }

  // Waits (bounded, generously) until at least `n` callbacks ran.
  bool WaitCalls(uint64_t n, int max_seconds = 60) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(max_seconds);
    while (calls.load(std::memory_order_acquire) < n) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  // Only read once the device thread has ended (after Stop), which orders these writes.
  std::vector<uint8_t> Expected() const {
    return {expected.begin(), expected.begin() + static_cast<long>(exp_size)};
  }
  std::vector<uint8_t> Written() const {
    return {written.begin(), written.begin() + static_cast<long>(wr_size)};
  }

  std::vector<uint8_t> expected, written;
  size_t exp_size = 0, wr_size = 0;
  uint32_t counter = 0;
  std::atomic<uint64_t> calls{0};
  std::atomic<uint32_t> last_length{0}, last_channel{99};
  std::atomic<bool> stopped{false};
  std::atomic<int> late_calls{0};
  // Set before the run: the callback of this number sleeps, to starve a paced device.
  uint64_t stall_at = ~uint64_t{0};
  int stall_ms = 0;
};

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

inline void TruncateFile(const std::string& path) {
  std::ofstream(path, std::ios::trunc);
}

enum class Layout { kU8, kU16Le, kU16Be, kU32Le, kU32Be, kDop24, kDop32 };

// Device memory back into L R L R ... bytes. For DoP also checks the markers: the same in both
// channels of a frame, 0x05 and 0xFA alternating without a break, pad bytes zero. Any fault is
// described in *error.
inline std::vector<uint8_t> Unpack(Layout layout, const std::vector<uint8_t>& in,
                                   std::string* error) {
  std::vector<uint8_t> out;
  switch (layout) {
    case Layout::kU8:
      return in;
    case Layout::kU16Be:
    case Layout::kU16Le:
    case Layout::kU32Be:
    case Layout::kU32Le: {
      const size_t w = (layout == Layout::kU16Be || layout == Layout::kU16Le) ? 2 : 4;
      const bool le = layout == Layout::kU16Le || layout == Layout::kU32Le;
      for (size_t f = 0; f + 2 * w <= in.size(); f += 2 * w) {
        for (size_t k = 0; k < w; ++k) {
          const size_t at = le ? w - 1 - k : k;  // time order k within the word
          out.push_back(in[f + at]);
          out.push_back(in[f + w + at]);
        }
      }
      return out;
    }
    case Layout::kDop24:
    case Layout::kDop32: {
      const size_t s = layout == Layout::kDop24 ? 3 : 4;  // bytes per sample
      const size_t base = s == 4 ? 1 : 0;                 // S32_LE: pad byte first
      int expect = -1;
      for (size_t f = 0; f + 2 * s <= in.size(); f += 2 * s) {
        const uint8_t* l = &in[f];
        const uint8_t* r = &in[f + s];
        const uint8_t m = l[base + 2];
        if (error->empty()) {
          if (r[base + 2] != m)
            *error = "channels' markers differ at frame " + std::to_string(f);
          else if (m != 0x05 && m != 0xFA)
            *error = "bad marker at frame " + std::to_string(f);
          else if (expect >= 0 && m != expect)
            *error = "marker broken at byte " + std::to_string(f);
          else if (s == 4 && (l[0] != 0 || r[0] != 0))
            *error = "nonzero pad byte";
        }
        expect = m == 0x05 ? 0xFA : 0x05;
        out.push_back(l[base + 1]);  // older
        out.push_back(r[base + 1]);
        out.push_back(l[base + 0]);  // newer
        out.push_back(r[base + 0]);
      }
      return out;
    }
  }
  return out;
}

}  // namespace fell_test

#endif  // LIBS_FELL_TESTS_SUPPORT_H_
