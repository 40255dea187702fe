#include "setup/media/file_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "media_test_support.h"
#include "setup/media/archive_reader.h"
#include "setup/media/source_state.h"

using namespace media_test;

namespace {

std::vector<float> reports;
void RecordProgress(float fraction) {
    reports.push_back(fraction);
}

// Each test runs in its own scratch folder with the source state as at start.
class FileStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reports.clear();
        std::strcpy(sourceRoot, ".");
    }
    void TearDown() override {
        sourceArchive.CloseArchive();
        sourceArchiveOpen = 0;
        std::strcpy(sourceRoot, ".");
    }
    void OpenSourceArchive(const std::string& path) {
        sourceArchiveOpen = sourceArchive.OpenArchive(path.c_str(), 20);
        ASSERT_NE(sourceArchiveOpen, 0);
    }
    std::string Slurp(FileStream& stream) {
        std::string bytes(stream.Size(), '\0');
        bytes.resize(stream.Read(&bytes[0], uint32_t(bytes.size())));
        return bytes;
    }
    ScratchFolder scratch;
};

class CopyTest : public FileStreamTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(CopyTest, CopiesEveryByteAndReportsBeforeEachChunk) {
    size_t size = GetParam();
    std::string bytes = Pattern(size);
    WriteFile("in.bin", bytes);

    ASSERT_TRUE(FileStream::CopyNamedFile("in.bin", StreamAbsolute, "out.bin", StreamAbsolute,
                                          RecordProgress));
    ASSERT_TRUE(Exists("out.bin"));
    EXPECT_TRUE(ReadFile("out.bin") == bytes);

    std::vector<float> expected = {0.0f};
    for (size_t done = 0; done < size; done += CopyChunk)
        expected.push_back(float(done) / size);
    expected.push_back(1.0f);
    ASSERT_EQ(reports.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_FLOAT_EQ(reports[i], expected[i]) << i;
}

// Empty, exactly one chunk, two chunks and one byte.
INSTANTIATE_TEST_SUITE_P(Sizes, CopyTest, ::testing::Values(0, 524288, 1048577));

TEST_F(FileStreamTest, CopyReportsDestinationsThatTakeNothing) {
    WriteFile("in.bin", "abc");
    FileStream source;
    ASSERT_TRUE(source.Open("in.bin", StreamRead | StreamAbsolute));
    FileStream closed;
    EXPECT_FALSE(source.CopyTo(closed, RecordProgress));
    EXPECT_EQ(reports.back(), 0.0f);  // never claims completion

    // An archive entry being read takes no bytes either.
    WriteFile("src.zip", BuildArchive({{{"m.txt", "xyz"}}}));
    OpenSourceArchive("src.zip");
    FileStream entry;
    ASSERT_TRUE(entry.Open("m.txt", StreamRead));
    ASSERT_EQ(source.SeekTo(0), 0);
    EXPECT_FALSE(source.CopyTo(entry, nullptr));
}

TEST_F(FileStreamTest, CopyNamedFileFailsWithoutCreatingAnything) {
    EXPECT_FALSE(FileStream::CopyNamedFile("missing.bin", StreamAbsolute, "out.bin", StreamAbsolute,
                                           nullptr));
    EXPECT_FALSE(Exists("out.bin"));
    WriteFile("in.bin", "abc");
    EXPECT_FALSE(FileStream::CopyNamedFile("in.bin", StreamAbsolute, "no/such/folder/out.bin",
                                           StreamAbsolute, nullptr));
}

TEST_F(FileStreamTest, WritingAbsoluteNamesIgnoresTheSourceRoot) {
    std::filesystem::create_directories("data");
    std::filesystem::create_directories("root/data");
    std::strcpy(sourceRoot, "root");
    FileStream out;
    ASSERT_TRUE(out.Open("data/a.wav", StreamWrite | StreamModify | StreamAbsolute));
    out.Write("1234", 4);
    ASSERT_TRUE(out.Close());
    EXPECT_EQ(ReadFile("data/a.wav"), "1234");
    EXPECT_FALSE(Exists("root/data/a.wav"));
}

TEST_F(FileStreamTest, WritingRelativeNamesGoesUnderTheSourceRootOnly) {
    std::filesystem::create_directories("root");
    std::strcpy(sourceRoot, "root");
    FileStream out;
    ASSERT_TRUE(out.Open("a.wav", StreamWrite | StreamModify));
    ASSERT_TRUE(out.Close());
    EXPECT_TRUE(Exists("root/a.wav"));
    EXPECT_FALSE(Exists("a.wav"));

    // No second try at the bare name when the root does not exist.
    std::strcpy(sourceRoot, "missing");
    EXPECT_FALSE(out.Open("b.wav", StreamWrite | StreamModify));
    EXPECT_FALSE(Exists("b.wav"));
}

TEST_F(FileStreamTest, ReadingPrefersTheSourceRootThenTheBareName) {
    std::filesystem::create_directories("root");
    WriteFile("root/x.txt", "under root");
    WriteFile("x.txt", "bare");
    WriteFile("y.txt", "only bare");
    std::strcpy(sourceRoot, "root");

    FileStream stream;
    ASSERT_TRUE(stream.Open("x.txt", StreamRead));
    EXPECT_EQ(Slurp(stream), "under root");
    stream.Close();
    ASSERT_TRUE(stream.Open("x.txt", StreamRead | StreamAbsolute));
    EXPECT_EQ(Slurp(stream), "bare");
    stream.Close();
    ASSERT_TRUE(stream.Open("y.txt", StreamRead));
    EXPECT_EQ(Slurp(stream), "only bare");
    stream.Close();
    EXPECT_FALSE(stream.Open("z.txt", StreamRead));
    EXPECT_FALSE(stream.IsOpen());
}

TEST_F(FileStreamTest, FlagWordsThatSelectNothing) {
    WriteFile("x.txt", "abc");
    FileStream stream;
    EXPECT_FALSE(stream.Open("x.txt", StreamWrite | StreamAbsolute));
    EXPECT_FALSE(stream.Open("x.txt", StreamModify | StreamAbsolute));
    // StreamWrite without StreamModify reads when StreamRead is present.
    ASSERT_TRUE(stream.Open("x.txt", StreamWrite | StreamRead | StreamAbsolute));
    EXPECT_EQ(Slurp(stream), "abc");
    // An open stream is not opened a second time.
    EXPECT_FALSE(stream.Open("x.txt", StreamRead | StreamAbsolute));
}

TEST_F(FileStreamTest, ReadModifyUpdatesInPlace) {
    WriteFile("x.bin", "abcdef");
    FileStream stream;
    ASSERT_TRUE(stream.Open("x.bin", StreamRead | StreamModify | StreamAbsolute));
    ASSERT_EQ(stream.SeekTo(2), 0);
    stream.Write("XY", 2);
    ASSERT_TRUE(stream.Close());
    EXPECT_EQ(ReadFile("x.bin"), "abXYef");
}

TEST_F(FileStreamTest, PathsThatDoNotFitFailTheOpen) {
    std::string name(60, 'n');
    WriteFile(name, "present");
    std::string root(200, 'r');
    std::strcpy(sourceRoot, root.c_str());
    FileStream stream;
    EXPECT_FALSE(stream.Open(name.c_str(), StreamRead));
    EXPECT_FALSE(stream.Open(name.c_str(), StreamWrite | StreamModify));
    // The archive path of a member path is bounded the same way.
    std::string member = std::string(300, 'a') + ";m.txt";
    EXPECT_FALSE(stream.Open(member.c_str(), StreamWrite | StreamModify | StreamAbsolute));
    EXPECT_FALSE(stream.IsOpen());
}

TEST_F(FileStreamTest, ClosedStreamAnswersWithNeutralValues) {
    FileStream stream;
    char buffer[4];
    EXPECT_EQ(stream.Tell(), -1);
    EXPECT_EQ(stream.Size(), 0u);
    EXPECT_EQ(stream.Read(buffer, 4), 0u);
    EXPECT_EQ(stream.Write(buffer, 4), 0u);
    EXPECT_EQ(stream.SeekTo(1), 0);
    EXPECT_EQ(stream.SeekRelative(1), 0);
    uint32_t value = 77;
    stream.ReadU32(value);
    EXPECT_EQ(value, 77u);
    EXPECT_TRUE(stream.Close());
}

TEST_F(FileStreamTest, U32HelpersAreLittleEndianAndChain) {
    WriteFile("in.bin", std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    FileStream in;
    ASSERT_TRUE(in.Open("in.bin", StreamRead | StreamAbsolute));
    uint32_t first = 0, second = 0, third = 99;
    in.ReadU32(first).ReadU32(second).ReadU32(third);
    EXPECT_EQ(first, 0x04030201u);
    EXPECT_EQ(second, 0x08070605u);
    EXPECT_EQ(third, 99u);  // nothing left: untouched

    FileStream out;
    ASSERT_TRUE(out.Open("out.bin", StreamWrite | StreamModify | StreamAbsolute));
    out.WriteU32(0x11223344).WriteU32(1);
    ASSERT_TRUE(out.Close());
    EXPECT_EQ(ReadFile("out.bin"), std::string("\x44\x33\x22\x11\x01\x00\x00\x00", 8));
}

TEST_F(FileStreamTest, DiskSizeKeepsThePositionAndSeeksAnswerZeroOnSuccess) {
    WriteFile("in.bin", "0123456789");
    FileStream in;
    ASSERT_TRUE(in.Open("in.bin", StreamRead | StreamAbsolute));
    EXPECT_EQ(in.SeekTo(3), 0);
    EXPECT_EQ(in.Size(), 10u);
    EXPECT_EQ(in.Tell(), 3);
    EXPECT_EQ(in.SeekRelative(2), 0);
    EXPECT_NE(in.SeekRelative(-100), 0);
    char c;
    ASSERT_EQ(in.Read(&c, 1), 1u);
    EXPECT_EQ(c, '5');
}

TEST_F(FileStreamTest, ReadsSourceArchiveMembersBeforeTheDisk) {
    WriteFile("src.zip", BuildArchive({{{"data/x.txt", "from archive"}, {"t.bin", "0123456789"}}}));
    std::filesystem::create_directories("data");
    WriteFile("data/x.txt", "from disk");
    WriteFile("other.txt", "disk only");
    OpenSourceArchive("src.zip");

    FileStream stream;
    ASSERT_TRUE(stream.Open("DATA/X.TXT", StreamRead));
    EXPECT_EQ(Slurp(stream), "from archive");
    stream.Close();
    ASSERT_TRUE(stream.Open("data/x.txt", StreamRead | StreamAbsolute));
    EXPECT_EQ(Slurp(stream), "from disk");
    stream.Close();
    // Not in the archive: silently from the disk.
    ASSERT_TRUE(stream.Open("other.txt", StreamRead));
    EXPECT_EQ(Slurp(stream), "disk only");
    stream.Close();

    // Entry seeks answer 1 when moved; the end itself is refused.
    ASSERT_TRUE(stream.Open("t.bin", StreamRead | StreamOwnHandle));
    EXPECT_EQ(stream.Size(), 10u);
    EXPECT_EQ(stream.SeekTo(9), 1);
    EXPECT_EQ(stream.SeekTo(10), 0);
    EXPECT_EQ(stream.Tell(), 9);
    EXPECT_EQ(stream.SeekRelative(-5), 1);
    uint32_t value = 0;
    stream.ReadU32(value);
    EXPECT_EQ(value, 0x37363534u);
    EXPECT_EQ(stream.Write("zz", 2), 0u);
    EXPECT_TRUE(stream.Close());
}

TEST_F(FileStreamTest, MemberPathAppendsToTheArchive) {
    WriteFile("game.exe", "MZ" + EmptyEndRecord(OwnEnd, 2));
    FileStream out;
    ASSERT_TRUE(out.Open("game.exe;data/a.wav", StreamWrite | StreamModify));
    out.Write("0123456789", 10);
    EXPECT_EQ(out.Tell(), 10);
    EXPECT_EQ(out.Size(), 10u);
    EXPECT_EQ(out.SeekTo(2), 0);
    out.Write("XY", 2);
    EXPECT_EQ(out.SeekRelative(-2), 0);
    char back[3] = {};
    EXPECT_EQ(out.Read(back, 2), 2u);
    EXPECT_STREQ(back, "XY");
    ASSERT_TRUE(out.Close());

    ArchiveReader reader;
    ASSERT_EQ(reader.OpenArchive("game.exe", 1), 1);
    EntryHandle* entry = reader.OpenEntry("data/a.wav", false);
    ASSERT_NE(entry, nullptr);
    char data[16] = {};
    EXPECT_EQ(reader.ReadEntry(entry, data, sizeof data), 10u);
    EXPECT_STREQ(data, "01XY456789");
}

TEST_F(FileStreamTest, MemberPathsNeedAnArchiveWithAnEndRecord) {
    std::filesystem::create_directories("odd;folder");
    WriteFile("plain.bin", "no end record here, just bytes of a file....");
    std::string before = ReadFile("plain.bin");
    FileStream out;
    // Any ';' selects the archive writer, also inside a folder name.
    EXPECT_FALSE(out.Open("odd;folder/out.txt", StreamWrite | StreamModify | StreamAbsolute));
    EXPECT_FALSE(Exists("odd;folder/out.txt"));
    EXPECT_FALSE(out.Open("missing.exe;m.txt", StreamWrite | StreamModify));
    EXPECT_FALSE(Exists("missing.exe"));
    EXPECT_FALSE(out.Open("plain.bin;m.txt", StreamWrite | StreamModify));
    EXPECT_EQ(ReadFile("plain.bin"), before);
}

TEST_F(FileStreamTest, CopyNamedFileIntoAMemberPath) {
    WriteFile("game.exe", EmptyEndRecord(StandardEnd));
    std::string bytes = Pattern(600000, 3);
    WriteFile("music.wav", bytes);
    ASSERT_TRUE(FileStream::CopyNamedFile("music.wav", StreamAbsolute, "game.exe;data/music.wav",
                                          StreamAbsolute, RecordProgress));
    EXPECT_EQ(reports.size(), 4u);
    OpenSourceArchive("game.exe");
    FileStream member;
    ASSERT_TRUE(member.Open("data/music.wav", StreamRead));
    EXPECT_TRUE(Slurp(member) == bytes);
}

// A file that goes short under an open stream, as one on a disc taken out of
// its drive: the handler is asked, and a read tried again goes on where it
// stopped once the file is back.
class ReadCutShort : public FileStreamTest {
  protected:
    void SetUp() override {
        FileStreamTest::SetUp();
        bytes = Pattern(1300000, 7);
        WriteFile("in.bin", bytes);
        asked = 0;
        putBackAt = 2;
        answer = true;
        cutAt = 600000;
    }
    void TearDown() override {
        SetReadRetryHandler(nullptr);
        FileStreamTest::TearDown();
    }
    // On the second report (before the second chunk) the disc goes.
    static void CutOnSecondChunk(float fraction) {
        if (fraction > 0.0f && fraction < 1.0f && !cut) {
            cut = true;
            std::filesystem::resize_file("in.bin", cutAt);
        }
    }
    // Asked: the disc comes back on the putBackAt-th question.
    static bool Handler() {
        ++asked;
        if (asked == putBackAt) WriteFile("in.bin", bytes);
        return answer;
    }
    static std::string bytes;
    static int asked;
    static int putBackAt;
    static bool answer;
    static bool cut;
    static uintmax_t cutAt;
};
std::string ReadCutShort::bytes;
int ReadCutShort::asked;
int ReadCutShort::putBackAt;
bool ReadCutShort::answer;
bool ReadCutShort::cut;
uintmax_t ReadCutShort::cutAt;

TEST_F(ReadCutShort, RetryGoesOnWhereTheReadStoppedNothingTwiceNothingLost) {
    cut = false;
    SetReadRetryHandler(Handler);
    // The first Retry finds the disc still out: asked again.
    ASSERT_TRUE(FileStream::CopyNamedFile("in.bin", StreamAbsolute, "out.bin", StreamAbsolute,
                                          CutOnSecondChunk));
    EXPECT_TRUE(cut);
    EXPECT_EQ(asked, 2);
    std::string out = ReadFile("out.bin");
    EXPECT_EQ(out.size(), bytes.size());
    EXPECT_TRUE(out == bytes);
}

TEST_F(ReadCutShort, CancelFailsTheCopy) {
    cut = false;
    answer = false;
    putBackAt = 0;
    SetReadRetryHandler(Handler);
    EXPECT_FALSE(FileStream::CopyNamedFile("in.bin", StreamAbsolute, "out.bin", StreamAbsolute,
                                           CutOnSecondChunk));
    EXPECT_EQ(asked, 1);
}

TEST_F(ReadCutShort, WithoutAHandlerTheCopyFailsAsBefore) {
    cut = false;
    EXPECT_FALSE(FileStream::CopyNamedFile("in.bin", StreamAbsolute, "out.bin", StreamAbsolute,
                                           CutOnSecondChunk));
}

// A file cut in the very chunk that is being read: the bytes up to the cut
// came from the first opening, the rest from the second.
TEST_F(ReadCutShort, ACutInsideOneReadIsJoinedExactly) {
    SetReadRetryHandler(Handler);
    putBackAt = 1;
    FileStream in;
    ASSERT_TRUE(in.Open("in.bin", StreamRead | StreamAbsolute));
    std::string first(1000, '\0');
    ASSERT_EQ(in.Read(&first[0], 1000), 1000u);
    std::filesystem::resize_file("in.bin", 1500);
    std::string rest(bytes.size() - 1000, '\0');
    EXPECT_EQ(in.Read(&rest[0], uint32_t(rest.size())), rest.size());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(first + rest == bytes);
    EXPECT_EQ(in.Tell(), int64_t(bytes.size()));
}

// A file that is not there when opened: asked; there once put back.
TEST_F(ReadCutShort, AFileThatCannotBeOpenedIsAskedFor) {
    std::filesystem::remove("in.bin");
    SetReadRetryHandler(Handler);
    putBackAt = 1;
    FileStream in;
    ASSERT_TRUE(in.Open("in.bin", StreamRead | StreamAbsolute));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(Slurp(in) == bytes);
    in.Close();  // Windows removes no open file

    std::filesystem::remove("in.bin");
    answer = false;
    asked = 0;
    FileStream gone;
    EXPECT_FALSE(gone.Open("in.bin", StreamRead | StreamAbsolute));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(gone.IsOpen());
}

// Reads past the end of a whole file, and files opened for update, are no
// disc taken out: nobody is asked.
TEST_F(ReadCutShort, TheEndOfAWholeFileAsksNothing) {
    SetReadRetryHandler(Handler);
    WriteFile("small.bin", "0123456789");
    FileStream in;
    ASSERT_TRUE(in.Open("small.bin", StreamRead | StreamAbsolute));
    char buffer[100];
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 10u);
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 0u);
    ASSERT_EQ(in.SeekTo(50), 0);
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 0u);
    FileStream update;
    ASSERT_TRUE(update.Open("small.bin", StreamRead | StreamModify | StreamAbsolute));
    std::filesystem::resize_file("small.bin", 4);
    EXPECT_EQ(update.Read(buffer, sizeof buffer), 4u);
    FileStream missing;
    EXPECT_FALSE(missing.Open("missing.bin", StreamRead | StreamModify | StreamAbsolute));
    EXPECT_EQ(asked, 0);
}

}  // namespace
