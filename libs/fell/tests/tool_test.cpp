// The device tool plays real DSF and DFF files through the virtual device: what reaches the
// device is exactly the file's playback stream, as the decoder delivers it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "libs/fell/tests/support.h"
#include "libs/scree/scree.h"
#include "libs/tarn/tarn.h"

namespace {

std::vector<uint8_t> StreamBytes(const std::string& path) {
  std::vector<uint8_t> out;
  const uint32_t h = Scree_DSD_StreamCreateFile(0, path.c_str(), 0, 0, 0x00200200, 0);
  if (!h) return out;
  std::vector<uint8_t> chunk(1 << 16);
  for (;;) {
    const int32_t n = Tarn_ChannelGetData(h, chunk.data(), static_cast<uint32_t>(chunk.size()));
    if (n <= 0) break;
    out.insert(out.end(), chunk.begin(), chunk.begin() + n);
  }
  Tarn_StreamFree(h);
  return out;
}

TEST(FellTool, PlaysAFileThroughTheVirtualDeviceUnchanged) {
  const char* data = std::getenv("AX_EXTERNAL_TESTDATA");
  ASSERT_NE(data, nullptr);
  std::filesystem::create_directories(FELL_TEST_TMP);
  for (const char* leaf : {"music-metadata/DSD64.dff", "dhowden-tag/sample.dsf"}) {
    SCOPED_TRACE(leaf);
    const std::string file = std::string(data) + "/" + leaf;
    const std::vector<uint8_t> want = StreamBytes(file);
    ASSERT_FALSE(want.empty());
    const std::string cap = std::string(FELL_TEST_TMP) + "/tool.cap";
    fell_test::TruncateFile(cap);
    setenv("FELL_VIRTUAL_SPEED", "20", 1);
    setenv("FELL_VIRTUAL_CAPTURE", cap.c_str(), 1);
    const std::string cmd = std::string(FELL_TOOL) + " play 0 '" + file + "' > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_TRUE(fell_test::ReadFile(cap) == want);
  }
}

}  // namespace
