#include "engine/entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ax {
namespace {

int32_t FakeErrorGetCode() {
  return 7;
}

TEST(BindEngineOperations, AsksForEachNameOfTheLibraryInTableOrder) {
  const std::vector<std::string> stream = {"Tarn_ChannelGetData",
                                           "Tarn_StreamCreateFile",
                                           "Tarn_ChannelGetLength",
                                           "Tarn_ChannelGetPosition",
                                           "Tarn_ErrorGetCode",
                                           "Tarn_Init",
                                           "Tarn_Free",
                                           "Tarn_StreamFree",
                                           "Tarn_StreamGetFilePosition",
                                           "Tarn_SetDevice",
                                           "Tarn_SetConfig",
                                           "Tarn_ChannelBytes2Seconds",
                                           "Tarn_ChannelGetAttribute",
                                           "Tarn_ChannelSetPosition",
                                           "Tarn_ChannelSetDevice",
                                           "Tarn_ChannelStop",
                                           "Tarn_ChannelUpdate"};
  const std::vector<std::string> output = {
      "Fell_ASIO_GetVersion",   "Fell_ASIO_GetDeviceInfo",    "Fell_ASIO_Init",
      "Fell_ASIO_Free",         "Fell_ASIO_ErrorGetCode",     "Fell_ASIO_CheckRate",
      "Fell_ASIO_SetRate",      "Fell_ASIO_GetRate",          "Fell_ASIO_Start",
      "Fell_ASIO_Stop",         "Fell_ASIO_SetUnicode",       "Fell_ASIO_IsStarted",
      "Fell_ASIO_ChannelReset", "Fell_ASIO_ChannelEnable",    "Fell_ASIO_ChannelJoin",
      "Fell_ASIO_ChannelPause", "Fell_ASIO_ChannelSetFormat", "Fell_ASIO_SetDSD",
      "Fell_ASIO_Future"};
  const std::vector<std::string> decoder = {"Scree_DSD_StreamCreateFile"};

  struct Case {
    EngineLibrary library;
    const std::vector<std::string>* names;
  };
  for (const Case& c :
       {Case{EngineLibrary::kStream, &stream}, Case{EngineLibrary::kOutput, &output},
        Case{EngineLibrary::kDecoder, &decoder}}) {
    std::vector<std::string> asked;
    EngineEntries entries;
    BindEngineOperations(
        c.library,
        [&asked](const char* name) -> void* {
          asked.push_back(name);
          return nullptr;
        },
        entries);
    EXPECT_EQ(asked, *c.names);
  }
  EXPECT_EQ(stream.size() + output.size() + decoder.size(), kEngineOperationCount);
}

TEST(BindEngineOperations, StoresEachAddressInItsOwnEntryAndLeavesMissingOnesEmpty) {
  EngineEntries entries;
  BindEngineOperations(
      EngineLibrary::kStream,
      [](const char* name) -> void* {
        return std::string(name) == "Tarn_ErrorGetCode" ? reinterpret_cast<void*>(&FakeErrorGetCode)
                                                        : nullptr;
      },
      entries);
  ASSERT_NE(entries.Tarn_ErrorGetCode, nullptr);
  EXPECT_EQ(entries.Tarn_ErrorGetCode(), 7);
  EXPECT_EQ(entries.Tarn_Init, nullptr);
  EXPECT_EQ(entries.Tarn_ChannelGetData, nullptr);
  EXPECT_EQ(entries.Fell_ASIO_Init, nullptr);  // another library's entries are not touched
}

}  // namespace
}  // namespace ax
