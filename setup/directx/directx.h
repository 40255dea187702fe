// DirectX detection and the DirectX 5 setup from the disc.
#pragma once

#include <windows.h>
#include <cstdint>

// DirectXHelpPage: the page opened from dialog 103, and the dialogs' texts.
#include "product_names.h"

// Version codes: major version in bits 8-15, minor in bits 0-7.
constexpr uint32_t DirectXNone = 0;
constexpr uint32_t DirectX1 = 0x100;
constexpr uint32_t DirectX2 = 0x200;
constexpr uint32_t DirectX3 = 0x300;
constexpr uint32_t DirectX5 = 0x500;
constexpr uint32_t DirectX5OrLater = 0x501;

// Platform codes beside the version.
constexpr uint32_t PlatformNone = 0;
constexpr uint32_t PlatformWindows95 = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr uint32_t PlatformNT = 2;         // VER_PLATFORM_WIN32_NT

// The disc's DirectX setup, relative to sourceFolder.
constexpr const char DirectXSetupLibrary[] = "DXSetup\\DSetup.dll";
constexpr const char DirectXSourceFolder[] = "DXSetup\\DirectX";
// DSETUP_DXCORE | DSETUP_DDRAWDRV | DSETUP_DSOUNDDRV.
constexpr DWORD DirectXSetupFlags = 0x10018;

// Sets both outputs on every path.
void DetectDirectXVersion(uint32_t* version, uint32_t* platform);

// Offers and runs the disc's DirectX setup. True when the install may go on.
bool RunDirectXSetup(uint8_t* restartFlag);

// Dialog 103: ends with 2 (give up) or 1020 (install without DirectX).
INT_PTR CALLBACK DirectXMissingDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
