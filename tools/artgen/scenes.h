// The three pictures of the setup program.
#pragma once

#include <string>
#include <vector>

#include "art_image.h"

// The words the pictures carry.
struct ArtTexts {
    std::string title = "VEXLO";                      // title face, on every picture
    std::string tagline = "THE INTERSTELLAR ARCADE";  // pixel face, under the launcher's title
};

// Where a title lies: its cap height in pixels and its one or two lines.
struct TitleLine {
    std::string text;
    float left = 0, top = 0;  // top-left corner
};
struct TitlePlacement {
    float height = 0;
    std::vector<TitleLine> lines;
};

// A title wider than its picture is drawn smaller, down to these heights;
// below them it is split in two lines at a space, and what does not fit even
// so is refused.
constexpr float LauncherTitleLeast = 40;
constexpr float WizardTitleLeast = 10;
constexpr int LauncherWidth = 600, LauncherHeight = 450;
constexpr int WizardWidth = 123, WizardHeight = 263;

TitlePlacement PlaceLauncherTitle(const std::string& title);
TitlePlacement PlaceWizardTitle(const std::string& title);

// Whether the texts can be painted: a title of at least one glyph, every
// character in its face, each text fitting its picture. If not, `problem`
// says why in a sentence.
bool CheckArtTexts(const ArtTexts& texts, std::string* problem);

// Launcher picture, 600 by 450, with a framed place for the two buttons.
Canvas PaintLauncherScene(const ArtTexts& texts);
// Wizard page picture, 123 by 263.
Canvas PaintWizardScene(const ArtTexts& texts);
// Program icon of the given size (32 or 16): the title's first letter;
// `opaque` receives the round shape.
Canvas PaintIconScene(int size, const ArtTexts& texts, std::vector<uint8_t>& opaque);

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
