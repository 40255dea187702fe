// The launcher and the start-up check of the Uninstall key, through the real
// Setup.exe of the assembled disc.
#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

constexpr int GameMemberList = 100;

class LauncherTest : public ::testing::Test {
  protected:
    void SetUp() override { DeleteUninstallEntry(DemoKeyName); }
    void TearDown() override { DeleteUninstallEntry(DemoKeyName); }

    // Starts Setup, waits for the launcher with its two buttons and closes it
    // with Esc or the close box: the program ends without another dialog.
    void RunAndEscape(bool closeBox = false) {
        SetupRun run;
        ASSERT_TRUE(run.Start());
        HWND launcher = run.Wait(LauncherTitle);
        ASSERT_NE(launcher, nullptr);
        EXPECT_EQ(ControlText(launcher, PlayButton), PlayButtonText);
        EXPECT_EQ(ControlText(launcher, InstallButton), InstallButtonText);
        ASSERT_TRUE(closeBox ? CloseTopWindow(launcher) : PressKey(launcher, VK_ESCAPE));
        DWORD code = 1;
        ASSERT_TRUE(run.WaitEnd(&code)) << (closeBox ? "close box" : "Esc");
        EXPECT_EQ(code, 0u);
    }
};

TEST_F(LauncherTest, StaleUninstallKeyIsDeletedAtStart) {
    ASSERT_TRUE(WriteUninstallEntry(DemoKeyName, "C:\\NoSuchGame\\VexloDmo.exe",
                                    "\"C:\\NoSuchGame\\VexloDmo.exe\" /REMOVE"));
    RunAndEscape();
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
}

TEST_F(LauncherTest, UninstallKeyIsKeptWhenGameExistsOrAValueIsMissing) {
    // The game named by GameDest exists: the key stays as it is.
    std::string game = ScratchFolder() + GameExeName;
    FILE* file = fopen(game.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fclose(file);
    std::string command = "\"" + game + "\" /REMOVE";
    ASSERT_TRUE(WriteUninstallEntry(DemoKeyName, game.c_str(), command.c_str()));
    RunAndEscape();
    std::string value;
    EXPECT_TRUE(ReadUninstallValue(DemoKeyName, "GameDest", &value));
    EXPECT_EQ(value, game);
    DeleteFileA(game.c_str());

    // A missing UninstallString: the key is not looked at further, even
    // though its game is gone.
    DeleteUninstallEntry(DemoKeyName);
    ASSERT_TRUE(WriteUninstallEntry(DemoKeyName, "C:\\NoSuchGame\\VexloDmo.exe", nullptr));
    RunAndEscape();
    EXPECT_TRUE(ReadUninstallValue(DemoKeyName, "GameDest", &value));
    EXPECT_EQ(value, "C:\\NoSuchGame\\VexloDmo.exe");

    DeleteUninstallEntry(DemoKeyName);
    ASSERT_TRUE(
        WriteUninstallEntry(DemoKeyName, nullptr, "\"C:\\NoSuchGame\\VexloDmo.exe\" /REMOVE"));
    RunAndEscape();
    EXPECT_TRUE(ReadUninstallValue(DemoKeyName, "UninstallString", &value));
}

TEST_F(LauncherTest, EscapeAndCloseBoxEndWithoutAnotherDialog) {
    RunAndEscape(false);
    RunAndEscape(true);
}

TEST_F(LauncherTest, PlayStartsTheGameFromTheDisc) {
    SetupRun run;
    ASSERT_TRUE(run.Start());
    HWND launcher = run.Wait(LauncherTitle);
    ASSERT_NE(launcher, nullptr);
    ASSERT_TRUE(ClickButton(launcher, PlayButton));
    DWORD code = 1;
    EXPECT_TRUE(run.WaitEnd(&code));
    EXPECT_EQ(code, 0u);

    HWND game = WaitTopWindow(GameTitle, 0, WindowWaitMs);
    ASSERT_NE(game, nullptr);
    DWORD gameProcess = WindowProcessId(game);
    // The disc's own game: its archive holds the credits and the uninstaller.
    ASSERT_NE(WaitControl(game, GameMemberList, WindowWaitMs), nullptr);
    std::vector<std::string> items;
    int count = ReadListCount(game, GameMemberList);
    for (int i = 0; i < count; ++i) {
        char text[256];
        if (ReadListItem(game, GameMemberList, i, text, sizeof text)) items.push_back(text);
    }
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].rfind("Credits.txt", 0), 0u) << items[0];
    EXPECT_EQ(items[1].rfind("UninstDemo.exe", 0), 0u) << items[1];

    CloseTopWindow(game);
    if (!WaitProcessIdEnd(gameProcess, ExitWaitMs, nullptr)) KillProcessId(gameProcess);
}

}  // namespace
