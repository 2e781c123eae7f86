#include "engine/device.h"

namespace ax {

std::u16string CopyUtf16(const void* text) {
  if (text == nullptr) return {};
  return std::u16string(static_cast<const char16_t*>(text));
}

std::optional<std::u16string> QueryDeviceName(const EngineEntries& engine, uint32_t number) {
  if (engine.Fell_ASIO_GetDeviceInfo == nullptr) return std::nullopt;
  FellDeviceInfo info{nullptr, nullptr};
  if (engine.Fell_ASIO_GetDeviceInfo(number, &info) == 0) return std::nullopt;
  return CopyUtf16(info.name);
}

RateProbe ProbeDeviceRates(const EngineEntries& engine, uint32_t number) {
  RateProbe probe;
  if (engine.Fell_ASIO_Init != nullptr && engine.Fell_ASIO_Init(static_cast<int>(number), 0) != 0) {
    probe.opened = true;
    if (engine.Fell_ASIO_SetDSD != nullptr && engine.Fell_ASIO_SetDSD(1) != 0) {
      for (size_t i = 0; i < kDsdRates.size(); ++i) {
        if (engine.Fell_ASIO_CheckRate == nullptr || engine.Fell_ASIO_CheckRate(kDsdRates[i]) == 0)
          break;
        probe.rates[i] = 1;
      }
      engine.Fell_ASIO_SetDSD(0);
    }
  }
  if (engine.Fell_ASIO_Free != nullptr) engine.Fell_ASIO_Free();
  return probe;
}

}  // namespace ax
