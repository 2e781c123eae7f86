// The DSD decoder's C interface ("scree.dll"). It opens DSF and DFF files and hands back a
// stream of the stream engine ("tarn.dll"); failures are reported through Tarn_ErrorGetCode.
#ifndef LIBS_SCREE_SCREE_H_
#define LIBS_SCREE_SCREE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(SCREE_BUILDING)
#define SCREE_API __attribute__((visibility("default")))
#else
#define SCREE_API
#endif

// Flags of Scree_DSD_StreamCreateFile.
enum {
  SCREE_RAW = 0x00000200,      // raw DSD in the playback stream layout (else 16-bit PCM)
  SCREE_DECODE = 0x00200000,   // the caller pulls the data (always set by the player)
  SCREE_UNICODE = 0x80000000u  // the path is UTF-16
};

// mem 0: `file` is a path (UTF-16 with SCREE_UNICODE, else UTF-8); offset/length select a part
// of the file (0, 0 = all). mem 1: `file` points to `length` bytes of a whole DSF/DFF file,
// which must stay valid until the stream is freed. freq 0 = 88,200 Hz.
// Returns a stream handle, or 0 with the code: 2 unreadable, 41 not DSF/DFF or malformed,
// 44 DST-compressed, 6 a layout it cannot deliver.
SCREE_API uint32_t Scree_DSD_StreamCreateFile(int mem, const void* file, uint64_t offset,
                                              uint64_t length, uint32_t flags, uint32_t freq);

#ifdef __cplusplus
}
#endif

#endif  // LIBS_SCREE_SCREE_H_
