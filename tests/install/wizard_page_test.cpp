// The progress page inside a real wizard-mode property sheet: the install
// starts by itself, the window keeps handling messages while it runs, Cancel,
// Escape and a second start have no effect, and the page ends with only an
// enabled Finish button.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>

#include "setup/install/install_sequence.h"
#include "setup/install/progress_page.h"
#include "setup/install/registry.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"
#include "test_files.h"

namespace {

// Buttons of the wizard frame (comctl32's ids).
constexpr int BackButton = 0x3023;
constexpr int NextButton = 0x3024;
constexpr int FinishButton = 0x3025;

struct Observation {
    int ticksWhileRunning = 0;
    bool triedToInterrupt = false;
    bool nestedRunReturnedAtOnce = false;
    bool finished = false;
    std::string status, label;
    int totalBar = -1, fileBar = -1;
    bool finishEnabled = false, finishVisible = false, cancelEnabled = true;
    bool backVisible = true, nextVisible = true;
};
Observation seen;

std::string ItemText(HWND window, int id) {
    char text[300] = "";
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

bool Shown(HWND sheet, int id) {
    HWND button = GetDlgItem(sheet, id);
    return button && IsWindowVisible(button);
}

void InterruptTheRun(HWND page, HWND sheet) {
    seen.triedToInterrupt = true;
    RunInstallSequence();  // a second start while the first runs
    seen.nestedRunReturnedAtOnce = ItemText(page, IDC_STATUS_LINE) != "Finished";
    SendMessageA(page, WM_TIMER, 0, 0);
    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND focus = GetFocus();
    PostMessageA(focus ? focus : sheet, WM_KEYDOWN, VK_ESCAPE, 0);
}

void RecordEnd(HWND page, HWND sheet) {
    seen.finished = true;
    seen.status = ItemText(page, IDC_STATUS_LINE);
    seen.label = ItemText(page, IDC_TOTAL_LABEL);
    seen.totalBar = static_cast<int>(SendDlgItemMessageA(page, IDC_TOTAL_BAR, PBM_GETPOS, 0, 0));
    seen.fileBar = static_cast<int>(SendDlgItemMessageA(page, IDC_FILE_BAR, PBM_GETPOS, 0, 0));
    seen.finishVisible = Shown(sheet, FinishButton);
    seen.finishEnabled = IsWindowEnabled(GetDlgItem(sheet, FinishButton)) != FALSE;
    seen.cancelEnabled = IsWindowEnabled(GetDlgItem(sheet, IDCANCEL)) != FALSE;
    seen.backVisible = Shown(sheet, BackButton) && IsWindowEnabled(GetDlgItem(sheet, BackButton));
    seen.nextVisible = Shown(sheet, NextButton) && IsWindowEnabled(GetDlgItem(sheet, NextButton));
}

// A thread timer: it fires from the sheet's loop and, during the install,
// from the messages that the install itself dispatches.
VOID CALLBACK Observe(HWND, UINT, UINT_PTR, DWORD) {
    HWND page = setupState.progressPage;
    if (!page || seen.finished) return;
    HWND sheet = GetParent(page);
    std::string status = ItemText(page, IDC_STATUS_LINE);
    if (status == "Finished") {
        // Let the posted button change arrive first.
        static int settle = 0;
        if (++settle < 3) return;
        RecordEnd(page, sheet);
        PropSheet_PressButton(sheet, PSBTN_FINISH);
    } else if (status != "Preparing to copy files...") {
        ++seen.ticksWhileRunning;
        if (!seen.triedToInterrupt) InterruptTheRun(page, sheet);
    }
}

TEST(ProgressWizard, RunsOnceStaysResponsiveAndEndsWithFinish) {
    ScratchFolder disc, output;
    std::string dest = output / "Vexlo Demo\\";
    CreateDirectoryA(dest.c_str(), nullptr);
    WriteEmptyArchive(disc / GameExeName, "MZ game");
    for (int i = 0; i < 12; ++i)
        WriteFileOfSize(disc / ("part" + std::to_string(i) + ".dat"), 1500000);
    snprintf(setupState.destFolder, sizeof setupState.destFolder, "%s", dest.c_str());
    setupState.makeGroup = 0;
    setupState.instance = GetModuleHandleA(nullptr);
    CurrentFolder current(disc.Path());

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof page;
    page.hInstance = setupState.instance;
    page.pszTemplate = MAKEINTRESOURCEA(IDD_PROGRESS);
    page.pfnDlgProc = ProgressPageProc;
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_NOAPPLYNOW;
    header.hInstance = setupState.instance;
    header.pszCaption = WizardCaption;
    header.nPages = 1;
    header.ppsp = &page;
    UINT_PTR timer = SetTimer(nullptr, 0, 10, Observe);
    INT_PTR result = PropertySheetA(&header);
    KillTimer(nullptr, timer);
    setupState.progressPage = nullptr;
    DeleteUninstallKey();

    EXPECT_GT(result, 0);  // closed by Finish, not cancelled
    ASSERT_TRUE(seen.finished);
    EXPECT_GT(seen.ticksWhileRunning, 0) << "no message was handled during the install";
    EXPECT_TRUE(seen.triedToInterrupt);
    EXPECT_TRUE(seen.nestedRunReturnedAtOnce);
    EXPECT_EQ(seen.status, "Finished");
    EXPECT_EQ(seen.label, "Finished");
    EXPECT_EQ(seen.totalBar, 100);
    EXPECT_EQ(seen.fileBar, 0);
    EXPECT_TRUE(seen.finishVisible);
    EXPECT_TRUE(seen.finishEnabled);
    EXPECT_FALSE(seen.cancelEnabled);
    EXPECT_FALSE(seen.backVisible);
    EXPECT_FALSE(seen.nextVisible);

    // One run: every file once in the list, which went into the game.
    std::vector<ArchiveMember> members;
    ASSERT_TRUE(ReadArchiveMembers(dest + GameExeName, &members));
    ASSERT_EQ(members.size(), 1u);
    bool crlfOnly = false;
    EXPECT_EQ(SplitCrlfLines(members[0].data, &crlfOnly).size(), 13u);
    EXPECT_EQ(ReadFileBytes(dest + "part11.dat").size(), 1500000u);
}

}  // namespace
