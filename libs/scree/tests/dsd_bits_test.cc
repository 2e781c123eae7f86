#include "libs/scree/src/dsd_bits.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace scree {
namespace {

TEST(DsdBits, ReverseTableHasExactValues) {
  const std::pair<uint8_t, uint8_t> cases[] = {{0x00, 0x00}, {0x01, 0x80}, {0x80, 0x01},
                                               {0x69, 0x96}, {0x0F, 0xF0}, {0xA5, 0xA5},
                                               {0x12, 0x48}, {0xFF, 0xFF}};
  for (auto [in, out] : cases) EXPECT_EQ(kBitReverse[in], out) << int(in);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(kBitReverse[kBitReverse[i]], i);
}

TEST(DsdBits, InterleaveMatchesTheTableVersionAtEveryLengthAndOffset) {
  std::mt19937 rng(7);
  std::vector<uint8_t> l(300), r(300);
  for (auto& b : l) b = static_cast<uint8_t>(rng());
  for (auto& b : r) b = static_cast<uint8_t>(rng());
  for (bool reverse : {false, true}) {
    for (size_t offset : {0, 1, 5}) {
      for (size_t n = 0; n <= 100; ++n) {
        std::vector<uint8_t> fast(2 * n + 1, 0xEE), slow(2 * n + 1, 0xEE);
        InterleavePair(l.data() + offset, r.data() + offset, n, fast.data(), reverse);
        InterleavePairScalar(l.data() + offset, r.data() + offset, n, slow.data(), reverse);
        ASSERT_EQ(fast, slow) << "n=" << n << " reverse=" << reverse;
        EXPECT_EQ(fast.back(), 0xEE) << "wrote past the end";
      }
    }
  }
}

TEST(DsdBits, InterleaveLayoutIsLeftThenRight) {
  const uint8_t l[] = {0x01, 0x02}, r[] = {0x80, 0x40};
  uint8_t out[4];
  InterleavePair(l, r, 2, out, false);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x01, 0x80, 0x02, 0x40}));
  InterleavePair(l, r, 2, out, true);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x80, 0x01, 0x40, 0x02}));
}

}  // namespace
}  // namespace scree
