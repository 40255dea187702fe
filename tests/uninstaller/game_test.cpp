// Drives the stand-in game VexloDmo.exe: copies of it with an archive of
// chosen members, started plainly (its window) and with /REMOVE (the hand-over
// to the demo uninstaller).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "disc/game/game_window.h"
#include "test_support.h"

namespace {

// Line `index` of the game's member list, "" when it cannot be read.
std::string MemberLine(HWND window, int index) {
    char text[1024];
    return ReadListItem(window, MemberListId, index, text, sizeof text) ? text : "";
}

// Waits for a status text that begins with one of the two starts.
bool WaitStatus(HWND window, const char* start, const char* otherStart, std::string* status) {
    uint32_t begun = DriverClock();
    for (;;) {
        char text[256] = "";
        ReadControlText(window, StatusTextId, text, sizeof text);
        *status = text;
        if (status->compare(0, strlen(start), start) == 0) return true;
        if (otherStart && status->compare(0, strlen(otherStart), otherStart) == 0) return true;
        if (DriverClock() - begun > WindowTimeoutMs) return false;
        Sleep(50);
    }
}

class GameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DeleteUninstallEntry(DemoKeyName);
        gameFolder = scratch.Path() + "\\Games\\Vexlo Demo";
        gamePath = gameFolder + "\\" + GameExeName;
        ASSERT_TRUE(MakeFolders(gameFolder));
        ASSERT_TRUE(CopyFileTo(ProgramPath(GameExeName), gamePath));
        ASSERT_TRUE(AppendEmptyArchive(gamePath));
    }
    void TearDown() override { DeleteUninstallEntry(DemoKeyName); }

    void AddUninstaller() {
        ASSERT_TRUE(AddMemberFromFile(gamePath, "UninstDemo.exe", ProgramPath("UninstDemo.exe")));
    }
    void RegisterGame() {
        ASSERT_TRUE(WriteUninstallEntry(DemoKeyName, gamePath.c_str(),
                                        ("\"" + gamePath + "\" /REMOVE").c_str()));
    }

    // Starts the game's copy with /REMOVE, which must end by itself at once.
    void RunRemove(DWORD expectedExitCode) {
        ASSERT_TRUE(processes.Start(gamePath.c_str(), "/REMOVE", &game));
        DWORD exitCode = 255;
        EXPECT_TRUE(WaitProcessEnd(game.process, ProcessEndTimeoutMs, &exitCode));
        EXPECT_EQ(exitCode, expectedExitCode);
    }

    // The uninstaller the game started: its question box, from another process.
    HWND WaitUninstallerQuestion() {
        HWND box = WaitMessageBox(UninstallConfirmTitle, 0, WindowTimeoutMs);
        EXPECT_TRUE(box) << "the uninstaller did not ask";
        if (!box) return nullptr;
        uninstallerId = WindowProcessId(box);
        processes.Adopt(uninstallerId);
        EXPECT_NE(uninstallerId, game.processId);
        return box;
    }

    void ExpectUninstallerEnds() {
        EXPECT_TRUE(WaitProcessIdEnd(uninstallerId, ProcessEndTimeoutMs, nullptr));
    }

    ScratchFolder scratch{"game"};
    TempLeftovers uninstallerCopies{"vxu*.tmp"};
    ProcessList processes;
    StartedProcess game;
    DWORD uninstallerId = 0;
    std::string gameFolder, gamePath;
};

// The round trip the system's list of programs starts: the game writes its
// list out, the uninstaller removes everything, the game's file included.
TEST_F(GameTest, RemoveHandsTheInstallationToTheUninstaller) {
    std::string readMe = gameFolder + "\\ReadMe.txt";
    ASSERT_TRUE(WriteFileBytes(readMe, "read me"));
    std::string list = gamePath + "\r\n" + readMe + "\r\n";
    ASSERT_TRUE(AddMember(gamePath, "Credits.txt", "made by us"));
    AddUninstaller();
    ASSERT_TRUE(AddMember(gamePath, "Remove.txt", list));
    RegisterGame();

    RunRemove(0);
    // The list goes beside the uninstaller's copy, not into the game's folder.
    EXPECT_FALSE(FileExists(gameFolder + "\\Remove.txt"));
    std::vector<std::string> copies = uninstallerCopies.Appeared();
    ASSERT_EQ(copies.size(), 1u);
    std::string written;
    EXPECT_TRUE(ReadFileBytes(copies[0] + "\\Remove.txt", &written));
    EXPECT_EQ(written, list);

    HWND box = WaitUninstallerQuestion();
    ASSERT_TRUE(box);
    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
    box = WaitMessageBox("Uninstall Complete", uninstallerId, WindowTimeoutMs);
    ASSERT_TRUE(box);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ExpectUninstallerEnds();

    EXPECT_FALSE(FileExists(gamePath));
    EXPECT_FALSE(FolderExists(gameFolder));
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
    // The uninstaller's copy, the list beside it and their folder go too.
    EXPECT_TRUE(uninstallerCopies.WaitAllGone(ProcessEndTimeoutMs)) << copies[0];
}

// After an install that could not move the list into the game, the plain
// list beside it is the one that counts.
TEST_F(GameTest, RemoveKeepsAPlainListWhenTheGameCarriesNone) {
    AddUninstaller();
    std::string listPath = gameFolder + "\\Remove.txt";
    ASSERT_TRUE(WriteFileBytes(listPath, gamePath + "\r\n"));
    RegisterGame();

    RunRemove(0);
    HWND box = WaitUninstallerQuestion();
    ASSERT_TRUE(box);
    ASSERT_TRUE(AnswerMessageBox(box, IDNO));
    ExpectUninstallerEnds();

    std::string kept;
    EXPECT_TRUE(ReadFileBytes(listPath, &kept));
    EXPECT_EQ(kept, gamePath + "\r\n");
    EXPECT_TRUE(FileExists(gamePath));
    EXPECT_TRUE(UninstallEntryExists(DemoKeyName));
    EXPECT_TRUE(uninstallerCopies.WaitAllGone(ProcessEndTimeoutMs));
}

TEST_F(GameTest, RemoveWithoutAnUninstallerSaysSo) {
    ASSERT_TRUE(AddMember(gamePath, "Remove.txt", gamePath + "\r\n"));
    ASSERT_TRUE(processes.Start(gamePath.c_str(), "/remove", &game));
    HWND box = WaitMessageBox(GameWindowTitle, game.processId, WindowTimeoutMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(BoxText(box), UninstallerNotStartedText);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    DWORD exitCode = 0;
    EXPECT_TRUE(WaitProcessEnd(game.process, ProcessEndTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 1u);
}

TEST_F(GameTest, WindowListsTheMembersAndPlaysOnlySounds) {
    ASSERT_TRUE(AddMember(gamePath, "Credits.txt", "made by us"));
    std::string wave = SilentWave();
    ASSERT_TRUE(AddMember(gamePath, "data/music1.wav", wave));

    ASSERT_TRUE(processes.Start(gamePath.c_str(), nullptr, &game));
    HWND window = WaitTopWindow(GameWindowTitle, game.processId, WindowTimeoutMs);
    ASSERT_TRUE(window);
    EXPECT_TRUE(WaitControlText(window, StatusTextId, "2 members.", WindowTimeoutMs));
    HWND list = FindControl(window, MemberListId);
    ASSERT_TRUE(list);
    EXPECT_EQ(MemberLine(window, 0), "Credits.txt\t10 bytes");
    EXPECT_EQ(MemberLine(window, 1), "data/music1.wav\t" + std::to_string(wave.size()) + " bytes");

    // The first member is selected: a text does not play.
    ASSERT_TRUE(ClickButton(window, PlayButtonId));
    std::string status;
    EXPECT_TRUE(WaitStatus(window, "Credits.txt is not a sound", nullptr, &status)) << status;

    // The sound plays, or the system reports it has no way to play it.
    ASSERT_TRUE(PostMessageA(list, LB_SETCURSEL, 1, 0));
    ASSERT_TRUE(ClickButton(window, PlayButtonId));
    EXPECT_TRUE(
        WaitStatus(window, "Playing data/music1.wav", "Could not play data/music1.wav.", &status))
        << status;

    ASSERT_TRUE(CloseTopWindow(window));
    DWORD exitCode = 255;
    EXPECT_TRUE(WaitProcessEnd(game.process, ProcessEndTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
