// Engine error codes in words. The stream engine and the output library share one numbering.
#pragma once

#include <cstdint>
#include <string>

#include "engine/message.h"

namespace ax {

// The sentence for an error code: the fixed text of a known code, else "Error code #<n>" with
// the code as a signed decimal number.
std::string EngineErrorText(int32_t code);

// The box ShowEngineError shows for `code`: title "Error", the error icon, one OK button, not
// system-modal.
Message EngineErrorMessage(int32_t code);

// Shows the error box and returns once the user has closed it. Callable from the reading thread
// as well as the main thread; it blocks only the caller.
void ShowEngineError(int32_t code, MessageSink& sink);

}  // namespace ax
