// Prints what DetectDirectXVersion finds on this system, and the debugger
// trace lines it wrote, for the tests that run it under the Windows versions
// Wine can pretend to be. "directx_probe BUILD" makes the detection see a
// Windows 95-family system (4.0) of that build number instead.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "import_patch.h"
#include "setup/directx/directx.h"

namespace {

std::string traces;
int librariesHeld = 0;  // loads minus unloads by the detection
// The real functions: the wrappers must not call through the patched table.
decltype(&LoadLibraryA) realLoadLibrary;
decltype(&FreeLibrary) realFreeLibrary;
decltype(&GetVersionExA) realGetVersion;
WORD pretendedBuild = 0;

void WINAPI CaptureTrace(LPCSTR line) {
    traces += line;
}

HMODULE WINAPI CountLoadLibrary(LPCSTR name) {
    HMODULE library = realLoadLibrary(name);
    if (library) ++librariesHeld;
    return library;
}

BOOL WINAPI CountFreeLibrary(HMODULE library) {
    --librariesHeld;
    return realFreeLibrary(library);
}

// The version record of a Windows 95-family system: the build number in
// the low word, the major and minor version in the high word, as that
// family fills it.
BOOL WINAPI PretendWindows95(LPOSVERSIONINFOA info) {
    if (!realGetVersion(info)) return FALSE;
    info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = MAKELONG(pretendedBuild, MAKEWORD(0, 4));
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    // Resolve the real functions before the table points elsewhere.
    void* loadLibrary = SystemFunction("kernel32.dll", "LoadLibraryA");
    void* freeLibrary = SystemFunction("kernel32.dll", "FreeLibrary");
    realLoadLibrary = reinterpret_cast<decltype(realLoadLibrary)>(loadLibrary);
    realFreeLibrary = reinterpret_cast<decltype(realFreeLibrary)>(freeLibrary);
    PatchImport(SystemFunction("kernel32.dll", "OutputDebugStringA"),
                reinterpret_cast<void*>(CaptureTrace));
    PatchImport(loadLibrary, reinterpret_cast<void*>(CountLoadLibrary));
    PatchImport(freeLibrary, reinterpret_cast<void*>(CountFreeLibrary));
    if (argc > 1) {
        pretendedBuild = static_cast<WORD>(std::strtoul(argv[1], nullptr, 10));
        void* getVersion = SystemFunction("kernel32.dll", "GetVersionExA");
        realGetVersion = reinterpret_cast<decltype(realGetVersion)>(getVersion);
        if (PatchImport(getVersion, reinterpret_cast<void*>(PretendWindows95)) == 0) {
            printf("GetVersionExA is not imported: no build number can be pretended\n");
            return 1;
        }
    }
    uint32_t version = 0xDEAD;
    uint32_t platform = 0xDEAD;
    DetectDirectXVersion(&version, &platform);
    OSVERSIONINFOA system = {};
    system.dwOSVersionInfoSize = sizeof system;
    GetVersionExA(&system);  // through the patched table, as the detection saw it
    for (char& c : traces)
        if (c == '\r')
            c = '|';
        else if (c == '\n')
            c = '/';
    printf("version=0x%X platform=%u system=%lu.%lu.%lu held=%d trace=%s\n", version, platform,
           system.dwMajorVersion, system.dwMinorVersion, system.dwBuildNumber & 0xFFFF,
           librariesHeld, traces.c_str());
    return 0;
}
