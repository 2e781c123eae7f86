// The generator's files checked field by field at known offsets, independently of any decoder,
// so that a decoder test comparing against the generator compares against the real format.
#include "tools/dsdgen/dsdgen.h"

#include <gtest/gtest.h>

namespace {

uint64_t Le(const dsdgen::Bytes& b, size_t at, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}
uint64_t Be(const dsdgen::Bytes& b, size_t at, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | b[at + i];
  return v;
}
uint8_t Reverse(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r |= ((b >> i) & 1) << (7 - i);
  return r;
}

TEST(Dsdgen, DsfFieldsAndBlockLayout) {
  dsdgen::FileSpec desc;
  desc.rate = dsdgen::kDsd128;
  desc.channels = 3;
  desc.samples = 4096 * 8 + 20;  // one full block group, then 3 bytes (the last one partial)
  desc.id3 = true;
  const auto data = dsdgen::ChannelData(desc);
  const auto f = dsdgen::MakeFile(desc, data);
  ASSERT_EQ(data[0].size(), 4099u);
  EXPECT_EQ(data[0][4098] & 0x0F, 0) << "samples past the count are zero";
  EXPECT_EQ(Le(f, 0, 4), 0x20445344u);  // "DSD "
  EXPECT_EQ(Le(f, 4, 8), 28u);
  EXPECT_EQ(Le(f, 12, 8), f.size());
  const uint64_t data_bytes = 2 * 4096 * 3;
  EXPECT_EQ(Le(f, 20, 8), 92 + data_bytes) << "the tag follows the data";
  EXPECT_EQ(Le(f, 32, 8), 52u);
  EXPECT_EQ(Le(f, 48, 4), 3u);  // channel type
  EXPECT_EQ(Le(f, 52, 4), 3u);
  EXPECT_EQ(Le(f, 56, 4), dsdgen::kDsd128);
  EXPECT_EQ(Le(f, 60, 4), 1u);
  EXPECT_EQ(Le(f, 64, 8), desc.samples);
  EXPECT_EQ(Le(f, 72, 4), 4096u);
  EXPECT_EQ(Le(f, 84, 8), 12 + data_bytes);
  // Group 0: 4096 bytes of each channel in turn; group 1: 3 bytes of each, then zero padding.
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(f[92 + c * 4096], Reverse(data[c][0]));
    EXPECT_EQ(f[92 + c * 4096 + 4095], Reverse(data[c][4095]));
    EXPECT_EQ(f[92 + 3 * 4096 + c * 4096 + 2], Reverse(data[c][4098]));
    EXPECT_EQ(f[92 + 3 * 4096 + c * 4096 + 3], 0);
  }
  EXPECT_EQ(f[92 + data_bytes], 'I');
}

TEST(Dsdgen, DffChunksAndByteInterleave) {
  dsdgen::FileSpec desc;
  desc.container = dsdgen::Container::kDff;
  desc.channels = 1;
  desc.samples = 8 * 5;  // five bytes: an odd sound chunk needs a pad byte
  const auto data = dsdgen::ChannelData(desc);
  const auto f = dsdgen::MakeFile(desc, data);
  EXPECT_EQ(Be(f, 0, 4), 0x46524D38u);  // "FRM8"
  EXPECT_EQ(Be(f, 4, 8), f.size() - 12);
  EXPECT_EQ(Be(f, 16, 4), 0x46564552u);  // "FVER"
  EXPECT_EQ(Be(f, 32, 4), 0x50524F50u);  // "PROP"
  EXPECT_EQ(Be(f, 60, 4), dsdgen::kDsd64);
  EXPECT_EQ(Be(f, 76, 2), 1u);
  const size_t sound = 32 + 12 + Be(f, 36, 8);
  EXPECT_EQ(Be(f, sound, 4), 0x44534420u);  // "DSD "
  EXPECT_EQ(Be(f, sound + 4, 8), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(f[sound + 12 + i], data[0][i]);
  EXPECT_EQ(f.size(), sound + 12 + 6);
}

TEST(Dsdgen, SigmaDeltaFollowsItsInputAndStaysStable) {
  // The running mean of the output (+1/-1) follows a slow input; a loud one does not blow up.
  for (double level : {-0.5, 0.0, 0.25, 0.6}) {
    dsdgen::SigmaDelta sdm;
    double sum = 0;
    const int n = 1 << 20;
    for (int i = 0; i < n; ++i) sum += sdm.Next(level) ? 1 : -1;
    EXPECT_NEAR(sum / n, level, 0.002) << level;
  }
}

}  // namespace
