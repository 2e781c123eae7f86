// The three engine library files that the build put inside the program, in installation order:
// "fell.dll", "tarn.dll", "scree.dll".
#pragma once

#include <array>

#include "app/engine_install.h"

namespace ax {

std::array<CarriedLibrary, 3> CarriedEngineLibraries();

}  // namespace ax
