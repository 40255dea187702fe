#include "setup/shell/shell.h"

#include <cstring>

#include "setup/shell/dialog_art.h"
#include "setup/shell/setup_state.h"

SetupState setupState;

void ShowMessage(const char* title, const char* text) {
    MessageBoxA(nullptr, text, title, 0);
}

bool AskRetryOrCancel(const char* title, const char* text) {
    // Owned by the wizard, which takes no clicks while the question waits.
    HWND owner = setupState.progressPage ? GetParent(setupState.progressPage) : nullptr;
    return MessageBoxA(owner, text, title, MB_RETRYCANCEL | MB_ICONEXCLAMATION) == IDRETRY;
}

bool GetModulePath(char* buffer, uint32_t size) {
    if (!buffer || size == 0) return false;
    buffer[0] = '\0';
    DWORD length = GetModuleFileNameA(nullptr, buffer, size);
    // A path that filled the whole buffer may have been cut (and left unterminated).
    if (length == 0 || length >= size) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

bool GetModuleFolder(char* buffer, uint32_t size) {
    if (!GetModulePath(buffer, size)) return false;
    char* separator = strrchr(buffer, '\\');
    if (!separator) separator = strrchr(buffer, '/');
    if (separator) separator[1] = '\0';
    return true;
}

INT_PTR CALLBACK CenteredDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            CenterOnDesktop(window);
            return TRUE;
        case WM_COMMAND:
            EndDialog(window, LOWORD(wParam));
            return TRUE;
    }
    return FALSE;
}
