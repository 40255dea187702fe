// Small routines of the setup program that several parts share: the module's
// own path, a plain message box, and the procedure of the question dialogs.
#pragma once

#include <windows.h>
#include <cstdint>

// Bounded buffer for every formatted message text.
constexpr size_t MessageTextSize = 1024;

// A message box without owner, OK only, no icon.
void ShowMessage(const char* title, const char* text);

// A question with Retry and Cancel and the exclamation icon, over the
// wizard while it shows; true for Retry.
bool AskRetryOrCancel(const char* title, const char* text);

// Full path of the running program; false (buffer empty) when it can't be had.
bool GetModulePath(char* buffer, uint32_t size);

// Folder of the running program, ending with its separator.
bool GetModuleFolder(char* buffer, uint32_t size);

// Dialogs 109, 110 and 111: centred, ended with the id of the button pressed.
INT_PTR CALLBACK CenteredDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
