#include "app/carried_libraries.h"

// The build places each library file's bytes between these symbols (see ax_embed).
#include "embedded/engine_fell.h"
#include "embedded/engine_scree.h"
#include "embedded/engine_tarn.h"

namespace ax {
namespace {

std::span<const uint8_t> Block(const unsigned char* begin, const unsigned char* end) {
  return {begin, static_cast<size_t>(end - begin)};
}

}  // namespace

std::array<CarriedLibrary, 3> CarriedEngineLibraries() {
  return {{
      {"fell.dll", Block(ax_blob_engine_fell_begin, ax_blob_engine_fell_end)},
      {"tarn.dll", Block(ax_blob_engine_tarn_begin, ax_blob_engine_tarn_end)},
      {"scree.dll", Block(ax_blob_engine_scree_begin, ax_blob_engine_scree_end)},
  }};
}

}  // namespace ax
