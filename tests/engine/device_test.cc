#include "engine/device.h"

#include <gtest/gtest.h>

#include "tests/engine/fake_engine.h"

namespace ax {
namespace {

using testing::FakeDevice;
using testing::FakeOutputLibrary;
using Log = std::vector<std::string>;

TEST(ProbeDeviceRates, ChecksRatesLowestFirstUntilTheFirstRefusalAndAlwaysFreesTheDevice) {
  struct Case {
    FakeDevice device;
    bool opened;
    std::array<uint8_t, 4> rates;
    Log log;
  };
  const Case cases[] = {
      {{u"all", true, true, 4},
       true,
       {1, 1, 1, 1},
       {"Init(0)", "SetDSD(1)", "CheckRate(2822400)", "CheckRate(5644800)", "CheckRate(11289600)",
        "CheckRate(22579200)", "SetDSD(0)", "Free"}},
      {{u"two", true, true, 2},
       true,
       {1, 1, 0, 0},
       {"Init(0)", "SetDSD(1)", "CheckRate(2822400)", "CheckRate(5644800)", "CheckRate(11289600)",
        "SetDSD(0)", "Free"}},
      {{u"pcm only", true, false, 4}, true, {0, 0, 0, 0}, {"Init(0)", "SetDSD(1)", "Free"}},
      {{u"broken", false, true, 4}, false, {0, 0, 0, 0}, {"Init(0)", "Free"}},
  };
  for (const Case& c : cases) {
    FakeOutputLibrary fake({c.device});
    RateProbe probe = ProbeDeviceRates(fake.entries(), 0);
    EXPECT_EQ(probe.opened, c.opened) << c.log.size();
    EXPECT_EQ(probe.rates, c.rates);
    EXPECT_EQ(fake.log(), c.log);
    EXPECT_FALSE(fake.device_open());
  }
}

TEST(QueryDeviceName, GivesTheWholeNameAndNothingPastTheLastDevice) {
  const std::u16string long_name(80, u'x');
  FakeOutputLibrary fake({{long_name}});
  EXPECT_EQ(QueryDeviceName(fake.entries(), 0), long_name);
  EXPECT_EQ(QueryDeviceName(fake.entries(), 1), std::nullopt);
  EXPECT_EQ(QueryDeviceName(EngineEntries{}, 0), std::nullopt);  // unbound: no devices
}

}  // namespace
}  // namespace ax
