// The stream engine's interface for decoders ("scree.dll" and future ones). Not used by the
// player. A decoder registers itself when it is loaded and hands the engine its streams as a
// table of operations; the engine owns handles, positions, locking and error codes.
#ifndef LIBS_TARN_TARN_EXT_H_
#define LIBS_TARN_TARN_EXT_H_

#include <stdint.h>

#include "libs/tarn/tarn.h"

#ifdef __cplusplus
extern "C" {
#endif

// Operations of one decoded stream. The engine calls them with the stream's lock held, so a
// stream never sees two calls at once; different streams run in parallel.
typedef struct TarnStreamOps {
  // Fills up to `length` bytes from byte `pos` of the stream (any byte position, pos < the
  // stream's length); returns the count (0 at the end) or -1 after calling TarnX_SetError.
  // Never returns more than asked.
  int64_t (*read)(void* ctx, uint64_t pos, void* buffer, uint64_t length);
  // File offset of the data byte that delivers stream byte `pos`.
  uint64_t (*file_position)(void* ctx, uint64_t pos);
  // Releases the stream's resources (closes its file). Called once, from any thread.
  void (*destroy)(void* ctx);
} TarnStreamOps;

typedef struct TarnStreamInfo {
  uint64_t length;     // bytes the stream delivers in all
  uint32_t byte_rate;  // bytes per second of the delivered data
  uint32_t align;      // positions are multiples of this (a frame)
  float freq;          // attribute 1: nominal frequency
  float dsd_rate;      // attribute 81921: DSD rate in Hz (0 for non-DSD)
} TarnStreamInfo;

// Makes a handle for a stream; on failure calls ops->destroy(ctx) and returns 0 with a code.
TARN_API uint32_t TarnX_StreamCreate(const TarnStreamOps* ops, void* ctx,
                                     const TarnStreamInfo* info);
// Sets the calling thread's error code (the one Tarn_ErrorGetCode returns).
TARN_API void TarnX_SetError(int32_t code);

// A decoder's file opener, used by Tarn_StreamCreateFile. Register null to unregister.
typedef uint32_t (*TarnDecoderOpen)(int mem, const void* file, uint64_t offset, uint64_t length,
                                    uint32_t flags);
TARN_API void TarnX_RegisterDecoder(TarnDecoderOpen open);

#ifdef __cplusplus
}
#endif

#endif  // LIBS_TARN_TARN_EXT_H_
