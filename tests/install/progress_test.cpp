// The progress page: its answers to the wizard's notifications, and the bar
// positions that the progress callback computes from the copy's weights.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "page_host.h"
#include "setup/install/copy_phase.h"
#include "setup/install/progress_page.h"
#include "setup/install/progress_report.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"

namespace {

LRESULT Notify(HWND page, UINT code, LONG_PTR presetResult = 77) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, presetResult);
    NMHDR header = {GetParent(page), 0, code};
    LRESULT handled = ProgressPageProc(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    return handled ? GetWindowLongPtrA(page, DWLP_MSGRESULT) : -1;
}

TEST(ProgressPage, AnswersTheWizardNotifications) {
    PageHost host;
    ASSERT_NE(host.Page(), nullptr);
    EXPECT_EQ(setupState.progressPage, host.Page());
    EXPECT_EQ(host.Text(IDC_STATUS_LINE), "Preparing to copy files...");
    EXPECT_EQ(host.Text(IDC_TOTAL_LABEL), "Total Installation Progress...");

    EXPECT_EQ(Notify(host.Page(), PSN_QUERYCANCEL), 1);  // cancel refused
    EXPECT_EQ(Notify(host.Page(), PSN_KILLACTIVE), 0);
    EXPECT_EQ(Notify(host.Page(), PSN_RESET), 0);
    EXPECT_EQ(Notify(host.Page(), PSN_WIZFINISH), 77);  // handled, result untouched
    EXPECT_EQ(Notify(host.Page(), PSN_WIZNEXT), -1);    // not handled
    EXPECT_FALSE(ProgressPageProc(host.Page(), WM_USER + 5, 0, 0));
}

TEST(ProgressPage, BarPositionsFollowTheWeights) {
    // 1,000,000 of a 2,000,000 total begun, this file weighs 1,000,000.
    BarPositions half = ComputeBarPositions(0, 1000000, 2000000, 0.5f);
    EXPECT_EQ(half.total, 23);  // 0.25 of 93
    EXPECT_EQ(half.file, 50);
    BarPositions last = ComputeBarPositions(1000000, 1000000, 2000000, 1.0f);
    EXPECT_EQ(last.total, 93);
    EXPECT_EQ(last.file, 100);
    BarPositions start = ComputeBarPositions(0, 102400, 5000000, 0.0f);
    EXPECT_EQ(start.total, 0);
    EXPECT_EQ(start.file, 0);
    // Truncated, not rounded: 0.999 of a file is 99.
    EXPECT_EQ(ComputeBarPositions(0, 1000, 1000, 0.999f).file, 99);
    // Nothing to weigh yet: no division by zero.
    EXPECT_EQ(ComputeBarPositions(0, 0, 0, 0.5f).total, 0);
}

TEST(ProgressPage, BarPositionsStayRightBeyondTwoGigabytes) {
    // Weighted totals past 2^31 (and past 2^32) still give the share done.
    EXPECT_EQ(ComputeBarPositions(1500000000u, 1000000000u, 3000000000u, 0.5f).total, 62);
    EXPECT_EQ(ComputeBarPositions(3000000000u, 0, 3000000000u, 0.0f).total, 93);
    EXPECT_EQ(ComputeBarPositions(5000000000ull, 2000000000ull, 10000000000ull, 0.5f).total, 55);
    EXPECT_EQ(ComputeBarPositions(9000000000ull, 1000000000ull, 10000000000ull, 1.0f).total, 93);
}

TEST(ProgressPage, ReportFileProgressMovesBothBars) {
    PageHost host;
    setupState.totalWeight = 3000000000u;
    setupState.doneWeight = 1500000000u;
    setupState.fileWeight = 1000000000u;
    ReportFileProgress(0.5f);
    EXPECT_EQ(host.BarPosition(IDC_TOTAL_BAR), 62);
    EXPECT_EQ(host.BarPosition(IDC_FILE_BAR), 50);
    setupState.totalWeight = setupState.doneWeight = setupState.fileWeight = 0;
}

TEST(SourceFileWeight, SizeTimesThirtyForAudioPlusPerFileShare) {
    EXPECT_EQ(SourceFileWeight("./ReadMe.txt", 0), 102400u);
    EXPECT_EQ(SourceFileWeight("./data/music1.mp3", 1000000), 30102400u);
    EXPECT_EQ(SourceFileWeight("./data/Theme.MP3", 10), 102700u);
    EXPECT_EQ(SourceFileWeight("./Setup.exe", 5000), 0u);
    EXPECT_EQ(SourceFileWeight("./SETUP/x.dll", 5000), 0u);
    EXPECT_EQ(SourceFileWeight("./data/Setup.dat", 5000), 107400u);
    // A big audio file no longer wraps the weight.
    EXPECT_EQ(SourceFileWeight("./big.mp3", 0xFFFFFFFFu), 0xFFFFFFFFull * 30 + 102400);
}

}  // namespace
