// Reading a 60-second DSD512 stereo raw playback stream to its end, in the reads the player
// makes (81,607,680 bytes), against memcpy of the same bytes in the same run, for DSF and for
// DFF. The files are read once before timing so both sides work from memory (the page cache).
// Prints throughput ratios: stream / memcpy. Goals: DSF >= 0.5, DFF >= 0.8.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "libs/scree/scree.h"
#include "libs/tarn/tarn.h"
#include "tools/dsdgen/dsdgen.h"

namespace {

constexpr uint32_t kPass = 81607680;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// Seconds to read the whole raw stream of `path`; 0 on failure.
double ReadStream(const std::string& path, std::vector<uint8_t>& buf, uint64_t* total) {
  uint32_t h = Scree_DSD_StreamCreateFile(0, path.c_str(), 0, 0, 0x00200200, 0);
  if (!h) return 0;
  *total = 0;
  auto t0 = Clock::now();
  int32_t got;
  while ((got = Tarn_ChannelGetData(h, buf.data(), kPass)) > 0) *total += got;
  auto t1 = Clock::now();
  Tarn_StreamFree(h);
  return got < 0 ? 0 : Seconds(t0, t1);
}

double Memcpy(const std::vector<uint8_t>& src, std::vector<uint8_t>& dst, uint64_t total) {
  auto t0 = Clock::now();
  for (uint64_t done = 0; done < total; done += kPass) {
    std::memcpy(dst.data(), src.data(), std::min<uint64_t>(kPass, total - done));
  }
  auto t1 = Clock::now();
  return Seconds(t0, t1);
}

}  // namespace

int main() {
  const auto dir = std::filesystem::temp_directory_path() / "ax-bench-decoder";
  std::filesystem::create_directories(dir);
  std::vector<uint8_t> buf(kPass), src(kPass, 0x5A);
  std::printf("60 s DSD512 stereo, reads of %u bytes; ratio = stream throughput / memcpy\n", kPass);
  for (auto container : {dsdgen::Container::kDsf, dsdgen::Container::kDff}) {
    dsdgen::FileSpec desc;
    desc.container = container;
    desc.rate = dsdgen::kDsd512;
    desc.channels = 2;
    desc.samples = uint64_t{dsdgen::kDsd512} * 60;
    const bool dsf = container == dsdgen::Container::kDsf;
    const std::string path = (dir / (dsf ? "bench.dsf" : "bench.dff")).string();
    if (!std::filesystem::exists(path)) dsdgen::WriteFile(path, dsdgen::MakeFile(desc));
    uint64_t total = 0;
    ReadStream(path, buf, &total);  // warm the page cache
    double best_stream = 1e9, best_copy = 1e9;
    for (int round = 0; round < 5; ++round) {
      double s = ReadStream(path, buf, &total);
      if (s <= 0) {
        std::printf("%s: reading failed\n", dsf ? "DSF" : "DFF");
        return 1;
      }
      best_stream = std::min(best_stream, s);
      best_copy = std::min(best_copy, Memcpy(src, buf, total));
    }
    const double ratio = best_copy / best_stream;
    const double goal = dsf ? 0.5 : 0.8;
    std::printf(
        "%s: %llu bytes, stream %.1f ms (%.2f GB/s), memcpy %.1f ms (%.2f GB/s), "
        "ratio %.2f (goal %.1f) %s\n",
        dsf ? "DSF" : "DFF", static_cast<unsigned long long>(total), best_stream * 1e3,
        total / best_stream / 1e9, best_copy * 1e3, total / best_copy / 1e9, ratio, goal,
        ratio >= goal ? "met" : "NOT MET");
  }
  std::filesystem::remove_all(dir);
  return 0;
}
