#include "libs/fell/src/channels.h"

namespace fell {

// Without fences (the thread sanitizer does not model them): each field is stored with release
// and loaded with acquire, so a reader that sees any field of a change also sees the counter
// made odd before it, and the final counter load cannot move ahead of the field loads.
ChannelSnapshot ChannelTable::Load() const {
  constexpr auto kAcq = std::memory_order_acquire;
  ChannelSnapshot s;
  for (int c = 0; c < kOutputChannels; ++c) {
    s[c].proc = slots_[c].proc.load(kAcq);
    s[c].user = slots_[c].user.load(kAcq);
    s[c].join_to = slots_[c].join_to.load(kAcq);
    s[c].paused = slots_[c].paused.load(kAcq);
    s[c].format = slots_[c].format.load(kAcq);
  }
  return s;
}

ChannelSnapshot ChannelTable::Current() const {
  return Load();
}

void ChannelTable::Publish(const ChannelSnapshot& s) {
  constexpr auto kRel = std::memory_order_release;
  // Odd: a change is under way. The acquire half keeps the field stores after it.
  const uint32_t seq = seq_.fetch_add(1, std::memory_order_acq_rel);
  for (int c = 0; c < kOutputChannels; ++c) {
    slots_[c].proc.store(s[c].proc, kRel);
    slots_[c].user.store(s[c].user, kRel);
    slots_[c].join_to.store(s[c].join_to, kRel);
    slots_[c].paused.store(s[c].paused, kRel);
    slots_[c].format.store(s[c].format, kRel);
  }
  // Pairs with the acquire load of seq_ at the start of Read.
  seq_.store(seq + 2, std::memory_order_release);
}

bool ChannelTable::TryRead(ChannelSnapshot* out) const {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const uint32_t before = seq_.load(std::memory_order_acquire);
    if (before & 1) continue;
    ChannelSnapshot s = Load();
    if (seq_.load(std::memory_order_relaxed) == before) {
      *out = s;
      return true;
    }
  }
  return false;
}

}  // namespace fell
