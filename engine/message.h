// Modal message boxes as the player's logic sees them. The logic composes the box; a sink shows
// it and returns when the user has closed it. The real sink draws through the platform's message
// boxes; tests use a sink that records what would have been shown.
#pragma once

#include <cstdint>
#include <string>

namespace ax {

enum class MessageIcon : uint8_t { kNone, kError };

struct Message {
  std::string title;  // UTF-8
  std::string text;   // UTF-8
  MessageIcon icon = MessageIcon::kNone;
  bool system_modal = false;  // above every window of every program, not only ours

  bool operator==(const Message&) const = default;
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows the box and blocks the calling thread until it is closed. May be called from the main
  // thread or the reading thread.
  virtual void Show(const Message& message) = 0;
};

}  // namespace ax
