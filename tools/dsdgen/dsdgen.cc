// The generator builds every file from per-channel data in time order (MSB first) and
// containers written field by field, so a test can compare a decoder's output with exactly
// what went in. The sigma-delta modulator turns a signal into a real one-bit stream that a
// proper low-pass filter turns back into the same signal.
#include "tools/dsdgen/dsdgen.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <utility>

namespace dsdgen {
namespace {

constexpr uint32_t kDsfBlock = 4096;

uint8_t Reverse(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

void PutLe(Bytes& out, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutBe(Bytes& out, uint64_t v, int n) {
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutId(Bytes& out, const char* id) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id[i]));
}
void SetLe(Bytes& out, size_t at, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void SetBe(Bytes& out, size_t at, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
}

uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// A small ID3v2.3 tag with one title frame.
Bytes Id3Tag() {
  const std::string title = "Generated test tone";
  Bytes frame;
  PutId(frame, "TIT2");
  PutBe(frame, title.size() + 1, 4);
  PutBe(frame, 0, 2);
  frame.push_back(0);  // ISO-8859-1
  frame.insert(frame.end(), title.begin(), title.end());
  Bytes tag = {'I', 'D', '3', 3, 0, 0};
  uint32_t n = static_cast<uint32_t>(frame.size());
  for (int shift : {21, 14, 7, 0}) tag.push_back(static_cast<uint8_t>((n >> shift) & 0x7F));
  tag.insert(tag.end(), frame.begin(), frame.end());
  return tag;
}

// The phrase: five notes of a minor arpeggio, each with a short attack and decay.
double PhraseSample(double t) {
  static constexpr double kNotes[] = {440.0, 523.25, 659.25, 880.0, 659.25};
  constexpr double kNote = 0.15;
  int i = static_cast<int>(t / kNote) % 5;
  double local = std::fmod(t, kNote);
  double env = std::min(1.0, local / 0.005) * std::exp(-local * 12.0);
  double f = kNotes[i];
  return env * (0.8 * std::sin(2 * M_PI * f * t) + 0.2 * std::sin(4 * M_PI * f * t));
}

uint32_t DsfChannelType(uint32_t channels) {
  static constexpr uint32_t kTypes[] = {0, 1, 2, 3, 4, 6, 7};
  return channels <= 6 ? kTypes[channels] : 0;
}

Bytes MakeDsf(const FileSpec& desc, const std::vector<Bytes>& data) {
  const uint64_t per_channel = (desc.samples + 7) / 8;
  const uint64_t groups = (per_channel + kDsfBlock - 1) / kDsfBlock;
  const uint64_t data_bytes = groups * kDsfBlock * desc.channels;
  Bytes out;
  out.reserve(92 + data_bytes + 64);
  PutId(out, "DSD ");
  PutLe(out, 28, 8);
  PutLe(out, 0, 8);  // total size, set below
  PutLe(out, 0, 8);  // metadata pointer, set below
  PutId(out, "fmt ");
  PutLe(out, 52, 8);
  PutLe(out, 1, 4);
  PutLe(out, 0, 4);
  PutLe(out, DsfChannelType(desc.channels), 4);
  PutLe(out, desc.channels, 4);
  PutLe(out, desc.rate, 4);
  PutLe(out, desc.dsf_bits, 4);
  PutLe(out, desc.samples, 8);
  PutLe(out, kDsfBlock, 4);
  PutLe(out, 0, 4);
  PutId(out, "data");
  PutLe(out, 12 + data_bytes, 8);
  const size_t start = out.size();
  out.resize(start + data_bytes, 0);
  for (uint64_t g = 0; g < groups; ++g) {
    for (uint32_t c = 0; c < desc.channels; ++c) {
      uint8_t* dst = out.data() + start + (g * desc.channels + c) * kDsfBlock;
      uint64_t first = g * kDsfBlock;
      uint64_t n = std::min<uint64_t>(kDsfBlock, per_channel - first);
      for (uint64_t i = 0; i < n; ++i) {
        uint8_t b = data[c][first + i];
        dst[i] = desc.dsf_bits == 1 ? Reverse(b) : b;
      }
    }
  }
  if (desc.id3) {
    SetLe(out, 20, out.size(), 8);
    Bytes tag = Id3Tag();
    out.insert(out.end(), tag.begin(), tag.end());
  }
  SetLe(out, 12, out.size(), 8);
  return out;
}

// Appends a chunk with a big-endian size and the pad byte an odd size needs.
void PutChunk(Bytes& out, const char* id, const Bytes& body) {
  PutId(out, id);
  PutBe(out, body.size(), 8);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() & 1) out.push_back(0);
}

Bytes MakeDff(const FileSpec& desc, const std::vector<Bytes>& data) {
  static const char* kIds2[] = {"SLFT", "SRGT"};
  static const char* kIdsN[] = {"MLFT", "MRGT", "C   ", "LFE ", "LS  ", "RS  "};
  const uint64_t per_channel = (desc.samples + 7) / 8;
  Bytes prop = {'S', 'N', 'D', ' '};
  Bytes fs;
  PutBe(fs, desc.rate, 4);
  PutChunk(prop, "FS  ", fs);
  Bytes chnl;
  PutBe(chnl, desc.channels, 2);
  for (uint32_t c = 0; c < desc.channels; ++c) {
    PutId(chnl, desc.channels == 2 ? kIds2[c] : (c < 6 ? kIdsN[c] : "C   "));
  }
  PutChunk(prop, "CHNL", chnl);
  // Type, name length, name, and the name's pad to an even count.
  static const char kCmpr[] = "DSD \x0enot compressed";
  Bytes cmpr(kCmpr, kCmpr + sizeof kCmpr);
  PutChunk(prop, "CMPR", cmpr);
  if (desc.dff_extra_chunks) {
    PutChunk(prop, "ABSS", Bytes{0, 0, 0, 0, 0, 0, 0, 0});
    PutChunk(prop, "LSCO", Bytes{0, 0});
  }

  Bytes out;
  PutId(out, "FRM8");
  PutBe(out, 0, 8);  // set below
  PutId(out, "DSD ");
  PutChunk(out, "FVER", Bytes{1, 5, 0, 0});
  PutChunk(out, "PROP", prop);
  if (desc.dff_extra_chunks) {
    Bytes comt;
    PutBe(comt, 0, 2);  // no comments
    PutChunk(out, "COMT", comt);
  }
  PutId(out, "DSD ");
  const uint64_t sound = per_channel * desc.channels;
  PutBe(out, sound, 8);
  const size_t start = out.size();
  out.resize(start + sound);
  for (uint64_t i = 0; i < per_channel; ++i) {
    for (uint32_t c = 0; c < desc.channels; ++c) out[start + i * desc.channels + c] = data[c][i];
  }
  if (sound & 1) out.push_back(0);
  if (desc.dff_extra_chunks) {
    Bytes diin;
    PutChunk(diin, "EMID", Bytes{'g', 'e', 'n'});  // odd size: exercises the pad byte
    PutChunk(out, "DIIN", diin);
    PutChunk(out, "MANF", Bytes{'T', 'E', 'S', 'T', 1, 2, 3});
    PutChunk(out, "ZZZZ", Bytes{9});  // a chunk nobody knows
  }
  if (desc.id3) PutChunk(out, "ID3 ", Id3Tag());
  SetBe(out, 4, out.size() - 12, 8);
  return out;
}

}  // namespace

SigmaDelta::SigmaDelta() {
  // Noise transfer function: five zeros at DC over the poles of a Butterworth low-pass
  // (bilinear transform), with the cut-off chosen so that the out-of-band gain is 1.5, which
  // keeps a one-bit loop of this order stable.
  auto design = [](double fc, double* a) {
    const int n = kOrder;
    const double wa = 2.0 * std::tan(M_PI * fc);
    std::complex<double> poly[kOrder + 1] = {1.0};
    for (int k = 0; k < n; ++k) {
      std::complex<double> s =
          wa * std::exp(std::complex<double>(0, M_PI * (2 * k + n + 1) / (2 * n)));
      std::complex<double> p = (1.0 + s / 2.0) / (1.0 - s / 2.0);
      for (int j = k + 1; j >= 1; --j) poly[j] -= p * poly[j - 1];
    }
    for (int j = 0; j <= n; ++j) a[j] = poly[j].real();
  };
  auto gain_at_nyquist = [](const double* a) {
    double s = 0;
    for (int j = 0; j <= kOrder; ++j) s += a[j] * ((j & 1) ? -1 : 1);
    return 32.0 / std::fabs(s);
  };
  double lo = 0.001, hi = 0.45;
  for (int i = 0; i < 60; ++i) {
    double mid = (lo + hi) / 2;
    design(mid, a_);
    if (gain_at_nyquist(a_) > 1.5)
      hi = mid;
    else
      lo = mid;
  }
  design(lo, a_);
  static constexpr double kZeros[] = {1, -5, 10, -10, 5, -1};
  for (int j = 0; j <= kOrder; ++j) b_[j] = kZeros[j];
}

int SigmaDelta::Next(double input) {
  double r = 0;
  for (int k = 1; k <= kOrder; ++k) r += b_[k] * e_hist_[k - 1] - a_[k] * y_hist_[k - 1];
  const double w = input + r;
  const double v = w >= 0 ? 1.0 : -1.0;
  double e = v - w;
  double y = v - input;
  if (std::fabs(w) > 100) {  // overloaded: start afresh rather than run away
    e = y = 0;
    for (double& h : e_hist_) h = 0;
    for (double& h : y_hist_) h = 0;
  }
  for (int k = kOrder - 1; k > 0; --k) {
    e_hist_[k] = e_hist_[k - 1];
    y_hist_[k] = y_hist_[k - 1];
  }
  e_hist_[0] = e;
  y_hist_[0] = y;
  return v > 0 ? 1 : 0;
}

std::vector<Bytes> ChannelData(const FileSpec& desc) {
  const uint64_t per_channel = (desc.samples + 7) / 8;
  std::vector<Bytes> data(desc.channels, Bytes(per_channel));
  for (uint32_t c = 0; c < desc.channels; ++c) {
    Bytes& d = data[c];
    if (desc.payload == Payload::kPattern) {
      uint64_t state = (uint64_t{desc.seed} << 32) ^ (uint64_t{c + 1} * 0xD1B54A32D192ED03ull);
      for (uint64_t i = 0; i < per_channel; i += 8) {
        uint64_t r = SplitMix(state);
        uint64_t n = std::min<uint64_t>(8, per_channel - i);
        std::memcpy(d.data() + i, &r, n);
      }
    } else {
      SigmaDelta sdm;
      const double dt = 1.0 / desc.rate;
      // Each channel gets its own phase so that a swap of channels shows.
      const double phase = c * 0.7;
      for (uint64_t i = 0; i < per_channel; ++i) {
        uint8_t b = 0;
        for (int bit = 7; bit >= 0; --bit) {
          double t = static_cast<double>(i * 8 + (7 - bit)) * dt;
          double x = desc.payload == Payload::kSine
                         ? desc.amplitude * std::sin(2 * M_PI * desc.frequency * t + phase)
                         : desc.amplitude * PhraseSample(t);
          b |= static_cast<uint8_t>(sdm.Next(x) << bit);
        }
        d[i] = b;
      }
    }
    // The samples past the count in a final partial byte are not audio: keep them zero.
    if (desc.samples % 8 != 0) d.back() &= static_cast<uint8_t>(0xFF << (8 - desc.samples % 8));
  }
  return data;
}

Bytes MakeFile(const FileSpec& desc, const std::vector<Bytes>& channel_data) {
  return desc.container == Container::kDsf ? MakeDsf(desc, channel_data)
                                           : MakeDff(desc, channel_data);
}

Bytes MakeFile(const FileSpec& desc) {
  return MakeFile(desc, ChannelData(desc));
}

Bytes ExpectedPlayback(const FileSpec& desc, const std::vector<Bytes>& channel_data) {
  // A DFF file counts whole bytes; a DSF file counts samples, and only whole bytes play.
  const uint64_t n = desc.container == Container::kDff ? (desc.samples + 7) / 8 : desc.samples / 8;
  const Bytes& left = channel_data[0];
  const Bytes& right = channel_data[desc.channels > 1 ? 1 : 0];
  Bytes out(2 * n);
  for (uint64_t i = 0; i < n; ++i) {
    out[2 * i] = left[i];
    out[2 * i + 1] = right[i];
  }
  return out;
}

std::vector<Variant> MalformedVariants() {
  FileSpec base;
  base.samples = 2 * kDsfBlock * 8;  // two block groups
  const Bytes dsf = MakeFile(base);
  FileSpec dff_desc = base;
  dff_desc.container = Container::kDff;
  const Bytes dff = MakeFile(dff_desc);
  // DFF offsets of the base file: FRM8 12+4, FVER 16..32, PROP at 32 ("SND " at 44),
  // FS at 48, CHNL at 64, CMPR at 86, sound chunk after PROP.
  const size_t prop_end = 32 + 12 + 4 + 16 + 22 + 32;
  std::vector<Variant> v;
  auto dsf_with = [&](const char* name, size_t at, uint64_t value, int n) {
    Bytes b = dsf;
    SetLe(b, at, value, n);
    v.push_back({name, b});
  };
  auto dff_with = [&](const char* name, size_t at, uint64_t value, int n) {
    Bytes b = dff;
    SetBe(b, at, value, n);
    v.push_back({name, b});
  };
  v.push_back({"empty-file", {}});
  v.push_back({"not-dsd-at-all", Bytes{'P', 'S', 'F', 0x12, 0, 0, 0, 0, 1, 2, 3}});
  dsf_with("dsf-bad-magic", 0, 0x20445344 ^ 0x01, 4);
  v.push_back({"dsf-truncated-in-header", Bytes(dsf.begin(), dsf.begin() + 50)});
  v.push_back({"dsf-data-chunk-missing", Bytes(dsf.begin(), dsf.begin() + 80)});
  dsf_with("dsf-fmt-id-wrong", 28, 0x20746d67, 4);
  dsf_with("dsf-dsd-chunk-size-huge", 4, 1ull << 62, 8);
  dsf_with("dsf-fmt-chunk-size-huge", 32, ~0ull, 8);
  dsf_with("dsf-format-id-not-raw", 44, 1, 4);
  dsf_with("dsf-zero-channels", 52, 0, 4);
  dsf_with("dsf-seven-channels", 52, 7, 4);
  dsf_with("dsf-rate-zero", 56, 0, 4);
  dsf_with("dsf-rate-48k-family", 56, 3072000, 4);
  dsf_with("dsf-bits-per-sample-4", 60, 4, 4);
  dsf_with("dsf-zero-block-size", 72, 0, 4);
  dsf_with("dsf-data-id-wrong", 80, 0x61746164 ^ 0x0100, 4);
  // Lengths that run past the file: the file holds less than the header promises.
  dsf_with("dsf-sample-count-huge", 64, 1ull << 60, 8);
  dsf_with("dsf-data-chunk-smaller-than-samples", 84, 12 + 2 * kDsfBlock, 8);
  v.push_back({"dsf-truncated-in-data", Bytes(dsf.begin(), dsf.begin() + 92 + 3 * kDsfBlock)});
  dsf_with("dsf-total-size-wrong", 12, dsf.size() + 1000, 8);
  dsf_with("dsf-metadata-pointer-into-data", 20, 200, 8);

  dff_with("dff-bad-form-type", 12, 0x41494646, 4);
  dff_with("dff-frm8-size-too-large", 4, dff.size() * 2, 8);
  dff_with("dff-frm8-size-too-small", 4, 100, 8);
  dff_with("dff-prop-size-huge", 36, ~0ull >> 1, 8);
  dff_with("dff-prop-type-wrong", 44, 0x4E4F4E45, 4);
  dff_with("dff-zero-channels", 76, 0, 2);
  dff_with("dff-fs-zero", 60, 0, 4);
  dff_with("dff-fs-id-wrong", 48, 0x58582020, 4);
  dff_with("dff-sound-chunk-past-end", prop_end + 4, dff.size(), 8);
  dff_with("dff-sound-chunk-id-unknown", prop_end, 0x51515151, 4);
  {
    Bytes b(dff.begin(), dff.begin() + prop_end);
    SetBe(b, 4, b.size() - 12, 8);
    v.push_back({"dff-sound-chunk-missing", b});
  }
  {
    // DST data: the compression type says so and the sound chunk holds frames.
    Bytes b(dff.begin(), dff.begin() + prop_end);
    SetBe(b, 86 + 12, 0x44535420, 4);
    Bytes dst;
    Bytes frte;
    PutBe(frte, 0, 4);
    PutBe(frte, 75, 2);
    PutChunk(dst, "FRTE", frte);
    PutChunk(b, "DST ", dst);
    SetBe(b, 4, b.size() - 12, 8);
    v.push_back({"dff-dst-compressed-no-frames", b});
  }
  {
    // A writer that leaves out the pad byte after an odd-sized chunk.
    Bytes b(dff.begin(), dff.begin() + 86);
    Bytes cmpr = {'C', 'M', 'P', 'R', 0, 0, 0, 0, 0, 0, 0, 5, 'D', 'S', 'D', ' ', 0};
    b.insert(b.end(), cmpr.begin(), cmpr.end());
    SetBe(b, 36, b.size() - 44, 8);
    b.insert(b.end(), dff.begin() + prop_end, dff.end());
    SetBe(b, 4, b.size() - 12, 8);
    v.push_back({"dff-missing-pad-byte", b});
  }
  {
    Bytes b = dff;
    Bytes tag = {'I', 'D', '3', ' ', 0, 0, 0, 0, 0, 0, 0x10, 0, 'I', 'D', '3', 3};
    b.insert(b.end(), tag.begin(), tag.end());
    SetBe(b, 4, b.size() - 12 + 0x1000, 8);
    v.push_back({"dff-truncated-tag-after-data", b});
  }
  return v;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace dsdgen
