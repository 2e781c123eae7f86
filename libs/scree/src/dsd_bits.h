// Byte-level DSD conversions: bit reversal (LSB-first to MSB-first) and interleaving two
// channels into the playback layout (left byte, right byte, ...). Pure functions over spans.
#ifndef LIBS_SCREE_SRC_DSD_BITS_H_
#define LIBS_SCREE_SRC_DSD_BITS_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace scree {

inline constexpr std::array<uint8_t, 256> kBitReverse = [] {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
    t[i] = static_cast<uint8_t>(r);
  }
  return t;
}();

// out[2i] = left[i], out[2i+1] = right[i] for i < n, each bit-reversed when `reverse`.
// `left` and `right` may be the same (mono on both sides). Uses SIMD when the CPU has it.
void InterleavePair(const uint8_t* left, const uint8_t* right, size_t n, uint8_t* out,
                    bool reverse);

// The plain table version, kept for tests and CPUs without SIMD.
void InterleavePairScalar(const uint8_t* left, const uint8_t* right, size_t n, uint8_t* out,
                          bool reverse);

}  // namespace scree

#endif  // LIBS_SCREE_SRC_DSD_BITS_H_
