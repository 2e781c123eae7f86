#include "engine/errors.h"

#include <gtest/gtest.h>

#include <vector>

namespace ax {
namespace {

TEST(EngineErrorText, EveryKnownCodeAndTheNumberedForm) {
  struct Case {
    int32_t code;
    const char* text;
  };
  const Case cases[] = {
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
      // A library's 0xFFFFFFFF is read as signed.
      {static_cast<int32_t>(0xFFFFFFFFu), "Some other mystery error"},
      {5, "Error code #5"},
      {4, "Error code #4"},
      {45, "Error code #45"},
      {-2, "Error code #-2"},
      {INT32_MIN, "Error code #-2147483648"},
      {INT32_MAX, "Error code #2147483647"},
  };
  for (const Case& c : cases) EXPECT_EQ(EngineErrorText(c.code), c.text) << "code " << c.code;
}

class RecordingSink : public MessageSink {
 public:
  void Show(const Message& message) override { shown.push_back(message); }
  std::vector<Message> shown;
};

TEST(ShowEngineError, ShowsOneErrorBoxThatIsNotSystemModal) {
  RecordingSink sink;
  ShowEngineError(41, sink);
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0],
            (Message{"Error", "Unsupported file format", MessageIcon::kError, false}));
}

}  // namespace
}  // namespace ax
