// The art: a dark instrument panel inside the blue-grey window frame. Text sits in recessed
// wells (lit from below, shaded from above), buttons are raised faces, and the free space
// carries the player's name and a one-bit pulse pattern, the look of the signal it plays.
// Shapes are drawn from signed distances, so every edge is anti-aliased and the output is the
// same on every machine (no fonts are involved).
#include "assets/art/skin_art.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace skin_art {
namespace {

using canvas::Bitmap;
using canvas::Color;
using canvas::Rect;
using namespace colours;

Color Mix(Color a, Color b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  auto ch = [&](int s) {
    double v = ((a >> s) & 0xFF) * (1 - t) + ((b >> s) & 0xFF) * t;
    return static_cast<uint32_t>(std::lround(v)) << s;
  };
  return 0xFF000000u | ch(16) | ch(8) | ch(0);
}

// Blends `c` into the pixel with coverage `a` (0..1).
void Put(Bitmap& b, int x, int y, Color c, double a) {
  if (a <= 0 || x < 0 || y < 0 || x >= b.width() || y >= b.height()) return;
  b.Set(x, y, Mix(b.Get(x, y), c, std::min(a, 1.0)));
}

// Signed distance from a pixel centre to a rounded rectangle (negative inside).
double RoundRectDistance(double px, double py, double x, double y, double w, double h, double r) {
  double cx = x + w / 2, cy = y + h / 2;
  double qx = std::abs(px - cx) - (w / 2 - r), qy = std::abs(py - cy) - (h / 2 - r);
  double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
  return outside + std::min(std::max(qx, qy), 0.0) - r;
}

// Fills a rounded rectangle whose colour may vary with the position.
void FillRound(Bitmap& b, double x, double y, double w, double h, double r,
               const std::function<Color(int, int)>& colour, double alpha = 1) {
  for (int py = static_cast<int>(std::floor(y)); py < static_cast<int>(std::ceil(y + h)); ++py) {
    for (int px = static_cast<int>(std::floor(x)); px < static_cast<int>(std::ceil(x + w)); ++px) {
      double d = RoundRectDistance(px + 0.5, py + 0.5, x, y, w, h, r);
      Put(b, px, py, colour(px, py), std::clamp(0.5 - d, 0.0, 1.0) * alpha);
    }
  }
}

void FillRound(Bitmap& b, double x, double y, double w, double h, double r, Color c,
               double alpha = 1) {
  FillRound(
      b, x, y, w, h, r, [c](int, int) { return c; }, alpha);
}

// A vertical gradient between two colours over [y0, y1].
std::function<Color(int, int)> Vertical(Color top, Color bottom, double y0, double y1) {
  return [=](int, int y) { return Mix(top, bottom, (y + 0.5 - y0) / (y1 - y0)); };
}

// A recessed well: a dark edge all round, a shade along the top, a lit lower edge.
void Well(Bitmap& b, const Rect& r, double radius) {
  FillRound(b, r.x, r.y, r.w, r.h, radius, kWellLight);
  FillRound(b, r.x, r.y, r.w, r.h - 1, radius, kWellEdge);
  FillRound(b, r.x + 1, r.y + 1, r.w - 2, r.h - 2, std::max(radius - 1, 0.0),
            Vertical(Mix(kWell, canvas::Rgb(0x000000), 0.35), kWell, r.y + 1, r.y + 7));
}

// A raised face: lit top edge, a gradient face and a quiet outline, filling `r` exactly.
void Face(Bitmap& b, const Rect& r, double radius) {
  FillRound(b, r.x, r.y, r.w, r.h, radius, kFaceEdge);
  FillRound(
      b, r.x + 1, r.y + 1, r.w - 2, r.h - 2, radius - 1,
      Vertical(Mix(kFaceTop, canvas::Rgb(0xFFFFFF), 0.08), kFaceBottom, r.y + 1, r.y + r.h - 1));
  // The highlight along the top inside edge.
  for (int x = r.x + static_cast<int>(radius); x < r.x + r.w - static_cast<int>(radius); ++x) {
    Put(b, x, r.y + 1, canvas::Rgb(0xFFFFFF), 0.10);
  }
}

// Strokes: line segments of a given width, anti-aliased by their distance.
struct Segment {
  double x0, y0, x1, y1;
};

double SegmentDistance(double px, double py, const Segment& s) {
  double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
  double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? std::clamp(((px - s.x0) * dx + (py - s.y0) * dy) / len2, 0.0, 1.0) : 0;
  return std::hypot(px - (s.x0 + t * dx), py - (s.y0 + t * dy));
}

void Stroke(Bitmap& b, const std::vector<Segment>& segs, double width, Color c, double alpha = 1) {
  if (segs.empty()) return;
  double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
  for (const Segment& s : segs) {
    x0 = std::min({x0, s.x0, s.x1});
    y0 = std::min({y0, s.y0, s.y1});
    x1 = std::max({x1, s.x0, s.x1});
    y1 = std::max({y1, s.y0, s.y1});
  }
  int pad = static_cast<int>(std::ceil(width)) + 1;
  for (int py = static_cast<int>(y0) - pad; py <= static_cast<int>(y1) + pad; ++py) {
    for (int px = static_cast<int>(x0) - pad; px <= static_cast<int>(x1) + pad; ++px) {
      double d = 1e9;
      for (const Segment& s : segs) d = std::min(d, SegmentDistance(px + 0.5, py + 0.5, s));
      Put(b, px, py, c, std::clamp(width / 2 + 0.5 - d, 0.0, 1.0) * alpha);
    }
  }
}

// An arc as short segments: centre, radius, from and to angle (radians, y downwards).
void Arc(std::vector<Segment>& out, double cx, double cy, double rx, double ry, double a0,
         double a1) {
  const int n = 24;
  for (int i = 0; i < n; ++i) {
    double t0 = a0 + (a1 - a0) * i / n, t1 = a0 + (a1 - a0) * (i + 1) / n;
    out.push_back({cx + rx * std::cos(t0), cy + ry * std::sin(t0), cx + rx * std::cos(t1),
                   cy + ry * std::sin(t1)});
  }
}

// Our lettering: thin geometric capitals built from strokes, cap height h, at (x, y) top-left.
// Answers the advance.
double Letter(std::vector<Segment>& out, char c, double x, double y, double h) {
  const double pi = std::acos(-1.0);
  auto L = [&](double ax, double ay, double bx, double by) {
    out.push_back({x + ax * h, y + ay * h, x + bx * h, y + by * h});
  };
  switch (c) {
    case 'A':
      L(0, 1, 0.42, 0);
      L(0.42, 0, 0.84, 1);
      L(0.17, 0.62, 0.67, 0.62);
      return 0.84 * h;
    case 'R':
      L(0, 1, 0, 0);
      L(0, 0, 0.42, 0);
      Arc(out, x + 0.42 * h, y + 0.25 * h, 0.25 * h, 0.25 * h, -pi / 2, pi / 2);
      L(0.42, 0.5, 0, 0.5);
      L(0.36, 0.5, 0.7, 1);
      return 0.7 * h;
    case 'D':
      L(0, 0, 0, 1);
      L(0, 0, 0.3, 0);
      L(0, 1, 0.3, 1);
      Arc(out, x + 0.3 * h, y + 0.5 * h, 0.45 * h, 0.5 * h, -pi / 2, pi / 2);
      return 0.75 * h;
    case 'E':
      L(0.62, 0, 0, 0);
      L(0, 0, 0, 1);
      L(0, 1, 0.62, 1);
      L(0, 0.5, 0.52, 0.5);
      return 0.62 * h;
    case 'N':
      L(0, 1, 0, 0);
      L(0, 0, 0.74, 1);
      L(0.74, 1, 0.74, 0);
      return 0.74 * h;
    case 'T':
      L(0, 0, 0.72, 0);
      L(0.36, 0, 0.36, 1);
      return 0.72 * h;
    case 'X':
      L(0, 0, 0.76, 1);
      L(0.76, 0, 0, 1);
      return 0.76 * h;
    case 'O':
      Arc(out, x + 0.45 * h, y + 0.5 * h, 0.45 * h, 0.5 * h, 0, 2 * pi);
      return 0.9 * h;
    case 'L':
      L(0, 0, 0, 1);
      L(0, 1, 0.56, 1);
      return 0.56 * h;
    case 'S': {
      Arc(out, x + 0.3 * h, y + 0.25 * h, 0.3 * h, 0.25 * h, 0, -1.5 * pi);
      Arc(out, x + 0.3 * h, y + 0.75 * h, 0.3 * h, 0.25 * h, -pi / 2, pi);
      return 0.6 * h;
    }
    case 'F':
      L(0.58, 0, 0, 0);
      L(0, 0, 0, 1);
      L(0, 0.5, 0.48, 0.5);
      return 0.58 * h;
    case ' ':
      return 0.5 * h;
    default:
      return 0;
  }
}

// Lettering of a word with the given tracking; answers the width drawn.
double Word(Bitmap& b, const char* text, double x, double y, double h, double tracking,
            double width, Color c, double alpha = 1, bool measure_only = false) {
  std::vector<Segment> segs;
  double pen = x;
  for (const char* p = text; *p; ++p) pen += Letter(segs, *p, pen, y, h) + tracking;
  if (!measure_only) Stroke(b, segs, width, c, alpha);
  return pen - tracking - x;
}

// One-bit pulses of a sine, as a first-order sigma-delta modulator makes them: a bar wherever
// the modulator outputs 1, so the density of the bars follows the wave. Each bar is as tall as
// the wave is loud there, which draws the wave's outline too.
void Pulses(Bitmap& b, int x0, int x1, int mid, int half, double cycles, Color c, double alpha) {
  double integrator = 0;
  const double pi = std::acos(-1.0);
  for (int x = x0; x < x1; ++x) {
    double t = static_cast<double>(x - x0) / (x1 - x0);
    double envelope = std::sin(pi * t);
    double signal = 0.9 * envelope * std::sin(2 * pi * cycles * t);
    integrator += signal;
    bool one = integrator >= 0;
    integrator -= one ? 1 : -1;
    if (!one) continue;
    double reach = half * (0.18 + 0.82 * envelope * std::abs(std::sin(2 * pi * cycles * t)));
    for (int y = static_cast<int>(mid - reach); y <= static_cast<int>(mid + reach); ++y) {
      double fall = 1 - std::abs(y - mid) / (reach + 1);
      Put(b, x, y, c, alpha * (0.35 + 0.65 * fall));
    }
  }
}

}  // namespace

canvas::Bitmap DrawSkin() {
  Bitmap b(kSkinWidth, kSkinHeight, kWindow);
  // The panel: everything inside the 10-pixel frame.
  const Rect panel{10, 10, 464, 800};
  FillRound(b, panel.x, panel.y, panel.w, panel.h, 7,
            Vertical(kPanelTop, kPanelBottom, panel.y, panel.y + panel.h));
  for (int x = panel.x + 7; x < panel.x + panel.w - 7; ++x) {
    Put(b, x, panel.y, canvas::Rgb(0xFFFFFF), 0.10);  // light on the top edge
  }
  // A faint inner shade where the panel meets the frame.
  for (int x = panel.x + 7; x < panel.x + panel.w - 7; ++x) {
    Put(b, x, panel.y + panel.h - 1, canvas::Rgb(0x000000), 0.25);
  }

  // Cover place: a record in its sleeve, shown when no cover picture is.
  Well(b, kCover, 5);
  const double ccx = kCover.x + kCover.w / 2.0, ccy = kCover.y + kCover.h / 2.0;
  for (int py = kCover.y + 2; py < kCover.y + kCover.h - 2; ++py) {
    for (int px = kCover.x + 2; px < kCover.x + kCover.w - 2; ++px) {
      double d = std::hypot(px + 0.5 - ccx, py + 0.5 - ccy);
      double edge = std::clamp(44.5 - d, 0.0, 1.0);
      if (edge <= 0) continue;
      // Grooves: a gentle ripple of light, stronger towards the rim.
      double groove = 0.5 + 0.5 * std::sin(d * 2.2);
      Color disc = Mix(canvas::Rgb(0x0E1013), canvas::Rgb(0x2A3038), groove * (d / 44.0) * 0.7);
      // A sheen across the disc from the upper left.
      double sheen = std::max(0.0, std::cos(std::atan2(py - ccy, px - ccx) + 2.3)) * 0.12;
      disc = Mix(disc, canvas::Rgb(0xC8D4D8), sheen * (d > 14 ? 1 : 0));
      Put(b, px, py, disc, edge);
    }
  }
  FillRound(b, ccx - 14, ccy - 14, 28, 28, 14, kAccent, 0.85);  // the label
  FillRound(b, ccx - 12, ccy - 12, 24, 24, 12, Mix(kAccent, kPanelTop, 0.35));
  FillRound(b, ccx - 2, ccy - 2, 4, 4, 2, kWellEdge);  // the spindle hole

  // The displays: rate, title and time lines.
  Well(b, {116, 12, 76, 23}, 4);
  Well(b, {112, 39, 350, 55}, 5);
  // Close button place: a small round recess the mark sits in; the column beside it shows the
  // window colour, as nothing covers it there.
  FillRound(b, kClose.x + 1, kClose.y + 1, kClose.w - 2, kClose.h - 2, 10.5, kWellEdge);
  FillRound(b, kClose.x + 2, kClose.y + 2, kClose.w - 4, kClose.h - 4, 9.5,
            Vertical(canvas::Rgb(0x101215), canvas::Rgb(0x1B1F24), kClose.y, kClose.y + kClose.h));
  for (int y = kClose.y; y < kClose.y + kClose.h; ++y) b.Set(473, y, kWindow);

  // The playlist: a deep well with faint bands every other row of 25 pixels.
  Well(b, {kList.x - 2, kList.y - 2, kList.w + 4, kList.h + 4}, 5);
  for (int row = 1; row < 12; row += 2) {
    for (int y = kList.y + row * 25; y < kList.y + row * 25 + 25; ++y) {
      for (int x = kList.x + 1; x < kList.x + kList.w - 1; ++x) {
        Put(b, x, y, canvas::Rgb(0xFFFFFF), 0.018);
      }
    }
  }
  // Page arrows: raised square keys.
  Face(b, kPageUp, 6);
  Face(b, kPageDown, 6);

  // Below the list: the name, the pulse band, and the total duration's place.
  const double name_h = 15;
  Word(b, "ARDENT X", 22, 458, name_h, 6, 1.7, Mix(kAccent, kPanelTop, 0.2));
  for (int x = 22; x < 300; ++x) Put(b, x, 483, kAccent, 0.18 * (1 - (x - 22) / 278.0));
  Pulses(b, 24, 460, 615, 48, 2.0, kAccent, 0.30);
  double total_w = Word(b, "TOTAL", 0, 0, 8, 3, 1.1, kText, 0, true);
  Word(b, "TOTAL", kSummary.x - 10 - total_w, kSummary.y + 7, 8, 3, 1.1, kText, 0.45);
  Well(b, kSummary, 4);

  // Transport: raised keys at their places, the name of the formats engraved between them.
  for (const Place& p : kButtons) Face(b, p.rect, 5);
  double fmt_w = Word(b, "DSF  DFF", 0, 0, 8, 4, 1.1, kText, 0, true);
  Word(b, "DSF  DFF", 136 + (214 - fmt_w) / 2, 781, 8, 4, 1.1, kText, 0.30);
  // To the right of PLAY and PAUSE: a wide, quiet pulse band.
  Pulses(b, 96, 462, 735, 20, 4.0, kAccent, 0.22);
  return b;
}

canvas::Bitmap DrawOverlay() {
  // The list's top and bottom rows fade into the well, so rows seem to come from under its
  // edges; the middle is clear. Below row 300 nothing is seen.
  Bitmap b(kOverlayWidth, kOverlayHeight, canvas::Argb(0, 0x14171B));
  auto fade = [&](int y, double a) {
    for (int x = 0; x < kOverlayWidth; ++x) {
      b.Set(x, y, canvas::Argb(static_cast<uint8_t>(std::lround(a * 255)), 0x14171B));
    }
  };
  for (int y = 0; y < 22; ++y) {
    double t = 1 - y / 22.0;
    fade(y, 0.62 * t * t);
  }
  for (int y = 278; y < 300; ++y) {
    double t = (y - 277) / 22.0;
    fade(y, 0.62 * t * t);
  }
  return b;
}

}  // namespace skin_art
