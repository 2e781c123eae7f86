// The exported C functions: each sets the calling thread's error code from the result of the
// matching member of the library's one Output.
#include "libs/fell/fell.h"

#include "libs/fell/src/output.h"

namespace {

thread_local int32_t last_error = 0;

fell::Output& TheOutput() {
  static fell::Output output;
  return output;
}

FELL_BOOL Result(int code) {
  last_error = code;
  return code == 0 ? 1 : 0;
}

}  // namespace

extern "C" {

uint32_t Fell_ASIO_GetVersion(void) {
  last_error = 0;
  return 0x01000000u;
}

FELL_BOOL Fell_ASIO_SetUnicode(FELL_BOOL utf16) {
  TheOutput().SetUnicode(utf16 != 0);
  return Result(0);
}

FELL_BOOL Fell_ASIO_GetDeviceInfo(uint32_t device, FellDeviceInfo* info) {
  return Result(TheOutput().GetDeviceInfo(device, info));
}

FELL_BOOL Fell_ASIO_Init(int device, uint32_t flags) {
  return Result(TheOutput().Init(device));
}

FELL_BOOL Fell_ASIO_Free(void) {
  return Result(TheOutput().Free());
}

int32_t Fell_ASIO_ErrorGetCode(void) {
  return last_error;
}

FELL_BOOL Fell_ASIO_SetDSD(FELL_BOOL dsd) {
  return Result(TheOutput().SetDsd(dsd != 0));
}

FELL_BOOL Fell_ASIO_CheckRate(double rate) {
  return Result(TheOutput().CheckRate(rate));
}

FELL_BOOL Fell_ASIO_SetRate(double rate) {
  return Result(TheOutput().SetRate(rate));
}

double Fell_ASIO_GetRate(void) {
  double rate = 0;
  Result(TheOutput().GetRate(&rate));
  return rate;
}

FELL_BOOL Fell_ASIO_ChannelEnable(FELL_BOOL input, uint32_t channel, FellAsioProc proc,
                                  void* user) {
  return Result(TheOutput().Enable(input != 0, channel, proc, user));
}

FELL_BOOL Fell_ASIO_ChannelJoin(FELL_BOOL input, uint32_t channel, int channel2) {
  return Result(TheOutput().Join(input != 0, channel, channel2));
}

FELL_BOOL Fell_ASIO_ChannelSetFormat(FELL_BOOL input, uint32_t channel, uint32_t format) {
  return Result(TheOutput().SetFormat(input != 0, channel, format));
}

FELL_BOOL Fell_ASIO_ChannelPause(FELL_BOOL input, uint32_t channel) {
  return Result(TheOutput().Pause(input != 0, channel));
}

FELL_BOOL Fell_ASIO_ChannelReset(FELL_BOOL input, int channel, uint32_t flags) {
  return Result(TheOutput().Reset(input != 0, channel, flags));
}

FELL_BOOL Fell_ASIO_Start(uint32_t buflen, uint32_t threads) {
  return Result(TheOutput().Start(buflen));
}

FELL_BOOL Fell_ASIO_Stop(void) {
  return Result(TheOutput().Stop());
}

FELL_BOOL Fell_ASIO_IsStarted(void) {
  bool started = false;
  const int failure = TheOutput().IsStarted(&started);
  last_error = started ? 0 : failure;
  return started ? 1 : 0;
}

FELL_BOOL Fell_ASIO_Future(uint32_t selector, void* param) {
  return Result(fell::kErrIllegalParam);
}

}  // extern "C"
