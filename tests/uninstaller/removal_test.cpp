// The removal stays inside the installation: tampered lists, a link planted in
// the game's folder, a game still running, two removals at once and a No,
// each driven through the real programs with canary files outside the game's
// folder that must all survive, and the boxes the user saw checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "folder_link.h"
#include "test_support.h"

namespace {

// Runs a program to its end; false if it could not start or did not end.
bool RunToEnd(ProcessList& processes, const std::string& program, const std::string& arguments,
              DWORD* exitCode) {
    StartedProcess started;
    if (!processes.Start(program.c_str(), arguments.c_str(), &started)) return false;
    return WaitProcessEnd(started.process, ProcessEndTimeoutMs, exitCode);
}

// Names and sizes of everything in a folder tree, for before-and-after.
void ListTree(const std::string& folder, std::vector<std::string>* entries) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = folder + "\\" + name;
        entries->push_back(path + " " + std::to_string(found.nFileSizeLow));
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListTree(path, entries);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

class RemovalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DeleteUninstallEntry(DemoKeyName);
        gameFolder = scratch.Path() + "\\Games\\Vexlo Demo";
        gamePath = gameFolder + "\\" + GameExeName;
        outside = scratch.Path() + "\\outside";
        ASSERT_TRUE(MakeFolders(gameFolder));
        ASSERT_TRUE(MakeFolders(outside));
        ASSERT_TRUE(CopyFileTo(ProgramPath(GameExeName), gamePath));
        ASSERT_TRUE(AppendEmptyArchive(gamePath));
        ASSERT_TRUE(AddMemberFromFile(gamePath, "UninstDemo.exe", ProgramPath("UninstDemo.exe")));
        ASSERT_TRUE(WriteUninstallEntry(DemoKeyName, gamePath.c_str(),
                                        ("\"" + gamePath + "\" /REMOVE").c_str()));
        programs = ProgramsFolder();
        ASSERT_FALSE(programs.empty());
    }
    void TearDown() override {
        DeleteUninstallEntry(DemoKeyName);
        for (const std::string& path : cleanUp)
            DeleteFileA(path.c_str());
        if (!group.empty()) RemoveTree(group);
    }

    // A file outside the installation that no removal may touch.
    void AddCanary(const std::string& path) {
        ASSERT_TRUE(WriteFileBytes(path, "canary " + path)) << path;
        canaries.push_back(path);
    }
    // A file of the installation, which the removal must delete.
    void AddInstalled(const std::string& path) {
        ASSERT_TRUE(WriteFileBytes(path, "installed " + path)) << path;
        installed.push_back(path);
    }
    void ExpectCanariesIntact() {
        for (const std::string& path : canaries) {
            std::string bytes;
            EXPECT_TRUE(ReadFileBytes(path, &bytes)) << "canary gone: " << path;
            EXPECT_EQ(bytes, "canary " + path);
        }
    }
    void ExpectInstalledGone() {
        for (const std::string& path : installed)
            EXPECT_FALSE(FileExists(path)) << path;
    }

    // The list as a member of the game, added by the publisher's archive tool.
    void AddListMember(const std::string& list) {
        std::string listFile = scratch.Path() + "\\list.txt";
        ASSERT_TRUE(WriteFileBytes(listFile, list));
        DWORD exitCode = 1;
        ASSERT_TRUE(RunToEnd(processes, "vexlo-archive.exe",
                             "add \"" + gamePath + "\" \"" + listFile + "\" Remove.txt",
                             &exitCode));
        ASSERT_EQ(exitCode, 0u);
        ASSERT_TRUE(DeleteFileA(listFile.c_str()));
    }

    // The removal as the system's list of programs starts it: the game with
    // /REMOVE, which hands over to the uninstaller and ends. Returns the
    // uninstaller's question.
    HWND StartRemoveFromGame() {
        StartedProcess game;
        EXPECT_TRUE(processes.Start(gamePath.c_str(), "/REMOVE", &game));
        DWORD exitCode = 1;
        EXPECT_TRUE(WaitProcessEnd(game.process, ProcessEndTimeoutMs, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        HWND box = WaitMessageBox(UninstallConfirmTitle, 0, WindowTimeoutMs);
        EXPECT_TRUE(box) << "the uninstaller did not ask";
        if (box) {
            uninstallerId = WindowProcessId(box);
            processes.Adopt(uninstallerId);
        }
        return box;
    }

    // Answers a box of the uninstaller and returns the next one with that title.
    HWND AnswerAndWait(HWND box, int answer, const char* title, DWORD processId) {
        EXPECT_TRUE(AnswerMessageBox(box, answer));
        HWND next = WaitMessageBox(title, processId, WindowTimeoutMs);
        EXPECT_TRUE(next) << "no \"" << title << "\" box";
        return next;
    }

    void ExpectUninstallerEndsWithoutLeftovers() {
        EXPECT_TRUE(WaitProcessIdEnd(uninstallerId, ProcessEndTimeoutMs, nullptr));
        EXPECT_TRUE(copies.WaitAllGone(ProcessEndTimeoutMs))
            << "the uninstaller's copy is still there: "
            << (copies.Appeared().empty() ? "" : copies.Appeared()[0]);
    }

    ScratchFolder scratch{"remove"};
    TempLeftovers copies{"vxu*.tmp"};
    ProcessList processes;
    DWORD uninstallerId = 0;
    std::string gameFolder, gamePath, outside, programs, group;
    std::vector<std::string> canaries, installed, cleanUp;
};

// Every form of line that once reached outside the game's folder, in a list
// member the game carries, and a link planted in the game's folder where the
// install lists files it never creates itself.
TEST_F(RemovalTest, TamperedListAndPlantedLinkTouchNothingOutside) {
    std::string canary = outside + "\\canary.txt";
    std::string emptyOutside = outside + "\\empty";
    std::string linked = outside + "\\dx";
    ASSERT_TRUE(MakeFolders(emptyOutside));
    ASSERT_TRUE(MakeFolders(linked + "\\DirectX"));
    ASSERT_NO_FATAL_FAILURE(AddCanary(canary));
    ASSERT_NO_FATAL_FAILURE(AddCanary(linked + "\\DSetup.dll"));
    ASSERT_NO_FATAL_FAILURE(AddCanary(linked + "\\DirectX\\ReadMe.txt"));
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    std::string tempName = "vexlo-canary-" + std::to_string(GetCurrentProcessId()) + ".txt";
    std::string tempCanary = std::string(temp) + tempName;
    ASSERT_NO_FATAL_FAILURE(AddCanary(tempCanary));
    cleanUp.push_back(tempCanary);
    std::string otherDrive = "Z:\\tmp\\" + tempName;
    ASSERT_NO_FATAL_FAILURE(AddCanary(otherDrive));
    cleanUp.push_back(otherDrive);
    std::string winIni = "C:\\windows\\win.ini";
    if (!FileExists(winIni)) {
        ASSERT_TRUE(WriteFileBytes(winIni, ""));
    }
    std::string winIniBytes;
    ASSERT_TRUE(ReadFileBytes(winIni, &winIniBytes));
    // A shortcut beside the groups, and a file in a group that is no shortcut.
    std::string looseShortcut = programs + "\\" + UniqueName("Loose") + ".lnk";
    ASSERT_NO_FATAL_FAILURE(AddCanary(looseShortcut));
    cleanUp.push_back(looseShortcut);
    group = programs + "\\" + UniqueName("Vexlo Demo");
    ASSERT_TRUE(MakeFolders(group));
    ASSERT_NO_FATAL_FAILURE(AddCanary(group + "\\Notes.txt"));

    FolderLink link(gameFolder + "\\DXSetup", linked);
    ASSERT_TRUE(link.Made()) << "no link with the reparse attribute could be made: "
                             << link.Description();

    ASSERT_NO_FATAL_FAILURE(AddInstalled(gamePath + ".cfg"));
    ASSERT_NO_FATAL_FAILURE(AddInstalled(gameFolder + "\\ReadMe.txt"));
    ASSERT_NO_FATAL_FAILURE(AddInstalled(gameFolder + "\\AfterNul.txt"));
    ASSERT_NO_FATAL_FAILURE(AddInstalled(group + "\\Vexlo Demo.lnk"));
    std::string noDrive = canary.substr(2);
    std::vector<std::string> lines = {
        gamePath,
        canary,
        "C:/" + canary.substr(3),
        gameFolder + "\\..\\..\\outside\\canary.txt",
        gameFolder + "\\docs/../../../outside/canary.txt",
        gameFolder + "\\.. \\..\\..\\outside\\canary.txt",
        "..\\" + tempName,
        "C:..\\" + tempName,
        tempName,
        noDrive,
        "\\\\?\\" + canary,
        "\\\\.\\" + canary,
        "\\\\localhost\\C$" + noDrive,
        "\\\\?\\UNC\\localhost\\C$" + noDrive,
        outside + "\\*.txt",
        outside + "\\canar?.txt",
        canary + ".",
        canary + ":stream",
        otherDrive,
        winIni,
        emptyOutside + "\\gone.txt",
        gameFolder + "\\NUL",
        gameFolder + "\\con.txt",
        gameFolder + "\\COM1",
        looseShortcut,
        group + "\\Notes.txt",
        gameFolder + "\\DXSetup\\DSetup.dll",
        gameFolder + "\\DXSetup\\DirectX\\ReadMe.txt",
        gameFolder + "\\ReadMe.txt",
        // A NUL inside a line makes it refused, and hides nothing after it.
        gameFolder + "\\Vexlo.cfg" + std::string(1, '\0') + canary,
        gameFolder + "\\AfterNul.txt",
        gamePath + ".cfg",
        group + "\\Vexlo Demo.lnk",
    };
    std::string list;
    for (const std::string& line : lines)
        list += line + "\r\n";
    ASSERT_NO_FATAL_FAILURE(AddListMember(list));

    HWND box = StartRemoveFromGame();
    ASSERT_TRUE(box);
    box = AnswerAndWait(box, IDYES, "Uninstall Complete", uninstallerId);
    ASSERT_TRUE(box);
    EXPECT_EQ(BoxText(box), RemovedText);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ExpectUninstallerEndsWithoutLeftovers();

    ExpectCanariesIntact();
    std::string winIniAfter;
    EXPECT_TRUE(ReadFileBytes(winIni, &winIniAfter));
    EXPECT_EQ(winIniAfter, winIniBytes);
    EXPECT_TRUE(FolderExists(emptyOutside));
    EXPECT_TRUE(FolderExists(temp));
    EXPECT_TRUE(FolderExists("C:\\windows\\temp"));
    ExpectInstalledGone();
    EXPECT_FALSE(FileExists(gamePath));
    // The link stays, and with it the game's folder; the group still holds
    // the file that is no shortcut.
    EXPECT_TRUE(FolderExists(gameFolder + "\\DXSetup"));
    EXPECT_TRUE(FolderExists(group));
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
}

// Files in use stay and are named; the game's own file, which carries the
// uninstaller and the list, goes only after everything else, so the entry and
// the list stay for the next try, which then completes.
TEST_F(RemovalTest, FilesInUseAreNamedAndTheRemovalCanRunAgain) {
    std::string canary = outside + "\\canary.txt";
    ASSERT_NO_FATAL_FAILURE(AddCanary(canary));
    std::string readMe = gameFolder + "\\ReadMe.txt";
    std::string manual = gameFolder + "\\Manual.txt";
    std::string config = gameFolder + "\\Vexlo.cfg";
    ASSERT_NO_FATAL_FAILURE(AddInstalled(config));
    ASSERT_NO_FATAL_FAILURE(AddInstalled(readMe));
    ASSERT_NO_FATAL_FAILURE(AddInstalled(manual));
    std::string listPath = gameFolder + "\\Remove.txt";
    std::string list =
        gamePath + "\r\n" + readMe + "\r\n" + canary + "\r\n" + config + "\r\n" + manual + "\r\n";
    ASSERT_TRUE(WriteFileBytes(listPath, list));

    // The game runs, and another program holds two files open without
    // letting them be deleted.
    StartedProcess game;
    ASSERT_TRUE(processes.Start(gamePath.c_str(), nullptr, &game));
    ASSERT_TRUE(WaitTopWindow(GameWindowTitle, game.processId, WindowTimeoutMs));
    auto hold = [](const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    };
    HANDLE heldReadMe = hold(readMe), heldManual = hold(manual);
    ASSERT_NE(heldReadMe, INVALID_HANDLE_VALUE);
    ASSERT_NE(heldManual, INVALID_HANDLE_VALUE);

    auto removeExpecting = [&](const char* title, const std::string& text) {
        StartedProcess uninstaller;
        ASSERT_TRUE(processes.Start("UninstDemo.exe", nullptr, &uninstaller));
        HWND box = WaitMessageBox(UninstallConfirmTitle, uninstaller.processId, WindowTimeoutMs);
        ASSERT_TRUE(box);
        box = AnswerAndWait(box, IDYES, title, uninstaller.processId);
        ASSERT_TRUE(box);
        EXPECT_EQ(BoxText(box), text);
        if (strcmp(title, "Uninstall Complete") != 0) {
            EXPECT_FALSE(FindTopWindow("Uninstall Complete", uninstaller.processId));
        }
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        EXPECT_TRUE(WaitProcessEnd(uninstaller.process, ProcessEndTimeoutMs, nullptr));
    };
    auto expectKeptForNextTry = [&] {
        EXPECT_TRUE(UninstallEntryExists(DemoKeyName));
        std::string kept;
        EXPECT_TRUE(ReadFileBytes(listPath, &kept));
        EXPECT_EQ(kept, list);
        EXPECT_TRUE(FileExists(gamePath));
    };

    ASSERT_NO_FATAL_FAILURE(removeExpecting(
        "UNINSTALL ERROR",
        Formatted(PartialManyText, 2u, (readMe + "\r\n" + manual + "\r\n").c_str(), "")));
    expectKeptForNextTry();
    EXPECT_TRUE(FileExists(readMe));
    EXPECT_TRUE(FileExists(manual));
    EXPECT_FALSE(FileExists(config));
    CloseHandle(heldReadMe);
    CloseHandle(heldManual);

    // Only the running game is left.
    ASSERT_NO_FATAL_FAILURE(
        removeExpecting("UNINSTALL ERROR", Formatted(PartialOneText, gamePath.c_str())));
    expectKeptForNextTry();
    EXPECT_FALSE(FileExists(readMe));
    EXPECT_FALSE(FileExists(manual));

    // Nothing in use any more: the removal completes.
    ASSERT_TRUE(CloseTopWindow(FindTopWindow(GameWindowTitle, game.processId)));
    ASSERT_TRUE(WaitProcessEnd(game.process, ProcessEndTimeoutMs, nullptr));
    ASSERT_NO_FATAL_FAILURE(removeExpecting("Uninstall Complete", RemovedText));
    ExpectInstalledGone();
    EXPECT_FALSE(FileExists(gamePath));
    EXPECT_FALSE(FolderExists(gameFolder));
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
    ExpectCanariesIntact();
}

// Two removals started together: both ask; the one answered second finds the
// installation gone and says so, never that the removal failed.
TEST_F(RemovalTest, TwoRemovalsAtOnce) {
    std::string canary = outside + "\\canary.txt";
    ASSERT_NO_FATAL_FAILURE(AddCanary(canary));
    ASSERT_NO_FATAL_FAILURE(AddInstalled(gameFolder + "\\ReadMe.txt"));
    // The plain list beside the game: both uninstallers are started by hand.
    ASSERT_TRUE(WriteFileBytes(gameFolder + "\\Remove.txt", gamePath + "\r\n" + canary + "\r\n" +
                                                                gameFolder + "\\ReadMe.txt\r\n"));

    StartedProcess first, second;
    ASSERT_TRUE(processes.Start("UninstDemo.exe", nullptr, &first));
    ASSERT_TRUE(processes.Start("UninstDemo.exe", nullptr, &second));
    HWND firstBox = WaitMessageBox(UninstallConfirmTitle, first.processId, WindowTimeoutMs);
    HWND secondBox = WaitMessageBox(UninstallConfirmTitle, second.processId, WindowTimeoutMs);
    ASSERT_TRUE(firstBox && secondBox);
    // The read-me is in use for a moment, so the first removal is still at
    // work when the second one is answered.
    HANDLE held = CreateFileA((gameFolder + "\\ReadMe.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(AnswerMessageBox(firstBox, IDYES));
    Sleep(300);
    EXPECT_TRUE(AnswerMessageBox(secondBox, IDYES));
    Sleep(300);
    CloseHandle(held);
    HWND firstEnd = nullptr, secondEnd = nullptr;
    uint32_t begun = DriverClock();
    while ((!firstEnd || !secondEnd) && DriverClock() - begun < WindowTimeoutMs) {
        for (const char* title : {"Uninstall Complete", "Not installed!", "UNINSTALL ERROR"}) {
            if (!firstEnd) firstEnd = FindTopWindow(title, first.processId);
            if (!secondEnd) secondEnd = FindTopWindow(title, second.processId);
        }
        Sleep(50);
    }
    ASSERT_TRUE(firstEnd && secondEnd);
    std::vector<std::string> texts = {BoxText(firstEnd), BoxText(secondEnd)};
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{RemovedText, NotInstalledText}));
    AnswerMessageBox(firstEnd, IDOK);
    AnswerMessageBox(secondEnd, IDOK);
    EXPECT_TRUE(WaitProcessEnd(first.process, ProcessEndTimeoutMs, nullptr));
    EXPECT_TRUE(WaitProcessEnd(second.process, ProcessEndTimeoutMs, nullptr));
    ExpectInstalledGone();
    EXPECT_FALSE(FileExists(gamePath));
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
    ExpectCanariesIntact();
}

// No leaves the game's folder exactly as it was, and the uninstaller's copy
// goes all the same.
TEST_F(RemovalTest, NoLeavesTheGameFolderAsItWas) {
    std::string canary = outside + "\\canary.txt";
    ASSERT_NO_FATAL_FAILURE(AddCanary(canary));
    ASSERT_TRUE(WriteFileBytes(gameFolder + "\\ReadMe.txt", "read me"));
    ASSERT_NO_FATAL_FAILURE(
        AddListMember(gamePath + "\r\n" + gameFolder + "\\ReadMe.txt\r\n" + canary + "\r\n"));
    std::vector<std::string> before, after;
    ListTree(gameFolder, &before);

    HWND box = StartRemoveFromGame();
    ASSERT_TRUE(box);
    ASSERT_TRUE(AnswerMessageBox(box, IDNO));
    ExpectUninstallerEndsWithoutLeftovers();

    ListTree(gameFolder, &after);
    EXPECT_EQ(after, before);
    EXPECT_TRUE(UninstallEntryExists(DemoKeyName));
    ExpectCanariesIntact();
}

}  // namespace
