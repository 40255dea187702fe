// Drives the real UninstDemo.exe and Uninst.exe: an installation laid out in
// a scratch folder, its Uninstall entry in the registry, the message boxes
// answered as a user would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

class UninstallerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DeleteUninstallEntry(DemoKeyName);
        DeleteUninstallEntry(FullGameKeyName);
        games = scratch.Path() + "\\Games";
        gameFolder = games + "\\Vexlo Demo";
        gamePath = gameFolder + "\\" + GameExeName;
        ASSERT_TRUE(MakeFolders(gameFolder));
    }
    void TearDown() override {
        DeleteUninstallEntry(DemoKeyName);
        DeleteUninstallEntry(FullGameKeyName);
        if (!group.empty()) RemoveTree(group);
        if (!otherShortcut.empty()) DeleteFileA(otherShortcut.c_str());
    }

    void AddFile(const std::string& path) { ASSERT_TRUE(WriteFileBytes(path, "data of " + path)); }

    // The game's folder with three files and the high scores, a Start Menu
    // group with three shortcuts beside another program's shortcut, and the
    // list naming the files and shortcuts the way the install writes it.
    void MakeInstallation() {
        std::string programs = ProgramsFolder();
        ASSERT_FALSE(programs.empty());
        group = programs + "\\" + UniqueName("Vexlo Demo");
        ASSERT_TRUE(MakeFolders(group));
        listed = {gamePath,
                  gameFolder + "\\ReadMe.txt",
                  gameFolder + "\\Vexlo.cfg",
                  group + "\\" + GameShortcutTitle + ".lnk",
                  group + "\\ReadMe.lnk",
                  group + "\\" + RemoveShortcutTitle + ".lnk"};
        std::string list;
        for (const std::string& path : listed) {
            AddFile(path);
            list += path + "\r\n";
        }
        otherShortcut = programs + "\\" + UniqueName("Other Game") + ".lnk";
        AddFile(otherShortcut);
        AddFile(gameFolder + "\\HighScores.data");
        ASSERT_TRUE(WriteFileBytes(gameFolder + "\\Remove.txt", list));
    }

    void RegisterDemo() {
        ASSERT_TRUE(WriteUninstallEntry(DemoKeyName, gamePath.c_str(),
                                        ("\"" + gamePath + "\" /REMOVE").c_str()));
    }

    // Starts an uninstaller and waits for its first message box.
    HWND StartAndWaitBox(const char* program, const char* title) {
        EXPECT_TRUE(processes.Start(program, nullptr, &started));
        HWND box = WaitMessageBox(title, started.processId, WindowTimeoutMs);
        EXPECT_TRUE(box) << "no \"" << title << "\" box from " << program;
        return box;
    }

    // Answers the box and checks the text of the next one, if any.
    HWND AnswerAndWaitBox(HWND box, int answer, const char* title) {
        EXPECT_TRUE(AnswerMessageBox(box, answer));
        HWND next = WaitMessageBox(title, started.processId, WindowTimeoutMs);
        EXPECT_TRUE(next) << "no \"" << title << "\" box";
        return next;
    }

    // Answers the last box; the program must then end by itself, with 0 and
    // without showing anything more.
    void AnswerAndExpectEnd(HWND box, int answer) {
        EXPECT_TRUE(AnswerMessageBox(box, answer));
        DWORD exitCode = 1;
        EXPECT_TRUE(WaitProcessEnd(started.process, ProcessEndTimeoutMs, &exitCode))
            << "the program did not end (another message box?)";
        EXPECT_EQ(exitCode, 0u);
    }

    // The message of a program that finds no complete entry; OK ends it.
    void ExpectNotInstalled(const char* program, const char* text = NotInstalledText) {
        HWND box = StartAndWaitBox(program, "Not installed!");
        ASSERT_TRUE(box);
        EXPECT_EQ(BoxText(box), text);
        AnswerAndExpectEnd(box, IDOK);
    }

    // Yes to the question, OK to the final message; their texts checked.
    void RemoveWithYes(const char* program, const char* confirmText = ConfirmText,
                       const char* removedText = RemovedText) {
        HWND box = StartAndWaitBox(program, UninstallConfirmTitle);
        ASSERT_TRUE(box);
        EXPECT_EQ(BoxText(box), confirmText);
        box = AnswerAndWaitBox(box, IDYES, "Uninstall Complete");
        ASSERT_TRUE(box);
        EXPECT_EQ(BoxText(box), removedText);
        AnswerAndExpectEnd(box, IDOK);
    }

    void ExpectInstallationIntact() {
        for (const std::string& path : listed)
            EXPECT_TRUE(FileExists(path)) << path;
        EXPECT_TRUE(FileExists(gameFolder + "\\Remove.txt"));
        EXPECT_TRUE(FileExists(gameFolder + "\\HighScores.data"));
    }

    ScratchFolder scratch{"uninst"};
    ProcessList processes;
    StartedProcess started;
    std::string games, gameFolder, gamePath, group, otherShortcut;
    std::vector<std::string> listed;
};

TEST_F(UninstallerTest, YesRemovesTheInstallationAndItsEntry) {
    MakeInstallation();
    RegisterDemo();
    // The installation made the folder above the game's, and says so.
    ASSERT_TRUE(WriteUninstallValue(DemoKeyName, "CreatedFolder", games.c_str()));
    ASSERT_TRUE(WriteUninstallEntry(FullGameKeyName, "C:\\Full\\VexloDmo.exe", "x"));

    ASSERT_NO_FATAL_FAILURE(RemoveWithYes("UninstDemo.exe"));

    for (const std::string& path : listed)
        EXPECT_FALSE(FileExists(path)) << path;
    EXPECT_FALSE(FileExists(gameFolder + "\\Remove.txt"));
    EXPECT_FALSE(FileExists(gameFolder + "\\HighScores.data"));
    // Folders left empty go, up to the one above the game's; others stay.
    EXPECT_FALSE(FolderExists(gameFolder));
    EXPECT_FALSE(FolderExists(games));
    EXPECT_FALSE(FolderExists(group));
    EXPECT_TRUE(FileExists(otherShortcut));
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
    EXPECT_TRUE(UninstallEntryExists(FullGameKeyName));
}

// A folder above the game's that the installation did not create stays,
// empty or not: without a record, with a record of the game's folder only,
// and with records the rule for created folders refuses (a drive's root, a
// folder beside the game's).
TEST_F(UninstallerTest, FoldersThereBeforeTheInstallationStay) {
    std::string beside = scratch.Path() + "\\Other";
    for (const std::string& record : {std::string(), gameFolder, std::string("C:\\"), beside}) {
        ASSERT_TRUE(MakeFolders(gameFolder));
        MakeInstallation();
        RegisterDemo();
        if (!record.empty()) {
            ASSERT_TRUE(WriteUninstallValue(DemoKeyName, "CreatedFolder", record.c_str()));
        }
        ASSERT_NO_FATAL_FAILURE(RemoveWithYes("UninstDemo.exe"));
        EXPECT_FALSE(FolderExists(gameFolder)) << record;
        EXPECT_TRUE(FolderExists(games)) << "record \"" << record << "\"";
        RemoveTree(group);
        DeleteFileA(otherShortcut.c_str());
    }
}

TEST_F(UninstallerTest, NoChangesNothing) {
    MakeInstallation();
    RegisterDemo();
    HWND box = StartAndWaitBox("UninstDemo.exe", UninstallConfirmTitle);
    ASSERT_TRUE(box);
    AnswerAndExpectEnd(box, IDNO);
    ExpectInstallationIntact();
    EXPECT_TRUE(UninstallEntryExists(DemoKeyName));
}

TEST_F(UninstallerTest, WithoutACompleteEntryNothingIsTouched) {
    MakeInstallation();
    ASSERT_NO_FATAL_FAILURE(ExpectNotInstalled("UninstDemo.exe"));

    // GameDest alone is not enough: UninstallString must be there too.
    ASSERT_TRUE(WriteUninstallEntry(DemoKeyName, gamePath.c_str(), nullptr));
    ASSERT_NO_FATAL_FAILURE(ExpectNotInstalled("UninstDemo.exe"));
    ExpectInstallationIntact();
    EXPECT_TRUE(UninstallEntryExists(DemoKeyName));
}

TEST_F(UninstallerTest, MissingListIsReportedAndNothingElseHappens) {
    MakeInstallation();
    ASSERT_TRUE(DeleteFileA((gameFolder + "\\Remove.txt").c_str()));
    RegisterDemo();

    HWND box = StartAndWaitBox("UninstDemo.exe", UninstallConfirmTitle);
    ASSERT_TRUE(box);
    box = AnswerAndWaitBox(box, IDYES, "UNINSTALL ERROR");
    ASSERT_TRUE(box);
    EXPECT_EQ(BoxText(box), ListMissingText);
    AnswerAndExpectEnd(box, IDOK);

    for (const std::string& path : listed)
        EXPECT_TRUE(FileExists(path)) << path;
    EXPECT_TRUE(FileExists(gameFolder + "\\HighScores.data"));
    EXPECT_TRUE(UninstallEntryExists(DemoKeyName));
}

TEST_F(UninstallerTest, FullGameBuildUsesOnlyItsOwnEntry) {
    MakeInstallation();
    RegisterDemo();
    ASSERT_NO_FATAL_FAILURE(ExpectNotInstalled("Uninst.exe", FullNotInstalledText));

    ASSERT_TRUE(WriteUninstallEntry(FullGameKeyName, gamePath.c_str(), "x"));
    ASSERT_NO_FATAL_FAILURE(RemoveWithYes("Uninst.exe", FullConfirmText, FullRemovedText));

    EXPECT_FALSE(FolderExists(gameFolder));
    EXPECT_FALSE(UninstallEntryExists(FullGameKeyName));
    EXPECT_TRUE(UninstallEntryExists(DemoKeyName));
}

// Line ends of either kind or none, a folder, a missing file, a line too
// long for the buffer and one that just fits.
TEST_F(UninstallerTest, ListLinesOfEveryForm) {
    std::string readMe = gameFolder + "\\ReadMe.txt";
    std::string saves = gameFolder + "\\saves";
    std::string victim = scratch.Path() + "\\victim.txt";
    std::string longestName = gameFolder + "\\";
    longestName += std::string(259 - longestName.size() - 4, 'n') + ".txt";
    ASSERT_EQ(longestName.size(), 259u);
    for (const std::string& path : {gamePath, readMe, victim, longestName})
        AddFile(path);
    ASSERT_TRUE(MakeFolders(saves));

    // Cut after 259 characters, the long line's rest would name the victim.
    std::string tooLong = "C:\\" + std::string(256, 'x') + victim;
    std::string list = gamePath + "\r\n" + saves + "\n" + gameFolder + "\\Missing.txt\n" + tooLong +
                       "\r\n" + longestName + "\r\n" + readMe;
    ASSERT_TRUE(WriteFileBytes(gameFolder + "\\Remove.txt", list));
    RegisterDemo();

    ASSERT_NO_FATAL_FAILURE(RemoveWithYes("UninstDemo.exe"));

    EXPECT_FALSE(FileExists(gamePath));
    EXPECT_FALSE(FileExists(readMe));
    EXPECT_FALSE(FileExists(longestName));
    EXPECT_TRUE(FileExists(victim));
    // The folder line is passed over, so the game's folder is not empty.
    EXPECT_TRUE(FolderExists(saves));
    EXPECT_FALSE(FileExists(gameFolder + "\\Remove.txt"));
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
}

// Only the backslash separates the folder part: docs/a.txt is deleted, but
// docs itself is not tried, so it stays with the game's folder around it.
TEST_F(UninstallerTest, FileInASubFolderLeavesThatFolder) {
    std::string docs = gameFolder + "\\docs";
    ASSERT_TRUE(MakeFolders(docs));
    std::string inDocs = gameFolder + "\\docs/a.txt";
    AddFile(gamePath);
    AddFile(inDocs);
    ASSERT_TRUE(WriteFileBytes(gameFolder + "\\Remove.txt", gamePath + "\r\n" + inDocs + "\r\n"));
    RegisterDemo();

    ASSERT_NO_FATAL_FAILURE(RemoveWithYes("UninstDemo.exe"));

    EXPECT_FALSE(FileExists(inDocs));
    EXPECT_FALSE(FileExists(gamePath));
    EXPECT_TRUE(FolderExists(docs));
    EXPECT_FALSE(FileExists(gameFolder + "\\Remove.txt"));
}

// A second removal finds nothing: with the entry gone it says so at once;
// with an entry left whose game and list are gone, it says so after the
// question and takes the stale entry away.
TEST_F(UninstallerTest, ASecondRemovalSaysNotInstalled) {
    MakeInstallation();
    RegisterDemo();
    ASSERT_NO_FATAL_FAILURE(RemoveWithYes("UninstDemo.exe"));
    ASSERT_NO_FATAL_FAILURE(ExpectNotInstalled("UninstDemo.exe"));

    RegisterDemo();
    HWND box = StartAndWaitBox("UninstDemo.exe", UninstallConfirmTitle);
    ASSERT_TRUE(box);
    box = AnswerAndWaitBox(box, IDYES, "Not installed!");
    ASSERT_TRUE(box);
    EXPECT_EQ(BoxText(box), NotInstalledText);
    AnswerAndExpectEnd(box, IDOK);
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
}

}  // namespace
