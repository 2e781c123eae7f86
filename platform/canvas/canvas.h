// Our software canvas: ARGB bitmaps and a flat list of drawing verbs over one of them.
//
// - Colours are 0xAARRGGBB with straight (not premultiplied) alpha. Rgb(0xRRGGBB) makes an
//   opaque one; the palette values are written that way.
// - A Canvas draws into one Bitmap, optionally limited to a region of it: coordinates are then
//   relative to the region's top-left corner and nothing is drawn outside the region. Every verb
//   clips once and does nothing when nothing is left to draw, so drawing off a surface is safe.
// - Pure code: no system headers, no allocation in the verbs except FloodFill's visited mask and
//   ResizeSmooth's result. Not thread-safe; one thread draws on one bitmap at a time.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace canvas {

using Color = uint32_t;

constexpr Color Rgb(uint32_t rrggbb) {
  return 0xFF000000u | (rrggbb & 0xFFFFFFu);
}
constexpr Color Argb(uint8_t a, uint32_t rrggbb) {
  return (static_cast<uint32_t>(a) << 24) | (rrggbb & 0xFFFFFFu);
}
constexpr uint8_t AlphaOf(Color c) {
  return static_cast<uint8_t>(c >> 24);
}
constexpr uint32_t RgbOf(Color c) {
  return c & 0xFFFFFFu;
}
// The 0x00BBGGRR order that the drawing calls of the original design take (kept for callers
// that store colours that way).
constexpr Color FromBgr(uint32_t bbggrr) {
  return Rgb(((bbggrr & 0xFF) << 16) | (bbggrr & 0xFF00) | ((bbggrr >> 16) & 0xFF));
}

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool empty() const { return w <= 0 || h <= 0; }
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  Rect Intersect(const Rect& o) const;
  bool operator==(const Rect&) const = default;
};

// A width x height grid of ARGB pixels, row by row without padding.
class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height, Color fill = 0);
  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ <= 0 || height_ <= 0; }
  Rect bounds() const { return {0, 0, width_, height_}; }
  Color* data() { return pixels_.data(); }
  const Color* data() const { return pixels_.data(); }
  Color* row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const Color* row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
  // Pixel access; Get answers 0 outside, Set ignores outside.
  Color Get(int x, int y) const;
  void Set(int x, int y, Color c);
  bool operator==(const Bitmap&) const = default;

 private:
  int width_ = 0, height_ = 0;
  std::vector<Color> pixels_;
};

// The copy of a region of `src` as a bitmap of its own (clipped to `src`; empty when outside).
// Used for surface backgrounds and static pieces: the skin's pixels under an element.
Bitmap Crop(const Bitmap& src, Rect region);

// `src` scaled to w x h with area averaging (each target pixel is the coverage-weighted mean of
// the source pixels under it, alpha-weighted so transparent pixels do not darken edges).
Bitmap ResizeSmooth(const Bitmap& src, int w, int h);

// An 8-bit coverage mask, the shape of one glyph.
struct AlphaMask {
  int width = 0, height = 0;
  std::vector<uint8_t> coverage;  // width * height
};

struct Glyph {
  int left = 0;     // from the pen position to the mask's left edge
  int top = 0;      // from the top of the text line (its ascent line) down to the mask's top
  int advance = 0;  // pen movement after the glyph
  AlphaMask mask;
};

// Where glyphs come from: the platform's fonts implement this; tests use small fakes.
class GlyphSource {
 public:
  virtual ~GlyphSource() = default;
  // The glyph of a code point, or nullptr when the font has none (then '?' is tried, then the
  // character is skipped). The pointer stays valid as long as the source lives.
  virtual const Glyph* GlyphFor(char32_t code_point) const = 0;
  // Kerning between two code points in pixels (usually 0 or negative).
  virtual int Kerning(char32_t left, char32_t right) const { return 0; }
  virtual int LineHeight() const = 0;
};

// The width in pixels of a UTF-8 text in a font: the sum of advances and kerning. Malformed
// UTF-8 bytes count as U+FFFD.
int TextWidth(const GlyphSource& font, std::string_view utf8);

class Canvas {
 public:
  // Draws on the whole bitmap.
  explicit Canvas(Bitmap& target);
  // Draws on `region` of the bitmap only; (0, 0) is the region's top-left corner.
  Canvas(Bitmap& target, Rect region);

  int width() const { return region_.w; }
  int height() const { return region_.h; }

  // Reads a pixel (0 outside the region).
  Color Get(int x, int y) const;

  // Draws `src` (or its `src_rect`) at (x, y), blended by the source's own alpha multiplied by
  // `opacity` / 255.
  void Blit(int x, int y, const Bitmap& src, uint8_t opacity = 255);
  void Blit(int x, int y, const Bitmap& src, Rect src_rect, uint8_t opacity = 255);
  // Copies pixels as they are (alpha included), no blending.
  void Copy(int x, int y, const Bitmap& src);
  void Copy(int x, int y, const Bitmap& src, Rect src_rect);

  // A 1-pixel line that includes both end points.
  void Line(int x0, int y0, int x1, int y1, Color c);
  // Fills a rectangle (blending when the colour is not opaque).
  void FillRect(Rect r, Color c);
  // Fills the disc of radius r around (cx, cy): the pixels with dx^2 + dy^2 <= r^2 + r - 1, so
  // radius 0 is one pixel, radius 1 the 5-pixel round dot inside 3 x 3 (the progress dots), and
  // radius 2 a 5 x 5 square without its corners.
  void FillCircle(int cx, int cy, int r, Color c);
  // Fills the 4-connected area around (x, y) whose pixels differ from `border` (compared by RGB)
  // with `fill`. Starting on a border pixel or outside fills nothing. Iterative, with a visited
  // mask, so it also ends when fill and border differ.
  void FloodFill(int x, int y, Color fill, Color border);
  // Draws a UTF-8 text with its top-left at (x, y) (y is the top of the line, above the
  // ascent): only the glyphs' pixels change, blended by their coverage. Answers the pen's end x.
  int Text(int x, int y, std::string_view utf8, const GlyphSource& font, Color c);

 private:
  void Blend(int x, int y, Color c, unsigned alpha);  // absolute coordinates, in the clip
  Bitmap& target_;
  Rect region_;  // in target coordinates
  Rect clip_;    // region_ within the target
};

// Decodes one UTF-8 sequence at text[i], advancing i; malformed input gives U+FFFD.
char32_t NextCodePoint(std::string_view text, size_t& i);

}  // namespace canvas
