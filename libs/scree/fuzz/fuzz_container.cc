// Fuzzes one container parser and the playback reader behind it: the input becomes a file in
// memory whose first four bytes are forced to the parser's magic, so every run reaches the
// parser. Whatever the header says, parsing and reading must stay inside the input.
#include <cstdint>
#include <cstring>
#include <vector>

#include "libs/scree/src/container.h"
#include "libs/scree/src/readers.h"
#include "libs/scree/src/source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  if (file.size() >= 4) std::memcpy(file.data(), FUZZ_MAGIC, 4);
  auto source = scree::MemorySource(file.data(), file.size());
  scree::ParseResult r = scree::ParseContainer(*source);
  if (r.code != 0) return 0;
  scree::PlaybackReader reader(*source, r.layout);
  // Read the first and the last few pairs, and a range across the end.
  const uint64_t pairs = reader.Pairs();
  uint8_t out[2 * 64];
  const uint64_t n = pairs < 64 ? pairs : 64;
  if (!reader.ReadPairs(0, n, out)) __builtin_trap();
  if (!reader.ReadPairs(pairs - n, n, out)) __builtin_trap();
  reader.ReadPairsPadded(static_cast<int64_t>(pairs) - 10, 64, out);
  return 0;
}
