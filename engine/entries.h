// The engine libraries' entry points as the player holds them: one function pointer per
// operation, bound by name once at start-up and only read afterwards (by the main thread, the
// reading thread and the output library's callback thread), so they need no lock.
//
// An operation that its library does not export stays nullptr. Nothing here calls an entry;
// callers check the pointer before calling an operation that might be missing.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace ax {

using EngineBool = int;

// The output library's device information record.
struct FellDeviceInfo {
  const void* name;    // UTF-16 once Fell_ASIO_SetUnicode(1) was called
  const void* driver;  // likewise
};

// The output callback: called on the output library's thread with the device buffer; returns
// the bytes it wrote.
using FellAsioProc = uint32_t (*)(EngineBool input, uint32_t channel, void* buffer, uint32_t length,
                                  void* user);

struct EngineEntries {
  // Stream engine ("tarn.dll").
  int32_t (*Tarn_ChannelGetData)(uint32_t handle, void* buffer, uint32_t length) = nullptr;
  uint32_t (*Tarn_StreamCreateFile)(EngineBool mem, const void* file, uint64_t offset,
                                    uint64_t length, uint32_t flags) = nullptr;
  uint64_t (*Tarn_ChannelGetLength)(uint32_t handle, uint32_t mode) = nullptr;
  uint64_t (*Tarn_ChannelGetPosition)(uint32_t handle, uint32_t mode) = nullptr;
  int32_t (*Tarn_ErrorGetCode)() = nullptr;
  EngineBool (*Tarn_Init)(int device, uint32_t freq, uint32_t flags, void* window,
                          const void* reserved) = nullptr;
  EngineBool (*Tarn_Free)() = nullptr;
  EngineBool (*Tarn_StreamFree)(uint32_t handle) = nullptr;
  uint64_t (*Tarn_StreamGetFilePosition)(uint32_t handle, uint32_t mode) = nullptr;
  EngineBool (*Tarn_SetDevice)(uint32_t device) = nullptr;
  EngineBool (*Tarn_SetConfig)(uint32_t option, uint32_t value) = nullptr;
  double (*Tarn_ChannelBytes2Seconds)(uint32_t handle, uint64_t bytes) = nullptr;
  EngineBool (*Tarn_ChannelGetAttribute)(uint32_t handle, uint32_t attrib, float* value) = nullptr;
  EngineBool (*Tarn_ChannelSetPosition)(uint32_t handle, uint64_t pos, uint32_t mode) = nullptr;
  EngineBool (*Tarn_ChannelSetDevice)(uint32_t handle, uint32_t device) = nullptr;
  EngineBool (*Tarn_ChannelStop)(uint32_t handle) = nullptr;
  EngineBool (*Tarn_ChannelUpdate)(uint32_t handle, uint32_t length) = nullptr;

  // Output library ("fell.dll").
  uint32_t (*Fell_ASIO_GetVersion)() = nullptr;
  EngineBool (*Fell_ASIO_GetDeviceInfo)(uint32_t device, FellDeviceInfo* info) = nullptr;
  EngineBool (*Fell_ASIO_Init)(int device, uint32_t flags) = nullptr;
  EngineBool (*Fell_ASIO_Free)() = nullptr;
  int32_t (*Fell_ASIO_ErrorGetCode)() = nullptr;
  EngineBool (*Fell_ASIO_CheckRate)(double rate) = nullptr;
  EngineBool (*Fell_ASIO_SetRate)(double rate) = nullptr;
  double (*Fell_ASIO_GetRate)() = nullptr;
  EngineBool (*Fell_ASIO_Start)(uint32_t buflen, uint32_t threads) = nullptr;
  EngineBool (*Fell_ASIO_Stop)() = nullptr;
  EngineBool (*Fell_ASIO_SetUnicode)(EngineBool utf16) = nullptr;
  EngineBool (*Fell_ASIO_IsStarted)() = nullptr;
  EngineBool (*Fell_ASIO_ChannelReset)(EngineBool input, int channel, uint32_t flags) = nullptr;
  EngineBool (*Fell_ASIO_ChannelEnable)(EngineBool input, uint32_t channel, FellAsioProc proc,
                                        void* user) = nullptr;
  EngineBool (*Fell_ASIO_ChannelJoin)(EngineBool input, uint32_t channel, int channel2) = nullptr;
  EngineBool (*Fell_ASIO_ChannelPause)(EngineBool input, uint32_t channel) = nullptr;
  EngineBool (*Fell_ASIO_ChannelSetFormat)(EngineBool input, uint32_t channel,
                                           uint32_t format) = nullptr;
  EngineBool (*Fell_ASIO_SetDSD)(EngineBool dsd) = nullptr;
  EngineBool (*Fell_ASIO_Future)(uint32_t selector, void* param) = nullptr;

  // DSD decoder ("scree.dll").
  uint32_t (*Scree_DSD_StreamCreateFile)(EngineBool mem, const void* file, uint64_t offset,
                                         uint64_t length, uint32_t flags, uint32_t freq) = nullptr;
};

// The three engine libraries, in the order they are loaded.
enum class EngineLibrary : uint8_t { kStream, kOutput, kDecoder };

// One row of the binding table: the exported name and where its address goes.
struct EngineOperation {
  EngineLibrary library;
  const char* name;
  void (*store)(EngineEntries& entries, void* address);
};

inline constexpr size_t kEngineOperationCount = 37;

// Every operation the player binds, in binding order: the 17 of the stream engine, the 19 of the
// output library, then the decoder's one.
extern const std::array<EngineOperation, kEngineOperationCount> kEngineOperations;

// Binds the operations of `library` in table order, asking `lookup` for each exported name.
// A name it answers nullptr for leaves that entry unbound. `Lookup` is any callable
// void*(const char* name).
template <typename Lookup>
void BindEngineOperations(EngineLibrary library, Lookup&& lookup, EngineEntries& entries) {
  for (const EngineOperation& op : kEngineOperations) {
    if (op.library == library) op.store(entries, lookup(op.name));
  }
}

}  // namespace ax
