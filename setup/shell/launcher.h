// The launcher dialog and the steps of the entry function around it.
#pragma once

#include <windows.h>

// DecompressWindowTitle: the self-extractor's window that is hidden at start.
#include "product_names.h"

// EnumWindows callback: lParam is the title to hide. Stops at the first match.
BOOL CALLBACK HideDecompressWindow(HWND window, LPARAM title);

// Deletes the Uninstall entry when the game it names is gone from the disk.
void ForgetVanishedInstall();

// Widens the launcher's two buttons (to the left, to one width) where a
// text would be cut, within the dialog.
void FitLauncherButtons(HWND launcher);

// Dialog 113.
INT_PTR CALLBACK LauncherDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Dialog 109, then a system restart when the user asks for one.
void OfferRestart();

// Enables the shutdown privilege on the NT family; true when it is held
// (or not needed, on the Windows 95 family).
bool EnableShutdownPrivilege();
