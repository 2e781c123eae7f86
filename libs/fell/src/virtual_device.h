// Device 0: takes every DSD rate (and PCM rates in PCM mode), paces the periods at the real rate
// of the stream (times FELL_VIRTUAL_SPEED) and discards the sound. With FELL_VIRTUAL_CAPTURE set
// it appends every byte the callbacks wrote to that file.
#ifndef LIBS_FELL_SRC_VIRTUAL_DEVICE_H_
#define LIBS_FELL_SRC_VIRTUAL_DEVICE_H_

#include <memory>

#include "libs/fell/src/device.h"

namespace fell {

// Reads FELL_VIRTUAL_SPEED and FELL_VIRTUAL_CAPTURE now (at open).
std::unique_ptr<Device> OpenVirtualDevice();

}  // namespace fell

#endif  // LIBS_FELL_SRC_VIRTUAL_DEVICE_H_
