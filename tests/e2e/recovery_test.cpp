// The start-up recovery through the real Setup.exe: an installed game whose
// executable is gone, its folder holding a planted list that names files
// everywhere but inside it. The game folder is writable by whoever runs the
// game; the next Setup (often an administrator's) must not become a way to
// delete any file. By the time the launcher shows, every file outside the
// game is still there, and the stale entry is forgotten.
#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

const std::string GameFolder = DefaultDestFolder;

class RecoveryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CleanUp();
        char temp[MAX_PATH];
        ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
        userTemp = temp;
        char windows[MAX_PATH];
        ASSERT_NE(GetWindowsDirectoryA(windows, sizeof windows), 0u);
        windowsFolder = std::string(windows) + "\\";
        // The host's canary stays inside this test's own folder of the build.
        hostScratch = TestProgramFolder() + "recovery-scratch\\";
        ASSERT_TRUE(hostScratch[0] == 'Z' || hostScratch[0] == 'z')
            << "the test program is not on the host's drive: " << hostScratch;
        ASSERT_TRUE(MakeFolders(hostScratch));
        ASSERT_TRUE(MakeFolders(EmptyFolder()));
        ASSERT_TRUE(MakeFolders(GameFolder));
    }
    void TearDown() override {
        if (run.Running()) KillProcess(run.process.process);
        CleanUp();
    }
    void CleanUp() {
        DeleteUninstallEntry(DemoKeyName);
        RemoveTree(GameFolder);
        RemoveEmptyParents("C:\\Games");
        for (const std::string& canary : canaries) {
            DeleteFileA(canary.c_str());
            DeleteFileA((canary + ".vxk").c_str());
        }
        RemoveTree(EmptyFolder());
        if (!hostScratch.empty()) RemoveTree(hostScratch);
    }
    static std::string EmptyFolder() { return ScratchFolder() + "Empty Folder\\"; }

    std::string userTemp, windowsFolder, hostScratch;
    std::vector<std::string> canaries;
    SetupRun run;
};

TEST_F(RecoveryTest, APlantedListDeletesNothingOutsideTheGameBeforeTheLauncherShows) {
    const std::string tag = std::to_string(GetCurrentProcessId());
    const std::string name = "vexlo-canary-" + tag;
    canaries = {
        "C:\\" + name + ".txt",   "C:\\" + name + "-2.txt",    "C:\\" + name + "-3.txt",
        "C:\\" + name + "-4.txt", "C:\\" + name + "-5.txt",    windowsFolder + name + ".txt",
        userTemp + name + ".txt", hostScratch + name + ".txt", EmptyFolder() + "gone.txt",
    };
    for (const std::string& canary : canaries)
        ASSERT_TRUE(WriteFileBytes(canary, "canary")) << canary;
    // Every way of spelling a file elsewhere: plain, forward slashes, climbing
    // out of the game, a drive-relative climb, the long-path prefix, and the
    // Windows folder, the user's Temp, the host's drive and a folder that a
    // removal would leave empty.
    const std::string game = GameFolder.substr(0, GameFolder.size() - 1);
    const std::vector<std::string> lines = {
        canaries[0],
        "C:/" + name + "-2.txt",
        game + "\\..\\..\\" + name + "-3.txt",
        "C:..\\..\\" + name + "-4.txt",
        "\\\\?\\C:\\" + name + "-5.txt",
        canaries[5],
        canaries[6],
        canaries[7],
        canaries[8],
        GameFolder + "Inside.txt",
    };
    std::string list;
    for (const std::string& line : lines)
        list += line + "\r\n";
    ASSERT_TRUE(WriteFileBytes(GameFolder + "Inside.txt", "planted inside"));
    ASSERT_TRUE(WriteFileBytes(GameFolder + "Remove.txt", list));
    // The journal reaches no further: neither folders said to be created by
    // the installation nor a file said to be set aside.
    ASSERT_TRUE(WriteFileBytes(
        GameFolder + "Remove.jnl",
        "F " + EmptyFolder() + "\nF C:\\\nF " + windowsFolder + "temp\nK " + canaries[0] + "\n"));
    ASSERT_TRUE(WriteFileBytes(canaries[0] + ".vxk", "aside"));
    // The entry names the game, which is gone: the entry is stale.
    const std::string gameDest = GameFolder + GameExeName;
    ASSERT_FALSE(FileExists(gameDest));
    const std::string command = "\"" + gameDest + "\" /REMOVE";
    ASSERT_TRUE(WriteUninstallEntry(DemoKeyName, gameDest.c_str(), command.c_str()));

    // As a user starts it: the launcher of the assembled disc.
    ASSERT_TRUE(run.Start());
    HWND launcher = run.Wait(LauncherTitle);
    ASSERT_NE(launcher, nullptr) << "the launcher did not show";
    for (const std::string& canary : canaries) {
        bool exists = false;
        EXPECT_EQ(ReadFileBytes(canary, &exists), "canary") << canary;
        EXPECT_TRUE(exists) << "canary gone: " << canary;
    }
    bool asideExists = false;
    EXPECT_EQ(ReadFileBytes(canaries[0] + ".vxk", &asideExists), "aside");
    EXPECT_TRUE(FolderExists(EmptyFolder())) << "an emptied folder outside the game was removed";
    EXPECT_TRUE(FolderExists(windowsFolder + "temp"));
    EXPECT_TRUE(FolderExists("C:\\"));
    // The list was acted on where it may be: inside the game's folder.
    EXPECT_FALSE(FileExists(GameFolder + "Inside.txt"));
    EXPECT_FALSE(FileExists(GameFolder + "Remove.txt"));
    // The game is gone and nothing of it is left: the entry is forgotten.
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));

    ASSERT_TRUE(PressKey(launcher, VK_ESCAPE));
    DWORD code = 1;
    ASSERT_TRUE(run.WaitEnd(&code));
    EXPECT_EQ(code, 0u);
    // Nothing more went after the launcher closed either.
    for (const std::string& canary : canaries)
        EXPECT_TRUE(FileExists(canary)) << "canary gone after the launcher closed: " << canary;
}

}  // namespace
