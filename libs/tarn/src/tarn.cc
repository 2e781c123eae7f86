// The stream engine: a table of handles to decoded streams, each with its own lock and read
// position, and the calling thread's error code. Decoders do the reading; the engine makes
// streams safe to share between threads: a stream freed while another thread reads it stays
// alive (shared ownership) until that read returns, and its handle then answers "invalid".
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <unordered_map>

#define TARN_BUILDING 1
#include "libs/tarn/tarn.h"
#include "libs/tarn/tarn_ext.h"

namespace {

struct Stream {
  Stream(const TarnStreamOps& o, void* c, const TarnStreamInfo& i) : ops(o), ctx(c), info(i) {}
  ~Stream() { ops.destroy(ctx); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  const TarnStreamOps ops;
  void* const ctx;
  const TarnStreamInfo info;
  std::mutex lock;        // one call at a time on this stream; guards the fields below
  uint64_t position = 0;  // next byte to deliver
  bool stopped = false;
  uint32_t device = 0;
};

struct Engine {
  std::mutex lock;  // guards everything below but `decoder`
  std::unordered_map<uint32_t, std::shared_ptr<Stream>> streams;
  uint32_t next_handle = 1;
  bool initialised = false;
  uint32_t freq = 44100;
  uint32_t config_buffer = 500, config_unicode = 0, config_dsd_freq = 0;
  std::atomic<TarnDecoderOpen> decoder{nullptr};
};

Engine& TheEngine() {
  static Engine engine;
  return engine;
}

thread_local int32_t t_error = 0;
thread_local uint32_t t_device = 0;

BOOL Ok() {
  t_error = TARN_OK;
  return 1;
}
BOOL Fail(int32_t code) {
  t_error = code;
  return 0;
}

std::shared_ptr<Stream> Find(uint32_t handle) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> guard(e.lock);
  auto it = e.streams.find(handle);
  if (it == e.streams.end()) {
    t_error = TARN_ERROR_HANDLE;
    return nullptr;
  }
  return it->second;
}

}  // namespace

extern "C" {

TARN_API BOOL Tarn_Init(int device, uint32_t freq, uint32_t flags, void* window,
                        const void* reserved) {
  // Only device 0 (no output of our own) exists: sound goes out through the output library.
  if (device != 0) return Fail(TARN_ERROR_DEVICE);
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> guard(e.lock);
  if (e.initialised) return Fail(TARN_ERROR_ALREADY);
  e.initialised = true;
  e.freq = freq;
  return Ok();
}

TARN_API BOOL Tarn_Free(void) {
  Engine& e = TheEngine();
  std::unordered_map<uint32_t, std::shared_ptr<Stream>> dying;
  {
    std::lock_guard<std::mutex> guard(e.lock);
    dying.swap(e.streams);
    e.initialised = false;
  }
  dying.clear();  // outside the lock: closing files may take a while
  return Ok();
}

TARN_API BOOL Tarn_SetDevice(uint32_t device) {
  if (device != 0) return Fail(TARN_ERROR_DEVICE);
  t_device = device;
  return Ok();
}

TARN_API BOOL Tarn_SetConfig(uint32_t option, uint32_t value) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> guard(e.lock);
  switch (option) {
    case TARN_CONFIG_BUFFER:
      e.config_buffer = value;
      break;
    case TARN_CONFIG_UNICODE:
      e.config_unicode = value;
      break;
    case TARN_CONFIG_DSD_FREQ:
      e.config_dsd_freq = value;
      break;
    default:
      return Fail(TARN_ERROR_ILLPARAM);
  }
  return Ok();
}

TARN_API int32_t Tarn_ErrorGetCode(void) {
  return t_error;
}

TARN_API uint64_t Tarn_ChannelGetLength(uint32_t handle, uint32_t mode) {
  auto s = Find(handle);
  if (!s) return ~0ull;
  if (mode != 0) return Fail(TARN_ERROR_ILLPARAM), ~0ull;
  Ok();
  return s->info.length;
}

TARN_API double Tarn_ChannelBytes2Seconds(uint32_t handle, uint64_t bytes) {
  auto s = Find(handle);
  if (!s) return -1.0;
  if (s->info.byte_rate == 0) return Fail(TARN_ERROR_NOTAVAIL), -1.0;
  Ok();
  return static_cast<double>(bytes) / s->info.byte_rate;
}

TARN_API BOOL Tarn_ChannelGetAttribute(uint32_t handle, uint32_t attrib, float* value) {
  auto s = Find(handle);
  if (!s) return 0;
  if (!value) return Fail(TARN_ERROR_ILLPARAM);
  if (attrib == TARN_ATTRIB_FREQ) {
    *value = s->info.freq;
  } else if (attrib == TARN_ATTRIB_DSDRATE && s->info.dsd_rate > 0) {
    *value = s->info.dsd_rate;
  } else {
    return Fail(TARN_ERROR_ILLPARAM);
  }
  return Ok();
}

TARN_API int32_t Tarn_ChannelGetData(uint32_t handle, void* buffer, uint32_t length) {
  auto s = Find(handle);
  if (!s) return -1;
  if (length > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) ||
      (!buffer && length > 0)) {
    return Fail(TARN_ERROR_ILLPARAM), -1;
  }
  std::lock_guard<std::mutex> guard(s->lock);
  if (s->stopped) return Fail(TARN_ERROR_START), -1;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint64_t done = 0;
  while (done < length && s->position < s->info.length) {
    uint64_t want = std::min<uint64_t>(length - done, s->info.length - s->position);
    int64_t got = s->ops.read(s->ctx, s->position, out + done, want);
    if (got < 0) {
      // Bytes already delivered count; the failure shows on the next call.
      if (done > 0) break;
      return -1;
    }
    if (got == 0) break;  // the file holds less than it promised: end here
    done += static_cast<uint64_t>(got);
    s->position += static_cast<uint64_t>(got);
  }
  Ok();
  return static_cast<int32_t>(done);
}

TARN_API BOOL Tarn_ChannelSetDevice(uint32_t handle, uint32_t device) {
  auto s = Find(handle);
  if (!s) return 0;
  if (device != 0) return Fail(TARN_ERROR_DEVICE);
  std::lock_guard<std::mutex> guard(s->lock);
  s->device = device;
  return Ok();
}

TARN_API BOOL Tarn_ChannelStop(uint32_t handle) {
  auto s = Find(handle);
  if (!s) return 0;
  std::lock_guard<std::mutex> guard(s->lock);
  s->stopped = true;
  return Ok();
}

TARN_API BOOL Tarn_StreamFree(uint32_t handle) {
  std::shared_ptr<Stream> dying;
  {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> guard(e.lock);
    auto it = e.streams.find(handle);
    if (it == e.streams.end()) return Fail(TARN_ERROR_HANDLE);
    dying = std::move(it->second);
    e.streams.erase(it);
  }
  return Ok();  // the stream closes when the last user lets go of it
}

TARN_API uint32_t Tarn_StreamCreateFile(BOOL mem, const void* file, uint64_t offset,
                                        uint64_t length, uint32_t flags) {
  TarnDecoderOpen open = TheEngine().decoder.load(std::memory_order_acquire);
  if (!open) return Fail(TARN_ERROR_FILEFORMAT), 0u;
  return open(mem, file, offset, length, flags);
}

TARN_API uint64_t Tarn_ChannelGetPosition(uint32_t handle, uint32_t mode) {
  auto s = Find(handle);
  if (!s) return ~0ull;
  if (mode != 0) return Fail(TARN_ERROR_ILLPARAM), ~0ull;
  std::lock_guard<std::mutex> guard(s->lock);
  Ok();
  return s->position;
}

TARN_API BOOL Tarn_ChannelSetPosition(uint32_t handle, uint64_t pos, uint32_t mode) {
  auto s = Find(handle);
  if (!s) return 0;
  if (mode != 0 || pos > s->info.length) return Fail(TARN_ERROR_ILLPARAM);
  std::lock_guard<std::mutex> guard(s->lock);
  const uint64_t align = s->info.align ? s->info.align : 1;
  s->position = pos - pos % align;
  s->stopped = false;
  return Ok();
}

TARN_API uint64_t Tarn_StreamGetFilePosition(uint32_t handle, uint32_t mode) {
  auto s = Find(handle);
  if (!s) return ~0ull;
  std::lock_guard<std::mutex> guard(s->lock);
  Ok();
  return s->ops.file_position(s->ctx, s->position);
}

TARN_API BOOL Tarn_ChannelUpdate(uint32_t handle, uint32_t length) {
  // Streams are pulled by the caller; there is no buffer of our own to fill.
  if (!Find(handle)) return 0;
  return Ok();
}

TARN_API uint32_t TarnX_StreamCreate(const TarnStreamOps* ops, void* ctx,
                                     const TarnStreamInfo* info) {
  if (!ops || !info) return Fail(TARN_ERROR_ILLPARAM), 0u;
  std::shared_ptr<Stream> s;
  try {
    s = std::make_shared<Stream>(*ops, ctx, *info);
  } catch (const std::bad_alloc&) {
    ops->destroy(ctx);
    return Fail(TARN_ERROR_MEM), 0u;
  }
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> guard(e.lock);
  uint32_t handle = e.next_handle++;
  if (e.next_handle == 0) e.next_handle = 1;
  e.streams.emplace(handle, std::move(s));
  Ok();
  return handle;
}

TARN_API void TarnX_SetError(int32_t code) {
  t_error = code;
}

TARN_API void TarnX_RegisterDecoder(TarnDecoderOpen open) {
  TheEngine().decoder.store(open, std::memory_order_release);  // pairs with the acquire load
                                                               // in Tarn_StreamCreateFile
}

}  // extern "C"
