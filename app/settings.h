// The settings file "ax.is", kept beside the program's own file: the chosen device's name and
// the three lowest DSD rates it accepted, the first output channel and the cover mode.
//
// Layout (little-endian): magic 2C 62 34 01; the device name as UTF-16LE code units; CR LF as
// UTF-16LE (0D 00 0A 00); first output channel; rate flags 2.8224, 5.6448, 11.2896 MHz; cover
// mode; reserved byte (written 0, read and ignored); end mark FF (written, never read).
// Main thread only; read once and written at most once per start.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ax {

inline constexpr uint32_t kSettingsMagic = 0x0134622C;
inline constexpr char kSettingsFileName[] = "ax.is";

struct StoredSettings {
  std::u16string device_name;
  uint8_t first_channel = 0;
  std::array<uint8_t, 3> rates{};  // 2.8224, 5.6448, 11.2896 MHz
  uint8_t cover_mode = 0;
  uint8_t reserved = 0;

  bool operator==(const StoredSettings&) const = default;
};

// Reads the file's bytes. Nothing when there are fewer than 5 bytes or the magic differs.
// Otherwise the name is read up to CR (with a following LF consumed, any other unit left for
// the byte fields), a lone LF, a 0 unit or the end of the data; every byte field beyond the end
// reads 0.
std::optional<StoredSettings> ParseSettings(std::span<const uint8_t> bytes);

// The whole file for `settings` (15 bytes + 2 per name code unit).
std::vector<uint8_t> SerializeSettings(const StoredSettings& settings);

// Loads "ax.is" from `app_folder` (a folder path with its trailing "/", or empty for the current
// folder). Nothing when the file is missing, a folder, shorter than 5 bytes, open elsewhere,
// unreadable or of another magic; the start is then a first run. Shows no message.
std::optional<StoredSettings> LoadSettings(const std::string& app_folder);

// Writes "ax.is" in `app_folder` under a temporary name and renames it over the old file, so an
// interrupted save leaves the old file or the new one, never a part. Answers whether the new
// file is in place; a failure is not reported to the user (the next start is a first run).
bool SaveSettings(const std::string& app_folder, const StoredSettings& settings);

// The file readable test: the file opens for reading with nobody else holding it open, and its
// first byte (if any) can be read. An empty file passes; a missing one or one open elsewhere, in
// this process or another, does not.
bool FileReadable(const std::string& path);

}  // namespace ax
