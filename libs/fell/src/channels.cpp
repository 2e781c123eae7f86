#include "libs/fell/src/channels.h"

namespace fell {

ChannelSnapshot ChannelTable::Load() const {
  ChannelSnapshot s;
  for (int c = 0; c < kOutputChannels; ++c) {
    s[c].proc = slots_[c].proc.load(std::memory_order_relaxed);
    s[c].user = slots_[c].user.load(std::memory_order_relaxed);
    s[c].join_to = slots_[c].join_to.load(std::memory_order_relaxed);
    s[c].paused = slots_[c].paused.load(std::memory_order_relaxed);
    s[c].format = slots_[c].format.load(std::memory_order_relaxed);
  }
  return s;
}

ChannelSnapshot ChannelTable::Current() const {
  return Load();
}

void ChannelTable::Publish(const ChannelSnapshot& s) {
  const uint32_t seq = seq_.load(std::memory_order_relaxed);
  seq_.store(seq + 1, std::memory_order_relaxed);  // odd: a change is under way
  std::atomic_thread_fence(std::memory_order_release);
  for (int c = 0; c < kOutputChannels; ++c) {
    slots_[c].proc.store(s[c].proc, std::memory_order_relaxed);
    slots_[c].user.store(s[c].user, std::memory_order_relaxed);
    slots_[c].join_to.store(s[c].join_to, std::memory_order_relaxed);
    slots_[c].paused.store(s[c].paused, std::memory_order_relaxed);
    slots_[c].format.store(s[c].format, std::memory_order_relaxed);
  }
  // Pairs with the acquire load of seq_ at the start of Read.
  seq_.store(seq + 2, std::memory_order_release);
}

ChannelSnapshot ChannelTable::Read() const {
  for (;;) {
    const uint32_t before = seq_.load(std::memory_order_acquire);
    if (before & 1) continue;
    ChannelSnapshot s = Load();
    std::atomic_thread_fence(std::memory_order_acquire);
    if (seq_.load(std::memory_order_relaxed) == before) return s;
  }
}

}  // namespace fell
