// The two streams the decoder delivers, over a parsed container:
// - PlaybackReader: the file's DSD bytes in the playback layout (left byte, right byte, MSB
//   first), read straight from the file in large blocks and converted a block at a time.
// - PcmConverter: 16-bit stereo PCM at 88.2 kHz (or another rate the DSD rate divides into
//   whole bytes), by a windowed-sinc low-pass FIR evaluated with per-byte lookup tables.
// Neither is thread-safe: the stream engine calls one stream from one thread at a time.
#ifndef LIBS_SCREE_SRC_READERS_H_
#define LIBS_SCREE_SRC_READERS_H_

#include <cstdint>
#include <vector>

#include "libs/scree/src/container.h"
#include "libs/scree/src/source.h"

namespace scree {

class PlaybackReader {
 public:
  PlaybackReader(const ByteSource& source, const DsdLayout& layout)
      : source_(source), layout_(layout) {}

  // Byte pairs (one byte per side) the stream holds.
  uint64_t Pairs() const { return layout_.bytes_per_channel; }
  // Writes pairs [first, first + count) (all inside the stream) as 2 * count bytes. False when
  // the file can no longer be read (it shrank or failed under us).
  bool ReadPairs(uint64_t first, uint64_t count, uint8_t* out);
  // The same for any range: pairs outside the stream are DSD silence (0x69).
  bool ReadPairsPadded(int64_t first, uint64_t count, uint8_t* out);
  // Offset in the file of the left byte of pair `i`.
  uint64_t FileOffsetOfPair(uint64_t i) const;

 private:
  bool ReadDsf(uint64_t first, uint64_t count, uint8_t* out);
  bool ReadDff(uint64_t first, uint64_t count, uint8_t* out);
  uint8_t* Scratch(uint64_t bytes);

  const ByteSource& source_;
  const DsdLayout layout_;
  std::vector<uint8_t> scratch_;
};

class PcmConverter {
 public:
  // `out_rate` must divide the DSD rate into a whole number of bytes per output frame.
  PcmConverter(PlaybackReader& reader, uint32_t dsd_rate, uint32_t out_rate);

  static bool RatesFit(uint32_t dsd_rate, uint32_t out_rate);
  // Frames of PCM for `samples` DSD samples per channel.
  static uint64_t FramesFor(uint64_t samples, uint32_t dsd_rate, uint32_t out_rate);

  // Writes `count` stereo frames from frame `first` as interleaved 16-bit samples.
  bool ReadFrames(uint64_t first, uint64_t count, int16_t* out);

 private:
  void BuildTables();

  PlaybackReader& reader_;
  const uint32_t dsd_rate_;
  const uint32_t step_;        // DSD bytes per channel per output frame
  const uint32_t taps_;        // filter length in DSD bytes per channel
  std::vector<float> tables_;  // taps_ x 256: the filter's response to each byte value
  std::vector<uint8_t> window_;
};

}  // namespace scree

#endif  // LIBS_SCREE_SRC_READERS_H_
