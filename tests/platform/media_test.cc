// Fonts found and rendered through fontconfig and FreeType, pictures decoded with libpng and
// libjpeg, all against the real libraries and the fonts installed for the player.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <stdio.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/font.h"
#include "platform/picture.h"
#include "platform/system.h"

using namespace platform;
using canvas::Argb;
using canvas::Bitmap;
using canvas::Rgb;

namespace {

std::vector<uint8_t> EncodeJpeg(int w, int h, bool grey, uint32_t rgb, int quality = 100) {
  jpeg_compress_struct info;
  jpeg_error_mgr err;
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = static_cast<JDIMENSION>(w);
  info.image_height = static_cast<JDIMENSION>(h);
  info.input_components = grey ? 1 : 3;
  info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row;
  for (int x = 0; x < w; ++x) {
    if (grey) {
      row.push_back(static_cast<uint8_t>(rgb & 0xFF));
    } else {
      row.insert(row.end(), {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                             static_cast<uint8_t>(rgb)});
    }
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&info);
  free(out);
  return bytes;
}

std::vector<uint8_t> PngBytes(const Bitmap& b) {
  std::string path = std::filesystem::temp_directory_path() / "ax-media-test.png";
  EXPECT_TRUE(WritePng(b, path));
  auto bytes = ReadWholeFile(path);
  RemoveFile(path);
  return bytes.value_or(std::vector<uint8_t>{});
}

}  // namespace

TEST(Fonts, NamedFacesAndOurFallbacks) {
  struct Case {
    const char* face;
    int points;
    const char* family_starts;
    bool light;
    int pixels;
  } cases[] = {
      {"Segoe UI Light", 11, "Open Sans", true, 15}, {"Segoe UI Light", 12, "Open Sans", true, 16},
      {"Segoe UI", 10, "Open Sans", false, 13},      {"No Such Face", 12, "Open Sans", false, 16},
      {"DejaVu Sans", 10, "DejaVu Sans", false, 13},  // an installed face is taken as named
  };
  for (const Case& c : cases) {
    std::string error;
    auto font = Font::Load(c.face, c.points, &error);
    ASSERT_TRUE(font) << c.face << ": " << error;
    EXPECT_TRUE(font->family().starts_with(c.family_starts)) << c.face << " -> " << font->family();
    EXPECT_EQ(font->family().find("Light") != std::string::npos, c.light) << font->family();
    EXPECT_EQ(font->pixel_size(), c.pixels);
    EXPECT_EQ(PixelSizeForPoints(c.points), c.pixels);
  }
}

TEST(Fonts, TextIsDrawnInItsColourWithNothingAround) {
  auto font = Font::Load("Segoe UI Light", 12);
  ASSERT_TRUE(font);
  const canvas::Color back = Rgb(0x22262D), ink = Rgb(0xA2A6C8);
  Bitmap b(90, 30, back);
  canvas::Canvas c(b);
  int end = c.Text(14, 1, "PLAY", *font, ink);
  EXPECT_EQ(end - 14, font->TextWidth("PLAY"));
  EXPECT_GT(font->TextWidth("PLAYS"), font->TextWidth("PLAY"));
  EXPECT_EQ(font->TextWidth(""), 0);

  int changed = 0;
  double strongest = 0;  // how far the most covered pixel went from background to text colour
  int min_x = 99, max_x = -1, min_y = 99, max_y = -1;
  for (int y = 0; y < b.height(); ++y) {
    for (int x = 0; x < b.width(); ++x) {
      canvas::Color p = b.Get(x, y);
      if (p == back) continue;
      ++changed;
      strongest =
          std::max(strongest, static_cast<double>(((p >> 8) & 0xFF) - ((back >> 8) & 0xFF)) /
                                  (((ink >> 8) & 0xFF) - ((back >> 8) & 0xFF)));
      min_x = std::min(min_x, x), max_x = std::max(max_x, x);
      min_y = std::min(min_y, y), max_y = std::max(max_y, y);
      // Every touched pixel lies between the background and the text colour.
      for (int shift : {16, 8, 0}) {
        int v = (p >> shift) & 0xFF, lo = (back >> shift) & 0xFF, hi = (ink >> shift) & 0xFF;
        EXPECT_GE(v, std::min(lo, hi)) << x << "," << y;
        EXPECT_LE(v, std::max(lo, hi)) << x << "," << y;
      }
    }
  }
  EXPECT_GT(changed, 40);
  EXPECT_GT(strongest, 0.8);  // the strokes reach (nearly) the text colour, thin as they are
  EXPECT_GE(min_x, 14);
  EXPECT_LT(max_x, end + 1);
  EXPECT_GE(min_y, 1);
  EXPECT_LT(max_y, 1 + font->LineHeight());
}

TEST(Pictures, PngRoundTripKeepsEveryChannel) {
  Bitmap b(3, 2);
  const canvas::Color px[] = {Rgb(0x000000),     Rgb(0xFFFFFF),       Argb(128, 0x123456),
                              Argb(0, 0x000000), Argb(255, 0x697B82), Argb(1, 0xFEDCBA)};
  for (int i = 0; i < 6; ++i) b.Set(i % 3, i / 3, px[i]);
  auto bytes = PngBytes(b);
  std::string error;
  auto back = DecodePng(bytes, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(*back, b);
  auto by_signature = DecodePicture(bytes);
  ASSERT_TRUE(by_signature);
  EXPECT_EQ(*by_signature, b);
}

TEST(Pictures, JpegColourAndGrey) {
  struct Case {
    bool grey;
    uint32_t rgb;
    uint32_t expected;
  } cases[] = {{false, 0x336699, 0x336699}, {true, 0x000080, 0x808080}};
  for (const Case& c : cases) {
    auto bytes = EncodeJpeg(16, 8, c.grey, c.rgb);
    std::string error;
    auto b = DecodeJpeg(bytes, &error);
    ASSERT_TRUE(b) << error;
    ASSERT_EQ(b->width(), 16);
    ASSERT_EQ(b->height(), 8);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 16; ++x) {
        canvas::Color p = b->Get(x, y);
        EXPECT_EQ(canvas::AlphaOf(p), 255);
        for (int shift : {16, 8, 0}) {
          EXPECT_NEAR(static_cast<int>((p >> shift) & 0xFF),
                      static_cast<int>((c.expected >> shift) & 0xFF), 3);
        }
      }
    }
  }
}

TEST(Pictures, DamagedOrHugeFilesGiveNoPicture) {
  Bitmap b(40, 40, Rgb(0x336699));
  for (int i = 0; i < 40; ++i) b.Set(i, i, Rgb(static_cast<uint32_t>(i * 0x050301)));
  auto png = PngBytes(b);
  auto jpeg = EncodeJpeg(64, 64, false, 0x336699, 90);

  // A PNG that claims 100000 x 100000 pixels: refused before any pixel memory is taken.
  auto huge = png;
  auto put32 = [&](size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) huge[at + k] = static_cast<uint8_t>(v >> (24 - 8 * k));
  };
  put32(16, 100000);
  put32(20, 100000);
  put32(29, static_cast<uint32_t>(crc32(0, huge.data() + 12, 17)));

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"not a picture", {'h', 'e', 'l', 'l', 'o', 0, 1, 2, 3, 4, 5}},
      {"PNG cut in half", {png.begin(), png.begin() + static_cast<long>(png.size() / 2)}},
      {"PNG signature only", {png.begin(), png.begin() + 8}},
      {"JPEG cut in half", {jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2)}},
      {"JPEG header only", {jpeg.begin(), jpeg.begin() + 3}},
      {"PNG of 100000 x 100000", huge},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(DecodePicture(c.bytes, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
  // Damage in the middle of a JPEG's data is noticed too, not shown as grey blocks.
  auto scrambled = jpeg;
  for (size_t i = scrambled.size() / 2; i < scrambled.size() - 2; ++i) scrambled[i] = 0x00;
  EXPECT_FALSE(DecodeJpeg(scrambled));
}

TEST(Pictures, FilesAreDecodedByContentNotName) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("ax-pictures-" + std::to_string(getpid()));
  fs::create_directories(dir);
  Bitmap b(2, 2, Rgb(0xDCECF0));
  ASSERT_TRUE(WritePng(b, dir / "cover.jpg"));  // a PNG with the wrong extension
  auto loaded = LoadPictureFile(dir / "cover.jpg");
  ASSERT_TRUE(loaded);
  EXPECT_EQ(*loaded, b);
  std::string error;
  EXPECT_FALSE(LoadPictureFile(dir / "missing.png", &error));
  EXPECT_NE(error.find("missing.png"), std::string::npos);
  fs::remove_all(dir);
}
