// Packing of the two-channel DSD byte stream (left byte, right byte, ...; earliest sample in
// bit 7) into the sample formats an ALSA device takes: native DSD words, or DoP words inside
// 24/32-bit PCM. Pure functions over spans; no allocation, safe on the device thread.
#ifndef LIBS_FELL_SRC_PACKING_H_
#define LIBS_FELL_SRC_PACKING_H_

#include <cstddef>
#include <cstdint>
#include <span>

namespace fell {

inline constexpr uint8_t kDsdSilence = 0x69;
inline constexpr uint8_t kDopMarkerA = 0x05;
inline constexpr uint8_t kDopMarkerB = 0xFA;
inline constexpr int kDeviceChannels = 2;

enum class WireFormat : uint8_t {
  kDsdU8,
  kDsdU16Le,
  kDsdU16Be,
  kDsdU32Le,
  kDsdU32Be,
  kDopS24_3Le,
  kDopS32Le,
};

inline constexpr bool IsDop(WireFormat f) {
  return f == WireFormat::kDopS24_3Le || f == WireFormat::kDopS32Le;
}

// DSD bytes of one channel carried by one device frame: 1, 2 or 4 (DoP carries 2).
size_t DsdBytesPerChannelFrame(WireFormat f);
// Bytes of the interleaved DSD stream per device frame (both channels).
inline size_t InputBytesPerFrame(WireFormat f) {
  return DsdBytesPerChannelFrame(f) * kDeviceChannels;
}
// Bytes of one device frame in memory.
size_t OutputBytesPerFrame(WireFormat f);
// Device frames per second for a one-bit rate.
double FrameRate(WireFormat f, double dsd_rate);
const char* WireFormatName(WireFormat f);

// The DoP marker of the next frame. It alternates per frame for the whole run, across periods,
// silence and xruns, so it lives with the run, not with one buffer.
struct DopPhase {
  uint8_t next_marker = kDopMarkerA;
};

// Packs in.size() / InputBytesPerFrame(f) whole frames from `in` into `out`, which must hold
// that many frames of OutputBytesPerFrame(f). Trailing input bytes of a partial frame are
// ignored. `phase` is read and advanced only for DoP formats. Returns the frames packed.
size_t Pack(WireFormat f, std::span<const uint8_t> in, std::span<uint8_t> out, DopPhase& phase);

}  // namespace fell

#endif  // LIBS_FELL_SRC_PACKING_H_
