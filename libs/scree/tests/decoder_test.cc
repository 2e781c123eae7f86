// The decoder and the stream engine through their C interface: generated files at every rate
// and layout come back byte for byte, lengths and time relations hold, failures keep codes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <complex>
#include <cstring>

#include "libs/scree/scree.h"
#include "libs/scree/tests/test_files.h"
#include "libs/tarn/tarn.h"
#include "tools/dsdgen/dsdgen.h"

namespace {

using dsdgen::Container;
using scree_test::ReadAll;
using scree_test::TempDir;

constexpr uint32_t kRawFlags = 0x80200210 & ~0x80000000u;  // what the player asks, UTF-8 path
constexpr uint32_t kProbeFlags = 0x00200000;

uint32_t OpenRaw(const std::string& path) {
  return Scree_DSD_StreamCreateFile(0, path.c_str(), 0, 0, kRawFlags, 0);
}

std::string Describe(const dsdgen::FileSpec& s) {
  return std::string(s.container == Container::kDsf ? "DSF" : "DFF") + " rate " +
         std::to_string(s.rate) + " ch " + std::to_string(s.channels) + " samples " +
         std::to_string(s.samples) + " bits " + std::to_string(s.dsf_bits);
}

TEST(Decoder, GeneratedFilesComeBackByteForByte) {
  TempDir dir;
  const uint64_t block_samples = 4096 * 8;
  const uint64_t counts[] = {0,
                             7,
                             8,
                             9,
                             block_samples - 8,
                             block_samples,
                             block_samples + 3,
                             2 * block_samples + 8 * 13 + 5};
  int checked = 0;
  for (Container container : {Container::kDsf, Container::kDff}) {
    for (uint32_t rate : dsdgen::kRates) {
      for (uint32_t channels : {1u, 2u, 3u, 6u}) {
        for (int bits : {1, 8}) {
          if (container == Container::kDff && bits == 8) continue;
          for (uint64_t samples : counts) {
            dsdgen::FileSpec desc;
            desc.container = container;
            desc.rate = rate;
            desc.channels = channels;
            desc.dsf_bits = bits;
            desc.samples = samples;
            desc.seed = static_cast<uint32_t>(++checked);
            desc.id3 = samples % 2 == 1;
            desc.dff_extra_chunks = samples % 2 == 1;
            SCOPED_TRACE(Describe(desc));
            const auto data = dsdgen::ChannelData(desc);
            const auto expected = dsdgen::ExpectedPlayback(desc, data);
            const std::string path = dir.Write("f", dsdgen::MakeFile(desc, data));
            uint32_t h = OpenRaw(path);
            ASSERT_NE(h, 0u) << Tarn_ErrorGetCode();
            EXPECT_EQ(Tarn_ChannelGetLength(h, 0), expected.size());
            float value = 0;
            ASSERT_TRUE(Tarn_ChannelGetAttribute(h, 81921, &value));
            EXPECT_EQ(value, static_cast<float>(rate));
            ASSERT_TRUE(Tarn_ChannelGetAttribute(h, 1, &value));
            EXPECT_EQ(value, 88200.0f);
            // An odd read size exercises reads that start and end inside a byte pair.
            bool failed = false;
            EXPECT_EQ(ReadAll(h, 4099, &failed), expected);
            EXPECT_FALSE(failed);
            EXPECT_EQ(Tarn_ChannelGetData(h, &value, 1), 0) << "the clean end reads 0";
            EXPECT_EQ(Tarn_ErrorGetCode(), 0);
            EXPECT_TRUE(Tarn_StreamFree(h));
          }
        }
      }
    }
  }
}

TEST(Decoder, MeasuringStreamLengthAndSeconds) {
  TempDir dir;
  for (uint32_t rate : dsdgen::kRates) {
    for (uint64_t samples : {uint64_t{0}, uint64_t{31}, uint64_t{rate} * 3 + 12345}) {
      dsdgen::FileSpec desc;
      desc.rate = rate;
      desc.samples = samples;
      const std::string path = dir.Write("m.dsf", dsdgen::MakeFile(desc));
      uint32_t h = Scree_DSD_StreamCreateFile(0, path.c_str(), 0, 0, kProbeFlags, 0);
      ASSERT_NE(h, 0u);
      const uint64_t frames = samples * 88200 / rate;
      const uint64_t length = Tarn_ChannelGetLength(h, 0);
      EXPECT_EQ(length, frames * 4) << rate << " " << samples;
      EXPECT_DOUBLE_EQ(Tarn_ChannelBytes2Seconds(h, length), length / 352800.0);
      float value = 0;
      ASSERT_TRUE(Tarn_ChannelGetAttribute(h, 81921, &value));
      EXPECT_EQ(value, static_cast<float>(rate));
      ASSERT_TRUE(Tarn_ChannelGetAttribute(h, 1, &value));
      EXPECT_EQ(value, 88200.0f);
      Tarn_StreamFree(h);
    }
  }
}

// Amplitude and phase of `freq` in `x` (least squares over whole periods), and what is left.
struct ToneFit {
  double amplitude, residual_rms;
};
ToneFit FitTone(const std::vector<double>& x, double freq, double rate) {
  std::complex<double> acc = 0;
  for (size_t i = 0; i < x.size(); ++i) acc += x[i] * std::polar(1.0, -2 * M_PI * freq * i / rate);
  acc *= 2.0 / x.size();
  double res = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    double fit = std::abs(acc) * std::cos(2 * M_PI * freq * i / rate + std::arg(acc));
    res += (x[i] - fit) * (x[i] - fit);
  }
  return {std::abs(acc), std::sqrt(res / x.size())};
}

TEST(Decoder, MeasuringStreamTurnsAToneBackIntoTheTone) {
  TempDir dir;
  for (uint32_t rate : {dsdgen::kDsd64, dsdgen::kDsd512}) {
    dsdgen::FileSpec desc;
    desc.rate = rate;
    desc.channels = 2;
    desc.payload = dsdgen::Payload::kSine;
    desc.frequency = 1000;
    desc.amplitude = 0.5;
    desc.samples = rate / 10;  // 100 ms
    desc.container = rate == dsdgen::kDsd64 ? Container::kDsf : Container::kDff;
    const std::string path = dir.Write("tone", dsdgen::MakeFile(desc));
    uint32_t h = Scree_DSD_StreamCreateFile(0, path.c_str(), 0, 0, kProbeFlags, 0);
    ASSERT_NE(h, 0u);
    std::vector<uint8_t> bytes = ReadAll(h, 10000);
    ASSERT_EQ(bytes.size(), Tarn_ChannelGetLength(h, 0));
    Tarn_StreamFree(h);
    // Skip the first and last 10 ms (filter run-in), then fit 80 whole periods per channel.
    for (int ch = 0; ch < 2; ++ch) {
      std::vector<double> x;
      for (size_t f = 882; f < 882 + 7056; ++f) {
        int16_t s;
        std::memcpy(&s, &bytes[f * 4 + ch * 2], 2);
        x.push_back(s / 32767.0);
      }
      ToneFit fit = FitTone(x, 1000, 88200);
      SCOPED_TRACE("rate " + std::to_string(rate) + " channel " + std::to_string(ch));
      EXPECT_NEAR(20 * std::log10(fit.amplitude / 0.5), 0.0, 0.2);  // level within 0.2 dB
      EXPECT_LT(20 * std::log10(fit.residual_rms / (0.5 / std::sqrt(2))), -50.0);
    }
  }
}

TEST(Decoder, MemoryAndPartOfAFileAndUtf16Paths) {
  TempDir dir;
  dsdgen::FileSpec desc;
  desc.container = Container::kDff;
  desc.samples = 5000 * 8;
  const auto data = dsdgen::ChannelData(desc);
  const auto file = dsdgen::MakeFile(desc, data);
  const auto expected = dsdgen::ExpectedPlayback(desc, data);

  uint32_t h = Scree_DSD_StreamCreateFile(1, file.data(), 0, file.size(), kRawFlags, 0);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(ReadAll(h, 1 << 20), expected);
  Tarn_StreamFree(h);

  // The same file inside a bigger one, selected by offset and length.
  dsdgen::Bytes outer(1000 + file.size() + 500, 0xCD);
  std::fill_n(outer.begin(), 1000, 0xAB);
  std::copy(file.begin(), file.end(), outer.begin() + 1000);
  const std::string outer_path = dir.Write("outer.bin", outer);
  h = Scree_DSD_StreamCreateFile(0, outer_path.c_str(), 1000, file.size(), kRawFlags, 0);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(ReadAll(h, 777), expected);
  Tarn_StreamFree(h);

  // A UTF-16 path with characters outside ASCII and outside the basic plane.
  const std::string name = "Gr\xC3\xBC\xC3\x9F \xF0\x9F\x8E\xB5.dff";
  const std::string path = dir.Write(name, file);
  std::u16string wide = u"/Gr\u00FC\u00DF \U0001F3B5.dff";
  wide = std::u16string(dir.path().begin(), dir.path().end()) + wide;
  h = Scree_DSD_StreamCreateFile(0, wide.c_str(), 0, 0, 0x80200210, 0);
  ASSERT_NE(h, 0u) << Tarn_ErrorGetCode();
  EXPECT_EQ(Tarn_ChannelGetLength(h, 0), expected.size());
  Tarn_StreamFree(h);

  // The engine's own opener reaches the decoder.
  h = Tarn_StreamCreateFile(0, path.c_str(), 0, 0, SCREE_RAW);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(ReadAll(h, 4096), expected);
  Tarn_StreamFree(h);
}

TEST(Decoder, FailuresKeepTheirCodes) {
  TempDir dir;
  EXPECT_EQ(OpenRaw(dir.path() + "/missing.dsf"), 0u);
  EXPECT_EQ(Tarn_ErrorGetCode(), 2);
  EXPECT_EQ(OpenRaw(dir.path()), 0u) << "a folder";
  EXPECT_EQ(Tarn_ErrorGetCode(), 2);
  const std::string text = dir.Write("text.dsf", dsdgen::Bytes{'h', 'e', 'l', 'l', 'o'});
  EXPECT_EQ(OpenRaw(text), 0u);
  EXPECT_EQ(Tarn_ErrorGetCode(), 41);
  if (geteuid() != 0) {  // root reads anything
    const std::string locked = dir.Write("locked.dsf", dsdgen::MakeFile(dsdgen::FileSpec{}));
    chmod(locked.c_str(), 0);
    EXPECT_EQ(OpenRaw(locked), 0u);
    EXPECT_EQ(Tarn_ErrorGetCode(), 2);
  }

  // A handle that died answers "invalid handle" everywhere, and stays dead.
  dsdgen::FileSpec desc;
  desc.samples = 8 * 100000;
  const std::string path = dir.Write("ok.dsf", dsdgen::MakeFile(desc));
  uint32_t h = OpenRaw(path);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(Tarn_StreamFree(h));
  uint8_t buf[16];
  EXPECT_EQ(Tarn_ChannelGetData(h, buf, sizeof buf), -1);
  EXPECT_EQ(Tarn_ErrorGetCode(), 5);
  EXPECT_EQ(Tarn_ChannelGetLength(h, 0), ~0ull);
  EXPECT_EQ(Tarn_ErrorGetCode(), 5);
  EXPECT_FALSE(Tarn_StreamFree(h));
  uint32_t h2 = OpenRaw(path);
  EXPECT_NE(h2, h) << "handles are never reused";

  // The file shrinks under an open stream: the read fails instead of delivering garbage.
  std::vector<uint8_t> first(1000);
  EXPECT_EQ(Tarn_ChannelGetData(h2, first.data(), 1000), 1000);
  ASSERT_EQ(truncate(path.c_str(), 4096), 0);
  std::vector<uint8_t> rest(1 << 20);
  EXPECT_EQ(Tarn_ChannelGetData(h2, rest.data(), static_cast<uint32_t>(rest.size())), -1);
  EXPECT_NE(Tarn_ErrorGetCode(), 0);
  Tarn_StreamFree(h2);
}

TEST(Engine, InitConfigAndPositions) {
  Tarn_Free();
  EXPECT_TRUE(Tarn_Init(0, 44100, 4096, nullptr, nullptr));
  EXPECT_FALSE(Tarn_Init(0, 44100, 4096, nullptr, nullptr));
  EXPECT_EQ(Tarn_ErrorGetCode(), 14);
  EXPECT_TRUE(Tarn_SetConfig(42, 1));
  EXPECT_TRUE(Tarn_SetConfig(1, 0));
  EXPECT_TRUE(Tarn_SetConfig(67584, 0));
  EXPECT_FALSE(Tarn_SetConfig(12345, 0));
  EXPECT_EQ(Tarn_ErrorGetCode(), 20);
  EXPECT_TRUE(Tarn_SetDevice(0));

  TempDir dir;
  dsdgen::FileSpec desc;
  desc.samples = 8 * 20000;
  const auto data = dsdgen::ChannelData(desc);
  const auto expected = dsdgen::ExpectedPlayback(desc, data);
  const std::string path = dir.Write("p.dsf", dsdgen::MakeFile(desc, data));
  uint32_t h = OpenRaw(path);
  ASSERT_NE(h, 0u);
  EXPECT_TRUE(Tarn_ChannelSetDevice(h, 0));
  uint8_t buf[100];
  ASSERT_EQ(Tarn_ChannelGetData(h, buf, 100), 100);
  EXPECT_EQ(Tarn_ChannelGetPosition(h, 0), 100u);
  EXPECT_EQ(Tarn_StreamGetFilePosition(h, 0), 92u + 50);
  EXPECT_TRUE(Tarn_ChannelSetPosition(h, 20001, 0));  // rounds down to a whole pair
  EXPECT_EQ(Tarn_ChannelGetPosition(h, 0), 20000u);
  ASSERT_EQ(Tarn_ChannelGetData(h, buf, 100), 100);
  EXPECT_EQ(0, std::memcmp(buf, expected.data() + 20000, 100));
  EXPECT_TRUE(Tarn_ChannelUpdate(h, 0));
  EXPECT_TRUE(Tarn_ChannelStop(h));
  EXPECT_EQ(Tarn_ChannelGetData(h, buf, 100), -1) << "a stopped stream delivers nothing";
  // Freeing the engine frees its streams.
  EXPECT_TRUE(Tarn_Free());
  EXPECT_EQ(Tarn_ChannelGetLength(h, 0), ~0ull);
  EXPECT_EQ(Tarn_ErrorGetCode(), 5);
}

}  // namespace
