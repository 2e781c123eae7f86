#include "app/redetect.h"

namespace ax {

std::optional<DeviceEntry> RedetectDevice(const EngineEntries& engine,
                                          const std::u16string& stored_name,
                                          const std::array<uint8_t, 3>& stored_rates) {
  for (uint32_t number = 0; number < kMaxDevices; ++number) {
    std::optional<std::u16string> name = QueryDeviceName(engine, number);
    if (!name) return std::nullopt;
    if (*name != stored_name) continue;
    RateProbe probe = ProbeDeviceRates(engine, number);
    if (!probe.opened) return std::nullopt;
    for (size_t i = 0; i < stored_rates.size(); ++i) {
      if (probe.rates[i] != stored_rates[i]) return std::nullopt;
    }
    return DeviceEntry{static_cast<uint8_t>(number), *name, probe.rates};
  }
  return std::nullopt;
}

}  // namespace ax
