// Whole installations of the sample disc through the real Setup.exe, checked
// afterwards on the prefix's drive and registry: the copied files, the WAV
// members appended to the installed game, the uninstall list inside it, the
// Uninstall key and the Start Menu shortcuts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include <shlobj.h>
#if defined(__i386__)
#include <cpuid.h>
#endif

#include "e2e_support.h"
#include "required_space.h"

namespace {

const char* const DefaultFolder = DefaultDestFolder;

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    return _strnicmp(text.c_str(), prefix, strlen(prefix)) == 0;
}

bool EndsWithNoCase(const std::string& text, const char* suffix) {
    size_t length = strlen(suffix);
    return text.size() >= length && _stricmp(text.c_str() + text.size() - length, suffix) == 0;
}

// Bytes of the files directly in folder (which ends in a backslash).
uint64_t FolderBytes(const std::string& folder) {
    uint64_t total = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            total += (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return total;
}

// A disc name without its "./".
std::string Relative(const std::string& name) {
    return name.substr(2);
}

std::string ShortcutTitle(const std::string& relative) {
    size_t dot = relative.find_last_of('.');
    std::string title = dot == std::string::npos ? relative : relative.substr(0, dot);
    return _stricmp(relative.c_str(), GameExeName) == 0 ? GameShortcutTitle : title;
}

// The uninstall list the installation must leave: the copied files in the
// walk's order, then (with a group) one shortcut per file and the removal one.
std::string ExpectedList(const std::string& folder, const std::string& group) {
    std::vector<std::string> names = ListDiscFiles();
    std::string list;
    for (const std::string& name : names) {
        std::string relative = Relative(name);
        if (StartsWithNoCase(relative, "Setup") || EndsWithNoCase(relative, ".mp3")) continue;
        list += folder + relative + "\r\n";
    }
    if (group.empty()) return list;
    for (const std::string& name : names) {
        std::string relative = Relative(name);
        if (StartsWithNoCase(relative, "Setup") || EndsWithNoCase(relative, ".mp3") ||
            EndsWithNoCase(relative, ".cfg"))
            continue;
        list += group + "\\" + ShortcutTitle(relative) + ".lnk\r\n";
    }
    return list + group + "\\" + RemoveShortcutTitle + ".lnk\r\n";
}

std::string ReferenceWav(const std::string& member) {
    std::string path = std::string(VEXLO_E2E_REFERENCE_DIR) + "/" + member;
    std::string bytes;
    if (!ReadFileBytes("Z:" + path, &bytes)) return "<no reference " + path + ">";
    return bytes;
}

// How two WAV files of the same layout differ: the number of 16-bit samples
// after the 44-byte header that differ, and by how much at most.
std::string DescribeWavDifference(const std::string& actual, const std::string& expected) {
    if (actual.size() != expected.size())
        return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size());
    const size_t header = 44;
    if (actual.compare(0, header, expected, 0, header) != 0) return "headers differ";
    size_t differing = 0;
    int largest = 0;
    for (size_t i = header; i + 1 < actual.size(); i += 2) {
        int a = int16_t(uint8_t(actual[i]) | uint8_t(actual[i + 1]) << 8);
        int b = int16_t(uint8_t(expected[i]) | uint8_t(expected[i + 1]) << 8);
        if (a != b) {
            ++differing;
            largest = std::max(largest, std::abs(a - b));
        }
    }
    return std::to_string(differing) + " of " + std::to_string((actual.size() - header) / 2) +
           " samples differ, by at most " + std::to_string(largest);
}

// The reference comes from the host build, which rounds in SSE registers. The
// 32-bit Setup.exe decodes the same way where the processor has SSE2 and the
// system saves its registers; elsewhere it computes in the x87 unit (80-bit
// registers) and may round a sample one step the other way: there, and only
// there, a member may differ by 1 in at most 1 sample of 100, header and
// length equal.
bool WithinX87Rounding(const std::string& actual, const std::string& expected) {
#if defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    bool sse2 = __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & bit_SSE2) &&
                IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
    if (sse2) return false;
    const size_t header = 44;
    if (actual.size() != expected.size() || actual.size() < header ||
        actual.compare(0, header, expected, 0, header) != 0)
        return false;
    size_t differing = 0;
    for (size_t i = header; i + 1 < actual.size(); i += 2) {
        int a = int16_t(uint8_t(actual[i]) | uint8_t(actual[i + 1]) << 8);
        int b = int16_t(uint8_t(expected[i]) | uint8_t(expected[i + 1]) << 8);
        if (std::abs(a - b) > 1) return false;
        differing += a != b;
    }
    return differing * 100 <= (actual.size() - header) / 2;
#else
    (void)actual;
    (void)expected;
    return false;
#endif
}

class InstallTest : public ::testing::Test {
  protected:
    void SetUp() override { CleanUp(); }
    void TearDown() override {
        if (run.Running()) KillProcess(run.process.process);
        CloseGroupFolderWindows(run.Id());
        CleanUp();
    }
    void CleanUp() {
        DeleteUninstallEntry(DemoKeyName);
        SetSetupWindowsVersion(nullptr);
        RemoveTree(DefaultFolder);
        RemoveEmptyParents("C:\\Games");
        RemoveTree(ScratchFolder() + "Custom Demo");
        RemoveTree(Group());
    }
    static std::string Group() { return ProgramsFolder() + GroupFolderName; }

    // Ready page → Next; follows the progress page until "Finished", checking
    // the bars on the way; leaves the page finished.
    void RunProgressPage(HWND sheet) {
        ASSERT_TRUE(WaitTitle(sheet, ReadyTitle));
        ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
        ASSERT_TRUE(WaitTitle(sheet, ProgressTitle));
        int lastTotal = 0;
        uint32_t start = DriverClock();
        for (;;) {
            std::string status = ControlText(sheet, StatusLine);
            int total = ReadProgressPosition(sheet, TotalBar);
            int file = ReadProgressPosition(sheet, FileBar);
            if (total >= 0) {
                EXPECT_GE(total, lastTotal) << status;
                EXPECT_LE(total, 100);
                lastTotal = total;
            }
            if (file >= 0) {
                EXPECT_LE(file, 100);
            }
            // The user cannot cancel an installation.
            EXPECT_FALSE(IsControlEnabled(sheet, SheetCancelButton));
            if (status == "Finished") break;
            ASSERT_LT(DriverClock() - start, InstallWaitMs) << "still: " << status;
            Sleep(20);
        }
        // Enabling Finish is the sequence's last step: the page's final state
        // is all there once it is enabled.
        ASSERT_NE(WaitControl(sheet, SheetFinishButton, WindowWaitMs), nullptr);
        uint32_t waited = DriverClock();
        while (!IsControlEnabled(sheet, SheetFinishButton) && DriverClock() - waited < ShortWaitMs)
            Sleep(30);
        EXPECT_TRUE(IsControlEnabled(sheet, SheetFinishButton));
        EXPECT_EQ(ControlText(sheet, StatusLine), "Finished");
        EXPECT_EQ(ControlText(sheet, TotalLabel), "Finished");
        EXPECT_EQ(ReadProgressPosition(sheet, TotalBar), 100);
        EXPECT_EQ(ReadProgressPosition(sheet, FileBar), 0);
        EXPECT_FALSE(IsControlVisible(sheet, SheetNextButton) &&
                     IsControlEnabled(sheet, SheetNextButton));
        EXPECT_FALSE(IsControlEnabled(sheet, SheetBackButton));
        EXPECT_FALSE(IsControlEnabled(sheet, SheetCancelButton));
        // Escape does nothing now either.
        ASSERT_TRUE(PressKey(sheet, VK_ESCAPE));
        EXPECT_TRUE(StaysAway(run, CancelQuestionTitle, 1000));
        EXPECT_EQ(WindowTitle(sheet), ProgressTitle);
    }

    // The installed folder holds the disc's top-level files (Setup* aside),
    // byte for byte; the game carries its own members, then one WAV per MP3
    // in the walk's order, then the uninstall list.
    void CheckInstalledFiles(const std::string& folder, const std::string& group) {
        std::vector<std::string> names = ListDiscFiles();
        std::string disc = DiscFolder();
        std::vector<std::string> expectedWavs;
        for (const std::string& name : names) {
            std::string relative = Relative(name);
            std::string installed = folder + relative;
            if (StartsWithNoCase(relative, "Setup")) {
                EXPECT_FALSE(FileExists(installed)) << installed;
            } else if (EndsWithNoCase(relative, ".mp3")) {
                EXPECT_FALSE(FileExists(installed)) << installed;
                expectedWavs.push_back(relative.substr(0, relative.size() - 4) + ".wav");
            } else if (relative.find('/') != std::string::npos) {
                // No sub-folder is made: such a file is listed, not copied.
                EXPECT_FALSE(FileExists(installed)) << installed;
            } else if (relative != GameExeName) {
                std::string original, copy;
                ASSERT_TRUE(ReadFileBytes(disc + relative, &original));
                ASSERT_TRUE(ReadFileBytes(installed, &copy)) << installed;
                EXPECT_TRUE(copy == original) << installed << " differs from the disc";
            }
            // Copied from a disc, where every file is read-only, it must still be
            // an ordinary file that the game may change and the removal delete.
            if (FileExists(installed)) {
                EXPECT_FALSE(GetFileAttributesA(installed.c_str()) & FILE_ATTRIBUTE_READONLY)
                    << installed << " is read-only";
            }
        }
        // The disc's autorun file stays on the disc.
        ASSERT_TRUE(FileExists(disc + "AUTORUN.INF"));
        EXPECT_FALSE(FileExists(folder + "AUTORUN.INF"));
        EXPECT_FALSE(FileExists(folder + "Remove.txt"));
        EXPECT_FALSE(FolderExists(folder + "data"));
        ASSERT_EQ(expectedWavs.size(), 3u);

        std::vector<ArchiveMember> discMembers, members;
        uint32_t discDirectory = 0;
        ASSERT_TRUE(ReadArchiveMembers(disc + GameExeName, &discMembers, &discDirectory));
        ASSERT_TRUE(ReadArchiveMembers(folder + GameExeName, &members));
        ASSERT_EQ(members.size(), discMembers.size() + expectedWavs.size() + 1);
        std::string discGame, installedGame;
        ASSERT_TRUE(ReadFileBytes(disc + GameExeName, &discGame));
        ASSERT_TRUE(ReadFileBytes(folder + GameExeName, &installedGame));
        EXPECT_TRUE(installedGame.compare(0, discDirectory, discGame, 0, discDirectory) == 0)
            << "the program and its own members changed";
        for (size_t i = 0; i < discMembers.size(); ++i) {
            EXPECT_EQ(members[i].name, discMembers[i].name);
            EXPECT_TRUE(members[i].data == discMembers[i].data) << members[i].name;
        }
        for (size_t i = 0; i < expectedWavs.size(); ++i) {
            const ArchiveMember& wav = members[discMembers.size() + i];
            EXPECT_EQ(wav.name, expectedWavs[i]);
            std::string reference = ReferenceWav(wav.name);
            EXPECT_TRUE(wav.data == reference || WithinX87Rounding(wav.data, reference))
                << wav.name
                << " differs from vexlo-mp3wav's: " << DescribeWavDifference(wav.data, reference);
        }
        EXPECT_EQ(members.back().name, "Remove.txt");
        EXPECT_EQ(members.back().data, ExpectedList(folder, group));
    }

    void CheckUninstallKey(const std::string& folder) {
        std::string value;
        EXPECT_TRUE(ReadUninstallValue(DemoKeyName, "UninstallString", &value));
        EXPECT_EQ(value, "\"" + folder + GameExeName + "\" /REMOVE");
        EXPECT_TRUE(ReadUninstallValue(DemoKeyName, "DisplayName", &value));
        EXPECT_EQ(value, ProductDisplayName);
        EXPECT_TRUE(ReadUninstallValue(DemoKeyName, "GameDest", &value));
        EXPECT_EQ(value, folder + GameExeName);
    }

    // Launcher, Install, the wizard with its defaults, the whole installation
    // and Finish.
    void InstallWithDefaults() {
        ASSERT_TRUE(run.Start());
        HWND sheet = OpenWizard(run);
        ASSERT_NE(sheet, nullptr);
        ASSERT_NE(GoToDestination(sheet), nullptr);
        ASSERT_EQ(ControlText(sheet, FolderEdit), DefaultFolder);
        ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
        HWND question = run.WaitBox(FolderQuestionTitle);
        ASSERT_NE(question, nullptr);
        ASSERT_TRUE(AnswerMessageBox(question, IDYES));
        RunProgressPage(sheet);
        ASSERT_TRUE(ClickButton(sheet, SheetFinishButton));
        DWORD code = 1;
        ASSERT_TRUE(run.WaitEnd(&code));
        EXPECT_EQ(code, 0u);
    }

    SetupRun run;
};

// Run from the disc image (VEXLO_E2E_DISC names its drive): the drive is a
// CD-ROM drive whose files are read-only, as on a pressed disc.
TEST(DiscDrive, IsAReadOnlyCdRom) {
    const char* drive = getenv("VEXLO_E2E_DISC");
    if (!drive || !*drive) GTEST_SKIP() << "the disc is a folder, not a drive";
    std::string root = DiscFolder();
    EXPECT_EQ(GetDriveTypeA(root.c_str()), UINT(DRIVE_CDROM)) << root;
    std::string setup = root + "Setup.exe";
    DWORD attributes = GetFileAttributesA(setup.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << setup;
    // What a program sees of a disc's file. (Whether it opens for writing
    // depends on the user Wine runs as: root may.)
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY) << setup;
}

TEST_F(InstallTest, DefaultInstallation) {
    InstallWithDefaults();
    CheckInstalledFiles(DefaultFolder, Group());
    CheckUninstallKey(DefaultFolder);

    // "Space Required" is what the installation took, but for the archive's
    // member records and the uninstall list, which it does not count.
    uint64_t installed = FolderBytes(DefaultFolder);
    EXPECT_GE(installed, RequiredSpace);
    EXPECT_LT(installed - RequiredSpace, 4096u) << installed << " bytes installed";

    struct {
        std::string link;
        const char* target;
        const char* arguments;
    } shortcuts[] = {{std::string(GameShortcutTitle) + ".lnk", GameExeName, ""},
                     {"ReadMe.lnk", "ReadMe.txt", ""},
                     {std::string(RemoveShortcutTitle) + ".lnk", GameExeName, "/REMOVE"}};
    for (const auto& expected : shortcuts) {
        ShortcutInfo info;
        std::string path = Group() + "\\" + expected.link;
        ASSERT_TRUE(ReadShortcut(path, &info)) << path;
        EXPECT_EQ(info.target, std::string(DefaultFolder) + expected.target) << path;
        EXPECT_EQ(info.arguments, expected.arguments) << path;
        EXPECT_EQ(info.workingFolder, DefaultFolder) << path;
    }
    // Audio, configuration and setup files get none.
    EXPECT_FALSE(FileExists(Group() + "\\Vexlo.lnk"));
    EXPECT_FALSE(FileExists(Group() + "\\Setup.lnk"));
}

TEST_F(InstallTest, TypedFolderWithoutGroupAfterDirectXAskedForARestart) {
    SetSetupWindowsVersion("nt351");
    std::string typed = ScratchFolder() + "Custom Demo";
    ASSERT_TRUE(run.Start(nullptr, {"VEXLO_DSETUP_RESULT=1"}));
    ASSERT_EQ(AcceptDirectXOffer(run), "Microsoft Direct X 5.0 successfully installed.");
    HWND sheet = run.Wait(WelcomeTitle);
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(WaitControl(sheet, SheetNextButton, WindowWaitMs));
    ASSERT_NE(GoToDestination(sheet), nullptr);

    // Typed without the trailing backslash; no Start Menu group.
    ASSERT_TRUE(SetEditText(sheet, FolderEdit, typed.c_str()));
    ASSERT_TRUE(CheckButton(sheet, GroupNoneRadio));
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    HWND question = run.WaitBox(FolderQuestionTitle);
    ASSERT_NE(question, nullptr);
    EXPECT_NE(MessageText(question).find("\"" + typed + "\\\""), std::string::npos);
    ASSERT_TRUE(AnswerMessageBox(question, IDYES));
    RunProgressPage(sheet);
    ASSERT_TRUE(ClickButton(sheet, SheetFinishButton));

    // The DirectX setup's restart request is asked after the wizard.
    HWND prompt = run.Wait(RestartTitle);
    ASSERT_NE(prompt, nullptr);
    ASSERT_TRUE(ClickButton(prompt, IDCANCEL));
    DWORD code = 1;
    ASSERT_TRUE(run.WaitEnd(&code));
    EXPECT_EQ(code, 0u);

    CheckInstalledFiles(typed + "\\", "");
    CheckUninstallKey(typed + "\\");
    EXPECT_FALSE(FolderExists(Group()));
}

TEST_F(InstallTest, RemovalThroughTheUninstallEntryLeavesNothingBehind) {
    std::vector<std::string> before = SnapshotOfPrefix();
    InstallWithDefaults();
    CloseGroupFolderWindows(run.Id());
    ASSERT_TRUE(FileExists(std::string(DefaultFolder) + GameExeName));
    // The game's high scores go too.
    FILE* scores = fopen((std::string(DefaultFolder) + "HighScores.data").c_str(), "wb");
    ASSERT_NE(scores, nullptr);
    fclose(scores);

    // As the system's list of programs does: run the registered command.
    std::string command;
    ASSERT_TRUE(ReadUninstallValue(DemoKeyName, "UninstallString", &command));
    ASSERT_EQ(command.rfind("\"", 0), 0u);
    size_t quote = command.find('"', 1);
    ASSERT_NE(quote, std::string::npos);
    std::string program = command.substr(1, quote - 1);
    std::string arguments = command.substr(quote + 1);
    while (!arguments.empty() && arguments[0] == ' ')
        arguments.erase(0, 1);
    StartedProcess game;
    ASSERT_TRUE(
        StartProgram(program.c_str(), arguments.c_str(), ScratchFolder().c_str(), nullptr, &game));
    WaitProcessEnd(game.process, ExitWaitMs, nullptr);
    CloseStartedProcess(&game);

    HWND question = WaitMessageBox(UninstallConfirmTitle, 0, WindowWaitMs);
    ASSERT_NE(question, nullptr);
    DWORD uninstaller = WindowProcessId(question);
    EXPECT_EQ(MessageText(question), ConfirmText);
    ASSERT_TRUE(AnswerMessageBox(question, IDYES));
    HWND done = WaitMessageBox("Uninstall Complete", uninstaller, WindowWaitMs);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(MessageText(done), RemovedText);
    ASSERT_TRUE(AnswerMessageBox(done, IDOK));
    if (!WaitProcessIdEnd(uninstaller, ExitWaitMs, nullptr)) KillProcessId(uninstaller);

    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
    EXPECT_FALSE(FolderExists("C:\\Games"));
    EXPECT_FALSE(FolderExists(Group()));
    std::vector<std::string> after = SnapshotOfPrefix();
    std::vector<std::string> added, removed;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                        std::back_inserter(removed));
    EXPECT_TRUE(added.empty()) << "left behind: " << added.front();
    EXPECT_TRUE(removed.empty()) << "removed: " << removed.front();
}

}  // namespace
