// The canvas verbs. Each one clips its work to the canvas's clip rectangle first, then touches
// only pixels inside it; blending uses straight alpha with rounding to nearest, so blending a
// colour at full strength gives exactly that colour and at zero leaves the pixel unchanged.
#include "platform/canvas/canvas.h"

#include <algorithm>
#include <cstdlib>

namespace canvas {
namespace {

// (a * b + 127) / 255 without division, exact for all 8-bit a and b.
inline unsigned Mul255(unsigned a, unsigned b) {
  unsigned t = a * b + 128;
  return (t + (t >> 8)) >> 8;
}

// Source-over of `src` with coverage `alpha` (0..255, already including the source's alpha)
// onto `dst`, straight alpha.
inline Color Over(Color dst, Color src, unsigned alpha) {
  if (alpha == 0) return dst;
  unsigned da = AlphaOf(dst);
  if (alpha == 255 || da == 0) return (src & 0xFFFFFFu) | (alpha << 24);
  if (da == 255) {
    unsigned inv = 255 - alpha;
    unsigned r = Mul255((src >> 16) & 0xFF, alpha) + Mul255((dst >> 16) & 0xFF, inv);
    unsigned g = Mul255((src >> 8) & 0xFF, alpha) + Mul255((dst >> 8) & 0xFF, inv);
    unsigned b = Mul255(src & 0xFF, alpha) + Mul255(dst & 0xFF, inv);
    return 0xFF000000u | (r << 16) | (g << 8) | b;
  }
  // Both partly transparent: out_a = a + da (1 - a), colours weighted by their contributions.
  unsigned dw = Mul255(da, 255 - alpha);
  unsigned oa = alpha + dw;
  auto ch = [&](int shift) {
    unsigned s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
    return (s * alpha + d * dw + oa / 2) / oa;
  };
  return (oa << 24) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
}

}  // namespace

Rect Rect::Intersect(const Rect& o) const {
  int x0 = std::max(x, o.x), y0 = std::max(y, o.y);
  int x1 = std::min(x + w, o.x + o.w), y1 = std::min(y + h, o.y + o.h);
  if (x1 <= x0 || y1 <= y0) return {x0, y0, 0, 0};
  return {x0, y0, x1 - x0, y1 - y0};
}

Bitmap::Bitmap(int width, int height, Color fill) {
  if (width <= 0 || height <= 0) return;
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<size_t>(width) * height, fill);
}

Color Bitmap::Get(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return row(y)[x];
}

void Bitmap::Set(int x, int y, Color c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  row(y)[x] = c;
}

Bitmap Crop(const Bitmap& src, Rect region) {
  Rect r = region.Intersect(src.bounds());
  if (r.empty()) return {};
  Bitmap out(r.w, r.h);
  for (int y = 0; y < r.h; ++y) {
    std::copy_n(src.row(r.y + y) + r.x, r.w, out.row(y));
  }
  return out;
}

Bitmap ResizeSmooth(const Bitmap& src, int w, int h) {
  if (src.empty() || w <= 0 || h <= 0) return {};
  // Separable area averaging in fixed point over premultiplied values: first along x into a
  // float buffer of w x src.height, then along y. Each target pixel covers
  // [i * sw / w, (i + 1) * sw / w) of the source.
  const int sw = src.width(), sh = src.height();
  struct Acc {
    double a = 0, r = 0, g = 0, b = 0;
  };
  auto weights = [](int src_len, int dst_len, int i, auto&& take) {
    double scale = static_cast<double>(src_len) / dst_len;
    double lo = i * scale, hi = (i + 1) * scale;
    if (scale < 1) {  // enlarging: sample a one-pixel-wide window around the centre (bilinear)
      double c = (i + 0.5) * scale - 0.5;
      int k = static_cast<int>(c < 0 ? -1 : c);
      double f = c - k;
      take(std::clamp(k, 0, src_len - 1), 1 - f);
      take(std::clamp(k + 1, 0, src_len - 1), f);
      return;
    }
    for (int k = static_cast<int>(lo); k < src_len && k < hi; ++k) {
      double cover = std::min<double>(k + 1, hi) - std::max<double>(k, lo);
      if (cover > 0) take(k, cover / scale);
    }
  };
  std::vector<Acc> mid(static_cast<size_t>(w) * sh);
  for (int y = 0; y < sh; ++y) {
    const Color* in = src.row(y);
    for (int x = 0; x < w; ++x) {
      Acc& acc = mid[static_cast<size_t>(y) * w + x];
      weights(sw, w, x, [&](int k, double wt) {
        Color c = in[k];
        double a = AlphaOf(c) * wt;
        acc.a += a;
        acc.r += ((c >> 16) & 0xFF) * a;
        acc.g += ((c >> 8) & 0xFF) * a;
        acc.b += (c & 0xFF) * a;
      });
    }
  }
  Bitmap out(w, h);
  for (int y = 0; y < h; ++y) {
    Color* o = out.row(y);
    for (int x = 0; x < w; ++x) {
      Acc acc;
      weights(sh, h, y, [&](int k, double wt) {
        const Acc& m = mid[static_cast<size_t>(k) * w + x];
        acc.a += m.a * wt;
        acc.r += m.r * wt;
        acc.g += m.g * wt;
        acc.b += m.b * wt;
      });
      if (acc.a <= 0) {
        o[x] = 0;
        continue;
      }
      auto q = [](double v) { return static_cast<unsigned>(std::clamp(v + 0.5, 0.0, 255.0)); };
      o[x] =
          (q(acc.a) << 24) | (q(acc.r / acc.a) << 16) | (q(acc.g / acc.a) << 8) | q(acc.b / acc.a);
    }
  }
  return out;
}

char32_t NextCodePoint(std::string_view text, size_t& i) {
  unsigned char b = static_cast<unsigned char>(text[i++]);
  if (b < 0x80) return b;
  int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
  if (extra < 0 || b >= 0xF5) return 0xFFFD;
  char32_t cp = b & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
  if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
  return cp;
}

namespace {
const Glyph* Lookup(const GlyphSource& font, char32_t cp) {
  if (const Glyph* g = font.GlyphFor(cp)) return g;
  return font.GlyphFor(U'?');
}
}  // namespace

int TextWidth(const GlyphSource& font, std::string_view utf8) {
  int width = 0;
  char32_t prev = 0;
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = NextCodePoint(utf8, i);
    const Glyph* g = Lookup(font, cp);
    if (!g) continue;
    if (prev) width += font.Kerning(prev, cp);
    width += g->advance;
    prev = cp;
  }
  return width;
}

Canvas::Canvas(Bitmap& target) : Canvas(target, target.bounds()) {}

Canvas::Canvas(Bitmap& target, Rect region)
    : target_(target), region_(region), clip_(region.Intersect(target.bounds())) {}

Color Canvas::Get(int x, int y) const {
  int ax = region_.x + x, ay = region_.y + y;
  return clip_.Contains(ax, ay) ? target_.row(ay)[ax] : 0;
}

void Canvas::Blend(int x, int y, Color c, unsigned alpha) {
  Color& p = target_.row(y)[x];
  p = Over(p, c, alpha);
}

void Canvas::Blit(int x, int y, const Bitmap& src, uint8_t opacity) {
  Blit(x, y, src, src.bounds(), opacity);
}

void Canvas::Blit(int x, int y, const Bitmap& src, Rect src_rect, uint8_t opacity) {
  src_rect = src_rect.Intersect(src.bounds());
  if (src_rect.empty() || opacity == 0) return;
  Rect dst{region_.x + x, region_.y + y, src_rect.w, src_rect.h};
  Rect r = dst.Intersect(clip_);
  if (r.empty()) return;
  for (int yy = r.y; yy < r.y + r.h; ++yy) {
    const Color* in = src.row(src_rect.y + yy - dst.y) + src_rect.x + (r.x - dst.x);
    Color* out = target_.row(yy) + r.x;
    for (int k = 0; k < r.w; ++k) {
      unsigned a = AlphaOf(in[k]);
      if (opacity != 255) a = Mul255(a, opacity);
      out[k] = Over(out[k], in[k], a);
    }
  }
}

void Canvas::Copy(int x, int y, const Bitmap& src) {
  Copy(x, y, src, src.bounds());
}

void Canvas::Copy(int x, int y, const Bitmap& src, Rect src_rect) {
  src_rect = src_rect.Intersect(src.bounds());
  if (src_rect.empty()) return;
  Rect dst{region_.x + x, region_.y + y, src_rect.w, src_rect.h};
  Rect r = dst.Intersect(clip_);
  if (r.empty()) return;
  for (int yy = r.y; yy < r.y + r.h; ++yy) {
    const Color* in = src.row(src_rect.y + yy - dst.y) + src_rect.x + (r.x - dst.x);
    std::copy_n(in, r.w, target_.row(yy) + r.x);
  }
}

void Canvas::Line(int x0, int y0, int x1, int y1, Color c) {
  if (clip_.empty() || AlphaOf(c) == 0) return;
  // Bresenham over the whole line, plotting only the pixels inside the clip: the pixels drawn
  // are the same whether or not a part of the line lies outside.
  int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  int x = x0, y = y0;
  for (;;) {
    int ax = region_.x + x, ay = region_.y + y;
    if (clip_.Contains(ax, ay)) Blend(ax, ay, c, AlphaOf(c));
    if (x == x1 && y == y1) break;
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void Canvas::FillRect(Rect rect, Color c) {
  Rect r = Rect{region_.x + rect.x, region_.y + rect.y, rect.w, rect.h}.Intersect(clip_);
  if (r.empty() || AlphaOf(c) == 0) return;
  for (int y = r.y; y < r.y + r.h; ++y) {
    Color* out = target_.row(y) + r.x;
    if (AlphaOf(c) == 255) {
      std::fill_n(out, r.w, c);
    } else {
      for (int k = 0; k < r.w; ++k) out[k] = Over(out[k], c, AlphaOf(c));
    }
  }
}

void Canvas::FillCircle(int cx, int cy, int r, Color c) {
  if (r < 0 || AlphaOf(c) == 0) return;
  const int limit = r == 0 ? 0 : r * r + r - 1;
  Rect box = Rect{region_.x + cx - r, region_.y + cy - r, 2 * r + 1, 2 * r + 1}.Intersect(clip_);
  if (box.empty()) return;
  for (int y = box.y; y < box.y + box.h; ++y) {
    int dy = y - (region_.y + cy);
    for (int x = box.x; x < box.x + box.w; ++x) {
      int dx = x - (region_.x + cx);
      if (dx * dx + dy * dy <= limit) Blend(x, y, c, AlphaOf(c));
    }
  }
}

void Canvas::FloodFill(int x, int y, Color fill, Color border) {
  int ax = region_.x + x, ay = region_.y + y;
  if (!clip_.Contains(ax, ay)) return;
  auto is_border = [&](int px, int py) { return RgbOf(target_.row(py)[px]) == RgbOf(border); };
  if (is_border(ax, ay)) return;
  // Scanline fill with an explicit stack. The visited mask, not the pixels' colours, says what
  // is done, so the fill ends even when the fill colour equals the colour it spreads over.
  std::vector<uint8_t> visited(static_cast<size_t>(clip_.w) * clip_.h, 0);
  auto seen = [&](int px, int py) -> uint8_t& {
    return visited[static_cast<size_t>(py - clip_.y) * clip_.w + (px - clip_.x)];
  };
  std::vector<std::pair<int, int>> stack{{ax, ay}};
  while (!stack.empty()) {
    auto [sx, sy] = stack.back();
    stack.pop_back();
    if (seen(sx, sy) || is_border(sx, sy)) continue;
    int left = sx, right = sx;
    while (left - 1 >= clip_.x && !seen(left - 1, sy) && !is_border(left - 1, sy)) --left;
    while (right + 1 < clip_.x + clip_.w && !seen(right + 1, sy) && !is_border(right + 1, sy)) {
      ++right;
    }
    for (int px = left; px <= right; ++px) {
      seen(px, sy) = 1;
      target_.row(sy)[px] = Over(target_.row(sy)[px], fill, AlphaOf(fill));
    }
    for (int ny : {sy - 1, sy + 1}) {
      if (ny < clip_.y || ny >= clip_.y + clip_.h) continue;
      bool in_run = false;
      for (int px = left; px <= right; ++px) {
        bool open = !seen(px, ny) && !is_border(px, ny);
        if (open && !in_run) stack.emplace_back(px, ny);
        in_run = open;
      }
    }
  }
}

int Canvas::Text(int x, int y, std::string_view utf8, const GlyphSource& font, Color c) {
  int pen = x;
  char32_t prev = 0;
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = NextCodePoint(utf8, i);
    const Glyph* g = Lookup(font, cp);
    if (!g) continue;
    if (prev) pen += font.Kerning(prev, cp);
    prev = cp;
    const AlphaMask& m = g->mask;
    Rect dst{region_.x + pen + g->left, region_.y + y + g->top, m.width, m.height};
    Rect r = dst.Intersect(clip_);
    pen += g->advance;
    if (r.empty()) continue;
    for (int yy = r.y; yy < r.y + r.h; ++yy) {
      const uint8_t* cov = m.coverage.data() + static_cast<size_t>(yy - dst.y) * m.width;
      for (int xx = r.x; xx < r.x + r.w; ++xx) {
        unsigned a = cov[xx - dst.x];
        if (a) Blend(xx, yy, c, Mul255(a, AlphaOf(c)));
      }
    }
  }
  return pen;
}

}  // namespace canvas
