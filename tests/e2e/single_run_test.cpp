// One program of the product at a time, through the real programs: a second
// Setup.exe started while the first works (on its progress page, or waiting
// on its ready page) says so, brings the first forward and writes nothing;
// Setup refuses while the uninstaller runs and the uninstaller while Setup
// runs. Each ends with the prefix as before or as one complete installation.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "e2e_support.h"

namespace {

const char* const DefaultFolder = DefaultDestFolder;

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += name + "; ";
    return text;
}

std::vector<std::string> Difference(const std::vector<std::string>& a,
                                    const std::vector<std::string>& b) {
    std::vector<std::string> result;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(result));
    return result;
}

void PumpWaitingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

class SingleRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CleanUp();
        before = SnapshotOfPrefix();
    }
    void TearDown() override {
        for (SetupRun* each : {&first, &second})
            if (each->Running()) KillProcess(each->process.process);
        if (uninstaller.process) {
            KillProcess(uninstaller.process);
            CloseStartedProcess(&uninstaller);
        }
        CloseGroupFolderWindows(first.Id());
        CleanUp();
    }
    void CleanUp() {
        DeleteUninstallEntry(DemoKeyName);
        RemoveTree(DefaultFolder);
        RemoveEmptyParents("C:\\Games");
        RemoveTree(ProgramsFolder() + GroupFolderName);
        RemoveTree(PlantedFolder());
    }
    static std::string PlantedFolder() { return ScratchFolder() + "Planted Game\\"; }

    // The first Setup: launcher, Install, the default folder (created), on
    // to the ready page. The sheet, or null.
    HWND FirstToReadyPage() {
        if (!first.Start()) return nullptr;
        HWND sheet = OpenWizard(first);
        if (!sheet || !GoToDestination(sheet)) return nullptr;
        if (!ClickButton(sheet, SheetNextButton)) return nullptr;
        HWND question = first.WaitBox(FolderQuestionTitle);
        if (!question || !AnswerMessageBox(question, IDYES)) return nullptr;
        return WaitTitle(sheet, ReadyTitle) ? sheet : nullptr;
    }

    // The second Setup is turned away: its one window is the message, which
    // names the first; after OK it ends, and the first's window is in front.
    void ExpectSecondTurnedAway(HWND firstSheet) {
        // Another window in front first: the first Setup's must be brought
        // there, not merely left there.
        HWND elsewhere = CreateWindowExA(0, "STATIC", "Elsewhere", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                         0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(elsewhere, nullptr);
        SetForegroundWindow(elsewhere);
        PumpWaitingMessages();
        ASSERT_EQ(GetForegroundWindow(), elsewhere);
        ASSERT_TRUE(second.Start());
        HWND box = second.WaitBox(SetupRunningTitle);
        ASSERT_NE(box, nullptr) << "the second Setup said nothing";
        EXPECT_EQ(MessageText(box), SetupRunningText);
        EXPECT_EQ(FindTopWindow(LauncherTitle, second.Id()), nullptr);
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        DWORD code = 1;
        ASSERT_TRUE(second.WaitEnd(&code));
        EXPECT_EQ(code, 0u);
        // The first takes it when it next handles its messages (the
        // installation lets them through between files).
        HWND front = GetForegroundWindow();
        uint32_t start = DriverClock();
        while (WindowProcessId(front) != first.Id() && DriverClock() - start < ShortWaitMs) {
            PumpWaitingMessages();
            Sleep(30);
            front = GetForegroundWindow();
        }
        DestroyWindow(elsewhere);
        EXPECT_EQ(WindowProcessId(front), first.Id())
            << "in front: \"" << WindowTitle(front) << "\"";
        EXPECT_TRUE(front == firstSheet || GetParent(front) == firstSheet ||
                    GetWindow(front, GW_OWNER) == firstSheet)
            << "in front: \"" << WindowTitle(front) << "\"";
    }

    // The first Setup's progress page to "Finished", then Finish.
    void FirstFinishes(HWND sheet) {
        uint32_t start = DriverClock();
        while (ControlText(sheet, StatusLine) != "Finished") {
            ASSERT_FALSE(FindTopWindow(InstallFailedTitle, first.Id())) << "the first Setup failed";
            ASSERT_LT(DriverClock() - start, InstallWaitMs) << ControlText(sheet, StatusLine);
            Sleep(50);
        }
        ASSERT_NE(WaitControl(sheet, SheetFinishButton, WindowWaitMs), nullptr);
        uint32_t waited = DriverClock();
        while (!IsControlEnabled(sheet, SheetFinishButton) && DriverClock() - waited < ShortWaitMs)
            Sleep(30);
        ASSERT_TRUE(ClickButton(sheet, SheetFinishButton));
        DWORD code = 1;
        ASSERT_TRUE(first.WaitEnd(&code));
        // The shell's window on the new group opens a moment later.
        WaitTopWindow(GroupWindowTitle(), 0, WindowWaitMs);
        CloseGroupFolderWindows(first.Id());
    }

    // One complete installation: the game with its list in place, the
    // entry naming it, the group with the removal shortcut.
    void ExpectOneCompleteInstallation() {
        EXPECT_TRUE(FileExists(std::string(DefaultFolder) + GameExeName));
        EXPECT_FALSE(FileExists(std::string(DefaultFolder) + GameExeName + ".new"));
        EXPECT_FALSE(FileExists(std::string(DefaultFolder) + "Remove.txt"));
        std::string value;
        EXPECT_TRUE(ReadUninstallValue(DemoKeyName, "GameDest", &value));
        EXPECT_EQ(value, std::string(DefaultFolder) + GameExeName);
        EXPECT_TRUE(
            FileExists(ProgramsFolder() + GroupFolderName + "\\" + RemoveShortcutTitle + ".lnk"));
    }

    void ExpectStateBefore() {
        std::vector<std::string> after = SnapshotOfPrefix();
        EXPECT_TRUE(Difference(after, before).empty())
            << "left: " << Joined(Difference(after, before));
        EXPECT_TRUE(Difference(before, after).empty())
            << "removed: " << Joined(Difference(before, after));
    }

    // An installation as the uninstaller finds it: the entry, a game file
    // and a list naming it and one more file of the folder.
    void PlantInstallation() {
        ASSERT_TRUE(MakeFolders(PlantedFolder()));
        std::string game = PlantedFolder() + GameExeName;
        ASSERT_TRUE(WriteFileBytes(game, "game"));
        ASSERT_TRUE(WriteFileBytes(PlantedFolder() + "ReadMe.txt", "read me"));
        ASSERT_TRUE(WriteFileBytes(PlantedFolder() + "Remove.txt",
                                   PlantedFolder() + "ReadMe.txt\r\n" + game + "\r\n"));
        std::string command = "\"" + game + "\" /REMOVE";
        ASSERT_TRUE(WriteUninstallEntry(DemoKeyName, game.c_str(), command.c_str()));
    }

    bool StartUninstaller() {
        std::string program = TestProgramFolder() + "UninstDemo.exe";
        return StartProgram(program.c_str(), nullptr, ScratchFolder().c_str(), nullptr,
                            &uninstaller);
    }

    SetupRun first;
    SetupRun second;
    StartedProcess uninstaller;
    std::vector<std::string> before;
};

TEST_F(SingleRunTest, ASecondSetupDuringTheFirstsProgressIsTurnedAway) {
    HWND sheet = FirstToReadyPage();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    ASSERT_TRUE(WaitTitle(sheet, ProgressTitle));
    // Well inside the installation: files are being written.
    uint32_t start = DriverClock();
    while (ControlText(sheet, StatusLine).find("Copying") == std::string::npos &&
           ControlText(sheet, StatusLine).find(".wav") == std::string::npos) {
        ASSERT_LT(DriverClock() - start, InstallWaitMs) << ControlText(sheet, StatusLine);
        Sleep(5);
    }
    ExpectSecondTurnedAway(sheet);
    FirstFinishes(sheet);
    ExpectOneCompleteInstallation();
}

TEST_F(SingleRunTest, ASecondSetupWhileTheFirstWaitsOnItsReadyPageIsTurnedAway) {
    HWND sheet = FirstToReadyPage();
    ASSERT_NE(sheet, nullptr);
    ExpectSecondTurnedAway(sheet);
    // The first goes on as if nothing had happened.
    ASSERT_EQ(WindowTitle(sheet), ReadyTitle);
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    ASSERT_TRUE(WaitTitle(sheet, ProgressTitle));
    FirstFinishes(sheet);
    ExpectOneCompleteInstallation();
}

// Setup at its start forgets an entry whose game is gone: while the
// uninstaller asks about that entry, Setup must not touch it.
TEST_F(SingleRunTest, SetupIsTurnedAwayWhileTheUninstallerRuns) {
    PlantInstallation();
    ASSERT_TRUE(StartUninstaller());
    HWND question = WaitMessageBox(UninstallConfirmTitle, uninstaller.processId, WindowWaitMs);
    ASSERT_NE(question, nullptr);
    DeleteFileA((PlantedFolder() + GameExeName).c_str());  // a vanished game now

    ASSERT_TRUE(first.Start());
    HWND box = first.WaitBox(SetupRunningTitle);
    ASSERT_NE(box, nullptr) << "Setup said nothing";
    EXPECT_EQ(MessageText(box), RemovalRunningText);
    EXPECT_EQ(FindTopWindow(LauncherTitle, first.Id()), nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    DWORD code = 1;
    ASSERT_TRUE(first.WaitEnd(&code));
    EXPECT_TRUE(UninstallEntryExists(DemoKeyName)) << "Setup deleted the entry";

    ASSERT_TRUE(AnswerMessageBox(question, IDNO));
    EXPECT_TRUE(WaitProcessEnd(uninstaller.process, ExitWaitMs, nullptr));
    CloseStartedProcess(&uninstaller);
    EXPECT_TRUE(FileExists(PlantedFolder() + "ReadMe.txt"));

    // With the uninstaller gone, Setup starts again.
    SetupRun next;
    ASSERT_TRUE(next.Start());
    HWND launcher = next.Wait(LauncherTitle);
    EXPECT_NE(launcher, nullptr);
    if (launcher) PressKey(launcher, VK_ESCAPE);
    next.WaitEnd(&code);
}

TEST_F(SingleRunTest, TheUninstallerIsTurnedAwayWhileSetupRuns) {
    ASSERT_TRUE(first.Start());
    HWND launcher = first.Wait(LauncherTitle);
    ASSERT_NE(launcher, nullptr);
    PlantInstallation();

    ASSERT_TRUE(StartUninstaller());
    HWND box = WaitMessageBox(UninstallConfirmTitle, uninstaller.processId, WindowWaitMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), SetupBusyText);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_TRUE(WaitProcessEnd(uninstaller.process, ExitWaitMs, nullptr));
    CloseStartedProcess(&uninstaller);
    // Nothing removed: no question was asked, no file went.
    EXPECT_TRUE(UninstallEntryExists(DemoKeyName));
    EXPECT_TRUE(FileExists(PlantedFolder() + "ReadMe.txt"));
    EXPECT_TRUE(FileExists(PlantedFolder() + GameExeName));

    ASSERT_TRUE(PressKey(launcher, VK_ESCAPE));
    DWORD code = 1;
    EXPECT_TRUE(first.WaitEnd(&code));
    DeleteUninstallEntry(DemoKeyName);
    RemoveTree(PlantedFolder());
    ExpectStateBefore();
}

}  // namespace
