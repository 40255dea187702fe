// Files past 2 and 4 GiB, made sparse so they cost no disk space: the stream's
// sizes and positions are 64-bit, and the archive writer refuses what its
// 32-bit fields cannot describe, leaving the archive as it was.
#include <gtest/gtest.h>

#include <string>

#include "media_test_support.h"
#include "setup/media/archive_reader.h"
#include "setup/media/archive_writer.h"
#include "setup/media/file_stream.h"

using namespace media_test;

namespace {

constexpr uint64_t GiB = 1024ull * 1024 * 1024;
constexpr uint32_t ReadFlags = StreamRead | StreamAbsolute;
constexpr uint32_t UpdateFlags = StreamRead | StreamModify | StreamAbsolute;
constexpr uint32_t CreateFlags = StreamWrite | StreamModify | StreamAbsolute;

// A file of length bytes, zeros but for tail written at its very end.
bool MakeSparse(const std::string& path, uint64_t length, const std::string& tail) {
    FileStream file;
    if (!file.Open(path.c_str(), CreateFlags)) return false;
    uint64_t tailStart = length - tail.size();
    if (!file.Truncate(tailStart)) return false;
    if (file.Write(tail.data(), uint32_t(tail.size())) != tail.size()) return false;
    return file.Close();
}

// The last n bytes of a file and its length, read through the stream.
std::string Tail(const std::string& path, uint32_t n, uint64_t* length) {
    FileStream file;
    if (!file.Open(path.c_str(), ReadFlags)) return "<unreadable>";
    *length = file.Size();
    if (*length < n || file.SeekTo(*length - n) != 0) return "<short>";
    std::string bytes(n, '\0');
    bytes.resize(file.Read(&bytes[0], n));
    return bytes;
}

class LargeFileTest : public ::testing::Test {
  protected:
    ScratchFolder scratch;
};

TEST_F(LargeFileTest, SizesAndPositionsPastTwoAndFourGiB) {
    for (uint64_t length : {2 * GiB + 5, 4 * GiB + 7}) {
        SCOPED_TRACE(length);
        ASSERT_TRUE(MakeSparse("big.bin", length, "END!"));
        FileStream file;
        ASSERT_TRUE(file.Open("big.bin", ReadFlags | StreamModify));
        EXPECT_EQ(file.Size(), length);
        ASSERT_EQ(file.SeekTo(length - 4), 0);
        EXPECT_EQ(file.Tell(), int64_t(length - 4));
        char bytes[5] = {};
        EXPECT_EQ(file.Read(bytes, 4), 4u);
        EXPECT_STREQ(bytes, "END!");
        EXPECT_EQ(file.Tell(), int64_t(length));
        ASSERT_EQ(file.SeekRelative(-6), 0);
        EXPECT_EQ(file.Tell(), int64_t(length - 6));
        // Size keeps the position where it was.
        EXPECT_EQ(file.Size(), length);
        EXPECT_EQ(file.Tell(), int64_t(length - 6));
        ASSERT_TRUE(file.Truncate(length - 2));
        EXPECT_EQ(file.Size(), length - 2);
        EXPECT_TRUE(file.Close());
    }
}

// An empty archive at the end of a program of nearly 4 GiB: a member that
// would carry the directory past 32-bit offsets is refused on the write that
// would do it, and the archive comes back byte for byte.
TEST_F(LargeFileTest, AMemberPastTheOffsetLimitIsRefusedAndTheArchiveRestored) {
    uint64_t length = 4 * GiB - 1000;
    std::string tail = Pattern(100, 3) + EmptyEndRecord(OwnEnd, uint32_t(length - 22));
    ASSERT_TRUE(MakeSparse("game.exe", length, tail));

    // Room for a small member.
    FileStream small;
    ASSERT_TRUE(small.Open("game.exe;small.txt", CreateFlags));
    EXPECT_EQ(small.Write("12345", 5), 5u);
    EXPECT_TRUE(small.Close());
    uint64_t withSmall = 0;
    std::string before = Tail("game.exe", 4096, &withSmall);
    EXPECT_EQ(withSmall, length + 30 + 9 + 5 + 46 + 9);

    FileStream big;
    ASSERT_TRUE(big.Open("game.exe;big.wav", CreateFlags));
    std::string chunk = Pattern(400, 5);
    uint32_t taken = 0;
    for (int i = 0; i < 4; ++i)
        taken += big.Write(chunk.data(), uint32_t(chunk.size()));
    EXPECT_LT(taken, 1600u);
    EXPECT_FALSE(big.Close());
    EXPECT_FALSE(big.ArchiveDamaged());

    uint64_t after = 0;
    EXPECT_TRUE(Tail("game.exe", 4096, &after) == before);
    EXPECT_EQ(after, withSmall);
    ArchiveReader reader;
    ASSERT_EQ(reader.OpenArchive("game.exe", 1), 1);
    EXPECT_EQ(reader.EntryCount(), 1u);
}

TEST_F(LargeFileTest, AnArchivePastFourGiBTakesNoMember) {
    uint64_t length = 4 * GiB + 10;
    std::string tail = EmptyEndRecord(OwnEnd, 0);
    ASSERT_TRUE(MakeSparse("huge.exe", length, tail));
    FileStream member;
    EXPECT_FALSE(member.Open("huge.exe;a.txt", CreateFlags));
    EXPECT_FALSE(member.ArchiveDamaged());
    uint64_t after = 0;
    EXPECT_EQ(Tail("huge.exe", 22, &after), tail);
    EXPECT_EQ(after, length);
}

}  // namespace
