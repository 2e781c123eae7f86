// dsdinfo FILE...: prints what the decoder sees in each DSF or DFF file, for people debugging
// files: container, rate, channels, sample count, exact duration, where the data lies, the tag,
// and what a playback stream of it delivers (or why the file is refused).
#include <cinttypes>
#include <cstdio>

#include "libs/scree/src/container.h"
#include "libs/scree/src/source.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dsdinfo FILE...\n");
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    int error = 0;
    auto source = scree::OpenFileSource(argv[i], 0, 0, &error);
    std::printf("%s\n", argv[i]);
    if (!source) {
      std::printf("  refused: code %d (cannot open or read the file)\n", error);
      status = 1;
      continue;
    }
    scree::ParseResult r = scree::ParseContainer(*source);
    const scree::DsdLayout& l = r.layout;
    if (r.code != 0) {
      std::printf("  refused: code %d (%s)\n", r.code, r.reason.c_str());
      status = 1;
      continue;
    }
    const bool dsf = l.container == scree::Container::kDsf;
    std::printf(
        "  format        %s%s\n", dsf ? "DSF" : "DFF",
        dsf ? (l.lsb_first ? ", 1 bit per sample (LSB first)" : ", 8 bits per sample (MSB first)")
            : "");
    std::printf("  rate          %u Hz (DSD%u)\n", l.rate, l.rate / 44100);
    std::printf("  channels      %u\n", l.channels);
    std::printf("  samples       %" PRIu64 " per channel\n", l.sample_count);
    std::printf("  duration      %.9f s\n", static_cast<double>(l.sample_count) / l.rate);
    std::printf("  file size     %" PRIu64 " bytes\n", source->Size());
    std::printf("  data          offset %" PRIu64 ", %" PRIu64 " bytes present", l.data_offset,
                l.data_size);
    if (dsf) std::printf(", blocks of %u bytes per channel", l.block_size);
    std::printf("\n");
    std::printf("  tag           ");
    if (l.tag_size) {
      std::printf("ID3v2 at %" PRIu64 ", %" PRIu64 " bytes\n", l.tag_offset, l.tag_size);
    } else {
      std::printf("none\n");
    }
    std::printf(
        "  playback      %" PRIu64 " bytes per channel, stream length %" PRIu64 " bytes%s\n",
        l.bytes_per_channel, 2 * l.bytes_per_channel,
        l.bytes_per_channel < l.header_bytes ? " (the file holds less than the header says)" : "");
  }
  return status;
}
