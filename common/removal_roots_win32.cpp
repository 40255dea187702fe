#include "common/removal_roots_win32.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <initializer_list>

void FreeShellItemList(void* items) {
    if (!items) return;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
        allocator->Free(items);
        allocator->Release();
    }
}

namespace removal {

void AddProgramsFolders(RemovalRoots* roots) {
    for (int folder : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
        LPITEMIDLIST items = nullptr;
        char path[MAX_PATH];
        if (SHGetSpecialFolderLocation(nullptr, folder, &items) == S_OK && items &&
            SHGetPathFromIDListA(items, path)) {
            roots->AddProgramsFolder(path);
        }
        FreeShellItemList(items);
    }
}

}  // namespace removal
