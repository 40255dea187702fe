#include "setup/directx/directx.h"

#include <ddraw.h>

#include <cstring>

namespace {

// Build numbers above this one on the Windows 95 family ship DirectX 5 or later.
constexpr WORD LastProbedBuild = 1353;
constexpr DWORD PrimaryCaps = 0x200;  // DDSCAPS_PRIMARYSURFACE

const GUID IidDirectDraw2 = {
    0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const GUID IidDirectDrawSurface3 = {
    0xDA044E00, 0x69B2, 0x11D0, {0xA1, 0xD5, 0x00, 0xAA, 0x00, 0xB8, 0xDF, 0xBB}};

using DirectDrawCreateProc = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);

#ifndef _WIN64
static_assert(sizeof(DDSURFACEDESC) == 108, "surface description of the DirectX 5 ABI");
#endif

void Trace(const char* line) {
    OutputDebugStringA(line);
}

// Loads a library of the system folder by its full path, so that a file of
// that name beside the setup program (or in the current folder) is never
// taken instead.
HMODULE LoadSystemLibrary(const char* name) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path) return nullptr;
    bool needsSeparator = path[length - 1] != '\\';
    if (length + (needsSeparator ? 1 : 0) + strlen(name) >= sizeof path) return nullptr;
    if (needsSeparator) path[length++] = '\\';
    strcpy(path + length, name);
    return LoadLibraryA(path);
}

// DirectInput present: DINPUT.DLL loads and exports DirectInputCreateA.
// The library is unloaded again at once.
bool FindDirectInput() {
    HMODULE dinput = LoadSystemLibrary("DINPUT.DLL");
    if (!dinput) {
        Trace("Couldn't LoadLibrary DInput\r\n");
        return false;
    }
    FARPROC create = GetProcAddress(dinput, "DirectInputCreateA");
    FreeLibrary(dinput);
    if (!create) {
        Trace("Couldn't GetProcAddress DInputCreate\r\n");
        return false;
    }
    return true;
}

uint32_t DetectOnNT(DWORD majorVersion) {
    if (majorVersion > 4) return DirectX5OrLater;
    return FindDirectInput() ? DirectX3 : DirectX2;
}

// Steps from DirectInput on: cooperative level and the primary surface.
// Returns the version; the caller releases the object and unloads DirectDraw.
uint32_t ProbePrimarySurface(IDirectDraw* directDraw) {
    if (FAILED(directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL))) {
        Trace("Couldn't Set coop level\r\n");
        return DirectXNone;
    }
    DDSURFACEDESC description = {};
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS;
    description.ddsCaps.dwCaps = PrimaryCaps;
    IDirectDrawSurface* surface = nullptr;
    if (FAILED(directDraw->CreateSurface(&description, &surface, nullptr)) || !surface) {
        Trace("Couldn't CreateSurface\r\n");
        return DirectXNone;
    }
    uint32_t version = DirectX3;
    void* surface3 = nullptr;
    if (SUCCEEDED(surface->QueryInterface(IidDirectDrawSurface3, &surface3)) && surface3) {
        version = DirectX5;
        static_cast<IUnknown*>(surface3)->Release();
    }
    surface->Release();
    return version;
}

// The Windows 95 family below build 1354: probe DirectDraw and DirectInput.
// Every object is released before its library is unloaded.
uint32_t ProbeDirectDraw() {
    HMODULE ddraw = LoadSystemLibrary("DDRAW.DLL");
    if (!ddraw) return DirectXNone;
    auto create = reinterpret_cast<DirectDrawCreateProc>(
        reinterpret_cast<void*>(GetProcAddress(ddraw, "DirectDrawCreate")));
    if (!create) {
        FreeLibrary(ddraw);
        return DirectXNone;
    }
    IDirectDraw* directDraw = nullptr;
    if (FAILED(create(nullptr, &directDraw, nullptr)) || !directDraw) {
        FreeLibrary(ddraw);
        Trace("Couldn't create DDraw\r\n");
        return DirectXNone;
    }

    uint32_t version = DirectX1;
    void* directDraw2 = nullptr;
    if (FAILED(directDraw->QueryInterface(IidDirectDraw2, &directDraw2)) || !directDraw2) {
        Trace("Couldn't QI DDraw2\r\n");
    } else {
        static_cast<IUnknown*>(directDraw2)->Release();
        version = DirectX2;
        if (FindDirectInput()) version = ProbePrimarySurface(directDraw);
    }
    directDraw->Release();
    FreeLibrary(ddraw);
    return version;
}

}  // namespace

void DetectDirectXVersion(uint32_t* version, uint32_t* platform) {
    *version = DirectXNone;
    *platform = PlatformNone;
    OSVERSIONINFOA system = {};
    system.dwOSVersionInfoSize = sizeof system;  // 148
    if (!GetVersionExA(&system)) return;

    if (system.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (system.dwMajorVersion < 4) return;
        *platform = PlatformNT;
        *version = DetectOnNT(system.dwMajorVersion);
        return;
    }

    if (LOWORD(system.dwBuildNumber) > LastProbedBuild) {
        *platform = PlatformWindows95;
        *version = DirectX5OrLater;
        return;
    }
    *version = ProbeDirectDraw();
    // A probe that found no usable DirectX reports no platform either.
    *platform = *version == DirectXNone ? PlatformNone : PlatformWindows95;
}
