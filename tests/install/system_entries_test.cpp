// The Uninstall registry entry, free space and the size texts.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "setup/install/disk_space.h"
#include "setup/install/registry.h"
#include "setup/shell/setup_state.h"

namespace {

std::string ReadValue(const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    char buffer[600];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    LONG result =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return "<no value>";
    if (type != REG_SZ) return "<not REG_SZ>";
    // The stored length counts the terminator.
    if (size == 0 || buffer[size - 1] != '\0') return "<unterminated>";
    return std::string(buffer, size - 1);
}

class UninstallKey : public testing::Test {
  protected:
    void SetUp() override { DeleteUninstallKey(); }
    void TearDown() override { DeleteUninstallKey(); }
};

TEST_F(UninstallKey, WritesTheThreeValuesAndReadsThemBack) {
    ASSERT_TRUE(WriteUninstallKey(DefaultDestFolder, GameExeName, GameExeName, RemoveSwitch,
                                  ProductDisplayName));
    std::string game = std::string(DefaultDestFolder) + GameExeName;
    EXPECT_EQ(ReadValue("UninstallString"), "\"" + game + "\" /REMOVE");
    EXPECT_EQ(ReadValue("DisplayName"), ProductDisplayName);
    EXPECT_EQ(ReadValue("GameDest"), game);

    char gameDest[260] = "", uninstallString[260] = "";
    ASSERT_TRUE(ReadUninstallKey(gameDest, uninstallString));
    EXPECT_EQ(gameDest, game);
    EXPECT_EQ(uninstallString, "\"" + game + "\" /REMOVE");

    DeleteUninstallKey();
    EXPECT_FALSE(ReadUninstallKey(gameDest, uninstallString));
}

TEST_F(UninstallKey, FolderWithoutSeparatorIsJoinedWithOne) {
    ASSERT_TRUE(WriteUninstallKey("D:\\Vexlo", "Game.exe", "Other.exe", "/X", "Name"));
    EXPECT_EQ(ReadValue("UninstallString"), "\"D:\\Vexlo\\Other.exe\" /X");
    EXPECT_EQ(ReadValue("GameDest"), "D:\\Vexlo\\Game.exe");
    ASSERT_TRUE(WriteUninstallKey("D:/Vexlo/", "Game.exe", "Game.exe", "/X", "Name"));
    EXPECT_EQ(ReadValue("GameDest"), "D:/Vexlo/Game.exe");
}

TEST_F(UninstallKey, ReadNeedsBothValues) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, UninstallKeyPath, &key), ERROR_SUCCESS);
    const char gameDest[] = "C:\\Games\\VexloDmo.exe";
    RegSetValueExA(key, "GameDest", 0, REG_SZ, reinterpret_cast<const BYTE*>(gameDest),
                   sizeof gameDest);
    char readGame[260], readUninstall[260];
    EXPECT_FALSE(ReadUninstallKey(readGame, readUninstall));

    // A value stored without its terminator is still read as text.
    const char uninstall[] = "\"C:\\Games\\VexloDmo.exe\" /REMOVE";
    RegSetValueExA(key, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(uninstall),
                   sizeof uninstall - 1);
    RegCloseKey(key);
    memset(readUninstall, 'x', sizeof readUninstall);
    ASSERT_TRUE(ReadUninstallKey(readGame, readUninstall));
    EXPECT_STREQ(readUninstall, uninstall);
    EXPECT_STREQ(readGame, gameDest);
}

TEST_F(UninstallKey, TooLongTextsAreRefusedNotCut) {
    std::string folder = "C:\\" + std::string(250, 'f') + "\\";
    EXPECT_FALSE(WriteUninstallKey(folder.c_str(), GameExeName, GameExeName, RemoveSwitch,
                                   ProductDisplayName));
    EXPECT_EQ(ReadValue("GameDest"), "<no key>");

    // A stored value of 260 characters does not fit the read buffers.
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, UninstallKeyPath, &key), ERROR_SUCCESS);
    std::string longValue(260, 'v');
    RegSetValueExA(key, "UninstallString", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(longValue.c_str()), 261);
    RegSetValueExA(key, "GameDest", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    RegCloseKey(key);
    char readGame[260], readUninstall[260];
    EXPECT_FALSE(ReadUninstallKey(readGame, readUninstall));
}

uint64_t ExpectedFreeBytes(const char* root) {
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceExA(root, &available, &total, &totalFree)) return 0;
    return available.QuadPart;
}

// Other programs write to the same disk meanwhile: equal within 256 MiB.
void ExpectAboutTheSame(uint64_t measured, uint64_t expected) {
    uint64_t difference = measured > expected ? measured - expected : expected - measured;
    EXPECT_LE(difference, 256ull << 20) << measured << " vs " << expected;
}

TEST(GetDriveFreeBytes, AsksForTheRootAndGivesTheWholeFigure) {
    uint64_t expected = ExpectedFreeBytes("C:\\");
    ASSERT_NE(expected, 0u);
    // A folder that does not exist is measured by its drive's root.
    ExpectAboutTheSame(GetDriveFreeBytes("C:\\No Such Folder\\Vexlo Demo\\"), expected);
    ExpectAboutTheSame(GetDriveFreeBytes("C:\\"), expected);
    // Without any backslash the text is used whole: no drive, no space.
    ExpectAboutTheSame(GetDriveFreeBytes("C:"), ExpectedFreeBytes("C:"));
}

TEST(GetDriveFreeBytes, UnknownDrivesAndServerRootsGiveZero) {
    char drive[] = "?:\\Games\\";
    for (char letter = 'Q'; letter <= 'Y'; ++letter) {
        drive[0] = letter;
        if (GetDriveTypeA(std::string(drive, 3).c_str()) == DRIVE_NO_ROOT_DIR) break;
    }
    EXPECT_EQ(GetDriveFreeBytes(drive), 0u);
    EXPECT_EQ(GetDriveFreeBytes("\\\\server\\share\\folder\\"), 0u);
}

}  // namespace
