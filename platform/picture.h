// PNG and JPEG pictures, decoded into canvas bitmaps (and PNG written, for our art tools).
//
// Decoding checks everything it reads: a truncated, corrupt or unsupported file gives
// std::nullopt with the reason in `error`, never a partial picture, and pictures larger than
// kMaxPicturePixels are refused before any pixel memory is taken. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/canvas/canvas.h"

namespace platform {

constexpr int64_t kMaxPicturePixels = 64 * 1024 * 1024;

std::optional<canvas::Bitmap> DecodePng(std::span<const uint8_t> bytes,
                                        std::string* error = nullptr);
std::optional<canvas::Bitmap> DecodeJpeg(std::span<const uint8_t> bytes,
                                         std::string* error = nullptr);
// Decodes by the file's signature (PNG or JPEG), not by its name.
std::optional<canvas::Bitmap> DecodePicture(std::span<const uint8_t> bytes,
                                            std::string* error = nullptr);
std::optional<canvas::Bitmap> LoadPictureFile(const std::string& path,
                                              std::string* error = nullptr);

// Writes an 8-bit RGBA PNG; false (with the reason) on failure.
bool WritePng(const canvas::Bitmap& bitmap, const std::string& path, std::string* error = nullptr);

}  // namespace platform
