// The last page of the install wizard (dialog 108): it starts the installation
// once, from a timer, and shows its progress on two bars.
#pragma once

#include <windows.h>

// Dialog procedure of page 108.
INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
