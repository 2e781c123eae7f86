// Writes the skin and overlay pictures: generate SKIN.png OVERLAY.png
#include <cstdio>

#include "assets/art/skin_art.h"
#include "platform/picture.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SKIN.png OVERLAY.png\n", argv[0]);
    return 2;
  }
  std::string error;
  if (!platform::WritePng(skin_art::DrawSkin(), argv[1], &error) ||
      !platform::WritePng(skin_art::DrawOverlay(), argv[2], &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
