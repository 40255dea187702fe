// Prints what DetectDirectXVersion finds on this system, and the debugger
// trace lines it wrote, for the tests that run it under the Windows versions
// Wine can pretend to be.
#include <windows.h>

#include <cstdio>
#include <string>

#include "import_patch.h"
#include "setup/directx/directx.h"

namespace {

std::string traces;
int librariesHeld = 0;  // loads minus unloads by the detection
// The real functions: the wrappers must not call through the patched table.
decltype(&LoadLibraryA) realLoadLibrary;
decltype(&FreeLibrary) realFreeLibrary;

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

}  // namespace

int main() {
    // Resolve the real functions before the table points elsewhere.
    void* loadLibrary = SystemFunction("kernel32.dll", "LoadLibraryA");
    void* freeLibrary = SystemFunction("kernel32.dll", "FreeLibrary");
    realLoadLibrary = reinterpret_cast<decltype(realLoadLibrary)>(loadLibrary);
    realFreeLibrary = reinterpret_cast<decltype(realFreeLibrary)>(freeLibrary);
    PatchImport(SystemFunction("kernel32.dll", "OutputDebugStringA"),
                reinterpret_cast<void*>(CaptureTrace));
    PatchImport(loadLibrary, reinterpret_cast<void*>(CountLoadLibrary));
    PatchImport(freeLibrary, reinterpret_cast<void*>(CountFreeLibrary));
    uint32_t version = 0xDEAD;
    uint32_t platform = 0xDEAD;
    DetectDirectXVersion(&version, &platform);
    OSVERSIONINFOA system = {};
    system.dwOSVersionInfoSize = sizeof system;
    GetVersionExA(&system);
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
