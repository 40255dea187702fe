// How the install engine shows where it is: the status line, the two bars and
// the total label of the progress page, reached only through
// setupState.progressPage, and the messages handled while it works.
#pragma once

#include <windows.h>

// The page that shows from now on; its bars count as not yet moved.
void AttachProgressPage(HWND page);

// The copy phase moves the total bar up to this position; the shortcuts
// start from there.
constexpr int CopyPhaseBarEnd = 93;

// ProgressCallback of the copy and the conversion: fraction of the current file.
void ReportFileProgress(float fraction);

// Bar positions for a file fraction, from the weights of the copy phase.
struct BarPositions {
    int total;
    int file;
};
BarPositions ComputeBarPositions(unsigned long long doneWeight, unsigned long long fileWeight,
                                 unsigned long long totalWeight, float fraction);

// Updates of the page's controls; they do nothing while no page exists.
void SetStatusLine(const char* text);
void SetTotalLabel(const char* text);
void SetTotalBar(int position);
void SetFileBar(int position);

// Handles the messages waiting for this thread so that the wizard repaints and
// moves during the installation. Cancel stays refused by the page.
void PumpPendingMessages();
