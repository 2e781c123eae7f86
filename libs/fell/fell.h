// The output library ("fell.dll"): DSD output to a virtual device and to ALSA devices, native or
// by DoP, behind a small C interface of channel pairs and a pull callback.
//
// Threads: every function may be called from any thread; calls are serialised inside the library
// except Fell_ASIO_IsStarted and Fell_ASIO_ErrorGetCode, which never wait. The channel callback
// runs on the library's own device thread and must not call back into the library.
// Errors: every call sets the calling thread's last error code (0 on success); the numbering is
// shared with the stream engine (3 no valid driver, 6 unsupported format, 8 not initialised,
// 9 not started / already started, 14 already initialised, 20 illegal parameter, 23 illegal device
// number, 25 illegal rate, 40 time-out, -1 other).
#ifndef LIBS_FELL_FELL_H_
#define LIBS_FELL_FELL_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FELL_API __attribute__((visibility("default")))

typedef int FELL_BOOL;

// Both texts are UTF-16 after Fell_ASIO_SetUnicode(1), else UTF-8, and stay valid while the
// library is loaded. `driver` is the ALSA PCM name (or "virtual").
typedef struct FellDeviceInfo {
  const void* name;
  const void* driver;
} FellDeviceInfo;

// Channel format 33: DSD, one byte per channel, earliest sample in bit 7. A joined pair gets
// its bytes interleaved: left, right, left, right, ...
#define FELL_FORMAT_DSD 33u

// Reset flags.
#define FELL_RESET_DISABLE 1u
#define FELL_RESET_UNJOIN 2u
#define FELL_RESET_UNPAUSE 4u
#define FELL_RESET_FORMAT 8u

// Called on the device thread once per period with the channel's buffer (for a channel with
// joined channels, their bytes interleaved in channel order) and its size in bytes; returns the
// bytes it wrote from the start of the buffer. The library fills the rest with DSD silence (0x69).
// Must not block, lock, allocate or call the library.
typedef uint32_t (*FellAsioProc)(FELL_BOOL input, uint32_t channel, void* buffer, uint32_t length,
                                 void* user);

FELL_API uint32_t Fell_ASIO_GetVersion(void);
FELL_API FELL_BOOL Fell_ASIO_SetUnicode(FELL_BOOL utf16);
// Nonzero while `device` names a device; numbers run from 0 without gaps. Device 0 is the
// virtual device; the ALSA devices are listed once, on the first call that needs them.
FELL_API FELL_BOOL Fell_ASIO_GetDeviceInfo(uint32_t device, FellDeviceInfo* info);
// Opens the device (an ALSA PCM stays open until Fell_ASIO_Free). `flags` bit 1 asks for
// callbacks on a dedicated thread, which is how the library always calls them.
FELL_API FELL_BOOL Fell_ASIO_Init(int device, uint32_t flags);
// Stops (with the tail of silence) and closes the device. Succeeds when nothing is open.
FELL_API FELL_BOOL Fell_ASIO_Free(void);
FELL_API int32_t Fell_ASIO_ErrorGetCode(void);
// DSD mode on or off; fails with 6 on a device that cannot take DSD, with 9 while started.
FELL_API FELL_BOOL Fell_ASIO_SetDSD(FELL_BOOL dsd);
// Nonzero when the device takes `rate` in the current mode (DSD mode: the one-bit rate in Hz,
// tested against the device's real hardware parameters); else fails with 25.
FELL_API FELL_BOOL Fell_ASIO_CheckRate(double rate);
// Takes effect at the next start; fails with 25 for a rate the device refuses and with 9 while
// started (rates change only between runs).
FELL_API FELL_BOOL Fell_ASIO_SetRate(double rate);
FELL_API double Fell_ASIO_GetRate(void);
FELL_API FELL_BOOL Fell_ASIO_ChannelEnable(FELL_BOOL input, uint32_t channel, FellAsioProc proc,
                                           void* user);
FELL_API FELL_BOOL Fell_ASIO_ChannelJoin(FELL_BOOL input, uint32_t channel, int channel2);
FELL_API FELL_BOOL Fell_ASIO_ChannelSetFormat(FELL_BOOL input, uint32_t channel, uint32_t format);
// The channel's callbacks halt within one period; the device plays DSD silence meanwhile.
FELL_API FELL_BOOL Fell_ASIO_ChannelPause(FELL_BOOL input, uint32_t channel);
FELL_API FELL_BOOL Fell_ASIO_ChannelReset(FELL_BOOL input, int channel, uint32_t flags);
// `buflen`: the period in bytes per channel, 0 = the device's preferred period (more than one
// second's worth fails with 20). `threads` is ignored. The device starts with a short lead-in of
// silence, then calls the callbacks. Fails with 20 when no channel has a callback, 6 outside DSD
// mode, 9 while started.
FELL_API FELL_BOOL Fell_ASIO_Start(uint32_t buflen, uint32_t threads);
// Ends the run: a short tail of silence, a drain bounded in time, and the device thread has ended
// when this returns, so no callback runs any more. Fails with 9 when nothing runs.
FELL_API FELL_BOOL Fell_ASIO_Stop(void);
// Nonzero while the device runs. Reads 0 once the device has failed for good; the calling
// thread's error code then says why (3: the device is gone, -1: another lasting failure).
FELL_API FELL_BOOL Fell_ASIO_IsStarted(void);
// No selectors yet: fails with 20.
FELL_API FELL_BOOL Fell_ASIO_Future(uint32_t selector, void* param);

#ifdef __cplusplus
}
#endif

#endif  // LIBS_FELL_FELL_H_
