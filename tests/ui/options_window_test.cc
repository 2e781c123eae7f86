#include "ui/options_window.h"

#include <gtest/gtest.h>

#include "ui/palette.h"

namespace ax {
namespace {

constexpr int kToggleX = 170, kToggleY = 130, kStartX = 210, kStartY = 390;

TEST(OptionsWindowModel, EachToggleClickFlipsTextAndMode) {
  OptionsWindowModel model(0);
  EXPECT_STREQ(model.toggle_text(), "View cover:  Off");
  EXPECT_TRUE(model.OnLeftPress(kToggleX, kToggleY));
  EXPECT_EQ(model.cover_mode(), 1);
  EXPECT_STREQ(model.toggle_text(), "View cover:  On");
  EXPECT_TRUE(model.OnLeftPress(kToggleX, kToggleY));
  EXPECT_EQ(model.cover_mode(), 0);
  EXPECT_EQ(model.outcome(), OptionsWindowModel::Outcome::kOpen);
  model.OnLeftPress(kStartX, kStartY);
  EXPECT_EQ(model.outcome(), OptionsWindowModel::Outcome::kStarted);
  EXPECT_FALSE(model.OnLeftPress(kToggleX, kToggleY));  // closed: no more changes
  EXPECT_EQ(model.cover_mode(), 0);
}

TEST(OptionsWindowModel, ADamagedModeShowsOffAndDoesNotChange) {
  OptionsWindowModel model(7);
  EXPECT_STREQ(model.toggle_text(), "View cover:  Off");
  EXPECT_FALSE(model.OnLeftPress(kToggleX, kToggleY));
  EXPECT_EQ(model.cover_mode(), 7);
}

TEST(OptionsWindowModel, HoverChangesOnlyOnMovesInsideTheWindow) {
  OptionsWindowModel model(1);
  EXPECT_TRUE(model.OnMouseMove(kToggleX, kToggleY));
  EXPECT_EQ(model.toggle_colour(), kPalette.dialog_hover);
  EXPECT_FALSE(model.OnMouseMove(600, kToggleY));  // a jump out of the window
  EXPECT_EQ(model.toggle_colour(), kPalette.dialog_hover);
  EXPECT_TRUE(model.OnMouseMove(kStartX, kStartY));
  EXPECT_EQ(model.toggle_colour(), kPalette.dialog_text);
  EXPECT_EQ(model.start_colour(), kPalette.dialog_hover);
}

TEST(OptionsWindowModel, EscapeEndsOnlyInsideTheWindow) {
  OptionsWindowModel model(0);
  model.OnEscape(-1, 10);
  EXPECT_EQ(model.outcome(), OptionsWindowModel::Outcome::kOpen);
  model.OnEscape(10, 10);
  EXPECT_EQ(model.outcome(), OptionsWindowModel::Outcome::kClosed);
}

}  // namespace
}  // namespace ax
