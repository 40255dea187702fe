// The source walk: order, limits, skip across folders, names in records, the
// archive-backed source, and the name rules (in a child process, since a
// broken rule ends the program).
#include <gtest/gtest.h>

#include <algorithm>
#include <windows.h>

#include <string>
#include <vector>

#include "setup/media/file_stream.h"
#include "setup/media/source_state.h"
#include "setup/media/source_walk.h"
#include "test_files.h"

namespace {

constexpr uint32_t Stride = 516;

struct Listing {
    std::vector<std::string> names;
    std::vector<uint32_t> sizes;
};

Listing List(const char* pattern, uint32_t maxCount, int bareNames = 0, int recursive = 1,
             int dirsOnly = 0, uint32_t skip = 0) {
    std::vector<char> records(64 * Stride, '\0');
    auto* sizes = reinterpret_cast<uint32_t*>(records.data() + 512);
    uint32_t count = ListSourceFiles(pattern, records.data(), sizes, Stride, maxCount, bareNames,
                                     recursive, dirsOnly, skip);
    Listing listing;
    for (uint32_t i = 0; i < count; ++i) {
        listing.names.push_back(records.data() + i * Stride);
        listing.sizes.push_back(*reinterpret_cast<uint32_t*>(records.data() + i * Stride + 512));
    }
    return listing;
}

using Names = std::vector<std::string>;

TEST(SourceWalk, ListsFolderMatchesBeforeSubFoldersWithSizes) {
    ScratchFolder tree;
    WriteFileOfSize(tree / "Setup.exe", 10);
    WriteFileOfSize(tree / "data/a.mp3", 20);
    WriteFileOfSize(tree / "data/sub/b.txt", 30);
    CurrentFolder current(tree.Path());
    OpenSource(".", false);

    Listing all = List("*.*", 3);
    EXPECT_EQ(all.names, (Names{"./Setup.exe", "./data/a.mp3", "./data/sub/b.txt"}));
    EXPECT_EQ(all.sizes, (std::vector<uint32_t>{10, 20, 30}));
    EXPECT_EQ(CountSourceFiles("*.*", 1, 0), 3u);
    EXPECT_EQ(CountSourceFiles("*.*", 0, 0), 1u);

    EXPECT_EQ(List("*.*", 0, 1).names, (Names{"Setup.exe", "a.mp3", "b.txt"}));
    // The file part applies at every level; folders are searched regardless.
    EXPECT_EQ(List("*.txt", 0).names, (Names{"./data/sub/b.txt"}));
    EXPECT_EQ(List("*.*", 0, 1, 0, 1).names, (Names{"data"}));
    EXPECT_EQ(List("*.*", 0, 0, 1, 1).names, (Names{"./data", "./data/sub"}));
    CloseSource();
}

TEST(SourceWalk, TheDiscsAutorunFileIsNotWalked) {
    ScratchFolder tree;
    WriteFileOfSize(tree / "autorun.inf", 45);
    WriteFileOfSize(tree / "ReadMe.txt", 5);
    WriteFileOfSize(tree / "docs/AUTORUN.INF", 7);  // not the disc's: an ordinary file
    WriteFileOfSize(tree / "AUTORUN.INF.txt", 3);
    CurrentFolder current(tree.Path());
    OpenSource(".", false);

    EXPECT_EQ(CountSourceFiles("*.*", 1, 0), 3u);
    Names names = List("*.*", 3).names;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"./AUTORUN.INF.txt", "./ReadMe.txt", "./docs/AUTORUN.INF"}));
    CloseSource();
}

TEST(SourceWalk, MaxCountAndSkipCountAcrossFolders) {
    ScratchFolder tree;
    WriteFileOfSize(tree / "first/one.txt", 1);
    for (const char* name : {"second/a.txt", "second/b.txt", "second/c.txt"})
        WriteFileOfSize(tree / name, 2);
    CurrentFolder current(tree.Path());
    OpenSource(".", false);

    // The platform decides the order of the two folders; each folder's files
    // stay together in the listing.
    Names all = List("*.*", 0).names;
    ASSERT_EQ(all.size(), 4u);
    bool firstFirst = List("*.*", 0, 1, 0, 1).names.front() == "first";
    EXPECT_EQ(all[firstFirst ? 0 : 3], "./first/one.txt");

    EXPECT_EQ(List("*.*", 2).names, Names(all.begin(), all.begin() + 2));
    EXPECT_EQ(List("*.*", 0, 0, 1, 0, 2).names, Names(all.begin() + 2, all.end()));
    EXPECT_EQ(List("*.*", 2, 0, 1, 0, 1).names, Names(all.begin() + 1, all.begin() + 3));
    EXPECT_TRUE(List("*.*", 0, 0, 1, 0, 4).names.empty());
    CloseSource();
}

TEST(SourceWalk, SpacesAreListedAndTildesCountedWithoutComplaint) {
    ScratchFolder tree;
    WriteFileOfSize(tree / "My File.txt", 5);
    WriteFileOfSize(tree / "sub/MY~FILE.TXT", 5);
    CurrentFolder current(tree.Path());
    OpenSource(".", false);
    EXPECT_EQ(CountSourceFiles("*.*", 1, 0), 2u);
    EXPECT_EQ(List("*.*", 0, 0, 0).names, (Names{"./My File.txt"}));
    CloseSource();
}

TEST(SourceWalk, NameThatDoesNotFitItsRecordIsPassedOver) {
    ScratchFolder tree;
    WriteFileOfSize(tree / "abcdefghijkl.txt", 1);  // 16 characters with "./": no room
    WriteFileOfSize(tree / "short.txt", 2);
    CurrentFolder current(tree.Path());
    OpenSource(".", false);

    // Records of 20 bytes: 16 for the name, then the size; guard bytes after.
    std::vector<char> records(3 * 20, '#');
    auto* sizes = reinterpret_cast<uint32_t*>(records.data() + 16);
    uint32_t count = ListSourceFiles("*.*", records.data(), sizes, 20, 2, 0, 0, 0, 0);
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(records.data(), "./short.txt");
    EXPECT_EQ(*sizes, 2u);
    EXPECT_EQ(std::string(records.data() + 20, 40), std::string(40, '#'));
    CloseSource();
}

TEST(SourceWalk, StrippedExtensionsNeverCutTheFolderPrefix) {
    ScratchFolder tree;
    WriteFileOfSize(tree / "LICENSE", 1);
    WriteFileOfSize(tree / "music.v2/theme.mp3", 1);
    CurrentFolder current(tree.Path());

    std::vector<char> records(4 * Stride, '\0');
    uint32_t count = WalkFolder(true, 0, "./*.*", false, true, records.data(), nullptr, 4, Stride,
                                nullptr, true, true, 0);
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(records.data(), "./LICENSE");
    EXPECT_STREQ(records.data() + Stride, "./music.v2/theme");
}

TEST(SourceWalk, ArchiveSourceListsStoredNames) {
    ScratchFolder folder;
    CurrentFolder current(folder.Path());
    WriteEmptyArchive(folder / "disc.ZIP", "");
    WriteFileOfSize(folder / "a.bin", 5);
    ASSERT_TRUE(FileStream::CopyNamedFile("a.bin", StreamAbsolute, "disc.ZIP;data/a.mp3",
                                          StreamAbsolute, nullptr));
    OpenSource("disc", true);
    EXPECT_NE(sourceArchiveOpen, 0);
    EXPECT_STREQ(sourceRoot, "disc");
    EXPECT_EQ(CountSourceFiles("*", 1, 0), 1u);
    Listing listing = List("*", 0);
    EXPECT_EQ(listing.names, (Names{"data/a.mp3"}));
    EXPECT_EQ(listing.sizes, (std::vector<uint32_t>{5}));
    CloseSource();
    EXPECT_EQ(sourceArchiveOpen, 0);

    // Without an archive beside it the source stays the folder tree.
    OpenSource("elsewhere", true);
    EXPECT_EQ(sourceArchiveOpen, 0);
    OpenSource(".", false);
}

struct ChildResult {
    DWORD exitCode;
    std::string message;
};

ChildResult RunRuleChild(const std::string& folder, const char* mode) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string program = self;
    program = program.substr(0, program.find_last_of("\\/") + 1) + "install_rule_child.exe";
    std::string answer = folder + "-answer.txt";
    DeleteFileA(answer.c_str());
    std::string command = "\"" + program + "\" \"" + folder + "\" " + mode + " \"" + answer + "\"";

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ChildResult result{0xDEAD, ""};
    std::vector<char> commandLine(command.begin(), command.end());
    commandLine.push_back('\0');
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return result;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &result.exitCode);
    else
        TerminateProcess(process.hProcess, 0xDEAD);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.message = ReadFileBytes(answer);
    DeleteFileA(answer.c_str());
    return result;
}

TEST(SourceWalk, BrokenNameRulesEndTheProgramAfterTheirMessage) {
    const DWORD ExitMinusOne = 0xFFFFFFFF;
    {
        ScratchFolder tree;
        WriteFileOfSize(tree / "ReadMe.txt", 1);
        WriteFileOfSize(tree / "data/MY~FILE.TXT", 1);
        ChildResult result = RunRuleChild(tree.Path(), "tilde");
        EXPECT_EQ(result.exitCode, ExitMinusOne);
        EXPECT_EQ(result.message,
                  "\"MY~FILE.TXT\" is an illegal file name bacause it contains a tilde character");
    }
    {
        ScratchFolder tree;
        WriteFileOfSize(tree / "My File.txt", 1);
        ChildResult result = RunRuleChild(tree.Path(), "space");
        EXPECT_EQ(result.exitCode, ExitMinusOne);
        EXPECT_EQ(result.message,
                  "\"My File.txt\" is an illegal file name bacause it contains a space character");
    }
    {
        ScratchFolder tree;
        WriteFileOfSize(tree / "LongName.txt", 1);
        ChildResult result = RunRuleChild(tree.Path(), "length");
        EXPECT_EQ(result.exitCode, ExitMinusOne);
        EXPECT_EQ(result.message,
                  "\"LongName.txt\" is an illegal file name bacause it is more that 8 characters "
                  "long");
    }
    {
        // Within the rules the child lists and returns normally.
        ScratchFolder tree;
        WriteFileOfSize(tree / "ok.txt", 1);
        ChildResult result = RunRuleChild(tree.Path(), "tilde");
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_EQ(result.message, "");
    }
}

}  // namespace
