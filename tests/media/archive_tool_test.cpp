// The vexlo-archive tool end to end, and archives made by a standard zip tool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "media_test_support.h"
#include "setup/media/archive_reader.h"

using namespace media_test;

namespace {

struct Result {
    int exitCode;
    std::string out;
    std::string err;
};

Result Tool(const std::string& arguments) {
    std::string command =
        std::string(VEXLO_ARCHIVE_TOOL) + " " + arguments + " >tool.out 2>tool.err";
    int status = std::system(command.c_str());
    Result result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile("tool.out"),
                  ReadFile("tool.err")};
    std::filesystem::remove("tool.out");
    std::filesystem::remove("tool.err");
    return result;
}

// A failure is one line on stderr naming the file, and a non-zero exit code.
void ExpectFailure(const Result& result, const std::string& file) {
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(result.err.rfind("vexlo-archive: " + file + ": ", 0), 0u) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}

class ArchiveToolTest : public ::testing::Test {
  protected:
    ScratchFolder scratch;
};

TEST_F(ArchiveToolTest, InitAddListExtract) {
    std::string program = "MZ" + Pattern(5000, 9);
    WriteFile("game.exe", program);
    WriteFile("credits.txt", "Made by us\r\n");
    WriteFile("music.wav", Pattern(70000, 4));

    ASSERT_EQ(Tool("init game.exe").exitCode, 0);
    std::string initialised = ReadFile("game.exe");
    ASSERT_EQ(initialised.size(), program.size() + 22);
    EXPECT_EQ(initialised.substr(0, program.size()), program);
    EXPECT_EQ(U32At(initialised, program.size() + 16), program.size());  // directory offset
    Result empty = Tool("list game.exe");
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "");

    ASSERT_EQ(Tool("add game.exe credits.txt Credits.txt").exitCode, 0);
    ASSERT_EQ(Tool("add game.exe music.wav data/music1.wav").exitCode, 0);
    EXPECT_EQ(ReadFile("game.exe").substr(0, program.size()), program);

    Result list = Tool("list game.exe");
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out, "12 Credits.txt\n70000 data/music1.wav\n");

    ASSERT_EQ(Tool("extract game.exe DATA/MUSIC1.WAV out.wav").exitCode, 0);
    EXPECT_TRUE(ReadFile("out.wav") == Pattern(70000, 4));
    ASSERT_EQ(Tool("extract game.exe Credits.txt credits.out").exitCode, 0);
    EXPECT_EQ(ReadFile("credits.out"), "Made by us\r\n");

    // OUT is a plain file even with a ';': no member goes into game.exe.
    std::string before = ReadFile("game.exe");
    ASSERT_EQ(Tool("extract game.exe Credits.txt 'game.exe;copy'").exitCode, 0);
    EXPECT_EQ(ReadFile("game.exe;copy"), "Made by us\r\n");
    EXPECT_EQ(ReadFile("game.exe"), before);
}

TEST_F(ArchiveToolTest, InitRefusals) {
    WriteFile("a.zip", EmptyEndRecord(StandardEnd));
    ExpectFailure(Tool("init a.zip"), "a.zip");
    EXPECT_EQ(ReadFile("a.zip"), EmptyEndRecord(StandardEnd));
    ExpectFailure(Tool("init missing.exe"), "missing.exe");
    EXPECT_FALSE(Exists("missing.exe"));
    EXPECT_NE(Tool("init").exitCode, 0);
    EXPECT_NE(Tool("frobnicate a.zip").exitCode, 0);
}

TEST_F(ArchiveToolTest, AddRefusalsLeaveTheArchiveUnchanged) {
    WriteFile("plain.exe", "MZ no archive here, just a program that was never initialised");
    WriteFile("m.txt", "member");
    std::string plain = ReadFile("plain.exe");
    ExpectFailure(Tool("add plain.exe m.txt m.txt"), "plain.exe");
    EXPECT_EQ(ReadFile("plain.exe"), plain);

    WriteFile("game.exe", "MZ");
    ASSERT_EQ(Tool("init game.exe").exitCode, 0);
    ASSERT_EQ(Tool("add game.exe m.txt m.txt").exitCode, 0);
    std::string game = ReadFile("game.exe");
    ExpectFailure(Tool("add game.exe missing.txt x.txt"), "missing.txt");
    ExpectFailure(Tool("add game.exe m.txt M.TXT"), "game.exe");
    ExpectFailure(Tool("add game.exe m.txt " + std::string(84, 'n')), "game.exe");
    ExpectFailure(Tool("add 'game.exe;x' m.txt y"), "game.exe;x");
    ExpectFailure(Tool("add missing.exe m.txt y"), "missing.exe");
    EXPECT_EQ(ReadFile("game.exe"), game);
}

TEST_F(ArchiveToolTest, ListAndExtractRefusals) {
    WriteFile("plain.bin", "nothing to see");
    ExpectFailure(Tool("list plain.bin"), "plain.bin");
    ExpectFailure(Tool("list missing.zip"), "missing.zip");

    WriteFile("a.zip", BuildArchive({{{"a.txt", "abc"}}}));
    ExpectFailure(Tool("extract a.zip b.txt out.txt"), "a.zip");
    EXPECT_FALSE(Exists("out.txt"));
    ExpectFailure(Tool("extract a.zip a.txt no/such/folder/out.txt"),
                  "no/such/folder/out.txt.part");
    // A damaged member (data past the end) is refused, not half-extracted.
    std::string damaged = BuildArchive({{{"a.txt", "abc"}}});
    damaged[damaged.size() - 22 - 51 + 24 + 1] = 0x10;
    WriteFile("d.zip", damaged);
    ExpectFailure(Tool("extract d.zip a.txt out.txt"), "d.zip");
    EXPECT_FALSE(Exists("out.txt"));
    EXPECT_FALSE(Exists("out.txt.part"));
}

TEST_F(ArchiveToolTest, StoredZipFromAStandardToolReadsAndTakesMembers) {
    std::filesystem::create_directories("tree/data/sub");
    WriteFile("tree/Setup.exe", Pattern(1234, 1));
    WriteFile("tree/data/music1.mp3", Pattern(40000, 2));
    WriteFile("tree/data/sub/ReadMe.txt", "Read me first\r\n");
    ASSERT_EQ(std::system("cd tree && zip -q -0 -X -r ../disc.zip Setup.exe data"), 0);

    ArchiveReader reader;
    ASSERT_EQ(reader.OpenArchive("disc.zip", 20), 1);
    struct Record {
        char name[512];
        uint32_t size;
    } records[8] = {};
    uint32_t count = reader.ListEntries("data/*.mp3", records[0].name, &records[0].size,
                                        sizeof(Record), 8, false, true, 0);
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(records[0].name, "data/music1.mp3");
    EXPECT_EQ(records[0].size, 40000u);
    for (const char* name : {"Setup.exe", "data/music1.mp3", "data/sub/ReadMe.txt"}) {
        EntryHandle* entry = reader.OpenEntry(name, false);
        ASSERT_NE(entry, nullptr) << name;
        std::string bytes(size_t(reader.EntrySize(entry)), '\0');
        ASSERT_EQ(reader.ReadEntry(entry, &bytes[0], uint32_t(bytes.size())), bytes.size());
        EXPECT_TRUE(bytes == ReadFile(std::string("tree/") + name)) << name;
        reader.CloseEntry(entry);
    }
    reader.CloseArchive();

    // Appending keeps what zip wrote and adds behind it.
    WriteFile("extra.wav", Pattern(999, 5));
    ASSERT_EQ(Tool("add disc.zip extra.wav data/extra.wav").exitCode, 0);
    Result list = Tool("list disc.zip");
    EXPECT_NE(list.out.find("40000 data/music1.mp3\n"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.substr(list.out.size() - 19), "999 data/extra.wav\n");
    ASSERT_EQ(Tool("extract disc.zip data/sub/ReadMe.txt readme.out").exitCode, 0);
    EXPECT_EQ(ReadFile("readme.out"), "Read me first\r\n");
}

TEST_F(ArchiveToolTest, PipesDirectoriesAndPartFilesAreRefusedAndNothingIsLost) {
    WriteFile("game.exe", "MZ");
    ASSERT_EQ(Tool("init game.exe").exitCode, 0);
    WriteFile("m.txt", "member bytes");
    ASSERT_EQ(Tool("add game.exe m.txt m.txt").exitCode, 0);
    std::string game = ReadFile("game.exe");

    // A pipe has no size to take before copying: it once went in empty.
    ExpectFailure(Tool("add game.exe /dev/stdin p.txt < /dev/null"), "/dev/stdin");
    ASSERT_EQ(std::system("mkfifo fifo && (cat m.txt > fifo &)"), 0);
    ExpectFailure(Tool("add game.exe fifo p.txt"), "fifo");
    std::system("cat fifo > /dev/null");
    EXPECT_EQ(ReadFile("game.exe"), game);

    // An existing directory is not OUT; it stays, with what it holds.
    std::filesystem::create_directory("empty");
    ExpectFailure(Tool("extract game.exe m.txt empty"), "empty");
    EXPECT_TRUE(std::filesystem::is_directory("empty"));
    EXPECT_FALSE(Exists("empty.part"));

    // Someone's OUT.part is theirs; OUT is not touched either.
    WriteFile("out.txt", "old out");
    WriteFile("out.txt.part", "someone's work");
    ExpectFailure(Tool("extract game.exe m.txt out.txt"), "out.txt.part");
    EXPECT_EQ(ReadFile("out.txt.part"), "someone's work");
    EXPECT_EQ(ReadFile("out.txt"), "old out");
    std::filesystem::remove("out.txt.part");
    ASSERT_EQ(Tool("extract game.exe m.txt out.txt").exitCode, 0);
    EXPECT_EQ(ReadFile("out.txt"), "member bytes");
}

// Members past what the format's 32-bit sizes hold are refused before any
// byte is written (sparse files: no disk space is used).
TEST_F(ArchiveToolTest, FilesPastFourGiBAreRefused) {
    WriteFile("game.exe", "MZ");
    ASSERT_EQ(Tool("init game.exe").exitCode, 0);
    std::string game = ReadFile("game.exe");
    WriteFile("huge.wav", "");
    std::filesystem::resize_file("huge.wav", (4ull << 30) + 1);
    Result result = Tool("add game.exe huge.wav data/huge.wav");
    ExpectFailure(result, "huge.wav");
    EXPECT_NE(result.err.find("larger than a member can be"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile("game.exe"), game);

    ExpectFailure(Tool("init huge.wav"), "huge.wav");
    EXPECT_EQ(std::filesystem::file_size("huge.wav"), (4ull << 30) + 1);
}

// zip writes extra fields (times, owners) into local headers by default; the
// data begins after them.
TEST_F(ArchiveToolTest, DefaultStoredZipWithExtraFieldsExtractsTheRightBytes) {
    std::filesystem::create_directories("tree/data");
    WriteFile("tree/data/theme.mp3", Pattern(30000, 7));
    WriteFile("tree/ReadMe.txt", "Read me\r\n");
    ASSERT_EQ(std::system("cd tree && zip -q -0 -r ../disc.zip ReadMe.txt data"), 0);
    std::string zipped = ReadFile("disc.zip");
    ASSERT_NE(U16At(zipped, 28), 0) << "zip wrote no extra field; the test proves nothing";
    ASSERT_EQ(Tool("extract disc.zip data/theme.mp3 theme.out").exitCode, 0);
    EXPECT_TRUE(ReadFile("theme.out") == Pattern(30000, 7));
    ASSERT_EQ(Tool("extract disc.zip ReadMe.txt readme.out").exitCode, 0);
    EXPECT_EQ(ReadFile("readme.out"), "Read me\r\n");
}

}  // namespace

namespace {

std::string ListOf(const std::string& archive) {
    Result list = Tool("list " + archive);
    EXPECT_EQ(list.exitCode, 0) << list.err;
    return list.out;
}

// A program with three members, as `init` and `add` leave it.
std::string MakeGame(const std::string& program) {
    WriteFile("game.exe", program);
    WriteFile("credits.txt", "Made by us\r\n");
    WriteFile("music1.wav", Pattern(70000, 4));
    WriteFile("remove.txt", "C:\\Games\\Vexlo\\VexloDmo.exe\r\n");
    EXPECT_EQ(Tool("init game.exe").exitCode, 0);
    std::string initialised = ReadFile("game.exe");
    EXPECT_EQ(Tool("add game.exe credits.txt Credits.txt").exitCode, 0);
    EXPECT_EQ(Tool("add game.exe music1.wav data/music1.wav").exitCode, 0);
    EXPECT_EQ(Tool("add game.exe remove.txt Remove.txt").exitCode, 0);
    return initialised;
}

TEST_F(ArchiveToolTest, ReplaceAndRemoveKeepTheProgramAndTheOtherMembers) {
    std::string program = "MZ" + Pattern(9000, 3);
    std::string initialised = MakeGame(program);
    std::filesystem::permissions("game.exe", std::filesystem::perms(0755));

    // Other bytes under the stored name, in the same place of the directory.
    WriteFile("credits2.txt", "Made by us and by our friends\r\n");
    ASSERT_EQ(Tool("replace game.exe CREDITS.TXT credits2.txt").exitCode, 0);
    EXPECT_EQ(ListOf("game.exe"), "31 Credits.txt\n70000 data/music1.wav\n29 Remove.txt\n");
    std::string game = ReadFile("game.exe");
    EXPECT_EQ(game.substr(0, program.size()), program);
    ASSERT_EQ(Tool("extract game.exe Credits.txt out.txt").exitCode, 0);
    EXPECT_EQ(ReadFile("out.txt"), ReadFile("credits2.txt"));
    ASSERT_EQ(Tool("extract game.exe data/music1.wav out.wav").exitCode, 0);
    EXPECT_TRUE(ReadFile("out.wav") == Pattern(70000, 4));
    // Still runnable, and the writer still takes members behind it.
    EXPECT_EQ(std::filesystem::status("game.exe").permissions(), std::filesystem::perms(0755));
    ASSERT_EQ(Tool("add game.exe credits.txt data/more.txt").exitCode, 0);

    // A member of no length, and a member replaced by itself.
    WriteFile("empty.txt", "");
    ASSERT_EQ(Tool("replace game.exe Remove.txt empty.txt").exitCode, 0);
    ASSERT_EQ(Tool("replace game.exe Remove.txt remove.txt").exitCode, 0);

    ASSERT_EQ(Tool("remove game.exe data/MUSIC1.wav").exitCode, 0);
    EXPECT_EQ(ListOf("game.exe"), "31 Credits.txt\n29 Remove.txt\n12 data/more.txt\n");
    ASSERT_EQ(Tool("extract game.exe Remove.txt out.txt").exitCode, 0);
    EXPECT_EQ(ReadFile("out.txt"), ReadFile("remove.txt"));
    ExpectFailure(Tool("extract game.exe data/music1.wav out.wav"), "game.exe");

    // With every member gone, the file is what `init` made of the program.
    ASSERT_EQ(Tool("remove game.exe Credits.txt").exitCode, 0);
    ASSERT_EQ(Tool("remove game.exe Remove.txt").exitCode, 0);
    ASSERT_EQ(Tool("remove game.exe data/more.txt").exitCode, 0);
    EXPECT_TRUE(ReadFile("game.exe") == initialised);
    EXPECT_FALSE(Exists("game.exe.rewrite"));

    // Through a link, the file behind it is rewritten and the link stays.
    ASSERT_EQ(Tool("add game.exe credits.txt Credits.txt").exitCode, 0);
    std::filesystem::create_symlink("game.exe", "link.exe");
    ASSERT_EQ(Tool("remove link.exe Credits.txt").exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_symlink("link.exe"));
    EXPECT_TRUE(ReadFile("game.exe") == initialised);
}

TEST_F(ArchiveToolTest, RemoveAndReplaceRefusalsLeaveTheArchiveUnchanged) {
    MakeGame("MZ" + Pattern(500, 8));
    std::string game = ReadFile("game.exe");
    WriteFile("m.txt", "member");

    ExpectFailure(Tool("remove game.exe data/music2.wav"), "game.exe");
    ExpectFailure(Tool("remove game.exe data"), "game.exe");
    ExpectFailure(Tool("replace game.exe Readme.txt m.txt"), "game.exe");
    ExpectFailure(Tool("replace game.exe Credits.txt missing.txt"), "missing.txt");
    std::filesystem::create_directory("folder");
    ExpectFailure(Tool("replace game.exe Credits.txt folder"), "folder");
    ExpectFailure(Tool("replace game.exe Credits.txt /dev/stdin < /dev/null"), "/dev/stdin");
    ExpectFailure(Tool("remove missing.exe Credits.txt"), "missing.exe");
    EXPECT_EQ(Tool("remove game.exe").exitCode, 2);
    EXPECT_EQ(Tool("replace game.exe Credits.txt").exitCode, 2);

    // Someone's file where the rewrite would go is theirs.
    WriteFile("game.exe.rewrite", "someone's work");
    ExpectFailure(Tool("remove game.exe Credits.txt"), "game.exe.rewrite");
    EXPECT_EQ(ReadFile("game.exe.rewrite"), "someone's work");
    std::filesystem::remove("game.exe.rewrite");
    EXPECT_EQ(ReadFile("game.exe"), game);

    WriteFile("plain.exe", "MZ a program that was never initialised");
    ExpectFailure(Tool("remove plain.exe Credits.txt"), "plain.exe");
    EXPECT_EQ(ReadFile("plain.exe"), "MZ a program that was never initialised");

    // Damaged archives are refused, not rewritten into something worse.
    std::string sizeTooLarge = BuildArchive({{{"a.txt", "abc"}, {"b.txt", "defg"}}});
    sizeTooLarge[sizeTooLarge.size() - 22 - 51 + 20] = 40;  // b.txt runs into the directory
    std::string overlap = BuildArchive({{{"a.txt", "abc"}, {"b.txt", "defg"}}});
    overlap[overlap.size() - 22 - 51 + 42] = 0;  // b.txt's header where a.txt's is
    std::string miscounted = BuildArchive({{{"a.txt", "abc"}}});
    miscounted[miscounted.size() - 22 + 10] = 2;
    // Offsets that count from the archive, not from the program before it.
    std::string unadjusted = "MZ" + BuildArchive({{{"a.txt", "abc"}}});
    for (const std::string& damaged : {sizeTooLarge, overlap, miscounted, unadjusted}) {
        WriteFile("d.zip", damaged);
        ExpectFailure(Tool("remove d.zip a.txt"), "d.zip");
        ExpectFailure(Tool("replace d.zip a.txt m.txt"), "d.zip");
        EXPECT_TRUE(ReadFile("d.zip") == damaged);
    }
    EXPECT_FALSE(Exists("d.zip.rewrite"));
}

// A real write failure (the file size limit) half way through the rewrite.
TEST_F(ArchiveToolTest, AFailedRewriteLeavesTheArchiveByteForByte) {
    MakeGame("MZ" + Pattern(200000, 6));
    std::string game = ReadFile("game.exe");
    WriteFile("big.wav", Pattern(300000, 2));
    for (const std::string& command : {std::string("remove game.exe Credits.txt"),
                                       std::string("replace game.exe Remove.txt big.wav")}) {
        std::string limited = "trap '' XFSZ; ulimit -f 200; " + std::string(VEXLO_ARCHIVE_TOOL) +
                              " " + command + " 2>tool.err";
        int status = std::system(("sh -c \"" + limited + "\"").c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << command;
        std::string err = ReadFile("tool.err");
        EXPECT_EQ(err.rfind("vexlo-archive: game.exe: could not be rewritten", 0), 0u) << err;
        EXPECT_TRUE(ReadFile("game.exe") == game) << command;
        EXPECT_FALSE(Exists("game.exe.rewrite")) << command;
    }
}

// Members as zip writes them, extra fields and streamed data descriptors
// included, are carried over as they were.
TEST_F(ArchiveToolTest, MembersOfAStandardZipAreCarriedOverAsStored) {
    std::filesystem::create_directories("tree/data");
    WriteFile("tree/ReadMe.txt", "Read me\r\n");
    WriteFile("tree/data/theme.mp3", Pattern(30000, 7));
    WriteFile("tree/data/boss.mp3", Pattern(20000, 9));
    ASSERT_EQ(std::system("cd tree && zip -q -0 -r ../disc.zip ReadMe.txt data"), 0);
    ASSERT_EQ(std::system("cd tree && zip -q -0 -r - ReadMe.txt data | cat > ../streamed.zip"), 0);
    ASSERT_NE(U16At(ReadFile("streamed.zip"), 6) & 8, 0) << "zip wrote no data descriptor";
    for (const std::string archive : {"disc.zip", "streamed.zip"}) {
        std::string before = ReadFile(archive);
        ASSERT_EQ(Tool("remove " + archive + " data/theme.mp3").exitCode, 0) << archive;
        std::string after = ReadFile(archive);
        // ReadMe.txt's header and data come first and are copied unchanged.
        size_t firstBlock = ReadFile(archive).find("data/");
        EXPECT_EQ(after.substr(0, firstBlock), before.substr(0, firstBlock));
        ASSERT_EQ(Tool("extract " + archive + " data/boss.mp3 boss.out").exitCode, 0);
        EXPECT_TRUE(ReadFile("boss.out") == Pattern(20000, 9)) << archive;
        ASSERT_EQ(Tool("extract " + archive + " ReadMe.txt readme.out").exitCode, 0);
        EXPECT_EQ(ReadFile("readme.out"), "Read me\r\n");
        ASSERT_EQ(Tool("replace " + archive + " ReadMe.txt tree/data/theme.mp3").exitCode, 0);
        ASSERT_EQ(Tool("extract " + archive + " data/boss.mp3 boss.out").exitCode, 0);
        EXPECT_TRUE(ReadFile("boss.out") == Pattern(20000, 9)) << archive;
        ASSERT_EQ(Tool("extract " + archive + " readme.txt readme.out").exitCode, 0);
        EXPECT_TRUE(ReadFile("readme.out") == Pattern(30000, 7)) << archive;
    }
}

}  // namespace
