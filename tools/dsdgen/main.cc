// dsdgen: writes DSD test files. Run without arguments for help.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/dsdgen/dsdgen.h"

namespace {

int Usage() {
  std::fprintf(
      stderr,
      "usage: dsdgen [options] -o FILE       one file\n"
      "       dsdgen --malformed DIR          every malformed variant, named for its fault\n"
      "options: --dff (else DSF)  --rate HZ (2822400)  --channels N (2)\n"
      "         --samples N | --seconds S  --bits 1|8 (DSF)  --id3  --extra (DFF chunks)\n"
      "         --payload pattern|sine|phrase  --freq HZ (1000)  --amp A (0.5)\n"
      "         --seed N\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  dsdgen::FileSpec desc;
  std::string out, malformed_dir;
  double seconds = -1;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) std::exit(Usage());
      return argv[++i];
    };
    if (a == "--dff")
      desc.container = dsdgen::Container::kDff;
    else if (a == "--rate")
      desc.rate = static_cast<uint32_t>(std::strtoul(value(), nullptr, 10));
    else if (a == "--channels")
      desc.channels = static_cast<uint32_t>(std::atoi(value()));
    else if (a == "--samples")
      desc.samples = std::strtoull(value(), nullptr, 10);
    else if (a == "--seconds")
      seconds = std::atof(value());
    else if (a == "--bits")
      desc.dsf_bits = std::atoi(value());
    else if (a == "--id3")
      desc.id3 = true;
    else if (a == "--extra")
      desc.dff_extra_chunks = true;
    else if (a == "--freq")
      desc.frequency = std::atof(value());
    else if (a == "--amp")
      desc.amplitude = std::atof(value());
    else if (a == "--seed")
      desc.seed = static_cast<uint32_t>(std::atoi(value()));
    else if (a == "--payload") {
      std::string p = value();
      if (p == "pattern")
        desc.payload = dsdgen::Payload::kPattern;
      else if (p == "sine")
        desc.payload = dsdgen::Payload::kSine;
      else if (p == "phrase")
        desc.payload = dsdgen::Payload::kPhrase;
      else
        return Usage();
    } else if (a == "-o")
      out = value();
    else if (a == "--malformed")
      malformed_dir = value();
    else
      return Usage();
  }
  if (!malformed_dir.empty()) {
    for (const auto& v : dsdgen::MalformedVariants()) {
      std::string path =
          malformed_dir + "/" + v.name + (v.name.rfind("dff", 0) == 0 ? ".dff" : ".dsf");
      if (!dsdgen::WriteFile(path, v.bytes)) {
        std::fprintf(stderr, "dsdgen: cannot write %s\n", path.c_str());
        return 1;
      }
    }
    return 0;
  }
  if (out.empty() || desc.channels < 1 || desc.channels > 6 ||
      (desc.dsf_bits != 1 && desc.dsf_bits != 8)) {
    return Usage();
  }
  if (seconds >= 0) desc.samples = static_cast<uint64_t>(seconds * desc.rate);
  if (!dsdgen::WriteFile(out, dsdgen::MakeFile(desc))) {
    std::fprintf(stderr, "dsdgen: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
