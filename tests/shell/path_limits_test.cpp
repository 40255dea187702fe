// The check of the paths an install would build, against a listing given as
// the walk gives it, against a tree on the disk walked for real, and against
// the limits the install engine itself enforces when it builds the paths.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "setup/install/path_limits.h"
#include "setup/install/registry.h"
#include "setup/shell/setup_state.h"

namespace {

constexpr size_t Stride = 512;

// Names as the walk records them, Stride bytes apart.
std::vector<char> Listing(std::initializer_list<const char*> names) {
    std::vector<char> records(names.size() * Stride, '\0');
    size_t i = 0;
    for (const char* name : names)
        snprintf(&records[Stride * i++], Stride, "%s", name);
    return records;
}

// "C:\" followed by folders of 'a' and a final backslash: length characters in all.
std::string FolderOfLength(size_t length) {
    std::string body(length - 4, 'a');
    for (size_t i = 60; i + 1 < body.size(); i += 61)
        body[i] = '\\';
    return "C:\\" + body + "\\";
}

struct Check {
    bool fits;
    PathLimitFault fault;
};

Check CheckListing(const std::string& folder, const char* group, const std::vector<char>& names) {
    Check check;
    check.fits = CheckInstallPathLimits(folder.c_str(), group, names.data(), Stride,
                                        names.size() / Stride, &check.fault);
    return check;
}

// The game executable as the walk names it.
const std::string GameEntry = std::string("./") + GameExeName;

const std::vector<char> SampleDisc =
    Listing({GameEntry.c_str(), "./ReadMe.txt", "./Vexlo.cfg", "./Setup.exe", "./data/level1.mp3",
             "./data/menu.mp3", "./data/title.mp3"});

TEST(PathLimits, TheLongestAudioMemberDecidesOnTheSampleDisc) {
    // "VexloDmo.exe;data/level1.wav" (28 characters for the sample product);
    // with the staging reserve the member path may have 255 - 8 = 247.
    std::string member = std::string(GameExeName) + ";data/level1.wav";
    size_t longestFolder = 247 - member.size();
    ASSERT_EQ(FolderOfLength(longestFolder).size(), longestFolder);
    Check longest = CheckListing(FolderOfLength(longestFolder), nullptr, SampleDisc);
    EXPECT_TRUE(longest.fits);
    EXPECT_EQ(longest.fault.kind, PathLimitKind::Fits);

    Check over = CheckListing(FolderOfLength(longestFolder + 1), nullptr, SampleDisc);
    EXPECT_FALSE(over.fits);
    EXPECT_EQ(over.fault.kind, PathLimitKind::Member);
    EXPECT_EQ(over.fault.name, member);
    EXPECT_EQ(over.fault.length, 248u);
    EXPECT_EQ(over.fault.limit, 247u);
    EXPECT_EQ(StagingNameReserve, 8u);
}

TEST(PathLimits, CopiedFilesKeepRoomForTheStagingSuffix) {
    const char manual[] = "docs/A rather long manual name.txt";
    std::string entry = std::string("./") + manual;
    auto names = Listing({GameEntry.c_str(), entry.c_str(), "./data/a.mp3"});
    size_t longest = 259 - 8 - strlen(manual);
    EXPECT_TRUE(CheckListing(FolderOfLength(longest), nullptr, names).fits);
    Check over = CheckListing(FolderOfLength(longest + 1), nullptr, names);
    EXPECT_EQ(over.fault.kind, PathLimitKind::File);
    EXPECT_STREQ(over.fault.name, manual);
    EXPECT_EQ(over.fault.length, 252u);
    EXPECT_EQ(over.fault.limit, 251u);
}

TEST(PathLimits, SetupFilesAreNotCopiedSoTheirNamesDoNotCount) {
    std::string longName = "./Setup/" + std::string(400, 's') + ".mp3";
    auto names = Listing({GameEntry.c_str(), "./SETUP.EXE", longName.c_str()});
    EXPECT_TRUE(CheckListing(FolderOfLength(200), nullptr, names).fits);
}

TEST(PathLimits, WithoutFilesTheCommandAndTheListMemberStillCount) {
    std::vector<char> none;
    // "\"" + folder + "VexloDmo.exe\" /REMOVE" within 259: the folder at most
    // 237 for the sample product.
    size_t commandFolder = 259 - 3 - strlen(GameExeName) - strlen(RemoveSwitch);
    Check command = CheckListing(FolderOfLength(commandFolder + 1), nullptr, none);
    EXPECT_EQ(command.fault.kind, PathLimitKind::UninstallCommand);
    EXPECT_EQ(command.fault.length, 260u);
    EXPECT_EQ(command.fault.limit, 259u);
    // The list's member "VexloDmo.exe;Remove.txt" of the staged game, within 251.
    std::string listMember = std::string(GameExeName) + ";Remove.txt";
    EXPECT_TRUE(CheckListing(FolderOfLength(251 - listMember.size()), nullptr, none).fits);
    Check member = CheckListing(FolderOfLength(252 - listMember.size()), nullptr, none);
    EXPECT_EQ(member.fault.kind, PathLimitKind::Member);
    EXPECT_EQ(member.fault.name, listMember);
}

TEST(PathLimits, ShortcutsCountOnlyWithAGroup) {
    // The game's shortcut and "ReadMe.lnk" are shorter than the removal
    // shortcut ("\Remove Vexlo Demo.lnk"), which is the longest path.
    std::string removal = std::string("\\") + RemoveShortcutTitle + ".lnk";
    std::string group = "C:\\" + std::string(259 - 3 - removal.size(), 'g');
    auto names = Listing({GameEntry.c_str(), "./ReadMe.txt", "./Vexlo.cfg", "./data/a.mp3"});
    EXPECT_TRUE(CheckListing(DefaultDestFolder, group.c_str(), names).fits);
    group += 'x';  // the removal shortcut has 260
    Check over = CheckListing(DefaultDestFolder, group.c_str(), names);
    EXPECT_EQ(over.fault.kind, PathLimitKind::Shortcut);
    EXPECT_EQ(over.fault.name, removal);
    EXPECT_EQ(over.fault.length, 260u);
    EXPECT_EQ(over.fault.limit, 259u);
    EXPECT_TRUE(CheckListing(DefaultDestFolder, nullptr, names).fits);

    // A file's shortcut is titled by its name without extension; the game's
    // is GameShortcutTitle; configuration files and audio get none.
    std::string longTitle = "./" + std::string(30, 't') + ".txt";
    std::string longConfig = "./" + std::string(60, 'c') + ".cfg";
    std::string longAudio = "./data/" + std::string(60, 'm') + ".mp3";
    auto titled =
        Listing({GameEntry.c_str(), longConfig.c_str(), longAudio.c_str(), longTitle.c_str()});
    std::string shortGroup = "C:\\" + std::string(221, 'g');  // + "\" + 30 + ".lnk" = 259
    EXPECT_TRUE(CheckListing("C:\\V\\", shortGroup.c_str(), titled).fits);
    shortGroup += 'g';
    Check titleOver = CheckListing("C:\\V\\", shortGroup.c_str(), titled);
    EXPECT_EQ(titleOver.fault.kind, PathLimitKind::Shortcut);
    EXPECT_EQ(std::string(titleOver.fault.name), "\\" + std::string(30, 't') + ".lnk");
    // A group ending in its separator gets no second one.
    EXPECT_TRUE(CheckListing("C:\\V\\", (shortGroup.substr(0, 224) + "\\").c_str(), titled).fits);
}

TEST(PathLimits, ASemicolonIsRefusedWhateverTheLength) {
    Check check = CheckListing("C:\\Games;Old\\Vexlo Demo\\", nullptr, SampleDisc);
    EXPECT_FALSE(check.fits);
    EXPECT_EQ(check.fault.kind, PathLimitKind::Semicolon);
    EXPECT_TRUE(CheckListing("C:\\Games,Old\\Vexlo Demo\\", nullptr, SampleDisc).fits);
}

// The engine's own limit on the registered command agrees with the check.
TEST(PathLimits, TheCheckAcceptsExactlyTheFoldersTheRegistryEntryTakes) {
    std::vector<char> none;
    for (size_t length : {237u, 238u}) {
        std::string folder = FolderOfLength(length);
        PathLimitFault fault;
        bool fits = CheckInstallPathLimits(folder.c_str(), nullptr, none.data(), Stride, 0, &fault);
        bool commandFits = fits || fault.kind != PathLimitKind::UninstallCommand;
        EXPECT_EQ(WriteUninstallKey(folder.c_str(), GameExeName, GameExeName, RemoveSwitch,
                                    ProductDisplayName),
                  commandFits)
            << length;
        DeleteUninstallKey();
    }
}

// A real tree, walked as the copy walks it.
class PathLimitsOnDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        root = std::string(temp) + "vexlo-limits-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA((root + "\\data").c_str(), nullptr);
        CreateDirectoryA((root + "\\data\\voices").c_str(), nullptr);
        Touch(GameExeName);
        Touch("ReadMe.txt");
        Touch("data\\menu.mp3");
        Touch("data\\voices\\" + LongStem + ".mp3");
        GetCurrentDirectoryA(sizeof previous, previous);
        ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    }
    void TearDown() override {
        SetCurrentDirectoryA(previous);
        for (const char* file : {GameExeName, "ReadMe.txt", "data\\menu.mp3"})
            DeleteFileA((root + "\\" + file).c_str());
        DeleteFileA((root + "\\data\\voices\\" + LongStem + ".mp3").c_str());
        RemoveDirectoryA((root + "\\data\\voices").c_str());
        RemoveDirectoryA((root + "\\data").c_str());
        RemoveDirectoryA(root.c_str());
    }
    void Touch(const std::string& name) {
        FILE* file = fopen((root + "\\" + name).c_str(), "wb");
        ASSERT_NE(file, nullptr) << name;
        fputs("x", file);
        fclose(file);
    }
    const std::string LongStem = "the_narrator_reads_the_whole_introduction";  // 41
    std::string root;
    char previous[MAX_PATH] = "";
};

TEST_F(PathLimitsOnDisk, TheDeepestAudioFileOfTheTreeIsFound) {
    // "VexloDmo.exe;data/voices/<stem>.wav" = 12 + 1 + 12 + 41 + 4 = 70 for
    // the sample product, within 247.
    std::string member = std::string(GameExeName) + ";data/voices/" + LongStem + ".wav";
    PathLimitFault fault;
    size_t longest = 247 - member.size();
    EXPECT_TRUE(CheckInstallPathLimits(FolderOfLength(longest).c_str(), nullptr, &fault));
    EXPECT_FALSE(CheckInstallPathLimits(FolderOfLength(longest + 1).c_str(), nullptr, &fault));
    EXPECT_EQ(fault.kind, PathLimitKind::Member);
    EXPECT_EQ(std::string(fault.name), member);
    EXPECT_EQ(fault.length, 248u);
}

}  // namespace
