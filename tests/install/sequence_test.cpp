// The whole install sequence on a small disc tree: files copied, audio
// converted into members of the game executable, shortcuts, the uninstall
// list moved into the game, the registry entry and the page's final state.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "page_host.h"
#include "setup/install/install_outcome.h"
#include "setup/install/install_recovery.h"
#include "setup/install/install_sequence.h"
#include "setup/install/registry.h"
#include "setup/media/file_stream.h"
#include "setup/media/source_walk.h"
#include "setup/mpeg/conversion.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"
#include "test_files.h"

namespace {

using Lines = std::vector<std::string>;

const char GameBody[] = "MZ stand-in game executable";

std::string FixturePath(const char* name) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path = self;
    return path.substr(0, path.find_last_of("\\/") + 1) + "install-fixtures\\" + name;
}

bool EndsWithNoCase(const std::string& text, const char* suffix) {
    size_t length = strlen(suffix);
    return text.size() >= length && lstrcmpiA(text.c_str() + text.size() - length, suffix) == 0;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    size_t length = strlen(prefix);
    return text.size() >= length &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(), static_cast<int>(length),
                          prefix, static_cast<int>(length)) == CSTR_EQUAL;
}

// The names in a folder, "." and ".." aside.
Lines ListFolder(const std::string& folder) {
    Lines names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string Relative(std::string name) {
    if (StartsWithNoCase(name, "data/")) name = name.substr(5);
    if (StartsWithNoCase(name, "./")) name = name.substr(2);
    return name;
}

// The walk's own order of the tree, as the install sees it.
Lines ListTree() {
    OpenSource(".", false);
    uint32_t count = CountSourceFiles("*.*", 1, 0);
    std::vector<char> names(static_cast<size_t>(count) * 512 + 1);
    uint32_t listed = ListSourceFiles("*.*", names.data(), nullptr, 512, count, 0, 1, 0, 0);
    CloseSource();
    Lines result;
    for (uint32_t i = 0; i < listed; ++i)
        result.push_back(names.data() + i * 512);
    return result;
}

// The entry's record of the outermost folder the installation created; ""
// when it has none.
std::string CreatedFolderValue() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    char value[MAX_PATH] = "";
    DWORD size = sizeof value - 1;
    if (RegQueryValueExA(key, "CreatedFolder", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                         &size) != ERROR_SUCCESS)
        value[0] = '\0';
    RegCloseKey(key);
    return value;
}

struct ShortcutInfo {
    bool loaded = false;
    std::string path, arguments, workingFolder;
};

ShortcutInfo ReadShortcut(const std::string& file) {
    ShortcutInfo info;
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* persist = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
            WCHAR wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
            if (SUCCEEDED(persist->Load(wide, STGM_READ))) {
                char text[MAX_PATH * 2] = "";
                info.loaded = true;
                link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
                info.path = text;
                text[0] = '\0';
                link->GetArguments(text, sizeof text);
                info.arguments = text;
                text[0] = '\0';
                link->GetWorkingDirectory(text, sizeof text);
                info.workingFolder = text;
            }
            persist->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return info;
}

// Closes the folder window that the shortcut step opens on the desktop; it
// appears a little after the install, from another process.
void CloseFolderWindow(const char* title) {
    for (int attempt = 0; attempt < 250; ++attempt) {
        if (HWND window = FindWindowA("ExplorerWClass", title)) {
            PostMessageA(window, WM_CLOSE, 0, 0);
            for (int wait = 0; wait < 250 && IsWindow(window); ++wait)
                Sleep(20);
            return;
        }
        Sleep(20);
    }
}

class InstallSequence : public testing::Test {
  protected:
    void SetUp() override {
        destFolder = output / "Vexlo Demo\\";
        CreateDirectoryA(destFolder.c_str(), nullptr);
        groupFolder = output / "Programs\\Vexlo Demo";
        CreateDirectoryA((output / "Programs").c_str(), nullptr);
        snprintf(setupState.destFolder, sizeof setupState.destFolder, "%s", destFolder.c_str());
        snprintf(setupState.groupFolder, sizeof setupState.groupFolder, "%s", groupFolder.c_str());
        // As the wizard leaves it when it created the folder.
        snprintf(setupState.destCreatedFrom, sizeof setupState.destCreatedFrom, "%s",
                 destFolder.c_str());
        setupState.makeGroup = 1;
        setupState.totalWeight = setupState.doneWeight = setupState.fileWeight = 0;
        DeleteUninstallKey();
    }
    void TearDown() override {
        DeleteUninstallKey();
        if (setupState.makeGroup) CloseFolderWindow("Vexlo Demo");
    }

    void WriteGame(bool withArchive) {
        if (withArchive)
            WriteEmptyArchive(disc / GameExeName, GameBody);
        else
            WriteFileBytes(disc / GameExeName, GameBody);
    }

    void RunInstall() {
        CurrentFolder current(disc.Path());
        RunInstallSequence();
        tree = ListTree();
    }
    // What the user would be told; "" when the installation succeeded.
    static std::string Failure() {
        if (!InstallFailed()) return "";
        char text[1024];
        FormatInstallFailure(text, sizeof text);
        return text;
    }

    // The lines the copy phase writes, in listing order.
    Lines CopyLines() const {
        Lines lines;
        for (const std::string& name : tree) {
            std::string relative = Relative(name);
            if (StartsWithNoCase(relative, "Setup") || EndsWithNoCase(relative, ".mp3")) continue;
            lines.push_back(destFolder + relative);
        }
        return lines;
    }

    Lines ShortcutLines() const {
        Lines lines;
        for (const std::string& name : tree) {
            std::string relative = Relative(name);
            if (StartsWithNoCase(relative, "Setup") || EndsWithNoCase(relative, ".mp3") ||
                EndsWithNoCase(relative, ".cfg"))
                continue;
            std::string title = relative.substr(0, relative.find_last_of('.'));
            if (lstrcmpiA(relative.c_str(), GameExeName) == 0) title = GameShortcutTitle;
            lines.push_back(groupFolder + "\\" + title + ".lnk");
        }
        lines.push_back(groupFolder + "\\" + RemoveShortcutTitle + ".lnk");
        return lines;
    }

    ScratchFolder disc;
    ScratchFolder output;
    std::string destFolder;
    std::string groupFolder;
    Lines tree;
};

TEST_F(InstallSequence, InstallsTheDiscIntoFolderGameAndStartMenu) {
    WriteGame(true);
    WriteFileBytes(disc / "ReadMe.txt", "Read me.\r\n");
    WriteFileBytes(disc / "Vexlo.cfg", "volume=7\n");
    WriteFileOfSize(disc / "LICENSE", 0);
    WriteFileOfSize(disc / "Setup.exe", 300);
    WriteFileOfSize(disc / "SETUP/x.dll", 300);
    WriteFileOfSize(disc / "docs/a.txt", 40);
    WriteFileBytes(disc / "data/music1.mp3", ReadFileBytes(FixturePath("stereo44.mp3")));
    WriteFileBytes(disc / "data/Theme.MP3", ReadFileBytes(FixturePath("mono22.mp3")));
    WriteFileBytes(disc / "data/Setup.dat", "not the setup's");
    PageHost page;
    RunInstall();
    ASSERT_EQ(Failure(), "");

    // Plain files: copied byte for byte, except what begins with "Setup" and
    // what lies in a folder the destination does not have.
    EXPECT_EQ(ReadFileBytes(output / "Vexlo Demo\\ReadMe.txt"), "Read me.\r\n");
    EXPECT_EQ(ReadFileBytes(output / "Vexlo Demo\\Vexlo.cfg"), "volume=7\n");
    bool exists = false;
    EXPECT_EQ(ReadFileBytes(output / "Vexlo Demo\\LICENSE", &exists), "");
    EXPECT_TRUE(exists);
    EXPECT_FALSE(PathExists(output / "Vexlo Demo\\Setup.exe"));
    EXPECT_FALSE(PathExists(output / "Vexlo Demo\\SETUP"));
    EXPECT_FALSE(PathExists(output / "Vexlo Demo\\docs"));
    EXPECT_FALSE(PathExists(output / "Vexlo Demo\\data"));
    EXPECT_FALSE(PathExists(output / "Vexlo Demo\\music1.mp3"));
    EXPECT_FALSE(PathExists(output / "Vexlo Demo\\Remove.txt"));

    // The game: its own bytes, then the .wav members and the list, last.
    std::vector<ArchiveMember> members;
    std::string game = destFolder + GameExeName;
    ASSERT_TRUE(ReadArchiveMembers(game, &members));
    EXPECT_EQ(ReadFileBytes(game).compare(0, sizeof GameBody - 1, GameBody), 0);
    ASSERT_EQ(members.size(), 3u);
    EXPECT_EQ(members.back().name, "Remove.txt");
    std::vector<std::string> waveNames = {members[0].name, members[1].name};
    std::sort(waveNames.begin(), waveNames.end());
    EXPECT_EQ(waveNames, (Lines{"data/Theme.wav", "data/music1.wav"}));
    for (size_t i = 0; i < 2; ++i) {
        // Each member holds what the conversion makes of its .mp3 as a file.
        const std::string& wave = members[i].data;
        EXPECT_EQ(wave.compare(0, 4, "RIFF"), 0) << members[i].name;
        std::string source = members[i].name == "data/Theme.wav" ? "mono22.mp3" : "stereo44.mp3";
        std::string plain = output / "plain.wav";
        ConversionJob job;
        job.reader = new FrameReader(FixturePath(source.c_str()).c_str());
        job.header = new FrameHeader;
        ASSERT_TRUE(job.header->ReadHeader(*job.reader));
        snprintf(job.outputPath, sizeof job.outputPath, "%s", plain.c_str());
        ConvertToWav(job, nullptr);
        EXPECT_EQ(wave, ReadFileBytes(plain)) << members[i].name;
    }

    // The list: copied files in listing order, the shortcuts, the removal
    // shortcut last; CRLF line ends.
    bool crlfOnly = false;
    Lines lines = SplitCrlfLines(members.back().data, &crlfOnly);
    EXPECT_TRUE(crlfOnly);
    Lines expected = CopyLines();
    Lines shortcuts = ShortcutLines();
    expected.insert(expected.end(), shortcuts.begin(), shortcuts.end());
    EXPECT_EQ(lines, expected);
    EXPECT_NE(std::find(lines.begin(), lines.end(), destFolder + "docs/a.txt"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), destFolder + "data/Setup.dat"), lines.end());

    // Shortcuts, read back through the shell's link object.
    ShortcutInfo game_ = ReadShortcut(groupFolder + "\\" + GameShortcutTitle + ".lnk");
    ASSERT_TRUE(game_.loaded);
    EXPECT_EQ(game_.path, destFolder + GameExeName);
    EXPECT_EQ(game_.arguments, "");
    EXPECT_EQ(game_.workingFolder, destFolder);
    ShortcutInfo readMe = ReadShortcut(groupFolder + "\\ReadMe.lnk");
    ASSERT_TRUE(readMe.loaded);
    EXPECT_EQ(readMe.path, destFolder + "ReadMe.txt");
    EXPECT_EQ(readMe.workingFolder, destFolder);
    EXPECT_TRUE(ReadShortcut(groupFolder + "\\LICENSE.lnk").loaded);
    ShortcutInfo remove = ReadShortcut(groupFolder + "\\" + RemoveShortcutTitle + ".lnk");
    ASSERT_TRUE(remove.loaded);
    EXPECT_EQ(remove.path, destFolder + GameExeName);
    EXPECT_EQ(remove.arguments, "/REMOVE");
    EXPECT_EQ(remove.workingFolder, destFolder);
    // The title "docs/a" names a folder the group does not have: not saved.
    EXPECT_FALSE(PathExists(groupFolder + "\\docs"));
    EXPECT_FALSE(PathExists(groupFolder + "\\Vexlo.lnk"));
    EXPECT_FALSE(PathExists(groupFolder + "\\music1.lnk"));

    // Registry entry and the page's final state.
    char gameDest[260], uninstallString[260];
    ASSERT_TRUE(ReadUninstallKey(gameDest, uninstallString));
    EXPECT_EQ(std::string(gameDest), destFolder + GameExeName);
    EXPECT_EQ(std::string(uninstallString), "\"" + destFolder + GameExeName + "\" /REMOVE");
    // The wizard made the folder: the removal may take it away.
    EXPECT_EQ(CreatedFolderValue(), destFolder);
    EXPECT_EQ(page.Text(IDC_STATUS_LINE), "Finished");
    EXPECT_EQ(page.Text(IDC_TOTAL_LABEL), "Finished");
    EXPECT_EQ(page.BarPosition(IDC_TOTAL_BAR), 100);
    EXPECT_EQ(page.BarPosition(IDC_FILE_BAR), 0);
}

// A game executable that could take no members is a damaged disc: said so
// before anything is written.
TEST_F(InstallSequence, GameWithoutArchiveIsRefusedBeforeAnythingIsWritten) {
    setupState.makeGroup = 0;
    WriteGame(false);
    WriteFileBytes(disc / "ReadMe.txt", "text");
    WriteFileBytes(disc / "data/music1.mp3", ReadFileBytes(FixturePath("stereo44.mp3")));
    PageHost page;
    RunInstall();

    EXPECT_TRUE(installOutcome.discGameDamaged);
    EXPECT_NE(Failure().find(std::string(GameExeName) + " on the CD-ROM cannot be read"),
              std::string::npos)
        << Failure();
    EXPECT_NE(Failure().find("Nothing has been changed"), std::string::npos);
    EXPECT_TRUE(ListFolder(destFolder).empty());
    EXPECT_FALSE(PathExists(groupFolder));
    char gameDest[260], uninstallString[260];
    EXPECT_FALSE(ReadUninstallKey(gameDest, uninstallString));
    EXPECT_EQ(page.Text(IDC_STATUS_LINE), InstallFailedStatus);
    EXPECT_EQ(page.Text(IDC_TOTAL_LABEL), "Not installed");
}

TEST_F(InstallSequence, WithoutStartMenuGroupNoShortcutsAreMade) {
    setupState.makeGroup = 0;
    WriteGame(true);
    WriteFileBytes(disc / "ReadMe.txt", "text");
    PageHost page;
    RunInstall();

    EXPECT_FALSE(PathExists(groupFolder));
    std::vector<ArchiveMember> members;
    ASSERT_TRUE(ReadArchiveMembers(destFolder + GameExeName, &members));
    ASSERT_EQ(members.size(), 1u);
    bool crlfOnly = false;
    EXPECT_EQ(SplitCrlfLines(members[0].data, &crlfOnly), CopyLines());
    EXPECT_EQ(CopyLines().size(), 2u);
    EXPECT_EQ(page.Text(IDC_TOTAL_LABEL), "Finished");
}

TEST_F(InstallSequence, ADiscWithoutTheGameIsADamagedDisc) {
    setupState.makeGroup = 0;
    WriteFileOfSize(disc / "Setup.exe", 100);
    WriteFileOfSize(disc / "setup/a.dll", 100);
    PageHost page;
    RunInstall();

    EXPECT_TRUE(installOutcome.discGameDamaged);
    EXPECT_TRUE(ListFolder(destFolder).empty());
    EXPECT_EQ(setupState.totalWeight, 0u);
    EXPECT_EQ(page.Text(IDC_TOTAL_LABEL), "Not installed");
}

// A destination of 230 characters leaves room for short names only: the
// first path that does not fit fails the installation, which is undone.
TEST_F(InstallSequence, PathsTooLongFailTheInstallationAndAreUndone) {
    std::string deep = output.Path();
    while (deep.size() < 220) {
        deep += "\\deeper";
        CreateDirectoryA(deep.c_str(), nullptr);
    }
    destFolder = deep + "\\" + std::string(228 - deep.size(), 'd') + "\\";
    CreateDirectoryA(destFolder.c_str(), nullptr);
    ASSERT_EQ(destFolder.size(), 230u);
    snprintf(setupState.destFolder, sizeof setupState.destFolder, "%s", destFolder.c_str());
    snprintf(setupState.destCreatedFrom, sizeof setupState.destCreatedFrom, "%s",
             destFolder.c_str());
    setupState.makeGroup = 0;
    WriteGame(true);
    WriteFileBytes(disc / "short.txt", "fits");
    std::string longName = std::string(40, 'n') + ".txt";
    WriteFileBytes(disc / longName, "does not fit");
    PageHost page;
    RunInstall();

    EXPECT_EQ(installOutcome.cause, FailureCause::PathTooLong);
    EXPECT_NE(Failure().find(longName), std::string::npos) << Failure();
    EXPECT_NE(Failure().find("Choose a folder with a shorter name"), std::string::npos);
    EXPECT_NE(Failure().find("Everything Setup had written has been removed again."),
              std::string::npos);
    // Undone: the folder, left empty, went too; no entry stays.
    EXPECT_FALSE(PathExists(destFolder));
    char gameDest[260], uninstallString[260];
    EXPECT_FALSE(ReadUninstallKey(gameDest, uninstallString));
    EXPECT_EQ(page.Text(IDC_TOTAL_LABEL), "Not installed");
}

// An .mp3 whose name sorts before the game executable still becomes a member.
TEST_F(InstallSequence, AudioSortingBeforeTheGameIsNotLost) {
    setupState.makeGroup = 0;
    WriteGame(true);
    WriteFileBytes(disc / "AAA.mp3", ReadFileBytes(FixturePath("mono22.mp3")));
    WriteFileBytes(disc / "ReadMe.txt", "text");
    PageHost page;
    RunInstall();
    ASSERT_EQ(Failure(), "");
    ASSERT_LT(std::find(tree.begin(), tree.end(), "./AAA.mp3") - tree.begin(),
              std::find(tree.begin(), tree.end(), std::string("./") + GameExeName) - tree.begin())
        << "the walk lists the game first: the test proves nothing";

    std::vector<ArchiveMember> members;
    ASSERT_TRUE(ReadArchiveMembers(destFolder + GameExeName, &members));
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0].name, "AAA.wav");
    EXPECT_EQ(members[0].data.compare(0, 4, "RIFF"), 0);
    EXPECT_EQ(members[1].name, "Remove.txt");
    EXPECT_FALSE(PathExists(destFolder + GameExeName + ".new"));
}

// An .mp3 of random bytes gives no sound: a damaged disc file, and the
// installation is undone, the entry of an earlier one put back.
TEST_F(InstallSequence, AnMp3WithoutSoundFailsAndIsUndone) {
    setupState.makeGroup = 0;
    WriteGame(true);
    WriteFileBytes(disc / "ReadMe.txt", "text");
    std::string noise;
    for (int i = 0; i < 4000; ++i)
        noise += char((i * 7919 + 13) >> 3);
    WriteFileBytes(disc / "data/noise.mp3", noise);
    ASSERT_TRUE(WriteUninstallKey("D:\\Old Place\\", GameExeName, GameExeName, RemoveSwitch,
                                  ProductDisplayName));
    PageHost page;
    RunInstall();

    EXPECT_EQ(installOutcome.cause, FailureCause::DamagedSource) << Failure();
    EXPECT_NE(Failure().find("noise"), std::string::npos) << Failure();
    EXPECT_NE(Failure().find("Clean the disc"), std::string::npos) << Failure();
    EXPECT_FALSE(PathExists(destFolder));
    EXPECT_FALSE(PathExists(groupFolder));
    char gameDest[260], uninstallString[260];
    ASSERT_TRUE(ReadUninstallKey(gameDest, uninstallString));
    EXPECT_EQ(std::string(gameDest), std::string("D:\\Old Place\\") + GameExeName);
    EXPECT_EQ(page.Text(IDC_STATUS_LINE), InstallFailedStatus);
}

// An .mp3 of MPEG 2.5 audio is named for what it holds, not taken for a
// damaged disc file; the installation is undone all the same.
TEST_F(InstallSequence, AnMp3OfAudioSetupCannotConvertIsNamed) {
    setupState.makeGroup = 0;
    WriteGame(true);
    // Eight MPEG 2.5 Layer III frames, 32 kbit/s at 8 kHz: 288 bytes each.
    std::string frames;
    for (int i = 0; i < 8; ++i)
        frames += std::string("\xFF\xE3\x48\xC4", 4) + std::string(284, '\0');
    WriteFileBytes(disc / "data/Boss Theme.mp3", frames);
    PageHost page;
    RunInstall();

    EXPECT_EQ(installOutcome.cause, FailureCause::RefusedAudio) << Failure();
    EXPECT_NE(Failure().find("Boss Theme.mp3 is MPEG 2.5 audio (8, 11 or 12 kHz), which Setup "
                             "cannot convert."),
              std::string::npos)
        << Failure();
    EXPECT_EQ(Failure().find("Clean the disc"), std::string::npos) << Failure();
    EXPECT_FALSE(PathExists(destFolder));
}

// A read-only file of the same name in the folder is not ours: refused,
// neither overwritten nor deleted by the undo.
TEST_F(InstallSequence, AReadOnlyFileInTheWayIsLeftAlone) {
    setupState.makeGroup = 0;
    WriteGame(true);
    WriteFileBytes(disc / "ReadMe.txt", "new text");
    WriteFileBytes(destFolder + "ReadMe.txt", "the user's own");
    SetFileAttributesA((destFolder + "ReadMe.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    PageHost page;
    RunInstall();
    SetFileAttributesA((destFolder + "ReadMe.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(installOutcome.cause, FailureCause::AccessDenied) << Failure();
    EXPECT_NE(Failure().find("ReadMe.txt"), std::string::npos) << Failure();
    EXPECT_FALSE(installOutcome.undoIncomplete);
    EXPECT_EQ(ListFolder(destFolder), (Lines{"ReadMe.txt"}));
    EXPECT_EQ(ReadFileBytes(destFolder + "ReadMe.txt"), "the user's own");
    char gameDest[260], uninstallString[260];
    EXPECT_FALSE(ReadUninstallKey(gameDest, uninstallString));
}

// A ';' in the folder makes every path in it a member path: nothing can be
// written there, and the installation is undone.
TEST_F(InstallSequence, ASemicolonInTheFolderFailsAndIsUndone) {
    setupState.makeGroup = 0;
    destFolder = output / "Vexlo;Demo\\";
    CreateDirectoryA(destFolder.c_str(), nullptr);
    snprintf(setupState.destFolder, sizeof setupState.destFolder, "%s", destFolder.c_str());
    snprintf(setupState.destCreatedFrom, sizeof setupState.destCreatedFrom, "%s",
             destFolder.c_str());
    WriteGame(true);
    WriteFileBytes(disc / "ReadMe.txt", "text");
    PageHost page;
    RunInstall();

    EXPECT_TRUE(InstallFailed());
    EXPECT_NE(Failure().find(GameExeName), std::string::npos) << Failure();
    EXPECT_FALSE(installOutcome.undoIncomplete);
    EXPECT_FALSE(PathExists(destFolder));
    char gameDest[260], uninstallString[260];
    EXPECT_FALSE(ReadUninstallKey(gameDest, uninstallString));
}

// What a cut-short installation leaves, as the next start finds it: the
// entry, the plain list, files and shortcuts it names, the game under its
// temporary name.
class CutShortInstall : public InstallSequence {
  protected:
    void SetUp() override {
        InstallSequence::SetUp();
        // The removal rules reach shortcuts only in a group below a real
        // Programs folder.
        groupFolder = ProgramsFolder() + "\\" + UniqueGroupName();
    }
    void TearDown() override {
        RemoveTree(groupFolder);
        InstallSequence::TearDown();
    }
    static std::string ProgramsFolder() {
        char path[MAX_PATH] = "";
        SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAMS, TRUE);
        return path;
    }
    static std::string UniqueGroupName() {
        return "Vexlo Cut " + std::to_string(GetCurrentProcessId());
    }
    // The journal as the installation writes it: the folders it made.
    void WriteJournal(const std::string& more = "") {
        WriteFileBytes(destFolder + "Remove.jnl", "F " +
                                                      destFolder.substr(0, destFolder.size() - 1) +
                                                      "\nF " + groupFolder + "\n" + more);
    }
    void LeaveCutShort(bool gameComplete) {
        setupState.makeGroup = 0;  // no folder window to wait for
        WriteFileBytes(destFolder + "ReadMe.txt", "text");
        CreateDirectoryA(groupFolder.c_str(), nullptr);
        WriteJournal();
        WriteFileBytes(groupFolder + "\\ReadMe.lnk", "link");
        WriteFileBytes(destFolder + "Remove.txt", destFolder + GameExeName + "\n" + destFolder +
                                                      "ReadMe.txt\n" + groupFolder +
                                                      "\\ReadMe.lnk\n");
        WriteEmptyArchive(destFolder + GameExeName + ".new", GameBody);
        if (gameComplete) {
            ASSERT_TRUE(FileStream::CopyNamedFile(
                (destFolder + "Remove.txt").c_str(), StreamAbsolute,
                (destFolder + GameExeName + ".new;Remove.txt").c_str(), StreamAbsolute, nullptr));
        }
        ASSERT_TRUE(WriteUninstallKey(destFolder.c_str(), GameExeName, GameExeName, RemoveSwitch,
                                      ProductDisplayName));
    }
    std::string GameDest() const { return destFolder + GameExeName; }
};

TEST_F(CutShortInstall, BeforeTheListIsInTheGameEverythingIsUndone) {
    LeaveCutShort(false);
    bool undoIncomplete = true;
    EXPECT_FALSE(RecoverUnfinishedInstall(GameDest().c_str(), &undoIncomplete));
    EXPECT_FALSE(undoIncomplete);
    EXPECT_FALSE(PathExists(destFolder));
    EXPECT_FALSE(PathExists(groupFolder));
}

TEST_F(CutShortInstall, AfterTheListIsInTheGameItMovesIntoPlace) {
    LeaveCutShort(true);
    bool undoIncomplete = true;
    EXPECT_TRUE(RecoverUnfinishedInstall(GameDest().c_str(), &undoIncomplete));
    EXPECT_FALSE(undoIncomplete);
    std::vector<ArchiveMember> members;
    ASSERT_TRUE(ReadArchiveMembers(GameDest(), &members));
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].name, "Remove.txt");
    Lines left = ListFolder(destFolder);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Lines{"ReadMe.txt", GameExeName}));
    EXPECT_TRUE(PathExists(groupFolder + "\\ReadMe.lnk"));
}

// A second installation over a complete one, cut short: the earlier game is
// in place and stays; the unfinished copy goes, and the earlier files it set
// aside take their names back.
TEST_F(CutShortInstall, OverAnEarlierGameTheEarlierOneStays) {
    LeaveCutShort(false);
    WriteEmptyArchive(GameDest(), GameBody);
    ASSERT_TRUE(FileStream::CopyNamedFile((destFolder + "Remove.txt").c_str(), StreamAbsolute,
                                          (GameDest() + ";Remove.txt").c_str(), StreamAbsolute,
                                          nullptr));
    WriteFileBytes(destFolder + "ReadMe.txt.vxk", "the earlier text");
    WriteJournal("K " + GameDest() + "\nK " + destFolder + "ReadMe.txt\n");
    bool undoIncomplete = true;
    EXPECT_TRUE(RecoverUnfinishedInstall(GameDest().c_str(), &undoIncomplete));
    EXPECT_FALSE(undoIncomplete);
    Lines left = ListFolder(destFolder);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Lines{"ReadMe.txt", GameExeName}));
    EXPECT_EQ(ReadFileBytes(destFolder + "ReadMe.txt"), "the earlier text");
    EXPECT_FALSE(PathExists(groupFolder));
}

// Killed after the new game moved into place, before the journal was done
// with: the next start keeps the new installation and tidies up.
TEST_F(CutShortInstall, AfterTheMoveTheNewInstallationStays) {
    LeaveCutShort(true);
    ASSERT_TRUE(MoveFileA((GameDest() + ".new").c_str(), GameDest().c_str()));
    WriteFileBytes(GameDest() + ".vxk", "the earlier game");
    WriteFileBytes(destFolder + "ReadMe.txt.vxk", "the earlier text");
    WriteJournal("K " + GameDest() + "\nK " + destFolder + "ReadMe.txt\n");
    bool undoIncomplete = true;
    EXPECT_TRUE(RecoverUnfinishedInstall(GameDest().c_str(), &undoIncomplete));
    EXPECT_FALSE(undoIncomplete);
    Lines left = ListFolder(destFolder);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Lines{"ReadMe.txt", GameExeName}));
    EXPECT_EQ(ReadFileBytes(destFolder + "ReadMe.txt"), "text");
    EXPECT_TRUE(PathExists(groupFolder + "\\ReadMe.lnk"));
}

// A file named for setting aside but killed before the rename is still the
// earlier one: the undo leaves it, though the list names it too.
TEST_F(CutShortInstall, AFileNotYetSetAsideIsTheEarlierOne) {
    LeaveCutShort(false);
    WriteFileBytes(destFolder + "ReadMe.txt", "the earlier text");
    WriteJournal("K " + destFolder + "ReadMe.txt\n");
    bool undoIncomplete = true;
    EXPECT_FALSE(RecoverUnfinishedInstall(GameDest().c_str(), &undoIncomplete));
    EXPECT_FALSE(undoIncomplete);
    EXPECT_EQ(ReadFileBytes(destFolder + "ReadMe.txt"), "the earlier text");
    EXPECT_EQ(ListFolder(destFolder), (Lines{"ReadMe.txt"}));
}

// A folder that was there before the installation stays, empty or not; so
// does the folder above it.
TEST_F(CutShortInstall, FoldersNotMadeByTheInstallationStay) {
    LeaveCutShort(false);
    DeleteFileA((destFolder + "Remove.jnl").c_str());
    bool undoIncomplete = true;
    EXPECT_FALSE(RecoverUnfinishedInstall(GameDest().c_str(), &undoIncomplete));
    EXPECT_FALSE(undoIncomplete);
    EXPECT_TRUE(PathExists(destFolder));
    EXPECT_TRUE(ListFolder(destFolder).empty());
    EXPECT_TRUE(PathExists(groupFolder));
    EXPECT_TRUE(ListFolder(groupFolder + "\\").empty());
    EXPECT_TRUE(PathExists(output.Path()));
}

// A list planted in a game folder whose game is gone names files all over
// the system: the start-up recovery deletes only the one inside the folder.
// Canaries in C:\, C:\windows, the user's Temp, on Z: (the host, in the build
// folder), a file in an empty folder; the journal tries folders outside too.
TEST_F(CutShortInstall, APlantedListDeletesNothingOutsideTheGame) {
    setupState.makeGroup = 0;
    std::string tag = std::to_string(GetCurrentProcessId());
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    char self[MAX_PATH];
    ASSERT_NE(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    std::string selfFolder = self;
    selfFolder = selfFolder.substr(0, selfFolder.find_last_of('\\'));
    std::string emptyFolder = "C:\\vexlo-empty-" + tag;
    ASSERT_TRUE(CreateDirectoryA(emptyFolder.c_str(), nullptr));
    std::string rootCanary = "C:\\vexlo-canary-" + tag + ".txt";
    std::vector<std::string> canaries = {
        rootCanary,
        "C:\\windows\\vexlo-canary-" + tag + ".txt",
        std::string(temp) + "vexlo-canary-" + tag + ".txt",
        emptyFolder + "\\gone.txt",
    };
    if (selfFolder.size() > 2 && (selfFolder[0] == 'Z' || selfFolder[0] == 'z'))
        canaries.push_back(selfFolder + "\\vexlo-canary-" + tag + ".txt");
    for (const std::string& canary : canaries)
        ASSERT_TRUE(WriteFileBytes(canary, "canary")) << canary;
    std::string game = destFolder.substr(0, destFolder.size() - 1);
    std::string noDrive = rootCanary.substr(2);
    std::vector<std::string> lines = {
        "C:/" + rootCanary.substr(3),
        game + "\\..\\..\\..\\..\\..\\..\\..\\..\\" + rootCanary.substr(3),
        "C:..\\..\\..\\..\\..\\..\\" + rootCanary.substr(3),
        "\\\\?\\" + rootCanary,
        "\\\\.\\" + rootCanary,
        noDrive,
        "..\\" + rootCanary.substr(3),
        game + "\\docs/../../../../../../../" + rootCanary.substr(3),
        destFolder + "Inside.txt",
    };
    lines.insert(lines.end(), canaries.begin(), canaries.end());
    std::string list;
    for (const std::string& line : lines)
        list += line + "\r\n";
    WriteFileBytes(destFolder + "Inside.txt", "planted inside");
    WriteFileBytes(destFolder + "Remove.txt", list);
    // The journal cannot reach outside either: neither a folder nor a file
    // set aside.
    WriteFileBytes(
        destFolder + "Remove.jnl",
        "F " + emptyFolder + "\nF C:\\\nF C:\\windows\\temp\n" + "K " + rootCanary + "\n");
    WriteFileBytes(rootCanary + ".vxk", "aside");
    ASSERT_TRUE(WriteUninstallKey(destFolder.c_str(), GameExeName, GameExeName, RemoveSwitch,
                                  ProductDisplayName));

    bool undoIncomplete = true;
    EXPECT_FALSE(RecoverUnfinishedInstall(GameDest().c_str(), &undoIncomplete));
    EXPECT_FALSE(undoIncomplete);
    for (const std::string& canary : canaries) {
        bool exists = false;
        EXPECT_EQ(ReadFileBytes(canary, &exists), "canary") << canary;
        EXPECT_TRUE(exists) << "canary gone: " << canary;
    }
    EXPECT_EQ(ReadFileBytes(rootCanary + ".vxk"), "aside");
    EXPECT_TRUE(PathExists(emptyFolder));
    EXPECT_TRUE(PathExists("C:\\windows\\temp"));
    // The list was acted on where it may be: inside the game's folder.
    EXPECT_FALSE(PathExists(destFolder + "Inside.txt"));
    EXPECT_FALSE(PathExists(destFolder + "Remove.txt"));
    for (const std::string& canary : canaries)
        DeleteFileA(canary.c_str());
    DeleteFileA((rootCanary + ".vxk").c_str());
    RemoveDirectoryA(emptyFolder.c_str());
}

// A failed installation over an earlier one: what it would have written over
// is put back, byte for byte; a file of another program stays; the folder,
// there before, stays.
TEST_F(InstallSequence, AFailedReinstallLeavesTheEarlierOneAsItWas) {
    setupState.makeGroup = 0;
    setupState.destCreatedFrom[0] = '\0';
    WriteGame(true);
    WriteFileBytes(disc / "ReadMe.txt", "new text");
    WriteFileBytes(disc / "Vexlo.cfg", "volume=9\n");
    std::string noise;
    for (int i = 0; i < 4000; ++i)
        noise += char((i * 7919 + 13) >> 3);
    WriteFileBytes(disc / "data/noise.mp3", noise);
    WriteEmptyArchive(destFolder + GameExeName, "MZ the earlier game");
    WriteFileBytes(destFolder + "ReadMe.txt", "the earlier text");
    WriteFileBytes(destFolder + "Vexlo.cfg", "volume=3\n");
    WriteFileBytes(destFolder + "Scores.dat", "another program's");
    std::string earlierGame = ReadFileBytes(destFolder + GameExeName);
    PageHost page;
    RunInstall();

    EXPECT_EQ(installOutcome.cause, FailureCause::DamagedSource) << Failure();
    EXPECT_FALSE(installOutcome.undoIncomplete);
    EXPECT_EQ(Failure().find("has lost files"), std::string::npos) << Failure();
    Lines left = ListFolder(destFolder);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Lines{"ReadMe.txt", "Scores.dat", "Vexlo.cfg", GameExeName}));
    EXPECT_EQ(ReadFileBytes(destFolder + "ReadMe.txt"), "the earlier text");
    EXPECT_EQ(ReadFileBytes(destFolder + "Vexlo.cfg"), "volume=3\n");
    EXPECT_EQ(ReadFileBytes(destFolder + "Scores.dat"), "another program's");
    EXPECT_EQ(ReadFileBytes(destFolder + GameExeName), earlierGame);
}

// The same over an earlier installation, but successful: the new files are
// in, and nothing set aside is left behind.
TEST_F(InstallSequence, AReinstallLeavesNoSetAsideCopies) {
    setupState.makeGroup = 0;
    WriteGame(true);
    WriteFileBytes(disc / "ReadMe.txt", "new text");
    WriteEmptyArchive(destFolder + GameExeName, "MZ the earlier game");
    WriteFileBytes(destFolder + "ReadMe.txt", "the earlier text");
    PageHost page;
    RunInstall();
    ASSERT_EQ(Failure(), "");
    Lines left = ListFolder(destFolder);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Lines{"ReadMe.txt", GameExeName}));
    EXPECT_EQ(ReadFileBytes(destFolder + "ReadMe.txt"), "new text");
    EXPECT_EQ(CreatedFolderValue(), destFolder);

    // Again over the same game, into the folder now there: the first
    // installation's record stays. Into it with another game's entry: none.
    setupState.destCreatedFrom[0] = '\0';
    RunInstall();
    ASSERT_EQ(Failure(), "");
    EXPECT_EQ(CreatedFolderValue(), destFolder);
    ASSERT_TRUE(WriteUninstallKey("D:\\Old Place\\", GameExeName, GameExeName, RemoveSwitch,
                                  ProductDisplayName));
    RunInstall();
    ASSERT_EQ(Failure(), "");
    EXPECT_EQ(CreatedFolderValue(), "");
    std::vector<ArchiveMember> members;
    ASSERT_TRUE(ReadArchiveMembers(destFolder + GameExeName, &members));
    EXPECT_EQ(members.back().name, "Remove.txt");
}

// The disc taken out in the middle of a file, as the copy phase sees it: the
// file goes short under the open stream (cut when the file bar first moves
// inside that file). The question is answered from another thread, as a user
// would: Retry with the disc still out, then with it back; or Cancel.
class DiscTakenOut : public InstallSequence {
  protected:
    void SetUp() override {
        InstallSequence::SetUp();
        setupState.makeGroup = 0;
        WriteGame(true);
        big = std::string(1300000, '\0');
        for (size_t i = 0; i < big.size(); ++i)
            big[i] = char((i * 2654435761u) >> 13);
        WriteFileBytes(disc / "Big.dat", big);
        WriteFileBytes(disc / "ReadMe.txt", "Read me.\r\n");
        // Six takes of the short fixture: frames enough for the file bar
        // to move while the .mp3 is decoded.
        std::string take = ReadFileBytes(FixturePath("stereo44.mp3"));
        for (int i = 0; i < 6; ++i)
            audio += take;
        WriteFileBytes(disc / "data/music1.mp3", audio);
        trap = this;
        questions = 0;
    }
    void TearDown() override {
        trap = nullptr;
        InstallSequence::TearDown();
    }

    // Runs the install with the file named shown (as the status line shows
    // it) cut to cutAt bytes of what it holds on the disc, back on question
    // putBackAt, the question answered with answer (IDRETRY or IDCANCEL).
    void InstallTakingOut(const std::string& shownName, const std::string& discFile,
                          const std::string& whole, size_t cutAt, int putBackAt, int answer) {
        target = "Copying " + shownName + "...";
        cutPath = disc / discFile;
        cutLength = cutAt;
        cut = false;
        PageHost page;
        HWND bar = GetDlgItem(page.Page(), IDC_FILE_BAR);
        pageWindow = page.Page();
        barProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CutOnFirstMove)));
        std::atomic<bool> done{false};
        std::thread user([&] {
            while (!done) {
                HWND box = FindWindowA("#32770", DiscGoneTitle);
                if (!box) {
                    Sleep(10);
                    continue;
                }
                char text[256] = "";
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                questionText = text;
                ++questions;
                if (questions == putBackAt) WriteFileBytes(cutPath, whole);
                PostMessageA(box, WM_COMMAND,
                             MAKEWPARAM(questions >= putBackAt ? answer : IDRETRY, BN_CLICKED), 0);
                while (!done && IsWindow(box))
                    Sleep(10);
            }
        });
        RunInstall();
        done = true;
        user.join();
        SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(barProc));
    }

    static LRESULT CALLBACK CutOnFirstMove(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
        if (message == PBM_SETPOS && trap && !trap->cut && wParam > 0 && wParam < 100) {
            char status[300] = "";
            GetDlgItemTextA(trap->pageWindow, IDC_STATUS_LINE, status, sizeof status);
            if (trap->target == status) {
                trap->cut = true;
                HANDLE file = CreateFileA(trap->cutPath.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
                EXPECT_NE(file, INVALID_HANDLE_VALUE);
                LONG high = 0;
                SetFilePointer(file, LONG(trap->cutLength), &high, FILE_BEGIN);
                EXPECT_TRUE(SetEndOfFile(file));
                CloseHandle(file);
            }
        }
        return CallWindowProcA(trap->barProc, window, message, wParam, lParam);
    }

    // What the conversion makes of the whole .mp3 as a plain file.
    std::string PlainWave() {
        std::string mp3 = output / "whole.mp3";
        std::string plain = output / "whole.wav";
        WriteFileBytes(mp3, audio);
        ConversionJob job;
        job.reader = new FrameReader(mp3.c_str());
        job.header = new FrameHeader;
        EXPECT_TRUE(job.header->ReadHeader(*job.reader));
        snprintf(job.outputPath, sizeof job.outputPath, "%s", plain.c_str());
        ConvertToWav(job, nullptr);
        return ReadFileBytes(plain);
    }

    void ExpectInstalledWhole() {
        ASSERT_EQ(Failure(), "");
        EXPECT_TRUE(ReadFileBytes(destFolder + "Big.dat") == big);
        EXPECT_EQ(ReadFileBytes(destFolder + "ReadMe.txt"), "Read me.\r\n");
        std::vector<ArchiveMember> members;
        ASSERT_TRUE(ReadArchiveMembers(destFolder + GameExeName, &members));
        ASSERT_EQ(members.size(), 2u);
        EXPECT_EQ(members[0].name, "data/music1.wav");
        std::string wave = PlainWave();
        EXPECT_GT(wave.size(), 44u);
        EXPECT_TRUE(members[0].data == wave) << members[0].data.size() << " " << wave.size();
        EXPECT_EQ(members[1].name, "Remove.txt");
        char gameDest[260], uninstallString[260];
        EXPECT_TRUE(ReadUninstallKey(gameDest, uninstallString));
    }

    void ExpectUndone() {
        EXPECT_EQ(installOutcome.cause, FailureCause::DamagedSource) << Failure();
        EXPECT_NE(Failure().find("Clean the disc"), std::string::npos) << Failure();
        EXPECT_FALSE(installOutcome.undoIncomplete);
        EXPECT_FALSE(PathExists(destFolder));
        char gameDest[260], uninstallString[260];
        EXPECT_FALSE(ReadUninstallKey(gameDest, uninstallString));
    }

    static DiscTakenOut* trap;
    std::string big, audio;
    std::string target, cutPath;
    size_t cutLength = 0;
    bool cut = false;
    HWND pageWindow = nullptr;
    WNDPROC barProc = nullptr;
    std::atomic<int> questions{0};
    std::string questionText;
};
DiscTakenOut* DiscTakenOut::trap = nullptr;

TEST_F(DiscTakenOut, RetryGoesOnWithTheCopyWhereItStopped) {
    // The first Retry finds the disc still out: asked again.
    InstallTakingOut("Big.dat", "Big.dat", big, 600000, 2, IDRETRY);
    EXPECT_TRUE(cut);
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(questionText, DiscGoneText);
    ExpectInstalledWhole();
}

TEST_F(DiscTakenOut, RetryGoesOnWithTheConversionWhereItStopped) {
    InstallTakingOut("music1.wav", "data/music1.mp3", audio, audio.size() * 3 / 5, 1, IDRETRY);
    EXPECT_TRUE(cut);
    EXPECT_EQ(questions, 1);
    ExpectInstalledWhole();
}

TEST_F(DiscTakenOut, CancelDuringTheCopyUndoesTheInstallation) {
    InstallTakingOut("Big.dat", "Big.dat", big, 600000, 1, IDCANCEL);
    EXPECT_TRUE(cut);
    EXPECT_EQ(questions, 1);  // asked once, not again for the files after it
    EXPECT_NE(Failure().find("Big.dat"), std::string::npos) << Failure();
    ExpectUndone();
}

// A conversion cut short would otherwise end as a shorter, finished WAV.
TEST_F(DiscTakenOut, CancelDuringTheConversionUndoesTheInstallation) {
    InstallTakingOut("music1.wav", "data/music1.mp3", audio, audio.size() * 3 / 5, 1, IDCANCEL);
    EXPECT_TRUE(cut);
    EXPECT_EQ(questions, 1);
    EXPECT_NE(Failure().find("music1"), std::string::npos) << Failure();
    ExpectUndone();
}

// Which failures send the user back to the folder: only the destination's
// own refusals (full, no right to write, name too long), and only when the
// undo left nothing behind; the message then says so instead of "run Setup
// again". Everything else ends Setup as before.
TEST(InstallOutcomeTest, OnlyAFolderFailureThatLeftNothingBehindChoosesAgain) {
    struct Case {
        FailureCause cause;
        bool undoIncomplete;
        bool discGameDamaged;
        bool choosesAgain;
    };
    const Case cases[] = {
        {FailureCause::DiskFull, false, false, true},
        {FailureCause::AccessDenied, false, false, true},
        {FailureCause::PathTooLong, false, false, true},
        {FailureCause::DiskFull, true, false, false},
        {FailureCause::AccessDenied, false, true, false},
        {FailureCause::NotFound, false, false, false},
        {FailureCause::DamagedSource, false, false, false},
    };
    for (const Case& c : cases) {
        ResetInstallOutcome();
        RecordFailure("C:\\Games\\Vexlo Demo\\ReadMe.txt", c.cause);
        RecordFailure("C:\\Games\\Vexlo Demo\\Vexlo.cfg", FailureCause::DamagedSource);
        installOutcome.undoIncomplete = c.undoIncomplete;
        installOutcome.discGameDamaged = c.discGameDamaged;
        int index = static_cast<int>(&c - cases);
        EXPECT_EQ(AnotherFolderMayDo(), c.choosesAgain) << index;
        char text[1024];
        FormatInstallFailure(text, sizeof text);
        std::string message = text;
        bool saysChoose = message.find("Press OK to choose the folder again.") != std::string::npos;
        bool saysRunAgain = message.find("run Setup again") != std::string::npos ||
                            message.find("Run Setup again") != std::string::npos;
        EXPECT_EQ(saysChoose, c.choosesAgain) << index << ": " << message;
        EXPECT_EQ(saysRunAgain, !c.choosesAgain) << index << ": " << message;
    }
    // Nothing failed: nothing to choose again.
    ResetInstallOutcome();
    EXPECT_FALSE(AnotherFolderMayDo());
}

}  // namespace
