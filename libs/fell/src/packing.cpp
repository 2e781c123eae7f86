// Every format is a fixed permutation of one frame's input bytes, plus the DoP marker and the
// zero pad byte of S32_LE. Each format's permutation is a constexpr table; the loop is a
// template over it so the compiler unrolls each frame into plain moves.
#include "libs/fell/src/packing.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace fell {
namespace {

constexpr uint8_t kM = 0xFE;  // the DoP marker of this frame
constexpr uint8_t kZ = 0xFF;  // a zero pad byte

// Input frame: L0 R0 L1 R1 ... (index 2k is left byte k, 2k+1 right byte k; k = time order).
template <size_t N>
using Perm = std::array<uint8_t, N>;
constexpr Perm<4> kU16Be = {0, 2, 1, 3};  // each channel's word in time order
constexpr Perm<4> kU16Le = {2, 0, 3, 1};  // ... with its bytes reversed
constexpr Perm<8> kU32Be = {0, 2, 4, 6, 1, 3, 5, 7};
constexpr Perm<8> kU32Le = {6, 4, 2, 0, 7, 5, 3, 1};
// DoP sample = marker, older byte, newer byte (bits 23..0), little-endian in memory.
constexpr Perm<6> kDop24 = {2, 0, kM, 3, 1, kM};
constexpr Perm<8> kDop32 = {kZ, 2, 0, kM, kZ, 3, 1, kM};

template <size_t InBytes, size_t N, const Perm<N>& P, bool kDop>
size_t PackWith(std::span<const uint8_t> in, std::span<uint8_t> out, DopPhase& phase) {
  size_t frames = in.size() / InBytes;
  if (out.size() / N < frames) frames = out.size() / N;
  const uint8_t* s = in.data();
  uint8_t* d = out.data();
  uint8_t marker = phase.next_marker;
  for (size_t i = 0; i < frames; ++i, s += InBytes, d += N) {
    for (size_t j = 0; j < N; ++j) {
      const uint8_t p = P[j];
      d[j] = p == kM ? marker : p == kZ ? uint8_t{0} : s[p];
    }
    if constexpr (kDop) marker = marker == kDopMarkerA ? kDopMarkerB : kDopMarkerA;
  }
  if constexpr (kDop) phase.next_marker = marker;
  return frames;
}

}  // namespace

size_t DsdBytesPerChannelFrame(WireFormat f) {
  switch (f) {
    case WireFormat::kDsdU8:
      return 1;
    case WireFormat::kDsdU16Le:
    case WireFormat::kDsdU16Be:
    case WireFormat::kDopS24_3Le:
    case WireFormat::kDopS32Le:
      return 2;
    case WireFormat::kDsdU32Le:
    case WireFormat::kDsdU32Be:
      return 4;
  }
  return 1;
}

size_t OutputBytesPerFrame(WireFormat f) {
  switch (f) {
    case WireFormat::kDsdU8:
      return 2;
    case WireFormat::kDsdU16Le:
    case WireFormat::kDsdU16Be:
      return 4;
    case WireFormat::kDopS24_3Le:
      return 6;
    case WireFormat::kDsdU32Le:
    case WireFormat::kDsdU32Be:
    case WireFormat::kDopS32Le:
      return 8;
  }
  return 2;
}

double FrameRate(WireFormat f, double dsd_rate) {
  return dsd_rate / (8.0 * static_cast<double>(DsdBytesPerChannelFrame(f)));
}

const char* WireFormatName(WireFormat f) {
  switch (f) {
    case WireFormat::kDsdU8:
      return "DSD_U8";
    case WireFormat::kDsdU16Le:
      return "DSD_U16_LE";
    case WireFormat::kDsdU16Be:
      return "DSD_U16_BE";
    case WireFormat::kDsdU32Le:
      return "DSD_U32_LE";
    case WireFormat::kDsdU32Be:
      return "DSD_U32_BE";
    case WireFormat::kDopS24_3Le:
      return "DoP S24_3LE";
    case WireFormat::kDopS32Le:
      return "DoP S32_LE";
  }
  return "?";
}

size_t Pack(WireFormat f, std::span<const uint8_t> in, std::span<uint8_t> out, DopPhase& phase) {
  switch (f) {
    case WireFormat::kDsdU8: {
      // The identity permutation: a plain copy of whole frames.
      const size_t frames = std::min(in.size(), out.size()) / 2;
      if (frames) std::memcpy(out.data(), in.data(), frames * 2);
      return frames;
    }
    case WireFormat::kDsdU16Le:
      return PackWith<4, 4, kU16Le, false>(in, out, phase);
    case WireFormat::kDsdU16Be:
      return PackWith<4, 4, kU16Be, false>(in, out, phase);
    case WireFormat::kDsdU32Le:
      return PackWith<8, 8, kU32Le, false>(in, out, phase);
    case WireFormat::kDsdU32Be:
      return PackWith<8, 8, kU32Be, false>(in, out, phase);
    case WireFormat::kDopS24_3Le:
      return PackWith<4, 6, kDop24, true>(in, out, phase);
    case WireFormat::kDopS32Le:
      return PackWith<4, 8, kDop32, true>(in, out, phase);
  }
  return 0;
}

}  // namespace fell
