// Prints what DetectDirectXVersion finds on this system, for the tests that
// run it under the Windows versions Wine can pretend to be.
#include <windows.h>

#include <cstdio>

#include "setup/directx/directx.h"

int main() {
    uint32_t version = 0xDEAD;
    uint32_t platform = 0xDEAD;
    DetectDirectXVersion(&version, &platform);
    OSVERSIONINFOA system = {};
    system.dwOSVersionInfoSize = sizeof system;
    GetVersionExA(&system);
    printf("version=0x%X platform=%u system=%lu.%lu.%lu\n", version, platform,
           system.dwMajorVersion, system.dwMinorVersion, system.dwBuildNumber & 0xFFFF);
    return 0;
}
