// The DSD test-file generator: writes valid DSF and DFF files (and named malformed variants)
// whose audio is known exactly, so decoders and players can be checked byte for byte.
//
// Channel data is kept in time order, one byte per 8 samples, earliest sample in bit 7 (MSB
// first). A final partial byte holds its valid samples in the high bits and zeros below.
// Everything here is pure computation over memory; WriteFile is the only I/O.
#ifndef TOOLS_DSDGEN_DSDGEN_H_
#define TOOLS_DSDGEN_DSDGEN_H_

#include <cstdint>
#include <string>
#include <vector>

namespace dsdgen {

using Bytes = std::vector<uint8_t>;

enum class Container { kDsf, kDff };

enum class Payload {
  kPattern,  // a deterministic, non-repeating byte stream per channel (bit-exact checks)
  kSine,     // a sine through a 5th-order sigma-delta modulator
  kPhrase,   // a short musical phrase through the same modulator
};

constexpr uint32_t kDsd64 = 2822400;
constexpr uint32_t kDsd128 = 5644800;
constexpr uint32_t kDsd256 = 11289600;
constexpr uint32_t kDsd512 = 22579200;
constexpr uint32_t kRates[] = {kDsd64, kDsd128, kDsd256, kDsd512};

struct FileSpec {
  Container container = Container::kDsf;
  uint32_t rate = kDsd64;
  uint32_t channels = 2;          // 1 to 6
  uint64_t samples = 0;           // per channel; need not be a multiple of 8
  int dsf_bits = 1;               // DSF only: 1 = LSB first, 8 = MSB first
  bool id3 = false;               // DSF: ID3v2 tag at the metadata pointer; DFF: an "ID3 " chunk
  bool dff_extra_chunks = false;  // DFF: ABSS, LSCO, COMT, DIIN, MANF and an unknown chunk
  Payload payload = Payload::kPattern;
  uint32_t seed = 1;          // pattern: which stream; differs per channel as well
  double frequency = 1000.0;  // sine: Hz
  double amplitude = 0.5;     // sine and phrase: peak, full scale = 1
};

// The audio of each channel, MSB first in time order: ceil(samples / 8) bytes per channel.
std::vector<Bytes> ChannelData(const FileSpec& desc);

// The whole file.
Bytes MakeFile(const FileSpec& desc);
Bytes MakeFile(const FileSpec& desc, const std::vector<Bytes>& channel_data);

// What a raw playback stream of the file delivers: one byte of the left channel, then one of
// the right, MSB first; mono on both sides; more channels: the first two. Whole bytes only:
// floor(samples / 8) bytes per channel (a final partial byte is not delivered).
Bytes ExpectedPlayback(const FileSpec& desc, const std::vector<Bytes>& channel_data);

// Files that are wrong in one named way each, for parser tests and fuzzing seeds.
struct Variant {
  std::string name;  // says what is wrong, e.g. "dsf-zero-channels"
  Bytes bytes;
};
std::vector<Variant> MalformedVariants();

// A 5th-order one-bit sigma-delta modulator; `Next` takes one sample of the input signal
// (full scale = 1) and returns the output bit. Stable for inputs up to about 0.6 of full scale.
class SigmaDelta {
 public:
  SigmaDelta();
  int Next(double input);

 private:
  static constexpr int kOrder = 5;
  double b_[kOrder + 1];  // noise transfer function numerator, b_[0] = 1
  double a_[kOrder + 1];  // denominator, a_[0] = 1
  double e_hist_[kOrder] = {};
  double y_hist_[kOrder] = {};
};

bool WriteFile(const std::string& path, const Bytes& bytes);

}  // namespace dsdgen

#endif  // TOOLS_DSDGEN_DSDGEN_H_
