// The last page of the install wizard (dialog 108): it runs the installation
// once, from a timer, and shows its progress on two bars.
#pragma once

#include <windows.h>

// Dialog procedure of page 108.
INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The whole installation: registry entry, copy and conversion, shortcuts, the
// uninstall list moved into the game executable, "Finished". A nested call
// while it runs (from a dispatched message) returns at once.
void RunInstallSequence();

// ProgressCallback of the copy and the conversion: fraction of the current file.
void ReportFileProgress(float fraction);

// Bar positions for a file fraction, from the weights of the copy phase.
struct BarPositions {
    int total;
    int file;
};
BarPositions ComputeBarPositions(unsigned long long doneWeight, unsigned long long fileWeight,
                                 unsigned long long totalWeight, float fraction);

// Updates of the page's controls (through setupState.progressPage); they do
// nothing while no page exists.
void SetStatusLine(const char* text);
void SetTotalLabel(const char* text);
void SetTotalBar(int position);
void SetFileBar(int position);

// Handles the messages waiting for this thread so that the wizard repaints and
// moves during the installation. Cancel stays refused by the page.
void PumpPendingMessages();
