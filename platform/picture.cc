// PNG through libpng's simplified interface (which reads any PNG colour type into 8-bit BGRA),
// JPEG through libjpeg with an error handler that jumps back instead of ending the process.
#include "platform/picture.h"

#include <png.h>
#include <stdio.h>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>

#include "platform/system.h"

namespace platform {
namespace {

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

bool SizeAllowed(int64_t w, int64_t h) {
  return w > 0 && h > 0 && w * h <= kMaxPicturePixels;
}

struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info) {
  auto* err = reinterpret_cast<JpegError*>(info->err);
  info->err->format_message(info, err->message);
  longjmp(err->jump, 1);
}

void JpegSilence(j_common_ptr, int) {}

}  // namespace

std::optional<canvas::Bitmap> DecodePng(std::span<const uint8_t> bytes, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    SetError(error, std::string("png_image_begin_read_from_memory: ") + image.message);
    return std::nullopt;
  }
  if (!SizeAllowed(image.width, image.height)) {
    SetError(error, "PNG too large: " + std::to_string(image.width) + " x " +
                        std::to_string(image.height));
    png_image_free(&image);
    return std::nullopt;
  }
  // BGRA bytes in memory are 0xAARRGGBB words on a little-endian machine.
  static_assert(std::endian::native == std::endian::little);
  image.format = PNG_FORMAT_BGRA;
  canvas::Bitmap bitmap(static_cast<int>(image.width), static_cast<int>(image.height));
  if (!png_image_finish_read(&image, nullptr, bitmap.data(), 0, nullptr)) {
    SetError(error, std::string("png_image_finish_read: ") + image.message);
    png_image_free(&image);
    return std::nullopt;
  }
  return bitmap;
}

std::optional<canvas::Bitmap> DecodeJpeg(std::span<const uint8_t> bytes, std::string* error) {
  if (bytes.empty()) {
    SetError(error, "JPEG: no data");
    return std::nullopt;
  }
  jpeg_decompress_struct info;
  JpegError err;
  info.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegSilence;
  // Declared before setjmp so that a jump back leaves nothing half-built to destroy.
  canvas::Bitmap bitmap;
  std::vector<uint8_t> row;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    SetError(error, std::string("libjpeg: ") + err.message);
    return std::nullopt;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  if (!SizeAllowed(info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    SetError(error, "JPEG too large");
    return std::nullopt;
  }
  if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
    jpeg_destroy_decompress(&info);
    SetError(error, "JPEG in CMYK colours is not supported");
    return std::nullopt;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  bitmap =
      canvas::Bitmap(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
  row.resize(static_cast<size_t>(info.output_width) * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows[1] = {row.data()};
    int y = static_cast<int>(info.output_scanline);
    if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
    canvas::Color* out = bitmap.row(y);
    for (unsigned x = 0; x < info.output_width; ++x) {
      out[x] = canvas::Rgb((uint32_t{row[3 * x]} << 16) | (uint32_t{row[3 * x + 1]} << 8) |
                           row[3 * x + 2]);
    }
  }
  // A file cut short makes libjpeg pad with grey and warn; we want the whole picture or none.
  bool truncated = err.mgr.num_warnings > 0;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  if (truncated) {
    SetError(error, "JPEG data is corrupt or cut short");
    return std::nullopt;
  }
  return bitmap;
}

std::optional<canvas::Bitmap> DecodePicture(std::span<const uint8_t> bytes, std::string* error) {
  static const uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kPng, 8) == 0) return DecodePng(bytes, error);
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
    return DecodeJpeg(bytes, error);
  }
  SetError(error, "neither PNG nor JPEG");
  return std::nullopt;
}

std::optional<canvas::Bitmap> LoadPictureFile(const std::string& path, std::string* error) {
  auto bytes = ReadWholeFile(path);
  if (!bytes) {
    SetError(error, "cannot read " + path);
    return std::nullopt;
  }
  return DecodePicture(*bytes, error);
}

bool WritePng(const canvas::Bitmap& bitmap, const std::string& path, std::string* error) {
  if (bitmap.empty()) {
    SetError(error, "empty picture");
    return false;
  }
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(bitmap.width());
  image.height = static_cast<png_uint_32>(bitmap.height());
  image.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, bitmap.data(), 0, nullptr)) {
    SetError(error, std::string("png_image_write_to_memory: ") + image.message);
    return false;
  }
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, bitmap.data(), 0, nullptr)) {
    SetError(error, std::string("png_image_write_to_memory: ") + image.message);
    return false;
  }
  out.resize(size);
  return WriteFileAtomic(path, out, 0644, error);
}

}  // namespace platform
