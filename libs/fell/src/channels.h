// The output channels of the open device and their settings, shared between the control calls
// (writers, serialised by the library's lock) and the device thread (reader, lock-free).
//
// Every field is an atomic and writers bracket their changes with a sequence counter, so the
// device thread takes a consistent snapshot once per period without ever waiting: when a writer
// is in the middle of a change (a handful of stores, but it may be preempted there), the device
// thread keeps its previous snapshot and sees the change one period later.
#ifndef LIBS_FELL_SRC_CHANNELS_H_
#define LIBS_FELL_SRC_CHANNELS_H_

#include <array>
#include <atomic>
#include <cstdint>

#include "libs/fell/fell.h"

namespace fell {

inline constexpr int kOutputChannels = 2;

struct ChannelSettings {
  FellAsioProc proc = nullptr;  // non-null = enabled
  void* user = nullptr;
  int join_to = -1;  // fed from that channel's callback buffer
  bool paused = false;
  uint32_t format = FELL_FORMAT_DSD;
};

using ChannelSnapshot = std::array<ChannelSettings, kOutputChannels>;

class ChannelTable {
 public:
  // Writers (control calls, already serialised by the caller): read, change, publish.
  ChannelSnapshot Current() const;  // writers only: no change can be under way
  void Publish(const ChannelSnapshot& s);
  // Device thread: a consistent copy into *out, or false (and *out untouched) while a change is
  // under way. Never waits.
  bool TryRead(ChannelSnapshot* out) const;

 private:
  struct Slot {
    std::atomic<FellAsioProc> proc{nullptr};
    std::atomic<void*> user{nullptr};
    std::atomic<int> join_to{-1};
    std::atomic<bool> paused{false};
    std::atomic<uint32_t> format{FELL_FORMAT_DSD};
  };
  ChannelSnapshot Load() const;
  std::atomic<uint32_t> seq_{0};
  std::array<Slot, kOutputChannels> slots_;
};

}  // namespace fell

#endif  // LIBS_FELL_SRC_CHANNELS_H_
