// The canvas verbs, pixel by pixel on tiny bitmaps. Pictures are written as text: one character
// a pixel, '.' the background and '#' the drawing colour.
#include "platform/canvas/canvas.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace canvas;

namespace {

constexpr Color kBack = Rgb(0x102030);
constexpr Color kInk = Rgb(0xC1CED1);

std::string Art(const Bitmap& b, Rect r = {}) {
  if (r.empty()) r = b.bounds();
  std::string s;
  for (int y = r.y; y < r.y + r.h; ++y) {
    for (int x = r.x; x < r.x + r.w; ++x) {
      Color c = b.Get(x, y);
      s += c == kBack ? '.' : c == kInk ? '#' : '?';
    }
    s += '\n';
  }
  return s;
}

std::string Lines(std::initializer_list<const char*> rows) {
  std::string s;
  for (const char* r : rows) s += std::string(r) + "\n";
  return s;
}

// A font of block glyphs: 'A' is 2 x 3 fully covered, 'v' 1 x 1 at half coverage, '?' 1 x 2.
class BlockFont : public GlyphSource {
 public:
  BlockFont() {
    glyphs_['A'] = {0, 1, 3, {2, 3, std::vector<uint8_t>(6, 255)}};
    glyphs_['v'] = {1, 2, 3, {1, 1, {128}}};
    glyphs_['?'] = {0, 0, 2, {1, 2, {255, 255}}};
  }
  const Glyph* GlyphFor(char32_t cp) const override {
    auto it = glyphs_.find(cp);
    return it == glyphs_.end() ? nullptr : &it->second;
  }
  int Kerning(char32_t l, char32_t r) const override { return l == 'A' && r == 'v' ? -1 : 0; }
  int LineHeight() const override { return 4; }

 private:
  std::map<char32_t, Glyph> glyphs_;
};

}  // namespace

TEST(CanvasLine, IncludesBothEndsInEitherDirection) {
  struct Case {
    int x0, y0, x1, y1;
    std::string art;
  } cases[] = {
      {1, 1, 1, 1, Lines({".....", ".#...", ".....", "....."})},
      {0, 1, 4, 1, Lines({".....", "#####", ".....", "....."})},
      {3, 0, 3, 3, Lines({"...#.", "...#.", "...#.", "...#."})},
      {0, 0, 3, 3, Lines({"#....", ".#...", "..#..", "...#."})},
      {0, 3, 4, 1, Lines({".....", "...##", ".##..", "#...."})},
      {0, 0, 1, 3, Lines({"#....", "#....", ".#...", ".#..."})},
  };
  for (const Case& c : cases) {
    for (bool reversed : {false, true}) {
      Bitmap b(5, 4, kBack);
      Canvas cv(b);
      if (reversed) {
        cv.Line(c.x1, c.y1, c.x0, c.y0, kInk);
      } else {
        cv.Line(c.x0, c.y0, c.x1, c.y1, kInk);
      }
      // A line through the same points may pick other middle pixels when reversed, but both
      // ends are always there and the count is one per step of the longer axis.
      if (!reversed) {
        EXPECT_EQ(Art(b), c.art);
      }
      EXPECT_EQ(b.Get(c.x0, c.y0), kInk);
      EXPECT_EQ(b.Get(c.x1, c.y1), kInk);
      int n = 0;
      for (char ch : Art(b)) n += ch == '#';
      EXPECT_EQ(n, std::max(std::abs(c.x1 - c.x0), std::abs(c.y1 - c.y0)) + 1);
    }
  }
}

TEST(CanvasCircle, SmallRadiiGiveRoundDots) {
  struct Case {
    int r;
    std::string art;
  } cases[] = {
      {0, Lines({".....", ".....", "..#..", ".....", "....."})},
      {1, Lines({".....", "..#..", ".###.", "..#..", "....."})},
      {2, Lines({".###.", "#####", "#####", "#####", ".###."})},
  };
  for (const Case& c : cases) {
    Bitmap b(5, 5, kBack);
    Canvas(b).FillCircle(2, 2, c.r, kInk);
    EXPECT_EQ(Art(b), c.art) << "radius " << c.r;
  }
  // The progress dots: radius 1 centred 8 pixels apart on the time line's row 15.
  Bitmap line(30, 20, kBack);
  Canvas cv(line);
  for (int k = 0; k <= 16; k += 8) cv.FillCircle(3 + k, 15, 1, kInk);
  EXPECT_EQ(Art(line, {0, 13, 22, 5}),
            Lines({"......................", "...#.......#.......#..", "..###.....###.....###.",
                   "...#.......#.......#..", "......................"}));
}

TEST(CanvasFloodFill, CloseMarkStarIsSolidAndBounded) {
  // The close mark: star outline, fill from the middle up to the outline colour, diagonals.
  Bitmap b(23, 23, kBack);
  Canvas cv(b);
  const int star[][4] = {{6, 6, 12, 10},   {12, 10, 18, 6}, {18, 6, 14, 12}, {14, 12, 18, 18},
                         {18, 18, 12, 14}, {12, 14, 6, 18}, {6, 18, 10, 12}, {10, 12, 6, 6}};
  for (auto& l : star) cv.Line(l[0], l[1], l[2], l[3], kInk);
  cv.FloodFill(11, 11, kInk, kInk);
  cv.Line(6, 6, 18, 18, kInk);
  cv.Line(6, 18, 18, 6, kInk);
  // A solid X with no holes: every row is one or two runs that meet in the middle.
  EXPECT_EQ(Art(b, {5, 5, 15, 15}), Lines({
                                        "...............",
                                        ".#...........#.",
                                        "..##.......##..",
                                        "..###.....###..",
                                        "...####.####...",
                                        "....#######....",
                                        "....#######....",
                                        ".....#####.....",
                                        "....#######....",
                                        "....#######....",
                                        "...####.####...",
                                        "..###.....###..",
                                        "..##.......##..",
                                        ".#...........#.",
                                        "...............",
                                    }));
}

TEST(CanvasFloodFill, StopsAtBordersAndEdges) {
  // A diagonal border is 8-connected; the fill spreads 4-connected and must not slip through.
  Bitmap b(6, 6, kBack);
  Canvas cv(b);
  cv.Line(0, 5, 5, 0, kInk);
  cv.FloodFill(0, 0, Rgb(0x00FF00), kInk);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      Color want = x + y < 5 ? Rgb(0x00FF00) : x + y == 5 ? kInk : kBack;
      EXPECT_EQ(b.Get(x, y), want) << x << "," << y;
    }
  }
  // Starting on the border, or outside, fills nothing; filling with the colour already there
  // (and no border present) ends and fills everything once.
  Bitmap before = b;
  cv.FloodFill(5, 0, Rgb(0xFF0000), kInk);
  cv.FloodFill(-1, 2, Rgb(0xFF0000), kInk);
  cv.FloodFill(2, 6, Rgb(0xFF0000), kInk);
  EXPECT_EQ(b, before);
  Bitmap plain(40, 40, kBack);
  Canvas(plain).FloodFill(20, 20, kBack, kInk);
  EXPECT_EQ(plain, Bitmap(40, 40, kBack));
  // A fill on a sub-region canvas stays inside the region.
  Bitmap big(8, 8, kBack);
  Canvas(big, {2, 2, 3, 3}).FloodFill(1, 1, kInk, Rgb(0xFF0000));
  EXPECT_EQ(Art(big), Lines({"........", "........", "..###...", "..###...", "..###...", "........",
                             "........", "........"}));
}

TEST(CanvasBlit, BlendsByOwnAlphaTimesOpacity) {
  struct Case {
    Color src;
    uint8_t opacity;
    Color expected;  // over an opaque 0x0000FF background
  } cases[] = {
      {Argb(255, 0xFF0000), 255, Rgb(0xFF0000)}, {Argb(255, 0xFF0000), 128, Rgb(0x80007F)},
      {Argb(128, 0xFF0000), 255, Rgb(0x80007F)}, {Argb(128, 0xFF0000), 128, Rgb(0x4000BF)},
      {Argb(0, 0xFF0000), 255, Rgb(0x0000FF)},   {Argb(255, 0xFF0000), 0, Rgb(0x0000FF)},
      {Argb(255, 0x808080), 1, Rgb(0x0101FF)},
  };
  for (const Case& c : cases) {
    Bitmap dst(2, 1, Rgb(0x0000FF));
    Canvas(dst).Blit(1, 0, Bitmap(1, 1, c.src), c.opacity);
    EXPECT_EQ(dst.Get(1, 0), c.expected) << std::hex << c.src << " at " << int(c.opacity);
    EXPECT_EQ(dst.Get(0, 0), Rgb(0x0000FF));
  }
  // Over a transparent pixel the source's colour is kept, with the combined alpha.
  Bitmap clear(1, 1, 0);
  Canvas(clear).Blit(0, 0, Bitmap(1, 1, Argb(200, 0x123456)), 128);
  EXPECT_EQ(clear.Get(0, 0), Argb(100, 0x123456));
}

TEST(CanvasClipping, NothingIsDrawnOutsideTheRegionAtAnyEdge) {
  BlockFont font;
  Bitmap picture(4, 4, kInk);
  const Rect region{3, 2, 5, 4};
  for (int ox = -6; ox <= 8; ++ox) {
    for (int oy = -6; oy <= 8; ++oy) {
      Bitmap b(11, 9, kBack);
      Canvas cv(b, region);
      cv.Blit(ox, oy, picture);
      cv.Copy(ox, oy, picture, {1, 1, 3, 3});
      cv.FillRect({ox, oy, 3, 2}, kInk);
      cv.FillCircle(ox, oy, 2, kInk);
      cv.Line(ox, oy, ox + 9, oy - 7, kInk);
      cv.Text(ox, oy, "AAv?", font, kInk);
      for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
          if (!region.Contains(x, y)) {
            ASSERT_EQ(b.Get(x, y), kBack)
                << "drawn at " << x << "," << y << " from " << ox << "," << oy;
          }
        }
      }
      // Inside, the blit lands exactly where it overlaps.
      for (int y = 0; y < region.h; ++y) {
        for (int x = 0; x < region.w; ++x) {
          if (x >= ox && x < ox + 4 && y >= oy && y < oy + 4) {
            ASSERT_EQ(cv.Get(x, y), kInk);
          }
        }
      }
    }
  }
  // A region partly off the bitmap clips to the bitmap.
  Bitmap small(3, 3, kBack);
  Canvas off(small, {1, 1, 10, 10});
  off.FillRect({-5, -5, 50, 50}, kInk);
  EXPECT_EQ(Art(small), Lines({"...", ".##", ".##"}));
  EXPECT_EQ(off.Get(5, 5), 0u);
}

TEST(CanvasText, OnlyTheGlyphsChangeInTheTextColour) {
  BlockFont font;
  Bitmap b(10, 5, kBack);
  Canvas cv(b);
  int end = cv.Text(1, 0, "Av", font, kInk);
  EXPECT_EQ(end, 1 + 3 - 1 + 3);  // advances with the kerning pair
  EXPECT_EQ(Art(b), Lines({"..........", ".##.......", ".##.?.....", ".##.......", ".........."}));
  // The half-covered glyph blends half of the text colour into the background.
  EXPECT_EQ(b.Get(4, 2), Rgb(0x697781));
}

TEST(CanvasText, WidthsFollowUtf8AndFallBack) {
  BlockFont font;
  struct Case {
    const char* text;
    int width;
  } cases[] = {
      {"", 0},
      {"A", 3},
      {"Av", 5},        // kerning
      {"vA", 6},        // no kerning this way round
      {"\xC3\xA9", 2},  // a character the font lacks shows as '?'
      {"\xE2\x82", 2},  // a cut-off sequence is one replacement character
      {"A\xFF"
       "A",
       8},  // a stray byte too
      {"\xF0\x9F\x8E\xB5"
       "A",
       5},
  };
  for (const Case& c : cases) EXPECT_EQ(TextWidth(font, c.text), c.width) << c.text;

  size_t i = 0;
  EXPECT_EQ(NextCodePoint("\xE2\x82\xAC", i), U'\u20AC');
  EXPECT_EQ(i, 3u);
  i = 0;
  EXPECT_EQ(NextCodePoint("\xC0\xAF", i), 0xFFFDu);  // overlong '/'
}

TEST(CanvasPictures, CropCopyAndSmoothResize) {
  Bitmap src(4, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) src.Set(x, y, Rgb(static_cast<uint32_t>(x * 40 + y * 4)));
  }
  Bitmap part = Crop(src, {2, 1, 5, 2});  // clipped to the picture
  ASSERT_EQ(part.width(), 2);
  ASSERT_EQ(part.height(), 2);
  EXPECT_EQ(part.Get(1, 1), src.Get(3, 2));
  EXPECT_TRUE(Crop(src, {4, 0, 2, 2}).empty());

  // Copy keeps alpha as it is, Blit would blend.
  Bitmap dst(2, 1, kBack);
  Canvas(dst).Copy(0, 0, Bitmap(1, 1, Argb(7, 0x010203)));
  EXPECT_EQ(dst.Get(0, 0), Argb(7, 0x010203));

  // Halving averages each 2 x 2 block exactly.
  Bitmap half = ResizeSmooth(src, 2, 2);
  ASSERT_EQ(half.width(), 2);
  EXPECT_EQ(half.Get(0, 0), Rgb((0 + 40 + 4 + 44) / 4));
  EXPECT_EQ(half.Get(1, 1), Rgb((88 + 128 + 92 + 132) / 4));

  // A uniform picture stays uniform at any size; transparent pixels do not darken their
  // neighbours' colour, only the alpha.
  for (auto [w, h] : {std::pair{1, 1}, {3, 7}, {102, 102}, {5, 2}}) {
    Bitmap r = ResizeSmooth(Bitmap(4, 4, Rgb(0x336699)), w, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) ASSERT_EQ(r.Get(x, y), Rgb(0x336699)) << w << "x" << h;
    }
  }
  Bitmap edge(2, 1);
  edge.Set(0, 0, Rgb(0xFF0000));
  edge.Set(1, 0, Argb(0, 0x000000));
  EXPECT_EQ(ResizeSmooth(edge, 1, 1).Get(0, 0), Argb(128, 0xFF0000));
  EXPECT_TRUE(ResizeSmooth(edge, 0, 5).empty());
}
