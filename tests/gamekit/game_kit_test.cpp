// The game kit's archive reading, on archives written by the disc's own
// archive tool, by a standard zip tool (extra fields, streamed headers,
// comments, an archive appended to a program) and by hand, damaged on
// purpose; and its command-line test.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "disc/gamekit/game_kit.h"
#include "media_test_support.h"

using namespace media_test;

namespace {

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

int Shell(const std::string& command) {
    int status = std::system(("{ " + command + "; } >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ArchiveTool(const std::string& arguments) {
    return Shell(std::string(VEXLO_ARCHIVE_TOOL) + " " + arguments);
}

// One member as it is written by hand: the local header may carry its own
// name and extra field, differing from the directory's.
struct HandMember {
    HandMember(std::string name_, std::string data_, std::string localExtra_ = "",
               std::string centralExtra_ = "")
        : name(std::move(name_)),
          data(std::move(data_)),
          localExtra(std::move(localExtra_)),
          centralExtra(std::move(centralExtra_)) {}
    std::string name;
    std::string data;
    std::string localExtra;
    std::string centralExtra;
    std::string localName;  // empty: the name
    uint16_t method = 0;
    uint16_t flags = 0;
};

struct HandArchive {
    std::string bytes;
    std::vector<size_t> localHeaders;
    std::vector<size_t> centralEntries;
    size_t endRecord = 0;
};

// Lays the members out as zip tools do, after lead (a program). Offsets
// count from the file's start, or from the archive's own start when
// appendedWhole (an archive written alone and then put after a program).
HandArchive BuildByHand(const std::vector<HandMember>& members, const std::string& lead = "",
                        bool appendedWhole = false, const std::string& comment = "") {
    HandArchive archive;
    std::string& out = archive.bytes;
    out = lead;
    size_t base = appendedWhole ? lead.size() : 0;
    for (const HandMember& m : members) {
        const std::string& localName = m.localName.empty() ? m.name : m.localName;
        archive.localHeaders.push_back(out.size());
        AppendU32(out, 0x04034B50);
        AppendU16(out, 10);
        AppendU16(out, m.flags);
        AppendU16(out, m.method);
        AppendU32(out, 0);  // time, date
        AppendU32(out, 0);  // CRC
        AppendU32(out, uint32_t(m.data.size()));
        AppendU32(out, uint32_t(m.data.size()));
        AppendU16(out, uint16_t(localName.size()));
        AppendU16(out, uint16_t(m.localExtra.size()));
        out += localName + m.localExtra + m.data;
    }
    size_t directory = out.size();
    for (size_t i = 0; i < members.size(); ++i) {
        const HandMember& m = members[i];
        archive.centralEntries.push_back(out.size());
        AppendU32(out, 0x02014B50);
        AppendU16(out, 20);
        AppendU16(out, 10);
        AppendU16(out, m.flags);
        AppendU16(out, m.method);
        AppendU32(out, 0);
        AppendU32(out, 0);
        AppendU32(out, uint32_t(m.data.size()));
        AppendU32(out, uint32_t(m.data.size()));
        AppendU16(out, uint16_t(m.name.size()));
        AppendU16(out, uint16_t(m.centralExtra.size()));
        AppendU16(out, 0);  // comment
        AppendU16(out, 0);  // disk
        AppendU16(out, 0);  // internal attributes
        AppendU32(out, 0);  // external attributes
        AppendU32(out, uint32_t(archive.localHeaders[i] - base));
        out += m.name + m.centralExtra;
    }
    archive.endRecord = out.size();
    AppendU32(out, 0x06054B50);
    AppendU32(out, 0);
    AppendU16(out, uint16_t(members.size()));
    AppendU16(out, uint16_t(members.size()));
    AppendU32(out, uint32_t(archive.endRecord - directory));
    AppendU32(out, uint32_t(directory - base));
    AppendU16(out, uint16_t(comment.size()));
    out += comment;
    return archive;
}

void PutU16(std::string& bytes, size_t offset, uint16_t value) {
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

void PutU32(std::string& bytes, size_t offset, uint32_t value) {
    PutU16(bytes, offset, uint16_t(value & 0xFFFF));
    PutU16(bytes, offset + 2, uint16_t(value >> 16));
}

// The whole of a member through the kit, "" with the failure noted.
std::string ReadWhole(GameKitArchive* archive, const GameKitMember& member) {
    std::string data(member.size, '\0');
    uint32_t got = 0;
    GameKitResult result = GameKitReadMember(archive, &member, 0, data.data(), member.size, &got);
    EXPECT_EQ(result, GameKitOk) << member.name;
    EXPECT_EQ(got, member.size) << member.name;
    return data;
}

// Every member, name and data, in directory order.
std::vector<std::pair<std::string, std::string>> AllMembers(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> all;
    GameKitArchive archive;
    GameKitResult opened = GameKitOpenArchive(&archive, path.c_str());
    EXPECT_EQ(opened, GameKitOk) << GameKitResultText(opened);
    for (uint32_t i = 0; i < GameKitMemberCount(&archive); ++i) {
        GameKitMember member;
        EXPECT_EQ(GameKitGetMember(&archive, i, &member), GameKitOk);
        EXPECT_EQ(member.index, i);
        all.emplace_back(member.name, member.stored ? ReadWhole(&archive, member) : "<packed>");
    }
    GameKitCloseArchive(&archive);
    return all;
}

GameKitResult OpenResult(const std::string& bytes) {
    WriteFile("probe.bin", bytes);
    GameKitArchive archive;
    GameKitResult result = GameKitOpenArchive(&archive, "probe.bin");
    GameKitCloseArchive(&archive);
    return result;
}

// Opens, then describes member index: the open's result, else the member's.
GameKitResult MemberResult(const std::string& bytes, uint32_t index) {
    WriteFile("probe.bin", bytes);
    GameKitArchive archive;
    GameKitResult result = GameKitOpenArchive(&archive, "probe.bin");
    if (result == GameKitOk) {
        GameKitMember member;
        result = GameKitGetMember(&archive, index, &member);
    }
    GameKitCloseArchive(&archive);
    return result;
}

class GameKitTest : public ::testing::Test {
  protected:
    ScratchFolder scratch;
};

// ---- What the disc's tools and a standard zip tool write

TEST_F(GameKitTest, ReadsTheArchiveToolsWork) {
    std::string program = "MZ" + Pattern(6000, 3);
    WriteFile("game.exe", program);
    ASSERT_EQ(ArchiveTool("init game.exe"), 0);
    {
        GameKitArchive archive;
        ASSERT_EQ(GameKitOpenArchive(&archive, "game.exe"), GameKitOk);
        EXPECT_EQ(GameKitMemberCount(&archive), 0u);
        GameKitMember member;
        EXPECT_EQ(GameKitFindMember(&archive, "Credits.txt", &member), GameKitNotFound);
        GameKitCloseArchive(&archive);
    }

    WriteFile("credits.txt", "Made by us\r\n");
    WriteFile("music.wav", Pattern(70000, 4));
    WriteFile("empty", "");
    WriteFile("readme", "read me");
    ASSERT_EQ(ArchiveTool("add game.exe credits.txt Credits.txt"), 0);
    ASSERT_EQ(ArchiveTool("add game.exe music.wav data/music1.wav"), 0);
    ASSERT_EQ(ArchiveTool("add game.exe empty Empty.txt"), 0);
    ASSERT_EQ(ArchiveTool("add game.exe readme " + Quote("Docs/Read Me.txt")), 0);
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(AllMembers("game.exe"), (Pairs{{"Credits.txt", "Made by us\r\n"},
                                             {"data/music1.wav", Pattern(70000, 4)},
                                             {"Empty.txt", ""},
                                             {"Docs/Read Me.txt", "read me"}}));

    GameKitArchive archive;
    ASSERT_EQ(GameKitOpenArchive(&archive, "game.exe"), GameKitOk);
    GameKitMember member;
    ASSERT_EQ(GameKitFindMember(&archive, "DATA/MUSIC1.WAV", &member), GameKitOk);
    EXPECT_STREQ(member.name, "data/music1.wav");
    EXPECT_EQ(member.index, 1u);
    EXPECT_EQ(member.size, 70000u);
    EXPECT_TRUE(member.stored);
    // The data lies in the file where the member says, after the program.
    std::string file = ReadFile("game.exe");
    EXPECT_GT(member.dataOffset, program.size());
    EXPECT_EQ(file.substr(member.dataOffset, 70000), Pattern(70000, 4));
    EXPECT_EQ(GameKitFindMember(&archive, "data\\music1.wav", &member), GameKitNotFound);
    EXPECT_EQ(GameKitFindMember(&archive, "data/music1.wa", &member), GameKitNotFound);
    EXPECT_EQ(GameKitFindMember(&archive, "data/music1.wav2", &member), GameKitNotFound);

    ASSERT_EQ(GameKitExtractMember(&archive, "data/Music1.wav", "out.wav"), GameKitOk);
    EXPECT_EQ(ReadFile("out.wav"), Pattern(70000, 4));
    ASSERT_EQ(GameKitExtractMember(&archive, "Empty.txt", "out.txt"), GameKitOk);
    EXPECT_TRUE(Exists("out.txt"));
    EXPECT_EQ(ReadFile("out.txt"), "");
    GameKitCloseArchive(&archive);

    // A member the tool replaced keeps its place with its new bytes.
    WriteFile("credits2.txt", "Made by all of us\r\n");
    ASSERT_EQ(ArchiveTool("replace game.exe credits.txt credits2.txt"), 0);
    Pairs after = AllMembers("game.exe");
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[0],
              (std::pair<std::string, std::string>{"Credits.txt", "Made by all of us\r\n"}));
}

class ZipTest : public GameKitTest {
  protected:
    void SetUp() override {
        WriteFile("Credits.txt", "Made by us\r\n");
        WriteFile("data/music1.wav", Pattern(30000, 5));
        WriteFile("data/Read Me.txt", "read me\n");
    }
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    Pairs Expected() const {
        return {{"Credits.txt", "Made by us\r\n"},
                {"data/", ""},
                {"data/music1.wav", Pattern(30000, 5)},
                {"data/Read Me.txt", "read me\n"}};
    }
    static constexpr const char* Files = "Credits.txt data data/music1.wav 'data/Read Me.txt'";
};

// zip writes extended-time and owner fields into its local headers, longer
// than those of its directory: the data lies after the local header's own.
TEST_F(ZipTest, StoredArchiveWithExtraFields) {
    ASSERT_EQ(Shell(std::string("zip -0 -q a.zip ") + Files), 0);
    std::string zip = ReadFile("a.zip");
    ASSERT_GT(U16At(zip, 28), 0u) << "the fixture's local header has no extra field";
    EXPECT_EQ(AllMembers("a.zip"), Expected());
}

// Written to a pipe, zip puts the sizes in data descriptors after the data
// and leaves the local header's sizes 0: the directory's count.
TEST_F(ZipTest, StreamedArchiveWithDataDescriptors) {
    ASSERT_EQ(Shell(std::string("zip -0 -q - ") + Files + " | cat > b.zip"), 0);
    std::string zip = ReadFile("b.zip");
    ASSERT_TRUE(U16At(zip, 6) & 8) << "the fixture has no data descriptor";
    EXPECT_EQ(AllMembers("b.zip"), Expected());
}

TEST_F(ZipTest, ArchiveWithComment) {
    ASSERT_EQ(Shell(std::string("zip -0 -q c.zip ") + Files), 0);
    ASSERT_EQ(Shell("echo 'a comment that says PK' | zip -q -z c.zip"), 0);
    std::string zip = ReadFile("c.zip");
    ASSERT_NE(U16At(zip, zip.rfind("PK\x05\x06") + 20), 0u) << "the fixture has no comment";
    EXPECT_EQ(AllMembers("c.zip"), Expected());
}

// An archive written alone and appended to a program, as self-extracting
// archives are made: its offsets are off by the program's length.
TEST_F(ZipTest, ArchiveAppendedToAProgram) {
    ASSERT_EQ(Shell(std::string("zip -0 -q d.zip ") + Files), 0);
    std::string program = "MZ" + Pattern(5000, 8);
    WriteFile("game.exe", program + ReadFile("d.zip"));
    EXPECT_EQ(AllMembers("game.exe"), Expected());
    // zip -A puts the offsets right; the same members come out.
    ASSERT_EQ(Shell("zip -q -A game.exe"), 0);
    EXPECT_EQ(AllMembers("game.exe"), Expected());
}

TEST_F(ZipTest, CompressedMembersAreListedButNotRead) {
    WriteFile("big.txt", std::string(20000, 'a'));
    ASSERT_EQ(Shell("zip -9 -q e.zip big.txt Credits.txt"), 0);
    GameKitArchive archive;
    ASSERT_EQ(GameKitOpenArchive(&archive, "e.zip"), GameKitOk);
    GameKitMember member;
    ASSERT_EQ(GameKitFindMember(&archive, "big.txt", &member), GameKitOk);
    EXPECT_FALSE(member.stored);
    EXPECT_EQ(member.size, 20000u);
    char buffer[16];
    uint32_t got = 99;
    EXPECT_EQ(GameKitReadMember(&archive, &member, 0, buffer, sizeof buffer, &got),
              GameKitNotStored);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(GameKitExtractMember(&archive, "big.txt", "big.out"), GameKitNotStored);
    EXPECT_FALSE(Exists("big.out"));
    EXPECT_FALSE(Exists("big.out.part"));
    GameKitCloseArchive(&archive);
}

// ---- Records written by hand

TEST_F(GameKitTest, LocalHeaderWithItsOwnNameAndExtraField) {
    HandMember first{"a.txt", "first", std::string(9, 'x')};
    HandMember second{"b.txt", "second", "", std::string(4, 'y')};
    second.localName = "a/much/longer/name.txt";
    HandArchive archive = BuildByHand({first, second}, "MZprogram");
    WriteFile("game.exe", archive.bytes);
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(AllMembers("game.exe"), (Pairs{{"a.txt", "first"}, {"b.txt", "second"}}));
}

// Zip writes an encrypted member with the method "stored" too: its bytes are
// not the member's.
TEST_F(GameKitTest, EncryptedMemberIsNotRead) {
    HandMember secret{"secret.txt", "scrambled"};
    secret.flags = 1;
    WriteFile("game.exe", BuildByHand({secret}).bytes);
    GameKitArchive archive;
    ASSERT_EQ(GameKitOpenArchive(&archive, "game.exe"), GameKitOk);
    GameKitMember member;
    ASSERT_EQ(GameKitGetMember(&archive, 0, &member), GameKitOk);
    EXPECT_FALSE(member.stored);
    EXPECT_EQ(GameKitExtractMember(&archive, "secret.txt", "out"), GameKitNotStored);
    GameKitCloseArchive(&archive);
}

TEST_F(GameKitTest, FilesThatCarryNoArchive) {
    EXPECT_EQ(OpenResult(""), GameKitNoArchive);
    EXPECT_EQ(OpenResult(std::string(21, 'P')), GameKitNoArchive);
    EXPECT_EQ(OpenResult(std::string(22, '\0')), GameKitNoArchive);
    EXPECT_EQ(OpenResult("MZ" + Pattern(100000, 2)), GameKitNoArchive);
    GameKitArchive archive;
    EXPECT_EQ(GameKitOpenArchive(&archive, "no such file"), GameKitCannotOpen);
    EXPECT_EQ(GameKitMemberCount(&archive), 0u);
    std::filesystem::create_directory("folder");
    EXPECT_NE(GameKitOpenArchive(&archive, "folder"), GameKitOk);
    EXPECT_EQ(GameKitMemberCount(&archive), 0u);

    // A comment whose length does not reach exactly to the end.
    HandArchive commented = BuildByHand({{"a.txt", "a"}}, "", false, "comment");
    std::string longer = commented.bytes;
    PutU16(longer, commented.endRecord + 20, 8);
    EXPECT_EQ(OpenResult(longer), GameKitNoArchive);
    std::string shorter = commented.bytes;
    PutU16(shorter, commented.endRecord + 20, 6);
    EXPECT_EQ(OpenResult(shorter), GameKitNoArchive);
    EXPECT_EQ(OpenResult(commented.bytes), GameKitOk);
}

TEST_F(GameKitTest, DamagedDirectoryIsRefusedAtOpen) {
    HandArchive good = BuildByHand({{"a.txt", "alpha"}, {"b.txt", "beta"}}, "MZ");
    size_t end = good.endRecord, second = good.centralEntries[1];
    ASSERT_EQ(OpenResult(good.bytes), GameKitOk);

    struct Case {
        const char* what;
        size_t offset;
        int width;
        uint32_t value;
    } cases[] = {
        {"more entries than records", end + 10, 2, 3},
        {"fewer entries than records", end + 10, 2, 1},
        {"no entries but a directory", end + 10, 2, 0},
        {"directory larger than what precedes it", end + 12, 4, uint32_t(end) + 1},
        {"directory too small for its entries", end + 12, 4, 46},
        {"directory past the end record", end + 16, 4, uint32_t(end) + 1},
        {"record signature wrong", second, 4, 0x02014B51},
        {"name running past the directory", second + 28, 2, 60000},
        {"extra field running past the directory", second + 30, 2, 200},
        {"comment running past the directory", second + 32, 2, 1},
        {"empty name", second + 28, 2, 0},
    };
    for (const Case& c : cases) {
        std::string bytes = good.bytes;
        if (c.width == 2)
            PutU16(bytes, c.offset, uint16_t(c.value));
        else
            PutU32(bytes, c.offset, c.value);
        EXPECT_EQ(OpenResult(bytes), GameKitDamaged) << c.what;
    }

    std::string zeroInName = good.bytes;
    zeroInName[second + 46 + 1] = '\0';
    EXPECT_EQ(OpenResult(zeroInName), GameKitDamaged) << "a zero byte in a name";
}

TEST_F(GameKitTest, LongestName) {
    EXPECT_EQ(OpenResult(BuildByHand({{std::string(255, 'n'), "x"}}).bytes), GameKitOk);
    EXPECT_EQ(OpenResult(BuildByHand({{std::string(256, 'n'), "x"}}).bytes), GameKitDamaged);
    WriteFile("game.exe", BuildByHand({{std::string(255, 'n'), "x"}}).bytes);
    GameKitArchive archive;
    ASSERT_EQ(GameKitOpenArchive(&archive, "game.exe"), GameKitOk);
    GameKitMember member;
    ASSERT_EQ(GameKitFindMember(&archive, std::string(255, 'N').c_str(), &member), GameKitOk);
    EXPECT_EQ(std::string(member.name), std::string(255, 'n'));
    GameKitCloseArchive(&archive);
}

// Records that pass the directory's check but point where no member can be.
TEST_F(GameKitTest, MembersOutsideTheArchiveAreRefused) {
    HandArchive good =
        BuildByHand({{"a.txt", "alpha", std::string(5, 'e')}, {"b.txt", "beta"}}, "MZ");
    size_t firstLocal = good.localHeaders[0], secondEntry = good.centralEntries[1];
    uint32_t directory = uint32_t(good.centralEntries[0]);
    ASSERT_EQ(MemberResult(good.bytes, 1), GameKitOk);

    struct Case {
        const char* what;
        size_t offset;
        int width;
        uint32_t value;
        uint32_t index;
    } cases[] = {
        {"local header inside the directory", secondEntry + 42, 4, directory - 29, 1},
        {"local header past the file", secondEntry + 42, 4, 0xFFFFFFF0u, 1},
        {"data reaching into the directory", secondEntry + 24, 4, 200, 1},
        {"data past 4 GiB", secondEntry + 24, 4, 0xFFFFFFFFu, 1},
        {"local signature wrong", firstLocal, 4, 0x04034B51, 0},
        {"local extra field reaching into the directory", firstLocal + 28, 2, 60000, 0},
        {"local name reaching into the directory", firstLocal + 26, 2, 60000, 0},
    };
    for (const Case& c : cases) {
        std::string bytes = good.bytes;
        if (c.width == 2)
            PutU16(bytes, c.offset, uint16_t(c.value));
        else
            PutU32(bytes, c.offset, c.value);
        // The sizes in the directory: compressed and uncompressed alike.
        if (c.offset == secondEntry + 24) PutU32(bytes, secondEntry + 20, c.value);
        EXPECT_EQ(MemberResult(bytes, c.index), GameKitDamaged) << c.what;
        // A lookup by name says the same, and nothing is extracted.
        WriteFile("probe.bin", bytes);
        GameKitArchive archive;
        ASSERT_EQ(GameKitOpenArchive(&archive, "probe.bin"), GameKitOk) << c.what;
        EXPECT_EQ(GameKitExtractMember(&archive, c.index ? "b.txt" : "a.txt", "out"),
                  GameKitDamaged)
            << c.what;
        EXPECT_FALSE(Exists("out"));
        GameKitCloseArchive(&archive);
    }
}

// Every cut of the file, and every byte of its archive part changed, under
// the sanitizers: the kit refuses or reads, and whatever it reads lies inside
// the file.
TEST_F(GameKitTest, EveryCutAndEveryChangedByteIsSafe) {
    HandArchive good = BuildByHand(
        {{"a.txt", "alpha", "ext1"}, {"data/b.wav", Pattern(40, 6), "", "cx"}, {"c", ""}}, "MZ",
        false, "zz");
    // Cut right after the end record, only the comment is lost: an end record
    // in the last 22 bytes counts whatever comment length it gives.
    size_t commentCut = good.endRecord + 22;
    for (size_t length = 0; length < good.bytes.size(); ++length) {
        EXPECT_EQ(OpenResult(good.bytes.substr(0, length)) == GameKitOk, length == commentCut)
            << "cut at " << length;
    }
    size_t opened = 0;
    for (size_t offset = 2; offset < good.bytes.size(); ++offset) {
        for (int change : {0x00, 0xFF, 0x01, 0x80}) {
            std::string bytes = good.bytes;
            bytes[offset] = char(change == 0x01 ? bytes[offset] + 1 : change);
            WriteFile("probe.bin", bytes);
            GameKitArchive archive;
            if (GameKitOpenArchive(&archive, "probe.bin") != GameKitOk) continue;
            ++opened;
            for (uint32_t i = 0; i < GameKitMemberCount(&archive); ++i) {
                GameKitMember member;
                if (GameKitGetMember(&archive, i, &member) != GameKitOk || !member.stored) continue;
                ASSERT_LE(uint64_t(member.dataOffset) + member.size, bytes.size());
                std::string data(member.size, '\0');
                uint32_t got = 0;
                ASSERT_EQ(GameKitReadMember(&archive, &member, 0, data.data(), member.size, &got),
                          GameKitOk);
                EXPECT_EQ(data, bytes.substr(member.dataOffset, member.size));
            }
            GameKitCloseArchive(&archive);
        }
    }
    // Changes to data, times and CRCs leave it readable.
    EXPECT_GT(opened, 100u);
}

// ---- Reading and extracting

TEST_F(GameKitTest, ReadsPartsOfAMember) {
    WriteFile("game.exe", BuildByHand({{"a.txt", "0123456789"}}, "MZ").bytes);
    GameKitArchive archive;
    ASSERT_EQ(GameKitOpenArchive(&archive, "game.exe"), GameKitOk);
    GameKitMember member;
    ASSERT_EQ(GameKitGetMember(&archive, 0, &member), GameKitOk);
    char buffer[32] = {};
    uint32_t got = 0;
    EXPECT_EQ(GameKitReadMember(&archive, &member, 7, buffer, 100, &got), GameKitOk);
    EXPECT_EQ(std::string(buffer, got), "789");
    EXPECT_EQ(GameKitReadMember(&archive, &member, 2, buffer, 3, &got), GameKitOk);
    EXPECT_EQ(std::string(buffer, got), "234");
    EXPECT_EQ(GameKitReadMember(&archive, &member, 10, buffer, 1, &got), GameKitOk);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(GameKitReadMember(&archive, &member, 0xFFFFFFFFu, buffer, 1, &got), GameKitOk);
    EXPECT_EQ(got, 0u);

    // A record changed in the caller's hands still reads only the archive.
    GameKitMember forged = member;
    forged.size = 1000000;
    EXPECT_EQ(GameKitReadMember(&archive, &forged, 0, buffer, sizeof buffer, &got),
              GameKitBadArgument);
    forged = member;
    forged.dataOffset = 0xFFFFFFF0u;
    EXPECT_EQ(GameKitReadMember(&archive, &forged, 0, buffer, sizeof buffer, &got),
              GameKitBadArgument);
    EXPECT_EQ(got, 0u);
    GameKitCloseArchive(&archive);
}

TEST_F(GameKitTest, ExtractReplacesOrLeavesAsItWas) {
    WriteFile("game.exe", BuildByHand({{"a.txt", "new text"}}, "MZ").bytes);
    GameKitArchive archive;
    ASSERT_EQ(GameKitOpenArchive(&archive, "game.exe"), GameKitOk);

    WriteFile("target.txt", "old text, longer than the new");
    ASSERT_EQ(GameKitExtractMember(&archive, "a.txt", "target.txt"), GameKitOk);
    EXPECT_EQ(ReadFile("target.txt"), "new text");
    EXPECT_FALSE(Exists("target.txt.part"));

    WriteFile("kept.txt", "kept");
    EXPECT_EQ(GameKitExtractMember(&archive, "b.txt", "kept.txt"), GameKitNotFound);
    EXPECT_EQ(ReadFile("kept.txt"), "kept");

    EXPECT_EQ(GameKitExtractMember(&archive, "a.txt", "no/such/folder/a.txt"), GameKitWriteFailed);
    // A folder in the way: written, then not put in place; nothing is left.
    std::filesystem::create_directory("in the way");
    WriteFile("in the way/inside", "inside");
    EXPECT_EQ(GameKitExtractMember(&archive, "a.txt", "in the way"), GameKitWriteFailed);
    EXPECT_EQ(ReadFile("in the way/inside"), "inside");
    EXPECT_FALSE(Exists("in the way.part"));
    GameKitCloseArchive(&archive);
}

TEST_F(GameKitTest, WrongArgumentsAndClosedArchives) {
    WriteFile("game.exe", BuildByHand({{"a.txt", "a"}}).bytes);
    GameKitArchive archive = {};
    GameKitMember member;
    uint32_t got = 7;
    char byte;
    EXPECT_EQ(GameKitMemberCount(&archive), 0u);
    EXPECT_EQ(GameKitMemberCount(nullptr), 0u);
    EXPECT_EQ(GameKitGetMember(&archive, 0, &member), GameKitBadArgument);
    EXPECT_EQ(GameKitFindMember(&archive, "a.txt", &member), GameKitBadArgument);
    EXPECT_EQ(GameKitOpenArchive(nullptr, "game.exe"), GameKitBadArgument);
    EXPECT_EQ(GameKitOpenArchive(&archive, nullptr), GameKitBadArgument);
    EXPECT_EQ(GameKitOpenArchive(&archive, ""), GameKitBadArgument);
    GameKitCloseArchive(&archive);
    GameKitCloseArchive(nullptr);

    ASSERT_EQ(GameKitOpenArchive(&archive, "game.exe"), GameKitOk);
    EXPECT_EQ(GameKitGetMember(&archive, 1, &member), GameKitBadArgument);
    EXPECT_EQ(GameKitGetMember(&archive, 0, nullptr), GameKitBadArgument);
    EXPECT_EQ(GameKitFindMember(&archive, "", &member), GameKitBadArgument);
    EXPECT_EQ(GameKitFindMember(&archive, nullptr, &member), GameKitBadArgument);
    ASSERT_EQ(GameKitGetMember(&archive, 0, &member), GameKitOk);
    EXPECT_EQ(GameKitReadMember(&archive, &member, 0, nullptr, 1, &got), GameKitBadArgument);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(GameKitReadMember(&archive, &member, 0, &byte, 1, nullptr), GameKitBadArgument);
    EXPECT_EQ(GameKitExtractMember(&archive, "a.txt", ""), GameKitBadArgument);
    EXPECT_EQ(GameKitExtractMember(&archive, "a.txt", nullptr), GameKitBadArgument);
    // Closing twice is harmless; a closed archive reads nothing.
    GameKitCloseArchive(&archive);
    GameKitCloseArchive(&archive);
    EXPECT_EQ(GameKitReadMember(&archive, &member, 0, &byte, 1, &got), GameKitBadArgument);
}

// ---- The command line

TEST(GameKitCommandLine, RemovalIsOneWordInAnyCase) {
    for (const char* line : {"/REMOVE", "/remove", "  /Remove\t", "-x /REMOVE -y", "\t/rEmOvE"})
        EXPECT_TRUE(GameKitWantsRemoval(line)) << line;
    for (const char* line :
         {"", " ", "/REMOVEX", "x/REMOVE", "/REMOV", "REMOVE", "\"/REMOVE\"", "/REMOVE2 /REMOVE-"})
        EXPECT_FALSE(GameKitWantsRemoval(line)) << line;
    EXPECT_FALSE(GameKitWantsRemoval(nullptr));
    EXPECT_TRUE(GameKitHasWord("play -windowed", "-WINDOWED"));
    EXPECT_FALSE(GameKitHasWord("play", ""));
    EXPECT_FALSE(GameKitHasWord("play", nullptr));
}

}  // namespace
