// The decoder's exported entry: opens a DSF or DFF file (or a copy in memory), parses its
// container and hands the stream engine a stream that reads it, either as raw DSD in the
// playback layout or as PCM for measuring. Loading this library registers it with the stream
// engine, so the engine's own file opener reaches DSF and DFF files too.
#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#define SCREE_BUILDING 1
#include "libs/scree/scree.h"
#include "libs/scree/src/container.h"
#include "libs/scree/src/readers.h"
#include "libs/scree/src/source.h"
#include "libs/tarn/tarn_ext.h"

namespace scree {
namespace {

constexpr uint32_t kNominalFreq = 88200;

struct DecodedStream {
  DecodedStream(std::unique_ptr<ByteSource> s, const DsdLayout& l, bool raw_stream, uint32_t freq)
      : source(std::move(s)), layout(l), reader(*source, layout), raw(raw_stream), freq(freq) {
    if (!raw) pcm = std::make_unique<PcmConverter>(reader, layout.rate, freq);
  }

  // Writes `count` whole units (byte pairs, or PCM frames) from unit `first`.
  bool ReadUnits(uint64_t first, uint64_t count, uint8_t* out) {
    return raw ? reader.ReadPairs(first, count, out)
               : pcm->ReadFrames(first, count, reinterpret_cast<int16_t*>(out));
  }

  std::unique_ptr<ByteSource> source;
  DsdLayout layout;
  PlaybackReader reader;
  bool raw;
  uint32_t freq;
  std::unique_ptr<PcmConverter> pcm;
};

int64_t ReadOp(void* ctx, uint64_t pos, void* buffer, uint64_t length) {
  auto* s = static_cast<DecodedStream*>(ctx);
  const uint64_t unit = s->raw ? 2 : 4;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint8_t part[4];
  uint64_t done = 0;
  bool ok = true;
  // A read may start or end inside a unit: those units go through a small buffer.
  if (pos % unit != 0) {
    const uint64_t skip = pos % unit;
    ok = s->ReadUnits(pos / unit, 1, part);
    done = std::min(length, unit - skip);
    if (ok) std::copy(part + skip, part + skip + done, out);
  }
  const uint64_t whole = (length - done) / unit;
  if (ok && whole > 0) {
    ok = s->ReadUnits((pos + done) / unit, whole, out + done);
    done += whole * unit;
  }
  if (ok && done < length) {
    ok = s->ReadUnits((pos + done) / unit, 1, part);
    if (ok) std::copy(part, part + (length - done), out + done);
    done = length;
  }
  if (!ok) {
    TarnX_SetError(TARN_ERROR_NOTAVAIL);  // the file shrank or failed under us
    return -1;
  }
  return static_cast<int64_t>(done);
}

uint64_t FilePositionOp(void* ctx, uint64_t pos) {
  auto* s = static_cast<DecodedStream*>(ctx);
  const uint64_t pair = s->raw ? pos / 2 : pos / 4 * (s->layout.rate / s->freq / 8);
  return s->reader.FileOffsetOfPair(std::min(pair, s->reader.Pairs()));
}

void DestroyOp(void* ctx) {
  delete static_cast<DecodedStream*>(ctx);
}

constexpr TarnStreamOps kOps = {ReadOp, FilePositionOp, DestroyOp};

uint32_t Refuse(int code) {
  TarnX_SetError(code);
  return 0;
}

uint32_t OpenForEngine(int mem, const void* file, uint64_t offset, uint64_t length,
                       uint32_t flags) {
  return Scree_DSD_StreamCreateFile(mem, file, offset, length, flags, 0);
}

__attribute__((constructor)) void RegisterWithEngine() {
  TarnX_RegisterDecoder(OpenForEngine);
}
__attribute__((destructor)) void UnregisterFromEngine() {
  TarnX_RegisterDecoder(nullptr);
}

}  // namespace
}  // namespace scree

extern "C" SCREE_API uint32_t Scree_DSD_StreamCreateFile(int mem, const void* file, uint64_t offset,
                                                         uint64_t length, uint32_t flags,
                                                         uint32_t freq) {
  using namespace scree;
  if (!file) return Refuse(mem ? TARN_ERROR_ILLPARAM : TARN_ERROR_FILEOPEN);
  if (freq == 0) freq = kNominalFreq;
  std::unique_ptr<ByteSource> source;
  try {
    if (mem) {
      source = MemorySource(file, length);
    } else {
      const std::string path = (flags & SCREE_UNICODE)
                                   ? Utf16ToUtf8(static_cast<const char16_t*>(file))
                                   : std::string(static_cast<const char*>(file));
      int error = 0;
      source = OpenFileSource(path, offset, length, &error);
      if (!source) return Refuse(error);
    }
    ParseResult parsed = ParseContainer(*source);
    if (parsed.code != 0) return Refuse(parsed.code);
    const DsdLayout& l = parsed.layout;
    if (!PcmConverter::RatesFit(l.rate, freq)) return Refuse(TARN_ERROR_ILLPARAM);

    const bool raw = (flags & SCREE_RAW) != 0;
    TarnStreamInfo info{};
    info.freq = static_cast<float>(freq);
    info.dsd_rate = static_cast<float>(l.rate);
    if (raw) {
      info.length = l.bytes_per_channel * 2;
      info.byte_rate = l.rate / 4;
      info.align = 2;
    } else {
      // The header's sample count, unless the file holds less.
      const uint64_t samples = l.bytes_per_channel < l.header_bytes
                                   ? l.bytes_per_channel * 8
                                   : std::max(l.sample_count, l.bytes_per_channel * 8);
      info.length = PcmConverter::FramesFor(samples, l.rate, freq) * 4;
      info.byte_rate = freq * 4;
      info.align = 4;
    }
    auto* stream = new DecodedStream(std::move(source), l, raw, freq);
    return TarnX_StreamCreate(&kOps, stream, &info);
  } catch (const std::bad_alloc&) {
    return Refuse(TARN_ERROR_MEM);
  }
}
