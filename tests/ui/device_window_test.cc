#include "ui/device_window.h"

#include <gtest/gtest.h>

#include "tests/engine/fake_engine.h"
#include "ui/palette.h"

namespace ax {
namespace {

using testing::FakeDevice;
using testing::FakeOutputLibrary;

TEST(DeviceLabelText, ShowsTheThreeLowestRatesAfterTheName) {
  struct Case {
    std::u16string name;
    std::array<uint8_t, 4> rates;
    std::u16string text;
  };
  const std::u16string long_name = std::u16string(59, u'a') + u"bcd";
  const Case cases[] = {
      {u"Virtual DSD output", {1, 1, 1, 1}, u"Virtual DSD output  dsd 2.8/5.6/11.2 MHz"},
      {u"Card", {1, 1, 1, 0}, u"Card  dsd 2.8/5.6/11.2 MHz"},
      {u"Card", {1, 1, 0, 0}, u"Card  dsd 2.8/5.6 MHz"},
      {u"Card", {1, 0, 0, 0}, u"Card  dsd 2.8 MHz"},
      {u"PCM only", {0, 0, 0, 0}, u"PCM only"},
      {u"", {1, 0, 0, 0}, u"  dsd 2.8 MHz"},
      {long_name, {1, 0, 0, 0}, std::u16string(59, u'a') + u"b  dsd 2.8 MHz"},
      // A character outside the basic plane is not cut in half.
      {std::u16string(59, u'a') + u"\U0001F3B5", {0, 0, 0, 0}, std::u16string(59, u'a')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeviceLabelText(DeviceEntry{0, c.name, c.rates}), c.text);
  }
}

TEST(ListDevices, ListsAtMostTwelveEachWithItsProbedRates) {
  std::vector<FakeDevice> devices;
  for (int i = 0; i < 14; ++i)
    devices.push_back({u"d" + std::u16string(1, u'a' + i), true, true, i % 5});
  FakeOutputLibrary fake(devices);
  std::vector<DeviceEntry> listed = ListDevices(fake.entries());
  ASSERT_EQ(listed.size(), 12u);
  EXPECT_EQ(listed[3], (DeviceEntry{3, u"dd", {1, 1, 1, 0}}));
  EXPECT_EQ(listed[11], (DeviceEntry{11, u"dl", {1, 0, 0, 0}}));
  EXPECT_FALSE(fake.device_open());
}

class DeviceWindowModelTest : public ::testing::Test {
 protected:
  // Labels at y = 60, 92, 124: a DSD device, one without DSD, another DSD device.
  DeviceWindowModel model_{{DeviceEntry{0, u"A", {1, 1, 1, 1}}, DeviceEntry{1, u"B", {}},
                            DeviceEntry{2, u"C", {1, 0, 0, 0}}}};
  static constexpr int kOnA = 70, kOnB = 100, kOnC = 130, kLabelX = 30;
};

TEST_F(DeviceWindowModelTest, LabelsStartInTheirColoursAndPlaces) {
  ASSERT_EQ(model_.labels().size(), 3u);
  EXPECT_EQ(model_.labels()[0].colour, kPalette.dialog_text);
  EXPECT_EQ(model_.labels()[1].colour, kPalette.unsupported_device);
  EXPECT_EQ(model_.labels()[2].rect, (UiRect{20, 124, 360, 22}));
}

TEST_F(DeviceWindowModelTest, HoverMovesFromLabelToLabelAndSkipsUnsupportedOnes) {
  EXPECT_EQ(model_.OnMouseMove(kLabelX, kOnA), std::vector<size_t>{0});
  EXPECT_EQ(model_.labels()[0].colour, kPalette.dialog_hover);
  EXPECT_EQ(model_.OnMouseMove(kLabelX, kOnB), std::vector<size_t>{0});  // B never lights
  EXPECT_EQ(model_.labels()[1].colour, kPalette.unsupported_device);
  model_.OnMouseMove(kLabelX, kOnA);
  EXPECT_EQ(model_.OnMouseMove(kLabelX, kOnC), (std::vector<size_t>{0, 2}));
  EXPECT_EQ(model_.labels()[0].colour, kPalette.dialog_text);
  EXPECT_EQ(model_.labels()[2].colour, kPalette.dialog_hover);
  // Outside the window nothing changes, so the hover stays.
  EXPECT_EQ(model_.OnMouseMove(-5, kOnC), std::vector<size_t>{});
  EXPECT_EQ(model_.labels()[2].colour, kPalette.dialog_hover);
}

TEST_F(DeviceWindowModelTest, PressesChooseADsdDeviceOrClose) {
  model_.OnLeftPress(kLabelX, kOnB);  // no DSD: nothing
  EXPECT_EQ(model_.outcome(), DeviceWindowModel::Outcome::kOpen);
  model_.OnLeftPress(kLabelX, 300);  // empty space: nothing
  EXPECT_EQ(model_.outcome(), DeviceWindowModel::Outcome::kOpen);
  model_.OnLeftPress(kLabelX, kOnC);
  EXPECT_EQ(model_.outcome(), DeviceWindowModel::Outcome::kChosen);
  EXPECT_EQ(model_.chosen(), (DeviceEntry{2, u"C", {1, 0, 0, 0}}));

  DeviceWindowModel closing({});
  closing.OnLeftPress(430, 20);  // the close mark
  EXPECT_EQ(closing.outcome(), DeviceWindowModel::Outcome::kClosed);
}

TEST_F(DeviceWindowModelTest, EscapeClosesOnlyWithTheCursorInsideTheWindow) {
  model_.OnEscape(460, 100);
  EXPECT_EQ(model_.outcome(), DeviceWindowModel::Outcome::kOpen);
  model_.OnEscape(459, 559);
  EXPECT_EQ(model_.outcome(), DeviceWindowModel::Outcome::kClosed);
}

}  // namespace
}  // namespace ax
