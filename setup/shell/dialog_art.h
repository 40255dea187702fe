// The 256-colour pictures of the launcher and the wizard pages, and centring
// of dialogs on the desktop.
#pragma once

#include <windows.h>

// Bitmap resource names.
constexpr const char LauncherArtName[] = "BMP_AUTOPLAY";
constexpr const char WizardArtName[] = "IDB_SETUP";

// A device-dependent bitmap of the named RT_BITMAP resource, and its palette
// (both owned by the caller). Missing resource: no bitmap and no palette.
HBITMAP LoadDibResource(HINSTANCE instance, const char* name, HPALETTE* palette);

// The palette of a colour table of up to 8 bits per pixel; none above that.
HPALETTE CreateDibPalette(const BITMAPINFOHEADER* header, int* colourCount);

// The whole WM_PAINT answer of a window that shows a picture.
void PaintDialogArt(HWND window, const char* name);

// The whole WM_QUERYNEWPALETTE answer of such a window.
void RealizeDialogArtPalette(HWND window, const char* name);

// Answers WM_PAINT and WM_QUERYNEWPALETTE of a page that shows the wizard
// picture; false for every other message.
bool AnswerWizardArtMessage(HWND page, UINT message);

// Moves a window to the middle of the desktop, keeping size and Z order.
void CenterOnDesktop(HWND window);
