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
// (148, 158), 117 by 14, at the dialog font's two pixels per unit.
constexpr int LauncherUnitPixels = 2;
constexpr int ButtonLeft = 148 * LauncherUnitPixels;
constexpr int ButtonWidth = 117 * LauncherUnitPixels;
constexpr int ButtonHeight = 14 * LauncherUnitPixels;
constexpr int PlayButtonTop = 127 * LauncherUnitPixels;
constexpr int InstallButtonTop = 158 * LauncherUnitPixels;
