// The uninstaller's line rules, run natively (and under the sanitizers): which
// list lines it may act on, how far the empty-folder pass may go, and how the
// list is split into lines.
#include "common/removal_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using removal::ResolvedLine;
using removal::Root;
using removal::Verdict;

constexpr char GameDest[] = "C:\\Games\\Vexlo Demo\\VexloDmo.exe";
constexpr char Programs[] = "C:\\WINDOWS\\Start Menu\\Programs";
constexpr char CommonPrograms[] = "C:\\WINDOWS\\All Users\\Start Menu\\Programs\\";

class RemovalRulesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(roots.SetGameFolder(GameDest));
        ASSERT_TRUE(roots.AddProgramsFolder(Programs));
        ASSERT_TRUE(roots.AddProgramsFolder(CommonPrograms));
    }
    Verdict Resolve(const std::string& line) {
        return removal::ResolveLine(line.data(), line.size(), roots, &resolved);
    }
    removal::RemovalRoots roots;
    ResolvedLine resolved;
};

TEST_F(RemovalRulesTest, RootsAreKeptWithOneTrailingBackslash) {
    EXPECT_STREQ(roots.GameFolder(), "C:\\Games\\Vexlo Demo\\");
    EXPECT_STREQ(roots.ProgramsFolder(0), "C:\\WINDOWS\\Start Menu\\Programs\\");
    EXPECT_STREQ(roots.ProgramsFolder(1), CommonPrograms);
    removal::RemovalRoots other;
    EXPECT_TRUE(other.SetGameFolder("d:/games/vexlo/VexloDmo.exe"));
    EXPECT_STREQ(other.GameFolder(), "d:\\games\\vexlo\\");
}

// A game registered through a path the rules refuse leaves no game folder:
// then no game line is acted on.
TEST_F(RemovalRulesTest, UnusableGameDestLeavesNoGameFolder) {
    for (const char* gameDest :
         {"C:VexloDmo.exe", "VexloDmo.exe", "C:Games\\VexloDmo.exe", "\\\\srv\\share\\VexloDmo.exe",
          "\\\\?\\C:\\Games\\VexloDmo.exe", "C:\\Games\\..\\VexloDmo.exe", "C:\\Games\\",
          "C:\\Games\\*\\VexloDmo.exe", "C:\\NUL\\VexloDmo.exe", ""}) {
        removal::RemovalRoots other;
        EXPECT_FALSE(other.SetGameFolder(gameDest)) << gameDest;
        EXPECT_STREQ(other.GameFolder(), "") << gameDest;
        std::string line = "C:\\Games\\x.txt";
        EXPECT_EQ(removal::ResolveLine(line.data(), line.size(), other, &resolved),
                  Verdict::Outside)
            << gameDest;
    }
    removal::RemovalRoots other;
    EXPECT_FALSE(other.AddProgramsFolder("Programs"));
    EXPECT_FALSE(other.AddProgramsFolder("C:\\"));
    EXPECT_EQ(other.ProgramsFolderCount(), 0u);
}

// A game an earlier Setup installed at a drive's root: the files directly
// in the root are its, nothing in a folder below it (those are the drive's),
// and the root itself is never a folder the removal takes away.
TEST_F(RemovalRulesTest, AGameAtADriveRootReachesOnlyTheRootsOwnFiles) {
    removal::RemovalRoots root;
    ASSERT_TRUE(root.SetGameFolder("E:\\VexloDmo.exe"));
    EXPECT_STREQ(root.GameFolder(), "E:\\");
    EXPECT_TRUE(root.GameAtDriveRoot());
    EXPECT_FALSE(roots.GameAtDriveRoot());
    ASSERT_TRUE(root.AddProgramsFolder(Programs));
    for (const char* line : {"E:\\ReadMe.txt", "e:\\VexloDmo.exe", "E:/Vexlo.cfg"}) {
        std::string text = line;
        EXPECT_EQ(removal::ResolveLine(text.data(), text.size(), root, &resolved), Verdict::Inside)
            << line;
        EXPECT_EQ(resolved.root, Root::GameFolder) << line;
        size_t candidates = 0;
        removal::ForEachEmptyFolderCandidate(resolved, [&](const char*) { ++candidates; });
        EXPECT_EQ(candidates, 0u) << line;
    }
    for (const char* line : {"E:\\Data\\save.dat", "E:/Data/save.dat", "E:\\", "E:", "E:x.txt",
                             "D:\\ReadMe.txt", "E:\\..\\ReadMe.txt", "C:\\canary.txt"}) {
        std::string text = line;
        EXPECT_NE(removal::ResolveLine(text.data(), text.size(), root, &resolved), Verdict::Inside)
            << line;
    }
    // Shortcuts are reached as before.
    std::string link = std::string(Programs) + "\\Vexlo Demo\\Vexlo.lnk";
    EXPECT_EQ(removal::ResolveLine(link.data(), link.size(), root, &resolved), Verdict::Inside);
    EXPECT_EQ(resolved.root, Root::ProgramsGroup);
}

// The lines the install writes, in every form it writes them.
TEST_F(RemovalRulesTest, InstalledLinesAreAccepted) {
    struct Case {
        const char* line;
        Root root;
        const char* path;
    } cases[] = {
        {"C:\\Games\\Vexlo Demo\\VexloDmo.exe", Root::GameFolder,
         "C:\\Games\\Vexlo Demo\\VexloDmo.exe"},
        {"C:\\Games\\Vexlo Demo\\docs/a.txt", Root::GameFolder,
         "C:\\Games\\Vexlo Demo\\docs\\a.txt"},
        {"c:/games/VEXLO DEMO/ReadMe.txt", Root::GameFolder, "c:\\games\\VEXLO DEMO\\ReadMe.txt"},
        {"C:\\Games\\Vexlo Demo\\DXSetup\\DSetup.dll", Root::GameFolder,
         "C:\\Games\\Vexlo Demo\\DXSetup\\DSetup.dll"},
        {"C:\\Games\\Vexlo Demo\\.hidden", Root::GameFolder, "C:\\Games\\Vexlo Demo\\.hidden"},
        {"C:\\Games\\Vexlo Demo\\console.txt", Root::GameFolder,
         "C:\\Games\\Vexlo Demo\\console.txt"},
        {"C:\\WINDOWS\\Start Menu\\Programs\\Vexlo Demo\\Vexlo Demo.lnk", Root::ProgramsGroup,
         "C:\\WINDOWS\\Start Menu\\Programs\\Vexlo Demo\\Vexlo Demo.lnk"},
        {"C:\\WINDOWS\\Start Menu\\Programs\\Vexlo Demo\\docs/a.LNK", Root::ProgramsGroup,
         "C:\\WINDOWS\\Start Menu\\Programs\\Vexlo Demo\\docs\\a.LNK"},
        {"C:\\Windows\\All Users\\Start Menu\\Programs\\Games\\Vexlo\\Remove Vexlo Demo.lnk",
         Root::ProgramsGroup,
         "C:\\Windows\\All Users\\Start Menu\\Programs\\Games\\Vexlo\\Remove Vexlo Demo.lnk"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Resolve(c.line), Verdict::Inside) << c.line;
        EXPECT_EQ(resolved.root, c.root) << c.line;
        EXPECT_STREQ(resolved.path, c.path) << c.line;
    }
}

TEST_F(RemovalRulesTest, MalformedLinesAreRefused) {
    struct Case {
        std::string line;
        Verdict verdict;
    } cases[] = {
        {"", Verdict::Empty},
        {"canary.txt", Verdict::NotAbsolute},
        {"..\\..\\canary.txt", Verdict::NotAbsolute},
        {"\\canary.txt", Verdict::NotAbsolute},
        {"/canary.txt", Verdict::NotAbsolute},
        {"C:canary.txt", Verdict::DriveRelative},
        {"C:..\\..\\canary.txt", Verdict::DriveRelative},
        {"C:", Verdict::DriveRelative},
        {"1:\\canary.txt", Verdict::BadCharacter},
        {"canary.txt:C:\\x", Verdict::BadCharacter},
        {"\\\\server\\share\\canary.txt", Verdict::NetworkOrDevice},
        {"//server/share/canary.txt", Verdict::NetworkOrDevice},
        {"\\\\?\\C:\\Games\\Vexlo Demo\\a.txt", Verdict::NetworkOrDevice},
        {"\\\\.\\C:\\Games\\Vexlo Demo\\a.txt", Verdict::NetworkOrDevice},
        {"\\/.\\C:\\canary.txt", Verdict::NetworkOrDevice},
        {"C:\\Games\\Vexlo Demo\\..\\..\\canary.txt", Verdict::DotStep},
        {"C:\\Games\\Vexlo Demo\\docs/../../canary.txt", Verdict::DotStep},
        {"C:\\Games\\Vexlo Demo\\.\\a.txt", Verdict::DotStep},
        {"C:\\Games\\Vexlo Demo\\.. \\a.txt", Verdict::DotStep},
        {"C:\\Games\\Vexlo Demo\\a.txt.", Verdict::DotStep},
        {"C:\\Games\\Vexlo Demo\\a.txt ", Verdict::DotStep},
        {"C:\\Games\\Vexlo Demo\\...\\a.txt", Verdict::DotStep},
        {"C:\\Games\\Vexlo Demo\\", Verdict::EmptyStep},
        {"C:\\Games\\\\Vexlo Demo\\a.txt", Verdict::EmptyStep},
        {"C:\\Games\\Vexlo Demo\\*.*", Verdict::Wildcard},
        {"C:\\Games\\Vexlo Demo\\a?.txt", Verdict::Wildcard},
        {"C:\\Games\\Vexlo Demo\\<.txt", Verdict::Wildcard},
        {"C:\\Games\\Vexlo Demo\\a|b", Verdict::Wildcard},
        {"C:\\Games\\Vexlo Demo\\\"a\"", Verdict::Wildcard},
        {"C:\\Games\\Vexlo Demo\\CON", Verdict::DeviceName},
        {"C:\\Games\\Vexlo Demo\\nul.txt", Verdict::DeviceName},
        {"C:\\Games\\Vexlo Demo\\Com1", Verdict::DeviceName},
        {"C:\\Games\\Vexlo Demo\\LPT9.dat", Verdict::DeviceName},
        {"C:\\Games\\Vexlo Demo\\aux .txt", Verdict::DeviceName},
        {"C:\\Games\\Vexlo Demo\\PRN", Verdict::DeviceName},
        {"C:\\Games\\Vexlo Demo\\conout$", Verdict::DeviceName},
        {"C:\\Games\\Vexlo Demo\\CON\\a.txt", Verdict::DeviceName},
        {"C:\\Games\\Vexlo Demo\\a.txt:secret", Verdict::BadCharacter},
        {"C:\\Games\\Vexlo Demo\\a\tb.txt", Verdict::BadCharacter},
        {std::string("C:\\Games\\Vexlo Demo\\a.txt") + '\0' + "C:\\canary.txt",
         Verdict::BadCharacter},
        {"C:\\Games\\Vexlo Demo\\" + std::string(240, 'x'), Verdict::TooLong},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Resolve(c.line), c.verdict) << c.line;
        EXPECT_EQ(resolved.root, Root::None) << c.line;
    }
}

TEST_F(RemovalRulesTest, WellFormedLinesOutsideTheRootsAreRefused) {
    for (const char* line : {
             "C:\\canary.txt",
             "C:/canary.txt",
             "D:\\canary.txt",
             "C:\\windows\\win.ini",
             "C:\\Games\\canary.txt",
             "C:\\Games\\Vexlo Demo",                         // the root itself
             "C:\\Games\\Vexlo Demo.txt",                     // shares the root's start only
             "C:\\Games\\Vexlo Demonstration\\a.txt",         // likewise
             "D:\\Games\\Vexlo Demo\\a.txt",                  // another drive
             "C:\\WINDOWS\\Start Menu\\Programs\\Other.lnk",  // not in a group
             "C:\\WINDOWS\\Start Menu\\Programs\\Vexlo Demo\\canary.txt",  // not a shortcut
             "C:\\WINDOWS\\Start Menu\\Programs\\Vexlo Demo\\a.lnk.txt",
             "C:\\WINDOWS\\Start Menu\\Vexlo Demo.lnk",
             "C:\\WINDOWS\\Start Menu\\Programs",
         }) {
        EXPECT_EQ(Resolve(line), Verdict::Outside) << line;
        EXPECT_EQ(resolved.root, Root::None) << line;
    }
    // Exactly as many characters as fit, and one more.
    std::string longest = "C:\\Games\\Vexlo Demo\\";
    longest += std::string(removal::PathLimit - longest.size(), 'n');
    EXPECT_EQ(Resolve(longest), Verdict::Inside);
    EXPECT_EQ(Resolve(longest + "n"), Verdict::TooLong);
}

std::vector<std::string> Candidates(const ResolvedLine& line) {
    std::vector<std::string> folders;
    removal::ForEachEmptyFolderCandidate(line, [&](const char* f) { folders.push_back(f); });
    return folders;
}

// The pass never reaches the root or above it; only the backslash as written
// cuts the file name off.
TEST_F(RemovalRulesTest, EmptyFolderPassStaysBelowTheRoot) {
    using List = std::vector<std::string>;
    ASSERT_EQ(Resolve("C:\\Games\\Vexlo Demo\\VexloDmo.exe"), Verdict::Inside);
    EXPECT_EQ(Candidates(resolved), List{});
    ASSERT_EQ(Resolve("C:\\Games\\Vexlo Demo\\docs/a.txt"), Verdict::Inside);
    EXPECT_EQ(Candidates(resolved), List{});
    ASSERT_EQ(Resolve("C:\\Games\\Vexlo Demo\\docs\\sub/b\\a.txt"), Verdict::Inside);
    EXPECT_EQ(Candidates(resolved),
              (List{"C:\\Games\\Vexlo Demo\\docs\\sub\\b", "C:\\Games\\Vexlo Demo\\docs\\sub",
                    "C:\\Games\\Vexlo Demo\\docs"}));
    ASSERT_EQ(Resolve("C:\\WINDOWS\\Start Menu\\Programs\\Vexlo Demo\\ReadMe.lnk"),
              Verdict::Inside);
    EXPECT_EQ(Candidates(resolved), List{"C:\\WINDOWS\\Start Menu\\Programs\\Vexlo Demo"});
    ASSERT_EQ(Resolve("C:\\WINDOWS\\Start Menu\\Programs\\Vexlo Demo\\docs/a.lnk"),
              Verdict::Inside);
    EXPECT_EQ(Candidates(resolved), List{"C:\\WINDOWS\\Start Menu\\Programs\\Vexlo Demo"});
}

TEST(RemovalPathTest, SameOrInsideComparesWholeNamesWithoutCase) {
    EXPECT_TRUE(removal::IsSameOrInside("C:\\WINDOWS\\SYSTEM", "c:\\windows\\"));
    EXPECT_TRUE(removal::IsSameOrInside("C:\\Windows", "C:\\WINDOWS"));
    EXPECT_FALSE(removal::IsSameOrInside("C:\\Windows2", "C:\\Windows"));
    EXPECT_FALSE(removal::IsSameOrInside("C:\\", "C:\\Windows"));
}

std::vector<std::string> SplitList(const std::string& bytes) {
    std::vector<std::string> lines;
    removal::ListLines list(bytes.data(), bytes.size());
    const char* line;
    size_t length;
    while (list.Next(&line, &length))
        lines.emplace_back(line, length);
    return lines;
}

TEST(ListLinesTest, LineEndsOfEitherKindOrNone) {
    using List = std::vector<std::string>;
    EXPECT_EQ(SplitList(""), List{});
    EXPECT_EQ(SplitList("a\r\nb\nc"), (List{"a", "b", "c"}));
    EXPECT_EQ(SplitList("a\r\n\r\nb\r\n"), (List{"a", "", "b"}));
    EXPECT_EQ(SplitList("a\rb\r\n"), List{"a\rb"});
    // A NUL belongs to its line and never hides the next one.
    EXPECT_EQ(SplitList(std::string("a\0x\r\nb\r\n", 8)), (List{std::string("a\0x", 3), "b"}));
    EXPECT_EQ(SplitList(std::string("\0\n\0", 3)),
              (List{std::string(1, '\0'), std::string(1, '\0')}));
}

}  // namespace

namespace {

// The folders an installation's journal says it created: the undo removes
// them when empty, so a planted journal must reach no other folder.
TEST_F(RemovalRulesTest, CreatedFoldersStayWithTheGameOrItsGroup) {
    char folder[removal::PathBufferSize];
    auto resolve = [&](const std::string& text) {
        return removal::ResolveFolder(text.data(), text.size(), roots, folder);
    };
    EXPECT_EQ(resolve("C:\\Games\\Vexlo Demo"), Verdict::Inside);
    EXPECT_STREQ(folder, "C:\\Games\\Vexlo Demo");
    EXPECT_EQ(resolve("C:/Games/Vexlo Demo/"), Verdict::Inside);
    EXPECT_STREQ(folder, "C:\\Games\\Vexlo Demo");
    EXPECT_EQ(resolve("C:\\Games\\Vexlo Demo\\docs"), Verdict::Inside);
    // Made by the wizard above the game's folder.
    EXPECT_EQ(resolve("c:\\games"), Verdict::Inside);
    EXPECT_EQ(resolve("C:\\WINDOWS\\Start Menu\\Programs\\Vexlo Demo"), Verdict::Inside);
    for (const char* refused :
         {"C:\\", "C:", "C:\\WINDOWS\\Start Menu\\Programs", "C:\\WINDOWS\\Start Menu",
          "C:\\WINDOWS", "C:\\Windows\\Temp", "D:\\Games", "C:\\Games\\Other",
          "C:\\Games\\Vexlo Demo\\..\\..\\WINDOWS", "C:..\\WINDOWS", "\\\\?\\C:\\Games",
          "Games\\Vexlo Demo", "C:\\Games\\Vexlo Demo2", ""}) {
        EXPECT_NE(resolve(refused), Verdict::Inside) << refused;
        EXPECT_STREQ(folder, "") << refused;
    }
    // With no game folder, only the groups are left.
    removal::RemovalRoots groupsOnly;
    ASSERT_TRUE(groupsOnly.AddProgramsFolder(Programs));
    std::string games = "C:\\Games";
    EXPECT_EQ(removal::ResolveFolder(games.data(), games.size(), groupsOnly, folder),
              Verdict::Outside);
}

TEST(JournalLineTest, TagsAndPathsAreSplitAndAnythingElseIsUnknown) {
    // The parts point into the line: literals outlive them.
    auto parse = [](const char* text) { return removal::ParseJournalLine(text, strlen(text)); };
    removal::JournalLine kept = parse("K C:\\Games\\Vexlo Demo\\ReadMe.txt");
    EXPECT_EQ(kept.tag, removal::JournalTag::Kept);
    EXPECT_EQ(std::string(kept.path, kept.pathLength), "C:\\Games\\Vexlo Demo\\ReadMe.txt");
    removal::JournalLine folder = parse("F C:\\Games");
    EXPECT_EQ(folder.tag, removal::JournalTag::CreatedFolder);
    EXPECT_EQ(std::string(folder.path, folder.pathLength), "C:\\Games");
    EXPECT_EQ(parse("C").tag, removal::JournalTag::Done);
    for (const char* unknown : {"", "K", "K ", "KC:\\a", "X C:\\a", "C ", "c", "k C:\\a", "CC"})
        EXPECT_EQ(parse(unknown).tag, removal::JournalTag::Unknown) << unknown;
}

}  // namespace
