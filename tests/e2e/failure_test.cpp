// Installations that fail, through the real Setup.exe: a drive that fills up
// during the copy and during the audio members, a read-only folder, a damaged
// game executable on the disc, a name the rules refuse, and an installation
// killed part-way. (Folders too long are refused by the destination page; the
// engine's own refusal is tested in tests/install.) Each must say what failed and leave
// the prefix as it was, or (the killed one, at the next start) as it was or
// completely installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "e2e_support.h"

namespace {

const char* const DefaultFolder = DefaultDestFolder;

// The small drives of small_drives.sh: O: fills during the copy of the game
// executable, P: during the audio members, R: is read-only.
bool SmallDrive(char letter, uint64_t largest) {
    char root[] = "?:\\";
    root[0] = letter;
    ULARGE_INTEGER free, total, totalFree;
    return GetDiskFreeSpaceExA(root, &free, &total, &totalFree) && total.QuadPart <= largest;
}

#define REQUIRE_SMALL_DRIVE(letter, largest)                                                 \
    if (!SmallDrive(letter, largest))                                                        \
    GTEST_SKIP() << "no small drive " << letter                                              \
                 << ": (small_drives.sh mounts one where mounting a tmpfs is allowed; here " \
                    "it was not)"

std::string Formatted(const char* format, const char* text) {
    char buffer[1024];
    snprintf(buffer, sizeof buffer, format, text);
    return buffer;
}

std::vector<std::string> Difference(const std::vector<std::string>& a,
                                    const std::vector<std::string>& b) {
    std::vector<std::string> result;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(result));
    return result;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += name + "; ";
    return text;
}

// The files under a folder, sub-folders included (as "name\").
std::vector<std::string> FolderContent(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            names.push_back(name + "\\");
            for (const std::string& inner : FolderContent(folder + name + "\\"))
                names.push_back(name + "\\" + inner);
        } else {
            names.push_back(name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

class FailureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CleanUp();
        before = SnapshotOfPrefix();
    }
    void TearDown() override {
        if (run.Running()) KillProcess(run.process.process);
        CloseGroupFolderWindows(run.Id());
        CleanUp();
    }
    void CleanUp() {
        DeleteUninstallEntry(DemoKeyName);
        RemoveTree(DefaultFolder);
        RemoveEmptyParents("C:\\Games");
        RemoveTree(ScratchFolder() + "Damaged Disc");
        RemoveTree(ProgramsFolder() + GroupFolderName);
    }

    // Launcher, Install, the destination typed in, every question about the
    // folder (create it? not enough space?) answered Yes, Ready, Next: the
    // sheet on the progress page, or null.
    HWND StartInstall(const std::string& folder, const char* setupPath = nullptr) {
        if (!run.Start(setupPath)) return nullptr;
        HWND sheet = OpenWizard(run);
        if (!sheet || !GoToDestination(sheet)) return nullptr;
        return InstallFrom(sheet, folder);
    }

    // From the destination page: the folder typed in, the questions answered,
    // on to the progress page. The sheet, or null.
    HWND InstallFrom(HWND sheet, const std::string& folder) {
        if (!SetEditText(sheet, FolderEdit, folder.c_str())) return nullptr;
        if (!ClickButton(sheet, SheetNextButton)) return nullptr;
        uint32_t start = DriverClock();
        while (WindowTitle(sheet) != ReadyTitle) {
            if (DriverClock() - start > WindowWaitMs) return nullptr;
            if (HWND question = FindTopWindow(FolderQuestionTitle, run.Id()))
                AnswerMessageBox(question, IDYES);
            Sleep(50);
        }
        if (!ClickButton(sheet, SheetNextButton) || !WaitTitle(sheet, ProgressTitle))
            return nullptr;
        return sheet;
    }

    // The failure message's text, answered; the page must not have said
    // "Finished". Setup must end after the message, or (choosesAgain) be
    // back on the destination page with the folder typed before, ready for
    // another, and say so.
    std::string FailureMessage(HWND sheet, const char* choosesAgain = nullptr) {
        std::string text = "<no message>";
        uint32_t start = DriverClock();
        while (DriverClock() - start < InstallWaitMs) {
            if (ControlText(sheet, StatusLine) == "Finished") return "<the page said Finished>";
            if (HWND box = FindTopWindow(InstallFailedTitle, run.Id())) {
                text = MessageText(box);
                EXPECT_EQ(ControlText(sheet, TotalLabel), "Not installed");
                AnswerMessageBox(box, IDOK);
                break;
            }
            Sleep(50);
        }
        if (choosesAgain) {
            ExpectContains(text, "Press OK to choose the folder again.");
            EXPECT_EQ(text.find("run Setup again"), std::string::npos) << text;
            EXPECT_TRUE(WaitTitle(sheet, DestinationTitle)) << "not back on the destination page";
            EXPECT_EQ(ControlText(sheet, FolderEdit), choosesAgain);
            EXPECT_TRUE(IsControlEnabled(sheet, SheetCancelButton));
            EXPECT_TRUE(run.Running());
            return text;
        }
        EXPECT_EQ(text.find("Press OK to choose"), std::string::npos) << text;
        DWORD code = 1;
        EXPECT_TRUE(run.WaitEnd(&code)) << "Setup still runs after the failure message";
        return text;
    }

    // Cancel on the destination page, Exit Setup: Setup ends.
    void ExitFromDestination(HWND sheet) {
        ASSERT_TRUE(ClickButton(sheet, SheetCancelButton));
        HWND question = run.Wait(CancelQuestionTitle);
        ASSERT_NE(question, nullptr);
        ASSERT_TRUE(ClickButton(question, ExitSetupButton));
        DWORD code = 1;
        EXPECT_TRUE(run.WaitEnd(&code));
    }

    // The prefix equals the state before the installation.
    void ExpectStateBefore() {
        CloseGroupFolderWindows(run.Id());
        std::vector<std::string> after = SnapshotOfPrefix();
        EXPECT_TRUE(Difference(after, before).empty())
            << "left: " << Joined(Difference(after, before));
        EXPECT_TRUE(Difference(before, after).empty())
            << "removed: " << Joined(Difference(before, after));
        EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
    }

    // The disc copied to the scratch folder (DXSetup aside); change may alter
    // a file's bytes by its relative name. Returns the copy's Setup.exe.
    std::string CopyDisc(void (*change)(const std::string& relative, std::string* bytes)) {
        std::string disc = ScratchFolder() + "Damaged Disc\\";
        EXPECT_TRUE(MakeFolders(disc + "data"));
        for (const std::string& name : ListDiscFiles()) {
            std::string relative = name.substr(2);
            if (relative.rfind("DXSetup", 0) == 0) continue;
            std::string bytes;
            EXPECT_TRUE(ReadFileBytes(DiscFolder() + relative, &bytes)) << relative;
            if (change) change(relative, &bytes);
            EXPECT_TRUE(WriteFileBytes(disc + relative, bytes)) << relative;
        }
        std::string setup;
        EXPECT_TRUE(ReadFileBytes(DiscFolder() + "Setup.exe", &setup));
        EXPECT_TRUE(WriteFileBytes(disc + "Setup.exe", setup));
        return disc + "Setup.exe";
    }

    static void ExpectContains(const std::string& text, const std::string& part) {
        EXPECT_NE(text.find(part), std::string::npos) << "\"" << part << "\" not in: " << text;
    }

    SetupRun run;
    std::vector<std::string> before;
};

TEST_F(FailureTest, DriveFullDuringTheCopyIsUndoneAndSaid) {
    REQUIRE_SMALL_DRIVE('O', 1 << 20);
    // The drive must fill while the game executable is copied, whatever the
    // build's size (the stripped 32-bit one is far smaller): the whole drive
    // is smaller than the game.
    std::string game;
    ASSERT_TRUE(ReadFileBytes(DiscFolder() + GameExeName, &game));
    ASSERT_TRUE(SmallDrive('O', game.size() - 1)) << "O: holds the whole game executable";
    HWND sheet = StartInstall("O:\\Vexlo Demo");
    ASSERT_NE(sheet, nullptr);
    std::string message = FailureMessage(sheet, "O:\\Vexlo Demo");
    ExpectContains(message, std::string(ProductDisplayName) + " could not be installed.");
    ExpectContains(message, GameExeName);
    ExpectContains(message, "The drive is full.");
    ExpectContains(message, "Everything Setup had written has been removed again.");
    ExitFromDestination(sheet);
    ExpectStateBefore();
    EXPECT_TRUE(FolderContent("O:\\").empty()) << Joined(FolderContent("O:\\"));
}

TEST_F(FailureTest, DriveFullDuringTheAudioMembersIsUndoneAndSaid) {
    REQUIRE_SMALL_DRIVE('P', 2 << 20);
    HWND sheet = StartInstall("P:\\Vexlo Demo");
    ASSERT_NE(sheet, nullptr);
    std::string message = FailureMessage(sheet, "P:\\Vexlo Demo");
    ExpectContains(message, ".wav");
    ExpectContains(message, "The drive is full.");
    ExpectContains(message, "Everything Setup had written has been removed again.");
    ExitFromDestination(sheet);
    ExpectStateBefore();
    EXPECT_TRUE(FolderContent("P:\\").empty()) << Joined(FolderContent("P:\\"));
}

TEST_F(FailureTest, ReadOnlyFolderIsSaidAndNothingStays) {
    REQUIRE_SMALL_DRIVE('R', 1 << 20);
    std::vector<std::string> drive = FolderContent("R:\\");
    HWND sheet = StartInstall("R:\\Vexlo Demo");
    ASSERT_NE(sheet, nullptr);
    std::string message = FailureMessage(sheet, "R:\\Vexlo Demo");
    ExpectContains(message, "Setup may not write there. Choose another folder.");
    ExitFromDestination(sheet);
    ExpectStateBefore();
    EXPECT_EQ(FolderContent("R:\\"), drive);
}

// The second chance: a full drive, then another folder, in the same run of
// Setup: one complete installation there, nothing on the full drive.
TEST_F(FailureTest, AfterAFullDriveAnotherFolderInstallsInTheSameRun) {
    REQUIRE_SMALL_DRIVE('P', 2 << 20);
    HWND sheet = StartInstall("P:\\Vexlo Demo");
    ASSERT_NE(sheet, nullptr);
    std::string message = FailureMessage(sheet, "P:\\Vexlo Demo");
    ExpectContains(message, "The drive is full.");
    ASSERT_EQ(WindowTitle(sheet), DestinationTitle);
    ASSERT_NE(InstallFrom(sheet, DefaultFolder), nullptr);
    uint32_t start = DriverClock();
    while (ControlText(sheet, StatusLine) != "Finished") {
        ASSERT_FALSE(FindTopWindow(InstallFailedTitle, run.Id())) << "the second try failed";
        ASSERT_LT(DriverClock() - start, InstallWaitMs) << ControlText(sheet, StatusLine);
        Sleep(50);
    }
    EXPECT_EQ(ControlText(sheet, TotalLabel), "Finished");
    ASSERT_NE(WaitControl(sheet, SheetFinishButton, WindowWaitMs), nullptr);
    uint32_t waited = DriverClock();
    while (!IsControlEnabled(sheet, SheetFinishButton) && DriverClock() - waited < ShortWaitMs)
        Sleep(30);
    ASSERT_TRUE(ClickButton(sheet, SheetFinishButton));
    DWORD code = 1;
    ASSERT_TRUE(run.WaitEnd(&code));
    // The shell's window on the new group opens a moment later.
    WaitTopWindow(GroupWindowTitle(), 0, WindowWaitMs);
    CloseGroupFolderWindows(run.Id());

    EXPECT_TRUE(FolderContent("P:\\").empty()) << Joined(FolderContent("P:\\"));
    std::string folder = DefaultFolder;
    EXPECT_TRUE(FileExists(folder + GameExeName));
    EXPECT_FALSE(FileExists(folder + GameExeName + ".new"));
    EXPECT_FALSE(FileExists(folder + "Remove.txt"));
    std::string value;
    EXPECT_TRUE(ReadUninstallValue(DemoKeyName, "GameDest", &value));
    EXPECT_EQ(value, folder + GameExeName);
    EXPECT_TRUE(
        FileExists(ProgramsFolder() + GroupFolderName + "\\" + RemoveShortcutTitle + ".lnk"));
}

// Folders no installation can use are refused on the destination page
// with the reason, before anything is written; the page stays.
TEST_F(FailureTest, ARootTheWindowsFolderAndAFileAreRefusedOnTheDestinationPage) {
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    std::string file = ScratchFolder() + "Damaged Disc";
    ASSERT_TRUE(WriteFileBytes(file, "a file, not a folder"));
    ASSERT_TRUE(run.Start());
    HWND sheet = OpenWizard(run);
    ASSERT_NE(GoToDestination(sheet), nullptr);
    struct Case {
        std::string typed;
        std::string text;
    };
    const Case cases[] = {
        {"C:\\", Formatted(DriveRootText, "C:\\")},
        {"E:\\", Formatted(DriveRootText, "E:\\")},
        {std::string(windows) + "\\Vexlo Demo",
         Formatted(SystemFolderText, (std::string(windows) + "\\Vexlo Demo\\").c_str())},
        {file, Formatted(FileInTheWayText, file.c_str())},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetEditText(sheet, FolderEdit, c.typed.c_str()));
        ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
        HWND box = run.WaitBox(FolderRefusedTitle);
        ASSERT_NE(box, nullptr) << c.typed << ": no refusal";
        EXPECT_EQ(MessageText(box), c.text);
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        EXPECT_TRUE(StaysAway(run, FolderQuestionTitle, 500)) << c.typed;
        EXPECT_EQ(WindowTitle(sheet), DestinationTitle) << c.typed;
    }
    EXPECT_FALSE(FolderExists(std::string(windows) + "\\Vexlo Demo"));
    ExitFromDestination(sheet);
    DeleteFileA(file.c_str());
    ExpectStateBefore();
}

// A game an earlier Setup installed at the root of a drive: its removal
// takes the files its list names there, keeps everything else on the drive
// (a listed file in a folder below the root included) and the root itself.
TEST_F(FailureTest, AGameAtADriveRootIsRemovedAndTheDrivesOtherFilesStay) {
    REQUIRE_SMALL_DRIVE('P', 2 << 20);
    ASSERT_TRUE(MakeFolders("P:\\Saves"));
    ASSERT_TRUE(WriteFileBytes(std::string("P:\\") + GameExeName, "game"));
    ASSERT_TRUE(WriteFileBytes("P:\\ReadMe.txt", "read me"));
    ASSERT_TRUE(WriteFileBytes("P:\\Saves\\mine.sav", "the user's"));
    ASSERT_TRUE(WriteFileBytes("P:\\Letter.doc", "not the game's"));
    ASSERT_TRUE(WriteFileBytes(
        "P:\\Remove.txt",
        std::string("P:\\ReadMe.txt\r\nP:\\Saves\\mine.sav\r\nP:\\") + GameExeName + "\r\n"));
    std::string game = std::string("P:\\") + GameExeName;
    std::string command = "\"" + game + "\" /REMOVE";
    ASSERT_TRUE(WriteUninstallEntry(DemoKeyName, game.c_str(), command.c_str()));

    StartedProcess uninstaller;
    std::string program = TestProgramFolder() + "UninstDemo.exe";
    ASSERT_TRUE(
        StartProgram(program.c_str(), nullptr, ScratchFolder().c_str(), nullptr, &uninstaller));
    HWND question = WaitMessageBox(UninstallConfirmTitle, uninstaller.processId, WindowWaitMs);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(AnswerMessageBox(question, IDYES));
    HWND done = WaitMessageBox("Uninstall Complete", uninstaller.processId, WindowWaitMs);
    ASSERT_NE(done, nullptr) << "no removal at the root";
    EXPECT_EQ(MessageText(done), RemovedText);
    ASSERT_TRUE(AnswerMessageBox(done, IDOK));
    EXPECT_TRUE(WaitProcessEnd(uninstaller.process, ExitWaitMs, nullptr));
    CloseStartedProcess(&uninstaller);

    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
    EXPECT_EQ(FolderContent("P:\\"),
              (std::vector<std::string>{"Letter.doc", "Saves\\", "Saves\\mine.sav"}));
    RemoveTree("P:\\Saves");
    DeleteFileA("P:\\Letter.doc");
}

// The disc copied with its game executable cut short: the archive at its end
// is gone. Refused before anything is written.
TEST_F(FailureTest, DamagedGameOnTheDiscIsSaidBeforeAnythingIsWritten) {
    std::string setup = CopyDisc([](const std::string& relative, std::string* bytes) {
        if (relative == GameExeName) bytes->resize(bytes->size() - 100);
    });
    HWND sheet = StartInstall(DefaultFolder, setup.c_str());
    ASSERT_NE(sheet, nullptr);
    std::string message = FailureMessage(sheet);
    ExpectContains(message, std::string(GameExeName) + " on the CD-ROM cannot be read.");
    ExpectContains(message, "Clean the disc");
    ExpectContains(message, "Nothing has been changed on your computer.");
    // The folder the wizard made for the installation went again.
    ExpectStateBefore();
}

// A disc file whose name breaks the name rules ends Setup with its message
// (as soon as the tree is listed: on the destination page, or at the latest
// before the installation writes anything).
TEST_F(FailureTest, ANameTheRulesRefuseEndsSetupBeforeAnythingIsWritten) {
    std::string setup = CopyDisc(nullptr);
    ASSERT_TRUE(WriteFileBytes(ScratchFolder() + "Damaged Disc\\MY~FILE.TXT", "tilde"));
    ASSERT_TRUE(run.Start(setup.c_str()));
    HWND sheet = OpenWizard(run);
    ASSERT_NE(GoToDestination(sheet), nullptr);
    ASSERT_TRUE(SetEditText(sheet, FolderEdit, DefaultFolder));
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    HWND box = nullptr;
    uint32_t start = DriverClock();
    while (!(box = FindTopWindow("Illeagal file name", run.Id()))) {
        ASSERT_LT(DriverClock() - start, InstallWaitMs) << "no name-rule message";
        if (HWND question = FindTopWindow(FolderQuestionTitle, run.Id()))
            AnswerMessageBox(question, IDYES);
        if (WindowTitle(sheet) == ReadyTitle) ClickButton(sheet, SheetNextButton);
        Sleep(50);
    }
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
    EXPECT_FALSE(FileExists(std::string(DefaultFolder) + "Remove.txt"));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    DWORD code = 0;
    ASSERT_TRUE(run.WaitEnd(&code));
    EXPECT_EQ(code, DWORD(-1));
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
    EXPECT_TRUE(FolderContent(DefaultFolder).empty()) << Joined(FolderContent(DefaultFolder));
}

// Killed while the audio members are written: the next start of Setup puts
// the prefix back as it was, and the entry goes.
TEST_F(FailureTest, KilledDuringTheMembersIsUndoneAtTheNextStart) {
    HWND sheet = StartInstall(DefaultFolder);
    ASSERT_NE(sheet, nullptr);
    std::string unfinished = std::string(DefaultFolder) + GameExeName + ".new";
    uint32_t start = DriverClock();
    while (ControlText(sheet, StatusLine).find(".wav") == std::string::npos) {
        ASSERT_LT(DriverClock() - start, InstallWaitMs) << ControlText(sheet, StatusLine);
        Sleep(5);
    }
    ASSERT_TRUE(KillProcessId(run.Id()));
    WaitProcessIdEnd(run.Id(), ExitWaitMs, nullptr);
    CloseStartedProcess(&run.process);
    // What the kill left: the entry, a game not in place.
    EXPECT_TRUE(UninstallEntryExists(DemoKeyName));
    EXPECT_TRUE(FileExists(unfinished));
    EXPECT_FALSE(FileExists(std::string(DefaultFolder) + GameExeName));

    SetupRun next;
    ASSERT_TRUE(next.Start());
    HWND launcher = next.Wait(LauncherTitle);
    ASSERT_NE(launcher, nullptr);
    ExpectStateBefore();
    ASSERT_TRUE(PressKey(launcher, VK_ESCAPE));
    DWORD code = 1;
    EXPECT_TRUE(next.WaitEnd(&code));
}

}  // namespace
