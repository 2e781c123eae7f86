#include "ui/message_box.h"

namespace ax {

void DisplayMessageSink::Show(const Message& message) {
  if (display_ == nullptr) return;
  // The platform's boxes are modal to the program; a box above every other program's windows
  // (system-modal) has no counterpart on an X11 desktop.
  display_->ShowMessageBox(nullptr, message.title, message.text,
                           message.icon == MessageIcon::kError ? platform::MessageIcon::kError
                                                               : platform::MessageIcon::kNone);
}

}  // namespace ax
