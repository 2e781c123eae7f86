// The start-up checks that the machine can hold the player's buffers and threads, and the
// single-instance guard.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "engine/message.h"

namespace ax {

// What the checks ask of the system. The real source reads the platform's process and memory
// status; tests give their own numbers.
struct SystemFacts {
  int64_t system_processors = 1;   // processors the system has (1 when unknown)
  int64_t process_processors = 1;  // processors this process may run on (1 when unknown)
  int64_t total_memory = 0;        // bytes of physical memory (0 when unknown)
  int64_t available_memory = 0;    // bytes of it available now (0 when unknown)
};

class SystemFactsSource {
 public:
  virtual ~SystemFactsSource() = default;
  virtual SystemFacts Query() = 0;
};

inline constexpr int64_t kMinSystemProcessors = 2;
inline constexpr int64_t kMinProcessProcessors = 1;
inline constexpr int64_t kMinTotalMemory = 3'984'588'800;      // 3800 MiB
inline constexpr int64_t kMinAvailableMemory = 2'726'297'600;  // 2600 MiB

// The box for the first requirement the facts fail, in check order (processors before memory),
// or nothing when all pass. The caller shows it and then leaves through the common exit.
std::optional<Message> CheckRequirements(const SystemFacts& facts);

// The boxes of the two failures: #B for processors, #C for memory.
Message ProcessorCountFailure();
Message MemoryStatusFailure();

// The text that, inside a process's image name, marks a development or test build of the
// player, so that such a build passes the single-instance guard under its own name.
inline constexpr char kDevelopmentBuildMarker[] = "ax-devbuild";

// True when exactly one process in `image_names` is a copy of the player: named exactly
// "Ardent X", "Ardent Reverie" or "Ardent-X", or containing the development-build marker.
// None (the list could not be read, or the player runs under another name) or more than one
// (another copy runs) answers false.
bool InstanceGuardAllows(std::span<const std::string> image_names);

}  // namespace ax
