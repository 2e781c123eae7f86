// Finding the stored device again at start-up.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/device.h"
#include "engine/entries.h"

namespace ax {

// Walks device numbers 0 to 11 until one carries exactly `stored_name`, probes its rates and
// answers its entry when the three lowest rate flags equal `stored_rates` (the highest rate is
// not stored and is taken as found). Nothing when the list ends first, no device of the first
// twelve has the name, the named device cannot be opened, or its rates changed.
std::optional<DeviceEntry> RedetectDevice(const EngineEntries& engine,
                                          const std::u16string& stored_name,
                                          const std::array<uint8_t, 3>& stored_rates);

}  // namespace ax
