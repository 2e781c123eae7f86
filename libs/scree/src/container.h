// DSF and DFF container parsing: finds the DSD data and how it is laid out, trusting the
// smallest consistent reading of the header fields, and says which check failed otherwise.
// Pure over a ByteSource: reads only inside it and allocates nothing from a size field.
#ifndef LIBS_SCREE_SRC_CONTAINER_H_
#define LIBS_SCREE_SRC_CONTAINER_H_

#include <cstdint>
#include <string>

#include "libs/scree/src/source.h"

namespace scree {

enum class Container { kDsf, kDff };

struct DsdLayout {
  Container container = Container::kDsf;
  uint32_t channels = 0;
  uint32_t rate = 0;          // DSD samples per second per channel
  uint64_t sample_count = 0;  // per channel, as the header gives it
  bool lsb_first = false;     // DSF with 1 bit per sample: each byte's earliest sample is bit 0
  uint32_t block_size = 0;    // DSF: bytes of one channel per block; DFF: 1
  uint64_t data_offset = 0;   // first data byte in the source
  uint64_t data_size = 0;     // data bytes the source really holds (within the data chunk)
  uint64_t header_bytes = 0;  // bytes per channel the header's sample count gives
  uint64_t bytes_per_channel = 0;  // bytes per channel delivered: whole bytes, all present
  uint64_t tag_offset = 0;         // ID3v2 tag (DSF metadata pointer, DFF "ID3 " chunk); 0 = none
  uint64_t tag_size = 0;           // bytes of the tag inside the source
};

struct ParseResult {
  int code = 0;        // 0, or 41 malformed / not DSD, 44 DST-compressed, 6 unsupported rate
  std::string reason;  // which check failed
  DsdLayout layout;
};

ParseResult ParseContainer(const ByteSource& source);

// Rates the decoder delivers: 64, 128, 256, 512 and 1024 times 44.1 kHz.
bool IsSupportedRate(uint32_t rate);

}  // namespace scree

#endif  // LIBS_SCREE_SRC_CONTAINER_H_
