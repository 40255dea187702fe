#include "setup/install/disk_space.h"

#include <windows.h>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t RootBufferSize = 260;

using GetDiskFreeSpaceExProc = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                             PULARGE_INTEGER);

// The root of a path: up to and including its first backslash, or, for a path
// that begins with two backslashes, the first backslash after them.
void CutToRoot(char* path) {
    char* searchFrom = (path[0] == '\\' && path[1] == '\\') ? path + 2 : path;
    char* separator = strchr(searchFrom, '\\');
    if (separator) separator[1] = '\0';
}

uint32_t ClampToU32(unsigned long long bytes) {
    return bytes >= 0x100000000ULL ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

}  // namespace

uint64_t GetDriveFreeBytes(const char* path) {
    char root[RootBufferSize];
    snprintf(root, sizeof root, "%s", path);
    CutToRoot(root);

    // Windows 95 before OSR2 lacks the Ex call, so look it up by name.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto getFreeSpaceEx = kernel ? reinterpret_cast<GetDiskFreeSpaceExProc>(reinterpret_cast<void*>(
                                       GetProcAddress(kernel, "GetDiskFreeSpaceExA")))
                                 : nullptr;
    if (getFreeSpaceEx) {
        ULARGE_INTEGER available, total, totalFree;
        if (!getFreeSpaceEx(root, &available, &total, &totalFree)) return 0;
        return available.QuadPart;
    }

    // Without it the old call's figure stays, held to 32 bits as it always was.
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &totalClusters))
        return 0;
    return ClampToU32(static_cast<unsigned long long>(freeClusters) * bytesPerSector *
                      sectorsPerCluster);
}
