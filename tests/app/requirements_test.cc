#include "app/requirements.h"
#include "app/startup.h"

#include <gtest/gtest.h>

namespace ax {
namespace {

constexpr SystemFacts kEnough{2, 1, 3'984'588'800, 2'726'297'600};

TEST(CheckRequirements, ThresholdsAreInclusiveAndProcessorsAreCheckedFirst) {
  const std::optional<Message> pass;
  const std::optional<Message> cpu =
      Message{"System", "Slow system #B (CPU count)", MessageIcon::kError, true};
  const std::optional<Message> memory =
      Message{"System", "Slow system #C (memory status)", MessageIcon::kError, true};
  struct Case {
    const char* what;
    SystemFacts facts;
    std::optional<Message> expected;
  };
  const Case cases[] = {
      {"all exactly at the thresholds", kEnough, pass},
      {"one system processor", {1, 1, kEnough.total_memory, kEnough.available_memory}, cpu},
      {"no processor for the process", {2, 0, kEnough.total_memory, kEnough.available_memory}, cpu},
      {"64 processors", {64, 64, kEnough.total_memory, kEnough.available_memory}, pass},
      {"total one byte short", {2, 1, 3'984'588'799, kEnough.available_memory}, memory},
      {"available one byte short", {2, 1, kEnough.total_memory, 2'726'297'599}, memory},
      {"memory unknown", {2, 1, 0, 0}, memory},
      {"affinity unknown and memory unknown: only #B", {1, 1, 0, 0}, cpu},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckRequirements(c.facts), c.expected) << c.what;
}

TEST(InstanceGuard, PassesOnlyWhenExactlyOneCopyIsListed) {
  using Names = std::vector<std::string>;
  const std::string dev = std::string("player-") + kDevelopmentBuildMarker + "-e2e";
  struct Case {
    Names names;
    bool allows;
  };
  const Case cases[] = {
      {{"bash", "Ardent-X", "Xvfb"}, true},
      {{"Ardent X"}, true},
      {{"Ardent Reverie"}, true},
      {{"bash", dev}, true},
      {{"Ardent-X", "Ardent X"}, false},  // another copy under another product name
      {{"Ardent-X", dev}, false},
      {{"Ardent-X", "Ardent-X"}, false},
      {{"ardent-x", "Ardent-X.exe", "Ardent-X "}, false},  // whole names, case-sensitive
      {{"bash"}, false},                                   // running under another name
      {{}, false},                                         // the list could not be read
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InstanceGuardAllows(c.names), c.allows) << ::testing::PrintToString(c.names);
  }
}

}  // namespace
}  // namespace ax

namespace ax {
namespace {

TEST(PlaybackBufferSize, SixTrackAreasUnlessTheMemoryIsUnknown) {
  EXPECT_EQ(PlaybackBufferSize(16'000'000'000), 553'528'320);
  EXPECT_EQ(PlaybackBufferSize(16'777'216), 553'528'320);
  EXPECT_EQ(PlaybackBufferSize(16'777'215), 379'668'480);
  EXPECT_EQ(PlaybackBufferSize(0), 379'668'480);
}

TEST(AllocateZeroedBlock, GivesZeroBytesOfTheAskedSize) {
  ZeroedBlock block = AllocateZeroedBlock(553'528'320);
  ASSERT_NE(block.data, nullptr);
  EXPECT_EQ(block.size, 553'528'320u);
  // Reading a few pages only: the rest is never touched, so it costs no memory.
  for (size_t offset : {size_t{0}, size_t{4096 * 1000}, block.size - 1})
    EXPECT_EQ(block.data.get()[offset], 0) << offset;
}

}  // namespace
}  // namespace ax
