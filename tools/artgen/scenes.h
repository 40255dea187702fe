// The three pictures of the setup program.
#pragma once

#include "art_image.h"

// Launcher picture, 600 by 450, with a framed place for the two buttons.
Canvas PaintLauncherScene();
// Wizard page picture, 123 by 263.
Canvas PaintWizardScene();
// Program icon of the given size (32 or 16); `opaque` receives the round shape.
Canvas PaintIconScene(int size, std::vector<uint8_t>& opaque);

// Where the launcher's buttons lie, in pixels: dialog units (148, 127) and
// (148, 158), 117 by 14. The dialog font "System" gives two pixels a unit
// across; down, 16-pixel system fonts give 2 and 15-pixel ones 1.875, so the
// frame behind the buttons holds both placements.
constexpr int ButtonLeft = 148 * 2;
constexpr int ButtonWidth = 117 * 2;
constexpr int PlayButtonTopLeast = 127 * 15 / 8;
constexpr int InstallButtonBottomMost = (158 + 14) * 2;
// The client area may be as short as 225 units at 1.875 pixels.
constexpr int ShortestClientHeight = 225 * 15 / 8;
