// The message sink that shows boxes on the screen through the platform's message boxes.
#pragma once

#include "engine/message.h"
#include "platform/display.h"

namespace ax {

class DisplayMessageSink : public MessageSink {
 public:
  // `display` may be null: the box is then not shown (there is no screen to show it on).
  explicit DisplayMessageSink(platform::Display* display) : display_(display) {}
  // Any thread; blocks the caller until the box is closed.
  void Show(const Message& message) override;

 private:
  platform::Display* display_;
};

}  // namespace ax
