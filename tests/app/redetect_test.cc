#include "app/redetect.h"

#include <gtest/gtest.h>

#include "tests/engine/fake_engine.h"

namespace ax {
namespace {

using testing::FakeDevice;
using testing::FakeOutputLibrary;
using Flags3 = std::array<uint8_t, 3>;

TEST(RedetectDevice, FindsTheStoredDeviceOnlyWithTheSameThreeLowestRates) {
  std::vector<FakeDevice> twelve;
  for (int i = 0; i < 12; ++i) twelve.push_back({u"dev" + std::u16string(1, u'a' + i)});
  std::vector<FakeDevice> thirteen = twelve;
  thirteen.push_back({u"late"});

  struct Case {
    const char* what;
    std::vector<FakeDevice> devices;
    std::u16string name;
    Flags3 stored;
    std::optional<DeviceEntry> found;
  };
  const Case cases[] = {
      {"found with equal rates",
       {{u"Other"}, {u"Virtual DSD output", true, true, 3}},
       u"Virtual DSD output",
       {1, 1, 1},
       DeviceEntry{1, u"Virtual DSD output", {1, 1, 1, 0}}},
      {"only the highest rate changed: found, with the new flag",
       {{u"Virtual DSD output", true, true, 4}},
       u"Virtual DSD output",
       {1, 1, 1},
       DeviceEntry{0, u"Virtual DSD output", {1, 1, 1, 1}}},
      {"5.6448 MHz changed", {{u"A", true, true, 1}}, u"A", {1, 1, 0}, std::nullopt},
      {"names compare case-sensitively", {{u"a"}}, u"A", {1, 1, 1}, std::nullopt},
      {"device cannot be opened", {{u"A", false}}, u"A", {0, 0, 0}, std::nullopt},
      {"refuses DSD: all flags 0, equal to stored zeros",
       {{u"A", true, false}},
       u"A",
       {0, 0, 0},
       DeviceEntry{0, u"A", {0, 0, 0, 0}}},
      {"list ends first", {{u"A"}}, u"B", {1, 1, 1}, std::nullopt},
      {"twelfth device is looked at",
       twelve,
       u"devl",
       {1, 1, 1},
       DeviceEntry{11, u"devl", {1, 1, 1, 0}}},
      {"number 12 is never looked at", thirteen, u"late", {1, 1, 1}, std::nullopt},
  };
  for (const Case& c : cases) {
    FakeOutputLibrary fake(c.devices);
    EXPECT_EQ(RedetectDevice(fake.entries(), c.name, c.stored), c.found) << c.what;
    EXPECT_FALSE(fake.device_open()) << c.what;
  }
}

TEST(RedetectDevice, ProbesOnlyTheDeviceWithTheName) {
  FakeOutputLibrary fake({{u"A"}, {u"B"}, {u"C"}});
  RedetectDevice(fake.entries(), u"B", {1, 1, 1});
  EXPECT_EQ(fake.log(), (std::vector<std::string>{"GetDeviceInfo(0)", "GetDeviceInfo(1)", "Init(1)",
                                                  "SetDSD(1)", "CheckRate(2822400)",
                                                  "CheckRate(5644800)", "CheckRate(11289600)",
                                                  "CheckRate(22579200)", "SetDSD(0)", "Free"}));
}

}  // namespace
}  // namespace ax
