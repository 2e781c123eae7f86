#include "app/requirements.h"

#include <string_view>

namespace ax {

Message ProcessorCountFailure() {
  return Message{"System", "Slow system #B (CPU count)", MessageIcon::kError, true};
}

Message MemoryStatusFailure() {
  return Message{"System", "Slow system #C (memory status)", MessageIcon::kError, true};
}

std::optional<Message> CheckRequirements(const SystemFacts& facts) {
  if (facts.system_processors < kMinSystemProcessors ||
      facts.process_processors < kMinProcessProcessors) {
    return ProcessorCountFailure();
  }
  if (facts.total_memory < kMinTotalMemory || facts.available_memory < kMinAvailableMemory) {
    return MemoryStatusFailure();
  }
  return std::nullopt;
}

bool InstanceGuardAllows(std::span<const std::string> image_names) {
  int count = 0;
  for (const std::string& name : image_names) {
    if (name == "Ardent X" || name == "Ardent Reverie" || name == "Ardent-X" ||
        std::string_view(name).find(kDevelopmentBuildMarker) != std::string_view::npos) {
      if (++count > 1) break;
    }
  }
  return count == 1;
}

}  // namespace ax
