#include "app/settings.h"

#include "platform/system.h"

namespace ax {
namespace {

constexpr char16_t kCr = 0x000D;
constexpr char16_t kLf = 0x000A;

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool HasUnit() const { return bytes_.size() - pos_ >= 2; }
  char16_t PeekUnit() const {
    return static_cast<char16_t>(bytes_[pos_] | (bytes_[pos_ + 1] << 8));
  }
  char16_t TakeUnit() {
    char16_t unit = PeekUnit();
    pos_ += 2;
    return unit;
  }
  uint8_t TakeByte() { return pos_ < bytes_.size() ? bytes_[pos_++] : 0; }
  uint32_t TakeU32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t{TakeByte()} << (8 * i);
    return value;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

std::u16string ReadNameLine(Reader& reader) {
  std::u16string name;
  while (reader.HasUnit()) {
    char16_t unit = reader.TakeUnit();
    if (unit == kCr) {
      // A CR LF pair ends the line; a CR followed by anything else leaves that unit unread.
      if (reader.HasUnit() && reader.PeekUnit() == kLf) reader.TakeUnit();
      break;
    }
    if (unit == kLf || unit == 0) break;
    name.push_back(unit);
  }
  return name;
}

}  // namespace

std::optional<StoredSettings> ParseSettings(std::span<const uint8_t> bytes) {
  if (bytes.size() < 5) return std::nullopt;
  Reader reader(bytes);
  if (reader.TakeU32() != kSettingsMagic) return std::nullopt;
  StoredSettings settings;
  settings.device_name = ReadNameLine(reader);
  settings.first_channel = reader.TakeByte();
  for (uint8_t& flag : settings.rates) flag = reader.TakeByte();
  settings.cover_mode = reader.TakeByte();
  settings.reserved = reader.TakeByte();
  return settings;
}

std::vector<uint8_t> SerializeSettings(const StoredSettings& settings) {
  std::vector<uint8_t> out;
  out.reserve(15 + 2 * settings.device_name.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(kSettingsMagic >> (8 * i)));
  auto put_unit = [&out](char16_t unit) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  };
  for (char16_t unit : settings.device_name) put_unit(unit);
  put_unit(kCr);
  put_unit(kLf);
  out.push_back(settings.first_channel);
  for (uint8_t flag : settings.rates) out.push_back(flag);
  out.push_back(settings.cover_mode);
  out.push_back(settings.reserved);
  out.push_back(0xFF);
  return out;
}

std::optional<StoredSettings> LoadSettings(const std::string& app_folder) {
  const std::string path = app_folder + kSettingsFileName;
  // FileSize answers -1 for a missing file and -2 for a folder, so this covers all three.
  if (platform::FileSize(path) < 5) return std::nullopt;
  if (!platform::FileReadableExclusive(path)) return std::nullopt;
  std::optional<std::vector<uint8_t>> bytes = platform::ReadWholeFile(path);
  if (!bytes) return std::nullopt;
  return ParseSettings(*bytes);
}

bool SaveSettings(const std::string& app_folder, const StoredSettings& settings) {
  return platform::WriteFileAtomic(app_folder + kSettingsFileName, SerializeSettings(settings),
                                   0644);
}

bool FileReadable(const std::string& path) {
  return platform::FileReadableExclusive(path);
}

}  // namespace ax
