// The output library's figures, measured side by side in one run:
// - the virtual device's callback period: mean and worst deviation from the nominal period, and
//   the bytes per second it asked for against the stream's rate, at DSD64 and DSD512 (30 s each;
//   BENCH_SECONDS changes that);
// - packing throughput of every device format against memcpy of the same input.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "libs/fell/fell.h"
#include "libs/fell/src/packing.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
  std::vector<Clock::time_point> at;
  std::vector<uint32_t> len;
  size_t n = 0;
};

uint32_t Record(FELL_BOOL, uint32_t, void* buffer, uint32_t length, void* user) {
  auto* t = static_cast<Timing*>(user);
  if (t->n < t->at.size()) {
    t->at[t->n] = Clock::now();
    t->len[t->n] = length;
    ++t->n;
  }
  std::memset(buffer, 0x69, length);
  return length;
}

void Jitter(double rate, double seconds) {
  Timing t;
  const size_t max_calls = static_cast<size_t>(seconds * 200) + 1000;
  t.at.resize(max_calls);
  t.len.resize(max_calls);
  if (!Fell_ASIO_Init(0, 1) || !Fell_ASIO_SetDSD(1) || !Fell_ASIO_SetRate(rate)) {
    std::printf("virtual device refused %.0f Hz\n", rate);
    return;
  }
  Fell_ASIO_ChannelEnable(0, 0, Record, &t);
  Fell_ASIO_ChannelJoin(0, 1, 0);
  Fell_ASIO_ChannelSetFormat(0, 0, FELL_FORMAT_DSD);
  Fell_ASIO_Start(0, 0);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  Fell_ASIO_ChannelReset(0, -1, 3);
  while (Fell_ASIO_IsStarted()) Fell_ASIO_Stop();
  Fell_ASIO_Free();

  if (t.n < 3) return;
  const double nominal = t.len[0] / 2 * 8.0 / rate;  // seconds per period
  double sum = 0, worst = 0;
  for (size_t i = 1; i < t.n; ++i) {
    const double d = std::chrono::duration<double>(t.at[i] - t.at[i - 1]).count() - nominal;
    sum += std::fabs(d);
    worst = std::max(worst, std::fabs(d));
  }
  // Bytes asked for between the first and the last callback, against the stream's rate.
  double bytes = 0;
  for (size_t i = 0; i + 1 < t.n; ++i) bytes += t.len[i];
  const double span = std::chrono::duration<double>(t.at[t.n - 1] - t.at[0]).count();
  std::printf(
      "virtual device at %8.0f Hz: %zu callbacks of %u bytes, period %.3f ms; deviation mean "
      "%.3f ms, worst %.3f ms; %.0f bytes/s for %.0f expected (ratio %.6f)\n",
      rate, t.n, t.len[0], nominal * 1e3, sum / (t.n - 1) * 1e3, worst * 1e3, bytes / span,
      rate / 4, bytes / span / (rate / 4));
}

void Packing() {
  const size_t in_bytes = 8 << 20;  // a multiple of every format's input frame
  std::vector<uint8_t> in(in_bytes), out(in_bytes * 2), copy(in_bytes);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 131 + 7);
  const int rounds = 20;
  auto time = [&](auto&& f) {
    f();  // warm up
    const auto a = Clock::now();
    for (int r = 0; r < rounds; ++r) f();
    return std::chrono::duration<double>(Clock::now() - a).count() / rounds;
  };
  volatile uint8_t sink = 0;
  const double mem = time([&] {
    std::memcpy(copy.data(), in.data(), in.size());
    sink = sink + copy[in.size() / 2];
  });
  std::printf("memcpy: %.0f MB/s of input\n", in_bytes / mem / 1e6);
  const fell::WireFormat formats[] = {fell::WireFormat::kDsdU8,    fell::WireFormat::kDsdU16Le,
                                      fell::WireFormat::kDsdU16Be, fell::WireFormat::kDsdU32Le,
                                      fell::WireFormat::kDsdU32Be, fell::WireFormat::kDopS24_3Le,
                                      fell::WireFormat::kDopS32Le};
  for (fell::WireFormat f : formats) {
    fell::DopPhase phase;
    const double s = time([&] {
      fell::Pack(f, in, out, phase);
      sink = sink + out[in.size() / 2];
    });
    // DSD512 needs 5.6 MB/s of input.
    std::printf("pack %-12s %7.0f MB/s of input, %.2fx memcpy's time, %.0fx DSD512's rate\n",
                fell::WireFormatName(f), in_bytes / s / 1e6, s / mem, in_bytes / s / 5644800.0);
  }
}

}  // namespace

int main() {
  double seconds = 30;
  if (const char* s = std::getenv("BENCH_SECONDS")) seconds = std::max(1.0, std::atof(s));
  unsetenv("FELL_VIRTUAL_SPEED");
  unsetenv("FELL_VIRTUAL_CAPTURE");
  Packing();
  Jitter(2822400.0, seconds);
  Jitter(22579200.0, seconds);
  return 0;
}
