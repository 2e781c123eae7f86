#include "assets/pictures.h"

#include "embedded/overlay_png.h"
#include "embedded/skin_png.h"

namespace assets {

std::span<const uint8_t> SkinPng() {
  return {ax_blob_skin_png_begin,
          static_cast<size_t>(ax_blob_skin_png_end - ax_blob_skin_png_begin)};
}

std::span<const uint8_t> OverlayPng() {
  return {ax_blob_overlay_png_begin,
          static_cast<size_t>(ax_blob_overlay_png_end - ax_blob_overlay_png_begin)};
}

}  // namespace assets
