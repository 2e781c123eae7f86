// Both parsers work on fixed-size header reads and check every size field against what the
// source holds before using it; lengths are derived from the data that is really there, so a
// header that promises more than the file has never leads to reads past its end.
#include "libs/scree/src/container.h"

#include <algorithm>
#include <cstring>

namespace scree {
namespace {

constexpr int kMalformed = 41;
constexpr int kDst = 44;
constexpr int kUnsupported = 6;

uint64_t Le(const uint8_t* p, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}
uint64_t Be(const uint8_t* p, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | p[i];
  return v;
}

bool ReadExact(const ByteSource& s, uint64_t offset, void* out, uint64_t n) {
  return offset <= s.Size() && s.Size() - offset >= n && s.ReadAt(offset, out, n) == int64_t(n);
}

ParseResult Fail(int code, std::string reason) {
  ParseResult r;
  r.code = code;
  r.reason = std::move(reason);
  return r;
}

// The size of an ID3v2 tag at `offset` (header + body, clamped to the source), or 0.
uint64_t Id3Size(const ByteSource& s, uint64_t offset) {
  uint8_t h[10];
  if (!ReadExact(s, offset, h, 10) || std::memcmp(h, "ID3", 3) != 0) return 0;
  uint64_t body = 0;
  for (int i = 6; i < 10; ++i) body = body << 7 | (h[i] & 0x7F);
  return std::min<uint64_t>(10 + body, s.Size() - offset);
}

ParseResult CheckRate(uint32_t rate, ParseResult r) {
  if (IsSupportedRate(rate)) return r;
  // A plausible DSD rate that we cannot turn into 88.2 kHz multiples is a format we lack;
  // anything else is a damaged header.
  if (rate >= 1000000 && rate <= 100000000) {
    return Fail(kUnsupported, "DSD rate " + std::to_string(rate) + " Hz is not supported");
  }
  return Fail(kMalformed, "sample rate " + std::to_string(rate) + " Hz is not a DSD rate");
}

ParseResult ParseDsf(const ByteSource& s) {
  const uint64_t size = s.Size();
  uint8_t dsd[28];
  if (!ReadExact(s, 0, dsd, 28)) return Fail(kMalformed, "DSF: file ends inside the DSD chunk");
  const uint64_t dsd_size = Le(dsd + 4, 8);
  if (dsd_size < 28 || dsd_size > size) return Fail(kMalformed, "DSF: bad DSD chunk size");
  const uint64_t metadata = Le(dsd + 20, 8);

  uint8_t fmt[52];
  if (!ReadExact(s, dsd_size, fmt, 52)) return Fail(kMalformed, "DSF: file ends inside fmt");
  if (std::memcmp(fmt, "fmt ", 4) != 0) return Fail(kMalformed, "DSF: no fmt chunk");
  const uint64_t fmt_size = Le(fmt + 4, 8);
  if (fmt_size < 52 || fmt_size > size - dsd_size) return Fail(kMalformed, "DSF: bad fmt size");
  if (Le(fmt + 16, 4) != 0) return Fail(kMalformed, "DSF: format id is not raw DSD");

  ParseResult r;
  DsdLayout& l = r.layout;
  l.container = Container::kDsf;
  l.channels = static_cast<uint32_t>(Le(fmt + 24, 4));
  l.rate = static_cast<uint32_t>(Le(fmt + 28, 4));
  const uint32_t bits = static_cast<uint32_t>(Le(fmt + 32, 4));
  l.sample_count = Le(fmt + 36, 8);
  l.block_size = static_cast<uint32_t>(Le(fmt + 44, 4));
  if (l.channels < 1 || l.channels > 6) return Fail(kMalformed, "DSF: channel count not 1 to 6");
  if (bits != 1 && bits != 8) return Fail(kMalformed, "DSF: bits per sample not 1 or 8");
  if (l.block_size < 1 || l.block_size > 65536) return Fail(kMalformed, "DSF: bad block size");
  l.lsb_first = bits == 1;

  const uint64_t data_at = dsd_size + fmt_size;
  uint8_t data[12];
  if (!ReadExact(s, data_at, data, 12)) return Fail(kMalformed, "DSF: no data chunk");
  if (std::memcmp(data, "data", 4) != 0) return Fail(kMalformed, "DSF: no data chunk");
  const uint64_t data_chunk = Le(data + 4, 8);
  if (data_chunk < 12) return Fail(kMalformed, "DSF: bad data chunk size");
  l.data_offset = data_at + 12;
  l.data_size = std::min(data_chunk - 12, size - l.data_offset);

  // Bytes of each delivered channel (the front pair, or the one channel of a mono file) that
  // are present: whole block groups, then what the last, partial group holds of each.
  const uint64_t group = uint64_t{l.block_size} * l.channels;
  const uint64_t full = l.data_size / group, rest = l.data_size % group;
  uint64_t present = ~0ull;
  for (uint32_t c = 0; c < std::min(l.channels, 2u); ++c) {
    uint64_t in_rest = rest > uint64_t{c} * l.block_size ? rest - uint64_t{c} * l.block_size : 0;
    present = std::min(present, full * l.block_size + std::min<uint64_t>(in_rest, l.block_size));
  }
  l.header_bytes = l.sample_count / 8;
  l.bytes_per_channel = std::min(l.header_bytes, present);

  if (metadata != 0 && metadata < size) {
    l.tag_size = Id3Size(s, metadata);
    if (l.tag_size) l.tag_offset = metadata;
  }
  return CheckRate(l.rate, r);
}

bool IsChunkId(const uint8_t* p) {
  for (int i = 0; i < 4; ++i) {
    if (p[i] < 0x20 || p[i] > 0x7E) return false;
  }
  return true;
}

// The offset after a chunk of `size` bytes at `pos`: with its pad byte when the size is odd,
// unless the pad is missing (some writers leave it out) and a chunk id starts right away.
uint64_t NextChunk(const ByteSource& s, uint64_t pos, uint64_t size, uint64_t end) {
  uint64_t next = pos + 12 + size;
  if ((size & 1) == 0) return next;
  uint8_t ids[5];
  if (next + 5 <= end && ReadExact(s, next, ids, 5) && IsChunkId(ids) && !IsChunkId(ids + 1)) {
    return next;
  }
  return next + 1;
}

ParseResult ParseDff(const ByteSource& s) {
  uint8_t head[16];
  if (!ReadExact(s, 0, head, 16)) return Fail(kMalformed, "DFF: file ends inside FRM8");
  if (std::memcmp(head + 12, "DSD ", 4) != 0) return Fail(kMalformed, "DFF: form type not DSD");
  // The form may claim more than the file holds (a writer that never fixed the size up):
  // the file's end bounds it then.
  const uint64_t end =
      std::min<uint64_t>(s.Size(), 12 + std::min<uint64_t>(Be(head + 4, 8), ~0ull - 12));

  ParseResult r;
  DsdLayout& l = r.layout;
  l.container = Container::kDff;
  l.block_size = 1;
  bool have_prop = false, have_fs = false, have_chnl = false, have_sound = false;
  uint64_t pos = 16;
  while (pos + 12 <= end) {
    uint8_t ch[12];
    if (!ReadExact(s, pos, ch, 12)) break;
    const uint64_t csize = Be(ch + 4, 8);
    const bool fits = csize <= end - pos - 12;
    if (have_sound) {
      // After the sound data only a tag is of interest; damage there does not matter.
      if (!fits) break;
      if (std::memcmp(ch, "ID3 ", 4) == 0) {
        l.tag_offset = pos + 12;
        l.tag_size = csize;
      }
    } else if (std::memcmp(ch, "DST ", 4) == 0) {
      return Fail(kDst, "DFF: DST-compressed data");
    } else if (!fits) {
      return Fail(kMalformed, "DFF: chunk '" + std::string(ch, ch + 4) + "' runs past the end");
    } else if (std::memcmp(ch, "PROP", 4) == 0) {
      uint8_t type[4];
      if (csize < 4 || !ReadExact(s, pos + 12, type, 4)) return Fail(kMalformed, "DFF: bad PROP");
      if (std::memcmp(type, "SND ", 4) == 0) {
        have_prop = true;
        const uint64_t pend = pos + 12 + csize;
        uint64_t p = pos + 16;
        while (p + 12 <= pend) {
          uint8_t lc[16] = {};
          if (!ReadExact(s, p, lc, 12)) break;
          const uint64_t lsize = Be(lc + 4, 8);
          if (lsize > pend - p - 12) return Fail(kMalformed, "DFF: property runs past PROP");
          if (std::memcmp(lc, "FS  ", 4) == 0 && lsize >= 4 && ReadExact(s, p + 12, lc + 12, 4)) {
            l.rate = static_cast<uint32_t>(Be(lc + 12, 4));
            have_fs = true;
          } else if (std::memcmp(lc, "CHNL", 4) == 0 && lsize >= 2 &&
                     ReadExact(s, p + 12, lc + 12, 2)) {
            l.channels = static_cast<uint32_t>(Be(lc + 12, 2));
            have_chnl = true;
          } else if (std::memcmp(lc, "CMPR", 4) == 0 && lsize >= 4 &&
                     ReadExact(s, p + 12, lc + 12, 4) && std::memcmp(lc + 12, "DSD ", 4) != 0) {
            return Fail(kDst, "DFF: compressed data ('" + std::string(lc + 12, lc + 16) + "')");
          }
          p = NextChunk(s, p, lsize, pend);
        }
      }
    } else if (std::memcmp(ch, "DSD ", 4) == 0) {
      if (!have_prop || !have_fs || !have_chnl) {
        return Fail(kMalformed, "DFF: sound data before the sample rate and channels");
      }
      have_sound = true;
      l.data_offset = pos + 12;
      l.data_size = csize;
    }
    pos = NextChunk(s, pos, csize, end);
  }
  if (!have_sound) return Fail(kMalformed, "DFF: no DSD sound data chunk");
  if (l.channels == 0) return Fail(kMalformed, "DFF: no channels");
  l.header_bytes = l.data_size / l.channels;
  l.bytes_per_channel = l.header_bytes;
  l.sample_count = l.header_bytes * 8;
  return CheckRate(l.rate, r);
}

}  // namespace

bool IsSupportedRate(uint32_t rate) {
  for (uint32_t m = 64; m <= 1024; m *= 2) {
    if (rate == m * 44100) return true;
  }
  return false;
}

ParseResult ParseContainer(const ByteSource& source) {
  uint8_t magic[4];
  if (!ReadExact(source, 0, magic, 4)) return Fail(kMalformed, "not a DSF or DFF file");
  if (std::memcmp(magic, "DSD ", 4) == 0) return ParseDsf(source);
  if (std::memcmp(magic, "FRM8", 4) == 0) return ParseDff(source);
  return Fail(kMalformed, "not a DSF or DFF file");
}

}  // namespace scree
