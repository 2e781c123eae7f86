// The engine is used by the main thread and the reading thread at once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "libs/scree/scree.h"
#include "libs/scree/tests/test_files.h"
#include "libs/tarn/tarn.h"

namespace {

TEST(Threads, TwoThreadsReadTwoStreamsAtOnce) {
  scree_test::TempDir dir;
  dsdgen::FileSpec a, b;
  a.samples = b.samples = 8 * 300000;
  a.seed = 1;
  b.seed = 2;
  b.container = dsdgen::Container::kDff;
  b.rate = dsdgen::kDsd256;
  const auto da = dsdgen::ChannelData(a), db = dsdgen::ChannelData(b);
  const std::string pa = dir.Write("a.dsf", dsdgen::MakeFile(a, da));
  const std::string pb = dir.Write("b.dff", dsdgen::MakeFile(b, db));
  std::vector<uint8_t> got_a, got_b;
  std::thread ta([&] {
    uint32_t h = Scree_DSD_StreamCreateFile(0, pa.c_str(), 0, 0, 0x00200200, 0);
    got_a = scree_test::ReadAll(h, 3001);
    Tarn_StreamFree(h);
  });
  std::thread tb([&] {
    uint32_t h = Scree_DSD_StreamCreateFile(0, pb.c_str(), 0, 0, 0x00200200, 0);
    got_b = scree_test::ReadAll(h, 4096);
    Tarn_StreamFree(h);
  });
  ta.join();
  tb.join();
  EXPECT_EQ(got_a, dsdgen::ExpectedPlayback(a, da));
  EXPECT_EQ(got_b, dsdgen::ExpectedPlayback(b, db));
}

TEST(Threads, ErrorCodesArePerThreadAndAFreeDuringAReadIsSafe) {
  scree_test::TempDir dir;
  dsdgen::FileSpec desc;
  desc.samples = 8 * 2000000;
  const std::string path = dir.Write("big.dsf", dsdgen::MakeFile(desc));
  uint32_t h = Scree_DSD_StreamCreateFile(0, path.c_str(), 0, 0, 0x00200200, 0);
  ASSERT_NE(h, 0u);

  // This thread fails; another thread's successful reads do not clear its code.
  EXPECT_EQ(Scree_DSD_StreamCreateFile(0, "/nonexistent/x.dsf", 0, 0, 0x00200200, 0), 0u);
  std::atomic<int32_t> reader_code{-100};
  std::atomic<int> reads{0};
  std::thread reader([&] {
    std::vector<uint8_t> buf(65536);
    int32_t got;
    while ((got = Tarn_ChannelGetData(h, buf.data(), 65536)) > 0) {
      reads.fetch_add(1);
      reader_code.store(Tarn_ErrorGetCode());
    }
  });
  while (reads.load() < 3) std::this_thread::yield();
  EXPECT_EQ(Tarn_ErrorGetCode(), 2);
  // Freed while the other thread reads: that thread sees the handle die, nothing crashes.
  EXPECT_TRUE(Tarn_StreamFree(h));
  reader.join();
  EXPECT_EQ(reader_code.load(), 0);
  EXPECT_EQ(Tarn_ErrorGetCode(), 0) << "StreamFree succeeded on this thread";
}

}  // namespace
