#include "engine/errors.h"

#include <array>
#include <utility>

namespace ax {

std::string EngineErrorText(int32_t code) {
  static constexpr std::array<std::pair<int32_t, const char*>, 18> kTexts = {{
      {0, "All is OK"},
      {1, "Memory error"},
      {2, "Can't open the file"},
      {3, "Can't find a free/valid driver"},
      {6, "Unsupported sample format"},
      {8, "Fell_ASIO_Init has Not been successfully called"},
      {9, "Fell_ASIO_Start has/hasn't been called"},
      {14, "Already initialized/started"},
      {18, "Can't get a free channel"},
      {20, "An illegal parameter was specified"},
      {23, "Illegal device number"},
      {25, "Illegal sample rate"},
      {27, "The stream is not a file stream"},
      {37, "Requested data is not available"},
      {40, "Connection timedout"},
      {41, "Unsupported file format"},
      {44, "Codec is not available/supported"},
      {-1, "Some other mystery error"},
  }};
  for (const auto& [known, text] : kTexts) {
    if (known == code) return text;
  }
  return "Error code #" + std::to_string(code);
}

Message EngineErrorMessage(int32_t code) {
  return Message{"Error", EngineErrorText(code), MessageIcon::kError, false};
}

void ShowEngineError(int32_t code, MessageSink& sink) {
  sink.Show(EngineErrorMessage(code));
}

}  // namespace ax
