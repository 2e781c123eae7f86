// ALSA devices: the PCMs alsa-lib lists that can take DSD natively or as DoP.
#ifndef LIBS_FELL_SRC_ALSA_DEVICE_H_
#define LIBS_FELL_SRC_ALSA_DEVICE_H_

#include <memory>
#include <vector>

#include "libs/fell/src/device.h"
#include "libs/fell/src/device_list.h"

namespace fell {

// Lists hardware devices and user-defined PCMs with a hint, skipping those that cannot carry DSD
// unchanged (null, default, sysdefault, sound servers, converting plugins). Each PCM is opened
// once to probe it: it is listed as "NAME" when it takes a native DSD format, and once more as
// "NAME (DoP)" when it takes 24- or 32-bit PCM at a DoP rate. A PCM that cannot be opened right
// now (busy, broken configuration) is left out. Blocks for as long as alsa-lib takes to open
// each PCM; main thread.
std::vector<DeviceEntry> ListAlsaDevices();

// Opens the PCM of an ALSA entry for playback; on failure returns null with *error set.
std::unique_ptr<Device> OpenAlsaDevice(const DeviceEntry& entry, int* error);

}  // namespace fell

#endif  // LIBS_FELL_SRC_ALSA_DEVICE_H_
