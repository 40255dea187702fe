#include "setup/shell/single_run.h"

#include <windows.h>

#include "common/running_names.h"
#include "setup/shell/setup_state.h"

namespace {

// Held until the process ends: the system closes them then, even after a crash.
HANDLE setupRunning = nullptr;
HANDLE processMapping = nullptr;

struct WindowSearch {
    DWORD processId;
    HWND found;
};

// The first visible top-level window of the process, in Z order: the one the
// user worked with last.
BOOL CALLBACK FindProcessWindow(HWND window, LPARAM parameter) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

// The first Setup's process id, published by it; 0 when it cannot be read.
DWORD FirstSetupProcess() {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, VEXLO_SETUP_PROCESS_MAPPING);
    if (!mapping) return 0;
    DWORD processId = 0;
    if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(DWORD))) {
        processId = *static_cast<const DWORD*>(view);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return processId;
}

void BringFirstSetupForward() {
    WindowSearch search = {FirstSetupProcess(), nullptr};
    if (search.processId == 0 || search.processId == GetCurrentProcessId()) return;
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return;
    // A question the first Setup shows is what must be answered there.
    HWND shown = GetLastActivePopup(search.found);
    if (IsIconic(search.found)) ShowWindow(search.found, SW_RESTORE);
    SetForegroundWindow(shown ? shown : search.found);
}

void PublishProcessId() {
    processMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(DWORD), VEXLO_SETUP_PROCESS_MAPPING);
    if (!processMapping) return;
    if (void* view = MapViewOfFile(processMapping, FILE_MAP_WRITE, 0, 0, sizeof(DWORD))) {
        *static_cast<DWORD*>(view) = GetCurrentProcessId();
        UnmapViewOfFile(view);
    }
}

bool RemovalRuns() {
    HANDLE removal = OpenMutexA(SYNCHRONIZE, FALSE, VEXLO_REMOVAL_RUNNING_MUTEX);
    if (!removal) return false;
    CloseHandle(removal);
    return true;
}

}  // namespace

bool ClaimSetupRun() {
    if (setupRunning) return true;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, VEXLO_SETUP_RUNNING_MUTEX);
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        MessageBoxA(nullptr, SetupRunningText, SetupRunningTitle, MB_OK | MB_ICONINFORMATION);
        // After the answer: the user's click lets this program hand the
        // foreground on.
        BringFirstSetupForward();
        return false;
    }
    // Without a mutex (no room for one) Setup still runs: refusing would
    // keep the product from being installed at all.
    setupRunning = mutex;
    // Ours is taken before the uninstaller's is looked for, as the
    // uninstaller does the other way round: of two starting together, at
    // least one sees the other.
    if (RemovalRuns()) {
        MessageBoxA(nullptr, RemovalRunningText, SetupRunningTitle, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    PublishProcessId();
    return true;
}
