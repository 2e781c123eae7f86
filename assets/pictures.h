// The skin and overlay pictures carried inside the program, as PNG bytes.
#pragma once

#include <cstdint>
#include <span>

namespace assets {

std::span<const uint8_t> SkinPng();     // 484 x 820, RGBA
std::span<const uint8_t> OverlayPng();  // 444 x 400, RGBA

}  // namespace assets
