#include "setup/install/progress_report.h"

#include <windows.h>
#include <commctrl.h>

#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"

namespace {

constexpr double CopyShare = CopyPhaseBarEnd / 100.0;

void SetItemText(int id, const char* text) {
    if (setupState.progressPage) SetDlgItemTextA(setupState.progressPage, id, text);
}

// The positions last given to the two bars: the progress callback comes far
// more often than a bar moves by one, and each move costs a redraw.
int shownTotalBar = -1;
int shownFileBar = -1;

void SetBar(int id, int position, int* shown) {
    if (!setupState.progressPage || position == *shown) return;
    SendDlgItemMessageA(setupState.progressPage, id, PBM_SETPOS, position, 0);
    *shown = position;
}

// Pending messages are handled at most this often from the progress callback:
// often enough for the window to follow the mouse, rarely enough to cost little.
constexpr DWORD PumpInterval = 15;
DWORD lastPump = 0;

}  // namespace

void AttachProgressPage(HWND page) {
    setupState.progressPage = page;
    shownTotalBar = shownFileBar = -1;
}

BarPositions ComputeBarPositions(unsigned long long doneWeight, unsigned long long fileWeight,
                                 unsigned long long totalWeight, float fraction) {
    auto filePart = static_cast<unsigned long long>(static_cast<double>(fileWeight) * fraction);
    float overall = totalWeight ? static_cast<float>(static_cast<double>(doneWeight + filePart) /
                                                     static_cast<double>(totalWeight) * CopyShare)
                                : 0.0f;
    return BarPositions{static_cast<int>(overall * 100), static_cast<int>(fraction * 100)};
}

void ReportFileProgress(float fraction) {
    BarPositions bars = ComputeBarPositions(setupState.doneWeight, setupState.fileWeight,
                                            setupState.totalWeight, fraction);
    SetTotalBar(bars.total);
    SetFileBar(bars.file);
    if (GetTickCount() - lastPump >= PumpInterval) PumpPendingMessages();
}

void SetStatusLine(const char* text) {
    SetItemText(IDC_STATUS_LINE, text);
}
void SetTotalLabel(const char* text) {
    SetItemText(IDC_TOTAL_LABEL, text);
}
void SetTotalBar(int position) {
    SetBar(IDC_TOTAL_BAR, position, &shownTotalBar);
}
void SetFileBar(int position) {
    SetBar(IDC_FILE_BAR, position, &shownFileBar);
}

void PumpPendingMessages() {
    lastPump = GetTickCount();
    HWND sheet = setupState.progressPage ? GetParent(setupState.progressPage) : nullptr;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Leave the quit request for the loop that owns it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (sheet && IsDialogMessageA(sheet, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
