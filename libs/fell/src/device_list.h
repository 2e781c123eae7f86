// The devices the library offers: device 0 (virtual) and the ALSA PCMs that can take DSD.
#ifndef LIBS_FELL_SRC_DEVICE_LIST_H_
#define LIBS_FELL_SRC_DEVICE_LIST_H_

#include <string>
#include <vector>

namespace fell {

struct DeviceEntry {
  enum class Kind { kVirtual, kAlsaNative, kAlsaDop };
  Kind kind = Kind::kVirtual;
  std::string pcm;  // ALSA PCM name; empty for the virtual device
  std::string name, driver;
  std::u16string name16, driver16;
};

DeviceEntry MakeEntry(DeviceEntry::Kind kind, std::string pcm, std::string name,
                      std::string driver);
std::u16string Utf8ToUtf16(const std::string& s);

}  // namespace fell

#endif  // LIBS_FELL_SRC_DEVICE_LIST_H_
