#include "libs/scree/src/readers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "libs/scree/src/dsd_bits.h"

namespace scree {
namespace {

// Large enough that file reads are few and big, small enough to stay in the cache while the
// block is converted.
constexpr uint64_t kScratchBytes = 128 * 1024;
constexpr uint8_t kDsdSilence = 0x69;

}  // namespace

uint8_t* PlaybackReader::Scratch(uint64_t bytes) {
  if (scratch_.size() < bytes) scratch_.resize(bytes);
  return scratch_.data();
}

bool PlaybackReader::ReadPairs(uint64_t first, uint64_t count, uint8_t* out) {
  if (count == 0) return true;
  if (first > Pairs() || count > Pairs() - first) return false;
  return layout_.container == Container::kDsf ? ReadDsf(first, count, out)
                                              : ReadDff(first, count, out);
}

bool PlaybackReader::ReadPairsPadded(int64_t first, uint64_t count, uint8_t* out) {
  const int64_t pairs = static_cast<int64_t>(Pairs());
  const int64_t end = first + static_cast<int64_t>(count);
  const int64_t lo = std::clamp<int64_t>(first, 0, pairs);
  const int64_t hi = std::clamp<int64_t>(end, 0, pairs);
  if (lo >= hi) {
    std::memset(out, kDsdSilence, 2 * count);
    return true;
  }
  std::memset(out, kDsdSilence, 2 * static_cast<uint64_t>(lo - first));
  std::memset(out + 2 * (hi - first), kDsdSilence, 2 * static_cast<uint64_t>(end - hi));
  return ReadPairs(static_cast<uint64_t>(lo), static_cast<uint64_t>(hi - lo),
                   out + 2 * (lo - first));
}

uint64_t PlaybackReader::FileOffsetOfPair(uint64_t i) const {
  if (layout_.container == Container::kDff) {
    return source_.FileOffset(layout_.data_offset + i * layout_.channels);
  }
  const uint64_t b = layout_.block_size;
  return source_.FileOffset(layout_.data_offset + (i / b) * b * layout_.channels + i % b);
}

bool PlaybackReader::ReadDsf(uint64_t first, uint64_t count, uint8_t* out) {
  // Block groups hold `block` bytes of each channel in turn. Whole groups are read at once,
  // then each group's left and right blocks are interleaved (and bit-reversed) into `out`.
  const uint64_t block = layout_.block_size;
  const uint64_t group = block * layout_.channels;
  const uint64_t groups_per_read = std::max<uint64_t>(1, kScratchBytes / group);
  const bool stereo = layout_.channels > 1;
  uint8_t* scratch = Scratch(groups_per_read * group);
  while (count > 0) {
    const uint64_t g0 = first / block;
    const uint64_t end = std::min(first + count, (g0 + groups_per_read) * block);
    const uint64_t g_last = (end - 1) / block;
    const uint64_t last_end = (end - 1) % block + 1;
    const uint64_t need = (g_last - g0) * group + (stereo ? block : 0) + last_end;
    const uint64_t want = std::min((g_last - g0 + 1) * group, layout_.data_size - g0 * group);
    const int64_t got = source_.ReadAt(layout_.data_offset + g0 * group, scratch, want);
    if (got < 0 || static_cast<uint64_t>(got) < need) return false;
    for (uint64_t g = g0; g <= g_last; ++g) {
      const uint64_t from = g == g0 ? first % block : 0;
      const uint64_t to = g == g_last ? last_end : block;
      const uint8_t* left = scratch + (g - g0) * group + from;
      const uint8_t* right = stereo ? left + block : left;
      InterleavePair(left, right, to - from, out, layout_.lsb_first);
      out += 2 * (to - from);
    }
    count -= end - first;
    first = end;
  }
  return true;
}

bool PlaybackReader::ReadDff(uint64_t first, uint64_t count, uint8_t* out) {
  const uint32_t ch = layout_.channels;
  if (ch == 2) {
    // Already the playback layout: straight from the file into the caller's buffer.
    const int64_t got = source_.ReadAt(layout_.data_offset + 2 * first, out, 2 * count);
    return got == static_cast<int64_t>(2 * count);
  }
  const uint64_t per_read = std::max<uint64_t>(1, kScratchBytes / ch);
  uint8_t* scratch = Scratch(per_read * ch);
  while (count > 0) {
    const uint64_t n = std::min(count, per_read);
    const int64_t got = source_.ReadAt(layout_.data_offset + first * ch, scratch, n * ch);
    if (got != static_cast<int64_t>(n * ch)) return false;
    if (ch == 1) {
      InterleavePair(scratch, scratch, n, out, false);
    } else {
      for (uint64_t i = 0; i < n; ++i) {
        out[2 * i] = scratch[i * ch];
        out[2 * i + 1] = scratch[i * ch + 1];
      }
    }
    out += 2 * n;
    first += n;
    count -= n;
  }
  return true;
}

// --- PCM ------------------------------------------------------------------------------------

namespace {
// Filter length at DSD64, in bytes per channel; it grows with the rate so that the transition
// band (about 20 to 40 kHz) stays the same width in hertz.
constexpr uint32_t kTapsAtDsd64 = 96;
constexpr double kCutoffHz = 30000.0;
constexpr uint64_t kFramesPerBlock = 2048;
}  // namespace

bool PcmConverter::RatesFit(uint32_t dsd_rate, uint32_t out_rate) {
  return out_rate > 0 && dsd_rate % out_rate == 0 && (dsd_rate / out_rate) % 8 == 0 &&
         dsd_rate >= 2822400;
}

uint64_t PcmConverter::FramesFor(uint64_t samples, uint32_t dsd_rate, uint32_t out_rate) {
  // samples * out_rate / dsd_rate without overflow: the ratio is a whole number.
  return samples / (dsd_rate / out_rate);
}

PcmConverter::PcmConverter(PlaybackReader& reader, uint32_t dsd_rate, uint32_t out_rate)
    : reader_(reader),
      dsd_rate_(dsd_rate),
      step_(dsd_rate / out_rate / 8),
      taps_(kTapsAtDsd64 * (dsd_rate / 2822400)) {}

void PcmConverter::BuildTables() {
  // Blackman-windowed sinc, unity gain at DC, then folded into one table per filter byte:
  // entry [k][b] is the filter's output for byte value b at position k (bit 7 first, a 1 bit
  // is +1 and a 0 bit is -1).
  const uint32_t n = taps_ * 8;
  std::vector<double> h(n);
  const double fc = kCutoffHz / dsd_rate_;
  double sum = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const double x = i - (n - 1) / 2.0;
    const double sinc = x == 0 ? 2 * fc : std::sin(2 * M_PI * fc * x) / (M_PI * x);
    const double w =
        0.42 - 0.5 * std::cos(2 * M_PI * i / (n - 1)) + 0.08 * std::cos(4 * M_PI * i / (n - 1));
    h[i] = sinc * w;
    sum += h[i];
  }
  tables_.assign(size_t{taps_} * 256, 0.0f);
  for (uint32_t k = 0; k < taps_; ++k) {
    for (int b = 0; b < 256; ++b) {
      double acc = 0;
      for (int j = 0; j < 8; ++j) acc += h[k * 8 + j] / sum * (((b >> (7 - j)) & 1) ? 1 : -1);
      tables_[size_t{k} * 256 + b] = static_cast<float>(acc);
    }
  }
}

bool PcmConverter::ReadFrames(uint64_t first, uint64_t count, int16_t* out) {
  if (tables_.empty()) BuildTables();
  while (count > 0) {
    const uint64_t n = std::min(count, kFramesPerBlock);
    // Frame f is centred on DSD byte f * step; its filter spans taps_ bytes around that.
    const int64_t start = static_cast<int64_t>(first * step_) - static_cast<int64_t>(taps_ / 2);
    const uint64_t pairs = (n - 1) * step_ + taps_;
    window_.resize(2 * pairs);
    if (!reader_.ReadPairsPadded(start, pairs, window_.data())) return false;
    for (uint64_t f = 0; f < n; ++f) {
      const uint8_t* w = window_.data() + 2 * f * step_;
      float left = 0, right = 0;
      for (uint32_t k = 0; k < taps_; ++k) {
        const float* t = tables_.data() + size_t{k} * 256;
        left += t[w[2 * k]];
        right += t[w[2 * k + 1]];
      }
      out[2 * f] =
          static_cast<int16_t>(std::lround(std::clamp(left * 32767.0f, -32768.0f, 32767.0f)));
      out[2 * f + 1] =
          static_cast<int16_t>(std::lround(std::clamp(right * 32767.0f, -32768.0f, 32767.0f)));
    }
    out += 2 * n;
    first += n;
    count -= n;
  }
  return true;
}

}  // namespace scree
