// Drives GameKitExample, the game built on the game kit alone, under Wine:
// copies of it with an archive of chosen members, started plainly (it lists
// its sounds, telling the RIFF/WAVE ones from the rest) and with /REMOVE
// (the hand-over to the product's uninstaller, which it carries).
#include <gtest/gtest.h>

#include <string>

#include "product_names.h"
#include "tests/uninstaller/test_support.h"

namespace {

// The example's control ids.
constexpr int SoundListId = 100;
constexpr int StatusTextId = 101;

std::string ListLine(HWND window, int index) {
    char text[512];
    return ReadListItem(window, SoundListId, index, text, sizeof text) ? text : "";
}

class ExampleGameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DeleteUninstallEntry(DemoKeyName);
        gameFolder = scratch.Path() + "\\Games\\Example";
        gamePath = gameFolder + "\\" + GameExeName;
        ASSERT_TRUE(MakeFolders(gameFolder));
        ASSERT_TRUE(CopyFileTo(ProgramPath("GameKitExample.exe"), gamePath));
        ASSERT_TRUE(AppendEmptyArchive(gamePath));
    }
    void TearDown() override { DeleteUninstallEntry(DemoKeyName); }

    ScratchFolder scratch{"example"};
    TempLeftovers uninstallerCopies{"vxu*.tmp"};
    ProcessList processes;
    StartedProcess game;
    std::string gameFolder, gamePath;
};

TEST_F(ExampleGameTest, ListsItsSoundsAndTellsTheBrokenOnes) {
    std::string music = SilentWave(1600), loud = SilentWave(800);
    std::string notWave = "RIFF" + std::string(4, '\x10') + "AVI LIST" + std::string(8, 'x');
    std::string cut = SilentWave(1600).substr(0, 100);  // says 1636 bytes follow
    ASSERT_TRUE(AddMember(gamePath, "Credits.txt", "made by us"));
    ASSERT_TRUE(AddMember(gamePath, "data/music1.wav", music));
    ASSERT_TRUE(AddMember(gamePath, "data/movie.wav", notWave));
    ASSERT_TRUE(AddMember(gamePath, "data/cut.wav", cut));
    ASSERT_TRUE(AddMember(gamePath, "DATA/LOUD.WAV", loud));

    ASSERT_TRUE(processes.Start(gamePath.c_str(), nullptr, &game));
    HWND window = WaitTopWindow(GameWindowTitle, game.processId, WindowTimeoutMs);
    ASSERT_TRUE(window);
    EXPECT_TRUE(WaitControlText(window, StatusTextId, "2 sounds.", WindowTimeoutMs));
    EXPECT_EQ(ListLine(window, 0), "data/music1.wav  (" + std::to_string(music.size()) + " bytes)");
    EXPECT_EQ(ListLine(window, 1), "data/movie.wav  (24 bytes, not a RIFF/WAVE file)");
    EXPECT_EQ(ListLine(window, 2), "data/cut.wav  (100 bytes, not a RIFF/WAVE file)");
    EXPECT_EQ(ListLine(window, 3), "DATA/LOUD.WAV  (" + std::to_string(loud.size()) + " bytes)");
    EXPECT_EQ(ListLine(window, 4), "");

    ASSERT_TRUE(CloseTopWindow(window));
    DWORD exitCode = 255;
    EXPECT_TRUE(WaitProcessEnd(game.process, ProcessEndTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(ExampleGameTest, RemoveStartsTheUninstallerItCarries) {
    std::string list = gamePath + "\r\n";
    ASSERT_TRUE(AddMemberFromFile(gamePath, UninstallerMember, ProgramPath("UninstDemo.exe")));
    ASSERT_TRUE(AddMember(gamePath, "Remove.txt", list));
    ASSERT_TRUE(WriteUninstallEntry(DemoKeyName, gamePath.c_str(),
                                    ("\"" + gamePath + "\" /REMOVE").c_str()));

    ASSERT_TRUE(processes.Start(gamePath.c_str(), "/Remove", &game));
    DWORD exitCode = 255;
    EXPECT_TRUE(WaitProcessEnd(game.process, ProcessEndTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    HWND box = WaitMessageBox(UninstallConfirmTitle, 0, WindowTimeoutMs);
    ASSERT_TRUE(box) << "the uninstaller did not ask";
    DWORD uninstallerId = WindowProcessId(box);
    processes.Adopt(uninstallerId);
    std::vector<std::string> copies = uninstallerCopies.Appeared();
    ASSERT_EQ(copies.size(), 1u);
    std::string written;
    EXPECT_TRUE(ReadFileBytes(copies[0] + "\\Remove.txt", &written));
    EXPECT_EQ(written, list);

    // No: everything stays, and the uninstaller's copy goes.
    ASSERT_TRUE(AnswerMessageBox(box, IDNO));
    EXPECT_TRUE(WaitProcessIdEnd(uninstallerId, ProcessEndTimeoutMs, nullptr));
    EXPECT_TRUE(FileExists(gamePath));
    EXPECT_TRUE(UninstallEntryExists(DemoKeyName));
    EXPECT_TRUE(uninstallerCopies.WaitAllGone(ProcessEndTimeoutMs));
}

TEST_F(ExampleGameTest, RemoveWithoutTheUninstallerSaysSoAndLeavesNothing) {
    ASSERT_TRUE(AddMember(gamePath, "Remove.txt", gamePath + "\r\n"));
    ASSERT_TRUE(processes.Start(gamePath.c_str(), "/REMOVE", &game));
    HWND box = WaitMessageBox(GameWindowTitle, game.processId, WindowTimeoutMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(BoxText(box), UninstallerNotStartedText);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    DWORD exitCode = 0;
    EXPECT_TRUE(WaitProcessEnd(game.process, ProcessEndTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 1u);
    EXPECT_TRUE(uninstallerCopies.Appeared().empty());
}

}  // namespace
