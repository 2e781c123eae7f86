#include "tests/engine/fake_engine.h"

#include <cassert>

#include "engine/device.h"

namespace ax::testing {
namespace {
FakeOutputLibrary* current = nullptr;
}

struct FakeCalls {
  static EngineBool GetDeviceInfo(uint32_t device, FellDeviceInfo* info) {
    current->log_.push_back("GetDeviceInfo(" + std::to_string(device) + ")");
    if (device >= current->devices_.size()) return 0;
    info->name = current->devices_[device].name.c_str();
    info->driver = u"fake";
    return 1;
  }
  static EngineBool Init(int device, uint32_t flags) {
    current->log_.push_back("Init(" + std::to_string(device) + ")");
    if (device < 0 || static_cast<size_t>(device) >= current->devices_.size() ||
        !current->devices_[device].opens)
      return 0;
    current->open_ = device;
    return 1;
  }
  static EngineBool Free() {
    current->log_.push_back("Free");
    current->open_ = -1;
    current->dsd_ = false;
    return 1;
  }
  static EngineBool SetDSD(EngineBool on) {
    current->log_.push_back("SetDSD(" + std::to_string(on) + ")");
    if (current->open_ < 0) return 0;
    if (on && !current->devices_[current->open_].enters_dsd) return 0;
    current->dsd_ = on != 0;
    return 1;
  }
  static EngineBool CheckRate(double rate) {
    current->log_.push_back("CheckRate(" + std::to_string(static_cast<long>(rate)) + ")");
    if (current->open_ < 0 || !current->dsd_) return 0;
    int accepted = current->devices_[current->open_].rates_accepted;
    for (int i = 0; i < accepted; ++i) {
      if (kDsdRates[i] == rate) return 1;
    }
    return 0;
  }
};

FakeOutputLibrary::FakeOutputLibrary(std::vector<FakeDevice> devices)
    : devices_(std::move(devices)) {
  assert(current == nullptr);
  current = this;
  entries_.Fell_ASIO_GetDeviceInfo = &FakeCalls::GetDeviceInfo;
  entries_.Fell_ASIO_Init = &FakeCalls::Init;
  entries_.Fell_ASIO_Free = &FakeCalls::Free;
  entries_.Fell_ASIO_SetDSD = &FakeCalls::SetDSD;
  entries_.Fell_ASIO_CheckRate = &FakeCalls::CheckRate;
}

FakeOutputLibrary::~FakeOutputLibrary() {
  current = nullptr;
}

}  // namespace ax::testing
