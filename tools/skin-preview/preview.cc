// Draws the whole look of the player on one picture: the main window during playback (rate,
// title, time line with its dots, a page of the playlist with the current row, chevrons, the
// total), and beside it every transport button in its normal, hover and state colours and the
// close mark in its three states. Usage: skin-preview OUT.png [SKIN.png OVERLAY.png]
#include <cstdio>
#include <string>

#include "assets/pictures.h"
#include "platform/canvas/canvas.h"
#include "platform/font.h"
#include "platform/picture.h"

namespace {

using canvas::Bitmap;
using canvas::Canvas;
using canvas::Color;
using canvas::Rect;
using canvas::Rgb;

constexpr Color kText = Rgb(0xC1CED1), kCurrentRow = Rgb(0xDCECF0), kCloseHover = Rgb(0xA2C2C6),
                kCloseNormal = Rgb(0x92A4A8), kCaption = Rgb(0x7D8087),
                kCaptionHover = Rgb(0x8D9097), kPlaying = Rgb(0xA2A6C8), kPaused = Rgb(0xA69C46),
                kClosePressed = Rgb(0xC28286);

struct Button {
  const char* caption;
  Rect rect;
  int caption_x;
  Color state;  // PLAY while playing, PAUSE while paused; 0 for none
};
const Button kButtons[] = {
    {"PLAY", {10, 700, 64, 26}, 14, kPlaying}, {"PAUSE", {10, 736, 64, 26}, 14, kPaused},
    {"STOP", {10, 772, 64, 26}, 14, 0},        {"NEXT", {82, 772, 54, 26}, 6, 0},
    {"OPEN", {412, 772, 62, 26}, 4, 0},        {"JOIN", {350, 772, 52, 26}, 6, 0}};

// A surface drawn at `at` on `out`: its skin background, then what `draw` puts on it.
template <typename F>
void Surface(Bitmap& out, const Bitmap& skin, Rect region, int at_x, int at_y, F draw) {
  Canvas c(out, {at_x, at_y, region.w, region.h});
  c.Copy(0, 0, skin, region);
  draw(c);
}

void CloseMark(Canvas& c, Color col) {
  const int star[][4] = {{6, 6, 12, 10},   {12, 10, 18, 6}, {18, 6, 14, 12}, {14, 12, 18, 18},
                         {18, 18, 12, 14}, {12, 14, 6, 18}, {6, 18, 10, 12}, {10, 12, 6, 6}};
  for (auto& l : star) c.Line(l[0], l[1], l[2], l[3], col);
  c.FloodFill(11, 11, col, col);
  c.Line(6, 6, 18, 18, col);
  c.Line(6, 18, 18, 6, col);
}

void Chevrons(Canvas& c, bool up) {
  const int apexes[2] = {up ? 9 : 17, up ? 17 : 25};
  for (int apex_y : apexes) {
    int end_y = up ? apex_y + 6 : apex_y - 6;
    c.Line(17, apex_y, 11, end_y, kText);
    c.Line(17, apex_y, 23, end_y, kText);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: %s OUT.png [SKIN.png OVERLAY.png]\n", argv[0]);
    return 2;
  }
  std::string error;
  auto skin = argc == 4 ? platform::LoadPictureFile(argv[2], &error)
                        : platform::DecodePng(assets::SkinPng(), &error);
  auto overlay = argc == 4 ? platform::LoadPictureFile(argv[3], &error)
                           : platform::DecodePng(assets::OverlayPng(), &error);
  auto light11 = platform::Font::Load("Segoe UI Light", 11, &error);
  auto light12 = platform::Font::Load("Segoe UI Light", 12, &error);
  if (!skin || !overlay || !light11 || !light12) {
    std::fprintf(stderr, "skin-preview: %s\n", error.c_str());
    return 1;
  }
  const int kSideX = 484 + 24;
  Bitmap out(kSideX + 3 * 80 + 40, 820, Rgb(0x4A5055));
  Canvas all(out);
  all.Copy(0, 0, *skin);

  // The main window during playback.
  Surface(out, *skin, {450, 10, 23, 23}, 450, 10, [&](Canvas& c) { CloseMark(c, kCloseNormal); });
  Surface(out, *skin, {120, 10, 68, 26}, 120, 10,
          [&](Canvas& c) { c.Text(4, 2, "5.6 MHz", *light11, kText); });
  Surface(out, *skin, {116, 40, 344, 26}, 116, 40,
          [&](Canvas& c) { c.Text(8, 2, "Aurora over the Still Water", *light11, kText); });
  Surface(out, *skin, {116, 66, 290, 28}, 116, 66, [&](Canvas& c) {
    std::string total = "  7:48";
    int w = light11->TextWidth(total);
    c.Text(2, 4, total, *light11, kText);
    int n = 164 * 131 / 468;  // 2:11 of 7:48
    for (int k = 0; k <= n; k += 8) c.FillCircle(w + 12 + k, 15, 1, kText);
    c.Text(w + 182, 4, "  2:11", *light11, kText);
  });
  const char* titles[] = {"Aurora over the Still Water",
                          "Glass Harbour",
                          "Nocturne in Five Lights",
                          "The Long Field",
                          "Copper Rain",
                          "A Quiet Machine",
                          "Lanterns (live)",
                          "Weathervane",
                          "Salt and Cedar",
                          "Under the Viaduct",
                          "Twelve Bells",
                          "Morning, Slowly"};
  const char* times[] = {"7:48", "5:02", "11:37", "6:15", "4:44", "8:09",
                         "9:58", "3:51", "6:40",  "5:27", "7:03", "12:30"};
  Surface(out, *skin, {20, 130, 444, 300}, 20, 130, [&](Canvas& c) {
    for (int r = 0; r < 12; ++r) {
      Color col = r == 0 ? kCurrentRow : kText;
      c.Text(4, r * 25 + 2, titles[r], *light11, col);
      c.Text(440 - light11->TextWidth(times[r]), r * 25 + 2, times[r], *light11, col);
    }
    c.Blit(0, 0, *overlay);
  });
  Surface(out, *skin, {434, 94, 36, 36}, 434, 94, [&](Canvas& c) { Chevrons(c, true); });
  Surface(out, *skin, {434, 438, 36, 36}, 434, 438, [&](Canvas& c) { Chevrons(c, false); });
  Surface(out, *skin, {392, 520, 68, 22}, 392, 520, [&](Canvas& c) {
    std::string text = "1:28:44";
    c.Text(68 - light11->TextWidth(text), 2, text, *light11, kText);
  });
  for (const Button& b : kButtons) {
    Color col = b.state == kPlaying ? kPlaying : kCaption;  // a run is under way
    Surface(out, *skin, b.rect, b.rect.x, b.rect.y,
            [&](Canvas& c) { c.Text(b.caption_x, 1, b.caption, *light12, col); });
  }

  // Beside it: every button in its normal, hover and state colours; the close mark's states.
  const char* heads[] = {"normal", "hover", "state"};
  for (int col = 0; col < 3; ++col) {
    all.Text(kSideX + col * 80, 14, heads[col], *light11, kText);
  }
  int y = 44;
  for (const Button& b : kButtons) {
    Color colours[3] = {kCaption, kCaptionHover, b.state};
    for (int col = 0; col < 3; ++col) {
      if (colours[col] == 0) continue;
      Surface(out, *skin, b.rect, kSideX + col * 80, y,
              [&](Canvas& c) { c.Text(b.caption_x, 1, b.caption, *light12, colours[col]); });
    }
    y += 40;
  }
  const Color close_states[3] = {kCloseNormal, kCloseHover, kClosePressed};
  for (int col = 0; col < 3; ++col) {
    Surface(out, *skin, {450, 10, 23, 23}, kSideX + col * 80, y,
            [&](Canvas& c) { CloseMark(c, close_states[col]); });
  }
  y += 40;
  // The page arrows without and with chevrons, and the progress dots enlarged.
  Surface(out, *skin, {434, 94, 36, 36}, kSideX, y, [](Canvas&) {});
  Surface(out, *skin, {434, 94, 36, 36}, kSideX + 80, y, [&](Canvas& c) { Chevrons(c, true); });
  Surface(out, *skin, {434, 438, 36, 36}, kSideX + 160, y, [&](Canvas& c) { Chevrons(c, false); });
  y += 56;
  Bitmap dots(40, 10, Rgb(0x14171B));
  Canvas dc(dots);
  for (int k = 0; k <= 24; k += 8) dc.FillCircle(4 + k, 5, 1, kText);
  all.Copy(kSideX, y, canvas::ResizeSmooth(dots, 160, 40));

  if (!platform::WritePng(out, argv[1], &error)) {
    std::fprintf(stderr, "skin-preview: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
