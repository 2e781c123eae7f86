// The skin and overlay pictures, drawn by code so that the art can be changed and rebuilt.
// The committed PNGs in assets/ are this code's output; a test keeps the two in step.
#pragma once

#include "platform/canvas/canvas.h"

namespace skin_art {

constexpr int kSkinWidth = 484, kSkinHeight = 820;
constexpr int kOverlayWidth = 444, kOverlayHeight = 400;

// The colours the art is built from; the ones the player draws with are named after their use.
namespace colours {
constexpr canvas::Color kWindow = canvas::Rgb(0x697B82);  // the 10-pixel frame
constexpr canvas::Color kPanelTop = canvas::Rgb(0x2C323A);
constexpr canvas::Color kPanelBottom = canvas::Rgb(0x1D2127);
constexpr canvas::Color kWell = canvas::Rgb(0x14171B);  // behind text: lines, list, labels
constexpr canvas::Color kWellEdge = canvas::Rgb(0x0B0D10);
constexpr canvas::Color kWellLight = canvas::Rgb(0x3A424C);  // the lit lower edge of a well
constexpr canvas::Color kFaceTop = canvas::Rgb(0x2F343D);
constexpr canvas::Color kFaceBottom = canvas::Rgb(0x22262D);
constexpr canvas::Color kFaceEdge = canvas::Rgb(0x3E454F);
constexpr canvas::Color kAccent = canvas::Rgb(0x8FA9B0);
constexpr canvas::Color kText = canvas::Rgb(0xC1CED1);
}  // namespace colours

// Where the pieces of the main window lie (client coordinates).
struct Place {
  int id;
  canvas::Rect rect;
};
constexpr canvas::Rect kCover{10, 10, 102, 102};
constexpr canvas::Rect kClose{450, 10, 23, 23};
constexpr canvas::Rect kRate{120, 10, 68, 26};
constexpr canvas::Rect kTitle{116, 40, 344, 26};
constexpr canvas::Rect kTime{116, 66, 290, 28};
constexpr canvas::Rect kList{20, 130, 444, 300};
constexpr canvas::Rect kSummary{392, 520, 68, 22};
constexpr canvas::Rect kPageUp{434, 94, 36, 36};
constexpr canvas::Rect kPageDown{434, 438, 36, 36};
constexpr Place kButtons[] = {{33, {10, 700, 64, 26}},  {34, {10, 736, 64, 26}},
                              {32, {10, 772, 64, 26}},  {35, {82, 772, 54, 26}},
                              {36, {412, 772, 62, 26}}, {37, {350, 772, 52, 26}}};

canvas::Bitmap DrawSkin();
canvas::Bitmap DrawOverlay();

}  // namespace skin_art
