// The carried pictures: that they are what the generator draws, and that the art serves the
// layout: the frame in the window colour, button faces at exactly their rectangles, readable
// text on the wells and buttons, the overlay clear over the middle rows.
#include <gtest/gtest.h>

#include <cmath>

#include "assets/art/skin_art.h"
#include "assets/pictures.h"
#include "platform/picture.h"

using namespace skin_art;
using canvas::Bitmap;
using canvas::Color;

namespace {

double Luminance(Color c) {
  auto lin = [](double v) {
    v /= 255;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin((c >> 16) & 0xFF) + 0.7152 * lin((c >> 8) & 0xFF) + 0.0722 * lin(c & 0xFF);
}

double Contrast(Color a, Color b) {
  double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

TEST(Art, CarriedPicturesAreTheGeneratorsOutput) {
  std::string error;
  auto skin = platform::DecodePng(assets::SkinPng(), &error);
  ASSERT_TRUE(skin) << error;
  auto overlay = platform::DecodePng(assets::OverlayPng(), &error);
  ASSERT_TRUE(overlay) << error;
  EXPECT_EQ(skin->width(), 484);
  EXPECT_EQ(skin->height(), 820);
  EXPECT_EQ(overlay->width(), 444);
  EXPECT_EQ(overlay->height(), 400);
  // When this fails, the art code changed without a new picture: build target regenerate_art.
  EXPECT_TRUE(*skin == DrawSkin());
  EXPECT_TRUE(*overlay == DrawOverlay());
}

TEST(Art, FrameAndFacesFollowTheLayout) {
  Bitmap skin = DrawSkin();
  for (int y = 0; y < skin.height(); ++y) {
    for (int x = 0; x < skin.width(); ++x) {
      ASSERT_EQ(canvas::AlphaOf(skin.Get(x, y)), 255) << x << "," << y;
      bool frame = x < 10 || y < 10 || x >= 474 || y >= 810;
      bool beside_close = x == 473 && y >= 10 && y < 33;
      if (frame || beside_close) {
        ASSERT_EQ(skin.Get(x, y), colours::kWindow) << x << "," << y;
      }
    }
  }
  // Each button's face fills its rectangle: its outline runs along the rectangle's edges,
  // and the pixel just outside is something else (panel or frame).
  for (const Place& p : kButtons) {
    const canvas::Rect& r = p.rect;
    int mx = r.x + r.w / 2, my = r.y + r.h / 2;
    EXPECT_EQ(skin.Get(r.x, my), colours::kFaceEdge) << p.id;
    EXPECT_EQ(skin.Get(r.x + r.w - 1, my), colours::kFaceEdge) << p.id;
    EXPECT_EQ(skin.Get(mx, r.y), colours::kFaceEdge) << p.id;
    EXPECT_EQ(skin.Get(mx, r.y + r.h - 1), colours::kFaceEdge) << p.id;
    for (auto [x, y] : {std::pair{r.x - 1, my}, {r.x + r.w, my}, {mx, r.y - 1}, {mx, r.y + r.h}}) {
      EXPECT_NE(skin.Get(x, y), colours::kFaceEdge) << p.id << " at " << x << "," << y;
    }
    // Captions (normal colour) stay readable on the face.
    EXPECT_GE(Contrast(canvas::Rgb(0x7D8087), skin.Get(mx, my)), 3.0) << p.id;
  }
  // The text colour on the list, the title and the time lines is easy to read.
  for (auto [x, y] : {std::pair{200, 140}, {200, 170}, {300, 50}, {300, 80}, {150, 20}}) {
    EXPECT_GE(Contrast(colours::kText, skin.Get(x, y)), 7.0) << x << "," << y;
  }
}

TEST(Art, OverlaySoftensOnlyTheEdgeRows) {
  Bitmap overlay = DrawOverlay();
  auto alpha = [&](int y) { return canvas::AlphaOf(overlay.Get(222, y)); };
  EXPECT_GT(alpha(0), alpha(10));
  EXPECT_GT(alpha(10), 0);
  for (int y = 25; y < 275; ++y) ASSERT_EQ(alpha(y), 0) << y;
  EXPECT_GT(alpha(299), alpha(290));
  EXPECT_GT(alpha(290), 0);
  for (int x = 0; x < overlay.width(); ++x) ASSERT_EQ(overlay.Get(x, 0), overlay.Get(0, 0));
}
