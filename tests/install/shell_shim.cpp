// TEMPORARY: stands in for vexlo_shell until the shell library exists, so the
// install tests link. Only built when there is no vexlo_shell target.
#include <windows.h>

#include "setup/shell/dialog_art.h"
#include "setup/shell/setup_state.h"
#include "setup/shell/shell.h"

SetupState setupState;

void ShowMessage(const char* title, const char* text) {
    MessageBoxA(nullptr, text, title, MB_OK);
}

bool GetModulePath(char* buffer, uint32_t size) {
    DWORD length = GetModuleFileNameA(nullptr, buffer, size);
    if (length == 0 || length >= size) {
        if (size) buffer[0] = '\0';
        return false;
    }
    return true;
}

void PaintDialogArt(HWND window, const char*) {
    PAINTSTRUCT paint;
    if (BeginPaint(window, &paint)) EndPaint(window, &paint);
}

void RealizeDialogArtPalette(HWND, const char*) {}
