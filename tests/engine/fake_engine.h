// A scripted output library for unit tests of the logic around devices: a list of devices, each
// with whether it opens, whether it enters DSD mode and how many rates (lowest first) it
// accepts. Every call is logged. One fake at a time, used from the test's own thread.
#pragma once

#include <string>
#include <vector>

#include "engine/entries.h"

namespace ax::testing {

struct FakeDevice {
  std::u16string name;
  bool opens = true;
  bool enters_dsd = true;
  int rates_accepted = 3;  // 0 to 4, lowest first
};

class FakeOutputLibrary {
 public:
  explicit FakeOutputLibrary(std::vector<FakeDevice> devices);
  ~FakeOutputLibrary();
  FakeOutputLibrary(const FakeOutputLibrary&) = delete;
  FakeOutputLibrary& operator=(const FakeOutputLibrary&) = delete;

  // Entries with the output library's device operations bound to this fake.
  const EngineEntries& entries() const { return entries_; }
  // "GetDeviceInfo(0)", "Init(0)", "SetDSD(1)", "CheckRate(2822400)", "SetDSD(0)", "Free" ...
  const std::vector<std::string>& log() const { return log_; }
  // True while a device is open (between a successful Init and Free).
  bool device_open() const { return open_ >= 0; }

 private:
  friend struct FakeCalls;
  std::vector<FakeDevice> devices_;
  std::vector<std::string> log_;
  EngineEntries entries_;
  int open_ = -1;
  bool dsd_ = false;
};

}  // namespace ax::testing
