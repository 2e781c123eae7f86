// The stream engine's C interface ("tarn.dll"), as the player and outside harnesses see it.
// Every function may be called from any thread; error codes are kept per thread. Every call
// that fails sets the calling thread's code (Tarn_ErrorGetCode), every call that succeeds sets
// it to 0. Handles are nonzero, never reused while the library stays loaded, and safe to pass
// after they die (the call then fails with TARN_ERROR_HANDLE).
#ifndef LIBS_TARN_TARN_H_
#define LIBS_TARN_TARN_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TARN_BUILDING)
#define TARN_API __attribute__((visibility("default")))
#else
#define TARN_API
#endif

typedef int BOOL;

// Error codes shared by the three engine libraries.
enum {
  TARN_OK = 0,
  TARN_ERROR_MEM = 1,
  TARN_ERROR_FILEOPEN = 2,
  TARN_ERROR_DRIVER = 3,
  TARN_ERROR_HANDLE = 5,
  TARN_ERROR_FORMAT = 6,
  TARN_ERROR_INIT = 8,
  TARN_ERROR_START = 9,
  TARN_ERROR_ALREADY = 14,
  TARN_ERROR_NOCHAN = 18,
  TARN_ERROR_ILLPARAM = 20,
  TARN_ERROR_DEVICE = 23,
  TARN_ERROR_FREQ = 25,
  TARN_ERROR_FILEFORM = 27,
  TARN_ERROR_NOTAVAIL = 37,
  TARN_ERROR_TIMEOUT = 40,
  TARN_ERROR_FILEFORMAT = 41,
  TARN_ERROR_CODEC = 44,
  TARN_ERROR_UNKNOWN = -1,
};

// Channel attributes.
enum { TARN_ATTRIB_FREQ = 1, TARN_ATTRIB_DSDRATE = 81921 };
// Configuration options that are stored.
enum { TARN_CONFIG_BUFFER = 1, TARN_CONFIG_UNICODE = 42, TARN_CONFIG_DSD_FREQ = 67584 };

TARN_API BOOL Tarn_Init(int device, uint32_t freq, uint32_t flags, void* window,
                        const void* reserved);
TARN_API BOOL Tarn_Free(void);
TARN_API BOOL Tarn_SetDevice(uint32_t device);
TARN_API BOOL Tarn_SetConfig(uint32_t option, uint32_t value);
TARN_API int32_t Tarn_ErrorGetCode(void);
TARN_API uint64_t Tarn_ChannelGetLength(uint32_t handle, uint32_t mode);
TARN_API double Tarn_ChannelBytes2Seconds(uint32_t handle, uint64_t bytes);
TARN_API BOOL Tarn_ChannelGetAttribute(uint32_t handle, uint32_t attrib, float* value);
TARN_API int32_t Tarn_ChannelGetData(uint32_t handle, void* buffer, uint32_t length);
TARN_API BOOL Tarn_ChannelSetDevice(uint32_t handle, uint32_t device);
TARN_API BOOL Tarn_ChannelStop(uint32_t handle);
TARN_API BOOL Tarn_StreamFree(uint32_t handle);
TARN_API uint32_t Tarn_StreamCreateFile(BOOL mem, const void* file, uint64_t offset,
                                        uint64_t length, uint32_t flags);
TARN_API uint64_t Tarn_ChannelGetPosition(uint32_t handle, uint32_t mode);
TARN_API BOOL Tarn_ChannelSetPosition(uint32_t handle, uint64_t pos, uint32_t mode);
TARN_API uint64_t Tarn_StreamGetFilePosition(uint32_t handle, uint32_t mode);
TARN_API BOOL Tarn_ChannelUpdate(uint32_t handle, uint32_t length);

#ifdef __cplusplus
}
#endif

#endif  // LIBS_TARN_TARN_H_
