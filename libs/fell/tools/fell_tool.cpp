// fell_tool: for people checking a DAC.
//   fell_tool list               the devices, with the DSD rates and sample formats each takes
//   fell_tool play DEVICE FILE   plays a DSF/DFF file through that device number
// Playing goes through the output library's C interface alone, the way the player drives it:
// a reading thread pulls the file's playback stream into a ring, and the channel callback only
// copies out of the ring (no I/O, no locks on the device thread).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "libs/fell/fell.h"
#include "libs/fell/src/alsa_device.h"
#include "libs/fell/src/device.h"
#include "libs/fell/src/virtual_device.h"
#ifdef FELL_TOOL_CAN_PLAY
#include "libs/scree/scree.h"
#include "libs/tarn/tarn.h"
#endif

namespace {

const char* const kRateNames[4] = {"DSD64", "DSD128", "DSD256", "DSD512"};

int List() {
  // Device numbers follow the library's order: 0 the virtual device, then the ALSA list.
  std::vector<fell::DeviceEntry> alsa = fell::ListAlsaDevices();
  FellDeviceInfo info{};
  for (uint32_t n = 0; Fell_ASIO_GetDeviceInfo(n, &info); ++n) {
    std::printf("%2u  %s  [%s]\n", n, static_cast<const char*>(info.name),
                static_cast<const char*>(info.driver));
    int err = 0;
    std::unique_ptr<fell::Device> d =
        n == 0 ? fell::OpenVirtualDevice()
               : (n - 1 < alsa.size() ? fell::OpenAlsaDevice(alsa[n - 1], &err) : nullptr);
    if (!d) {
      std::printf("      cannot be opened now (code %d)\n", err);
      continue;
    }
    for (int i = 0; i < 4; ++i) {
      const char* f = d->FormatFor(fell::kDsdRates[i]);
      std::printf("      %-7s %s\n", kRateNames[i], f ? f : "-");
    }
  }
  return 0;
}

#ifdef FELL_TOOL_CAN_PLAY
// One reader, one callback. `head` counts bytes written, `tail` bytes read; each side owns one.
struct Ring {
  explicit Ring(size_t n) : data(n) {}
  std::vector<uint8_t> data;
  std::atomic<uint64_t> head{0}, tail{0};
  std::atomic<bool> ended{false};
};

uint32_t Proc(FELL_BOOL, uint32_t, void* buffer, uint32_t length, void* user) {
  auto* r = static_cast<Ring*>(user);
  const uint64_t tail = r->tail.load(std::memory_order_relaxed);
  // Pairs with the release store of head in Play's reading loop.
  const uint64_t head = r->head.load(std::memory_order_acquire);
  const size_t n = static_cast<size_t>(std::min<uint64_t>(head - tail, length));
  const size_t size = r->data.size();
  for (size_t i = 0; i < n;) {
    const size_t at = (tail + i) % size;
    const size_t run = std::min(n - i, size - at);
    std::memcpy(static_cast<uint8_t*>(buffer) + i, &r->data[at], run);
    i += run;
  }
  // Pairs with the acquire load of tail in the reading loop.
  r->tail.store(tail + n, std::memory_order_release);
  return static_cast<uint32_t>(n);
}

int Play(int device, const char* path) {
  const uint32_t h = Scree_DSD_StreamCreateFile(0, path, 0, 0, SCREE_DECODE | SCREE_RAW, 0);
  if (!h) {
    std::fprintf(stderr, "cannot open %s: code %d\n", path, Tarn_ErrorGetCode());
    return 1;
  }
  float rate = 0;
  Tarn_ChannelGetAttribute(h, 81921, &rate);
  std::printf("%s: DSD at %.0f Hz, %llu bytes\n", path, rate,
              static_cast<unsigned long long>(Tarn_ChannelGetLength(h, 0)));
  if (!Fell_ASIO_Init(device, 1) || !Fell_ASIO_SetDSD(1) || !Fell_ASIO_SetRate(rate)) {
    std::fprintf(stderr, "device %d refuses DSD at %.0f Hz: code %d\n", device, rate,
                 Fell_ASIO_ErrorGetCode());
    Fell_ASIO_Free();
    Tarn_StreamFree(h);
    return 1;
  }
  Ring ring(static_cast<size_t>(rate / 4));  // one second
  std::vector<uint8_t> chunk(ring.data.size() / 4);
  auto fill = [&]() -> bool {  // false at the end of the stream
    const uint64_t head = ring.head.load(std::memory_order_relaxed);
    const uint64_t room = ring.data.size() - (head - ring.tail.load(std::memory_order_acquire));
    if (room < chunk.size()) return true;
    const int32_t got = Tarn_ChannelGetData(h, chunk.data(), static_cast<uint32_t>(chunk.size()));
    if (got < 0) std::fprintf(stderr, "reading the file failed: code %d\n", Tarn_ErrorGetCode());
    if (got <= 0) return false;
    for (int32_t i = 0; i < got; ++i) ring.data[(head + i) % ring.data.size()] = chunk[i];
    ring.head.store(head + got, std::memory_order_release);
    return true;
  };
  while (ring.head.load() < ring.data.size() / 2 && fill()) {
  }
  Fell_ASIO_ChannelEnable(0, 0, Proc, &ring);
  Fell_ASIO_ChannelJoin(0, 1, 0);
  Fell_ASIO_ChannelSetFormat(0, 0, FELL_FORMAT_DSD);
  if (!Fell_ASIO_Start(0, 0)) {
    std::fprintf(stderr, "start failed: code %d\n", Fell_ASIO_ErrorGetCode());
    Fell_ASIO_Free();
    Tarn_StreamFree(h);
    return 1;
  }
  bool more = true;
  while (Fell_ASIO_IsStarted()) {
    if (more) more = fill();
    if (!more && ring.tail.load() == ring.head.load()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  int rc = 0;
  if (!Fell_ASIO_IsStarted() && Fell_ASIO_ErrorGetCode() != 0) {
    std::fprintf(stderr, "the device failed: code %d\n", Fell_ASIO_ErrorGetCode());
    rc = 1;
  }
  Fell_ASIO_ChannelReset(0, -1, 3);
  while (Fell_ASIO_IsStarted()) Fell_ASIO_Stop();
  Fell_ASIO_Free();
  Tarn_StreamFree(h);
  std::printf("played %llu bytes\n", static_cast<unsigned long long>(ring.tail.load()));
  return rc;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "list") == 0) return List();
  if (argc == 4 && std::strcmp(argv[1], "play") == 0) {
#ifdef FELL_TOOL_CAN_PLAY
    return Play(std::atoi(argv[2]), argv[3]);
#else
    std::fprintf(stderr, "built without the decoder: cannot play\n");
    return 1;
#endif
  }
  std::fprintf(stderr,
               "usage: %s list\n"
               "       %s play DEVICE FILE   (FILE: .dsf or .dff)\n",
               argv[0], argv[0]);
  return 2;
}
