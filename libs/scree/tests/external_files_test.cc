// Files other projects committed, quirks and all: each opens with the exact length its
// header's sample count gives, or is refused with the right code; never a crash.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "libs/scree/scree.h"
#include "libs/scree/src/dsd_bits.h"
#include "libs/scree/tests/test_files.h"
#include "libs/tarn/tarn.h"

namespace {

struct External {
  const char* file;
  int code;         // 0 = opens
  uint64_t length;  // raw playback stream bytes when it opens
  const char* why;
};

// Lengths are 2 x floor(sample count / 8) for DSF and the sound chunk's size for stereo DFF.
const External kFiles[] = {
    {"atldotnet/adgpp_PLAY_01_05.dsf", 41, 0, "not DSD: another format with a .dsf name"},
    {"atldotnet/dff.dff", 0, 35280, "FRM8 size larger than the file"},
    {"atldotnet/empty.dff", 0, 35280, "FRM8 size 12 too large"},
    {"beets/full.dsf", 0, 14112, "clean, with a tag"},
    {"beets/unparseable.dsf", 0, 0, "no samples, but a data block and a tag"},
    {"dhowden-tag/sample.dsf", 0, 1036188, "sample count not a multiple of 8"},
    {"dsd2dxd/1kHz_mono_brokenid3.dsf", 0, 3528000, "mono, total size too large, cut tag"},
    {"dsd2dxd/1kHz_stereo_i_brokenid3.dff", 0, 2116800, "FRM8 too large, cut tag chunk"},
    {"lofty-rs-pr598/full_test.dff", 0, 2758, "odd-sized chunks without their pad bytes"},
    {"lofty-rs-pr598/full_test.dsf", 0, 705600, "data chunk shorter than its block groups"},
    {"music-metadata/2L-110_stereo-5644k-1b_04_0.1-sec.dsf", 0, 141120, "DSD128, big tag"},
    {"music-metadata/DSD64.dff", 0, 75200, "ID3 and DIIN chunks after the data"},
    {"mutagen/2822400-1ch-0s-silence.dff", 0, 0, "mono, no samples"},
    {"mutagen/2822400-1ch-0s-silence.dsf", 0, 0, "mono, no samples"},
    {"mutagen/5644800-2ch-s01-silence-dst.dff", 44, 0, "DST-compressed"},
    {"mutagen/5644800-2ch-s01-silence.dff", 0, 14112, "clean"},
    {"mutagen/5644800-2ch-s01-silence.dsf", 0, 14112, "clean"},
    {"mutagen/with-id3.dsf", 0, 0, "no samples, a tag"},
    {"taglib-sharp/a.dsf", 41, 0, "zero bytes"},
    {"taglib/empty.dsf", 0, 0, "no samples, no data"},
    {"taglib/empty10ms.dff", 0, 7056, "clean"},
    {"taglib/empty10ms.dsf", 0, 7056, "clean"},
};

std::string ExternalDir() {
  const char* env = std::getenv("AX_EXTERNAL_TESTDATA");
  return env ? env : AX_EXTERNAL_TESTDATA_DIR;
}

std::vector<uint8_t> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ExternalFiles, OpenWithTheHeadersLengthOrAreRefused) {
  for (const External& f : kFiles) {
    const std::string path = ExternalDir() + "/" + f.file;
    SCOPED_TRACE(std::string(f.file) + ": " + f.why);
    ASSERT_FALSE(Slurp(path).empty() && f.code == 0) << "missing sample file " << path;
    uint32_t h = Scree_DSD_StreamCreateFile(0, path.c_str(), 0, 0, 0x00200200, 0);
    if (f.code != 0) {
      EXPECT_EQ(h, 0u);
      EXPECT_EQ(Tarn_ErrorGetCode(), f.code);
      continue;
    }
    ASSERT_NE(h, 0u) << "refused with " << Tarn_ErrorGetCode();
    EXPECT_EQ(Tarn_ChannelGetLength(h, 0), f.length);
    bool failed = false;
    EXPECT_EQ(scree_test::ReadAll(h, 81607680, &failed).size(), f.length);
    EXPECT_FALSE(failed);
    Tarn_StreamFree(h);
    // The measuring stream opens too.
    h = Scree_DSD_StreamCreateFile(0, path.c_str(), 0, 0, 0x00200000, 0);
    ASSERT_NE(h, 0u);
    Tarn_StreamFree(h);
  }
}

// Independent checks of the delivered bytes against the files' own data.
TEST(ExternalFiles, StereoDffDeliversItsSoundChunkUnchanged) {
  const std::string path = ExternalDir() + "/dsd2dxd/1kHz_stereo_i_brokenid3.dff";
  const auto file = Slurp(path);
  uint32_t h = Scree_DSD_StreamCreateFile(0, path.c_str(), 0, 0, 0x00200200, 0);
  ASSERT_NE(h, 0u);
  const auto got = scree_test::ReadAll(h, 1 << 20);
  Tarn_StreamFree(h);
  ASSERT_EQ(got.size(), 2116800u);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), file.begin() + 130));
}

TEST(ExternalFiles, MonoDsfIsBitReversedOnBothSides) {
  const std::string path = ExternalDir() + "/dsd2dxd/1kHz_mono_brokenid3.dsf";
  const auto file = Slurp(path);
  uint32_t h = Scree_DSD_StreamCreateFile(0, path.c_str(), 0, 0, 0x00200200, 0);
  ASSERT_NE(h, 0u);
  const auto got = scree_test::ReadAll(h, 1 << 20);
  Tarn_StreamFree(h);
  ASSERT_EQ(got.size(), 3528000u);
  // Mono: the data is one block after another of the one channel.
  for (size_t i = 0; i < got.size() / 2; ++i) {
    ASSERT_EQ(got[2 * i], scree::kBitReverse[file[92 + i]]) << i;
    ASSERT_EQ(got[2 * i + 1], got[2 * i]) << i;
  }
}

}  // namespace
