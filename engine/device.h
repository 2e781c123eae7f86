// Output devices as the player sees them: a device's name and the DSD rates it accepts, learned
// through the output library. Main thread only: probing opens and frees the device.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/entries.h"

namespace ax {

// The four DSD rates, lowest first, in Hz.
inline constexpr std::array<double, 4> kDsdRates = {2822400.0, 5644800.0, 11289600.0, 22579200.0};

// Devices are numbered from 0; only the first twelve are ever looked at.
inline constexpr uint32_t kMaxDevices = 12;

struct DeviceEntry {
  uint8_t number = 0;
  std::u16string name;
  // One flag per rate of kDsdRates, 1 = accepted. Cumulative: a rate is only probed when every
  // lower one was accepted.
  std::array<uint8_t, 4> rates{};

  bool SupportsDsd() const { return rates[0] != 0; }
  bool operator==(const DeviceEntry&) const = default;
};

// The name of device `number`, or nothing when the library says no such device exists (device
// numbers run from 0 without gaps, so the first nothing ends a listing).
std::optional<std::u16string> QueryDeviceName(const EngineEntries& engine, uint32_t number);

struct RateProbe {
  bool opened = false;  // the device could be opened at all
  std::array<uint8_t, 4> rates{};
};

// Opens device `number`, enters DSD mode, checks the rates lowest first and stops at the first
// one refused, leaves DSD mode and frees the device again. The device is freed in every case,
// also when it could not be opened. No device stays open afterwards.
RateProbe ProbeDeviceRates(const EngineEntries& engine, uint32_t number);

// UTF-16 text from the library (zero-terminated); empty for a null pointer.
std::u16string CopyUtf16(const void* text);

}  // namespace ax
