// A link planted in the destination folder before the install, where the
// disc has files in a sub-folder (DXSetup): neither Setup.exe nor the later
// removal may write or delete through it.
#include <gtest/gtest.h>

#include <cstring>

#include "e2e_support.h"
#include "folder_link.h"

namespace {

// The default destination, without its final backslash.
const std::string GameFolder(DefaultDestFolder, strlen(DefaultDestFolder) - 1);

// The shell's window on the new Start Menu group, which the install opens
// and which would outlive the test: waited for, then closed.
void CloseGroupFolderWindow(DWORD setupProcessId) {
    uint32_t begun = DriverClock();
    bool seen = false;
    while (!seen && DriverClock() - begun < WindowWaitMs) {
        HWND windows[64];
        int count = ListTopWindows(windows, 64, 0);
        for (int i = 0; i < count && !seen; ++i) {
            char className[64] = "";
            GetClassNameA(windows[i], className, sizeof className);
            seen = WindowTitle(windows[i]) == GroupWindowTitle() &&
                   (strcmp(className, "ExplorerWClass") == 0 ||
                    strcmp(className, "CabinetWClass") == 0);
        }
        if (!seen) Sleep(100);
    }
    CloseGroupFolderWindows(setupProcessId);
}

class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override { CleanUp(); }
    void TearDown() override {
        if (run.Running()) KillProcess(run.process.process);
        CloseGroupFolderWindows(run.Id());
    }
    void CleanUp() {
        DeleteUninstallEntry(DemoKeyName);
        RemoveTree(std::string(GameFolder) + "\\");
        RemoveEmptyParents("C:\\Games");
        RemoveTree(ProgramsFolder() + GroupFolderName);
    }

    SetupRun run;
};

TEST_F(LinkTest, PlantedLinkIsNeitherWrittenNorDeletedThrough) {
    std::string outside = ScratchFolder() + "linked";
    RemoveTree(outside);
    ASSERT_TRUE(MakeFolders(outside + "\\DirectX"));
    const std::string canaries[] = {outside + "\\DSetup.dll", outside + "\\DirectX\\ReadMe.txt"};
    for (const std::string& canary : canaries)
        ASSERT_TRUE(WriteFileBytes(canary, "canary"));
    ASSERT_TRUE(MakeFolders(GameFolder));
    {
        FolderLink link(std::string(GameFolder) + "\\DXSetup", outside);
        ASSERT_TRUE(link.Made()) << link.Description();

        ASSERT_TRUE(run.Start());
        HWND sheet = OpenWizard(run);
        ASSERT_NE(sheet, nullptr);
        ASSERT_NE(GoToDestination(sheet), nullptr);
        ASSERT_EQ(ControlText(sheet, FolderEdit), std::string(GameFolder) + "\\");
        ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
        ASSERT_TRUE(WaitTitle(sheet, ReadyTitle));
        ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
        uint32_t begun = DriverClock();
        while (ControlText(sheet, StatusLine) != "Finished") {
            ASSERT_LT(DriverClock() - begun, InstallWaitMs);
            Sleep(50);
        }
        ASSERT_NE(WaitControl(sheet, SheetFinishButton, WindowWaitMs), nullptr);
        while (!IsControlEnabled(sheet, SheetFinishButton) && DriverClock() - begun < InstallWaitMs)
            Sleep(30);
        ASSERT_TRUE(ClickButton(sheet, SheetFinishButton));
        DWORD code = 1;
        ASSERT_TRUE(run.WaitEnd(&code));
        CloseGroupFolderWindow(run.Id());

        for (const std::string& canary : canaries) {
            std::string bytes;
            EXPECT_TRUE(ReadFileBytes(canary, &bytes)) << canary;
            EXPECT_EQ(bytes, "canary") << canary << " was written through the link";
        }
        // What was not copied is not listed either.
        std::vector<ArchiveMember> members;
        ASSERT_TRUE(ReadArchiveMembers(GameFolder + "\\" + GameExeName, &members));
        ASSERT_FALSE(members.empty());
        EXPECT_EQ(members.back().name, "Remove.txt");
        EXPECT_EQ(members.back().data.find(std::string(GameFolder) + "\\DXSetup"),
                  std::string::npos)
            << members.back().data;

        // The removal, as the system's list of programs starts it.
        StartedProcess game;
        std::string gamePath = GameFolder + "\\" + GameExeName;
        ASSERT_TRUE(
            StartProgram(gamePath.c_str(), "/REMOVE", ScratchFolder().c_str(), nullptr, &game));
        WaitProcessEnd(game.process, ExitWaitMs, nullptr);
        CloseStartedProcess(&game);
        HWND question = WaitMessageBox(UninstallConfirmTitle, 0, WindowWaitMs);
        ASSERT_NE(question, nullptr);
        DWORD uninstaller = WindowProcessId(question);
        ASSERT_TRUE(AnswerMessageBox(question, IDYES));
        HWND done = WaitMessageBox("Uninstall Complete", uninstaller, WindowWaitMs);
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(MessageText(done), RemovedText);
        ASSERT_TRUE(AnswerMessageBox(done, IDOK));
        if (!WaitProcessIdEnd(uninstaller, ExitWaitMs, nullptr)) KillProcessId(uninstaller);
        EXPECT_FALSE(FileExists(gamePath));
        EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
        // The link keeps the game's folder; the link itself is not touched.
        EXPECT_TRUE(FolderExists(std::string(GameFolder) + "\\DXSetup"));
    }
    for (const std::string& canary : canaries) {
        std::string bytes;
        EXPECT_TRUE(ReadFileBytes(canary, &bytes)) << canary << " was deleted through the link";
    }
    CleanUp();
    RemoveTree(outside);
}

}  // namespace
