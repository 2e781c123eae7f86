// "fell.dll" as the player loads it: by path, its operations looked up by name.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "libs/fell/fell.h"

namespace {

TEST(FellLibrary, ExportsEveryOperationByNameAndWorksWhenLoaded) {
  void* lib = dlopen(FELL_DLL, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  const char* const names[] = {
      "Fell_ASIO_GetVersion",   "Fell_ASIO_GetDeviceInfo",    "Fell_ASIO_Init",
      "Fell_ASIO_Free",         "Fell_ASIO_ErrorGetCode",     "Fell_ASIO_CheckRate",
      "Fell_ASIO_SetRate",      "Fell_ASIO_GetRate",          "Fell_ASIO_Start",
      "Fell_ASIO_Stop",         "Fell_ASIO_SetUnicode",       "Fell_ASIO_IsStarted",
      "Fell_ASIO_ChannelReset", "Fell_ASIO_ChannelEnable",    "Fell_ASIO_ChannelJoin",
      "Fell_ASIO_ChannelPause", "Fell_ASIO_ChannelSetFormat", "Fell_ASIO_SetDSD",
      "Fell_ASIO_Future"};
  for (const char* n : names) EXPECT_NE(dlsym(lib, n), nullptr) << n;

  auto init = reinterpret_cast<decltype(&Fell_ASIO_Init)>(dlsym(lib, "Fell_ASIO_Init"));
  auto set_dsd = reinterpret_cast<decltype(&Fell_ASIO_SetDSD)>(dlsym(lib, "Fell_ASIO_SetDSD"));
  auto check = reinterpret_cast<decltype(&Fell_ASIO_CheckRate)>(dlsym(lib, "Fell_ASIO_CheckRate"));
  auto code =
      reinterpret_cast<decltype(&Fell_ASIO_ErrorGetCode)>(dlsym(lib, "Fell_ASIO_ErrorGetCode"));
  auto free_ = reinterpret_cast<decltype(&Fell_ASIO_Free)>(dlsym(lib, "Fell_ASIO_Free"));
  ASSERT_TRUE(init && set_dsd && check && code && free_);
  EXPECT_TRUE(init(0, 0));
  EXPECT_TRUE(set_dsd(1));
  EXPECT_TRUE(check(22579200.0));
  EXPECT_FALSE(check(1.0));
  EXPECT_EQ(code(), 25);
  EXPECT_TRUE(free_());
  dlclose(lib);
}

}  // namespace
