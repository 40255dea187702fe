#include "setup/media/archive_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "media_test_support.h"
#include "setup/media/archive_reader.h"
#include "setup/media/file_stream.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

using namespace media_test;

namespace {

class ArchiveWriterTest : public ::testing::Test {
  protected:
    // Appends one member through the writer; true if Finish succeeded.
    bool Append(const std::string& archive, const std::string& name, const std::string& data) {
        ArchiveWriter* writer = ArchiveWriter::Create(archive.c_str(), name.c_str());
        if (!writer) return false;
        writer->Write(data.data(), uint32_t(data.size()));
        bool ok = writer->Finish();
        delete writer;
        return ok;
    }
    std::string Member(const std::string& archive, const std::string& name) {
        ArchiveReader reader;
        if (!reader.OpenArchive(archive.c_str(), 1)) return "<no archive>";
        EntryHandle* entry = reader.OpenEntry(name.c_str(), false);
        if (!entry) return "<no member>";
        std::string bytes(size_t(reader.EntrySize(entry)), '\0');
        bytes.resize(reader.ReadEntry(entry, &bytes[0], uint32_t(bytes.size())));
        return bytes;
    }
    ScratchFolder scratch;
};

TEST_F(ArchiveWriterTest, FirstEntryIntoAnEmptyEndRecord) {
    WriteFile("a.zip", EmptyEndRecord(StandardEnd));
    std::string data = Pattern(1000);
    ASSERT_TRUE(Append("a.zip", "a.txt", data));

    std::string bytes = ReadFile("a.zip");
    ASSERT_EQ(bytes.size(), 1108u);
    // Local header at 0.
    EXPECT_EQ(U32At(bytes, 0), 0x04034B50u);
    EXPECT_EQ(U16At(bytes, 4), 10);
    EXPECT_EQ(U16At(bytes, 8), 0);
    EXPECT_EQ(U32At(bytes, 18), 1000u);
    EXPECT_EQ(U32At(bytes, 22), 1000u);
    EXPECT_EQ(U16At(bytes, 26), 5);
    EXPECT_EQ(U16At(bytes, 28), 0);
    EXPECT_EQ(bytes.substr(30, 5), "a.txt");
    EXPECT_TRUE(bytes.substr(35, 1000) == data);
    // Central entry at 1,035.
    EXPECT_EQ(U32At(bytes, 1035), 0x02014B50u);
    EXPECT_EQ(U16At(bytes, 1035 + 4), 42);
    EXPECT_EQ(U16At(bytes, 1035 + 6), 10);
    EXPECT_EQ(U32At(bytes, 1035 + 20), 1000u);
    EXPECT_EQ(U32At(bytes, 1035 + 24), 1000u);
    EXPECT_EQ(U16At(bytes, 1035 + 28), 5);
    EXPECT_EQ(U32At(bytes, 1035 + 42), 0u);
    EXPECT_EQ(bytes.substr(1035 + 46, 5), "a.txt");
    // End record at 1,086 with this system's signature.
    EXPECT_EQ(bytes.substr(1086, 4), "QZ\x05\x06");
    EXPECT_EQ(U16At(bytes, 1086 + 8), 1);
    EXPECT_EQ(U16At(bytes, 1086 + 10), 1);
    EXPECT_EQ(U32At(bytes, 1086 + 12), 51u);
    EXPECT_EQ(U32At(bytes, 1086 + 16), 1035u);

    ArchiveReader reader;
    ASSERT_EQ(reader.OpenArchive("a.zip", 1), 1);
    ASSERT_EQ(reader.EntryCount(), 1u);
    EXPECT_STREQ(reader.Directory()[0].name, "a.txt");
    EXPECT_EQ(reader.Directory()[0].size, 1000u);
    EXPECT_EQ(reader.Directory()[0].dataOffset, 35u);
}

TEST_F(ArchiveWriterTest, SecondEntryGoesWhereTheDirectoryWas) {
    WriteFile("a.zip", EmptyEndRecord(OwnEnd));
    ASSERT_TRUE(Append("a.zip", "a.txt", Pattern(1000)));
    std::string first = ReadFile("a.zip");
    ASSERT_TRUE(Append("a.zip", "b.wav", "0123456789"));

    std::string bytes = ReadFile("a.zip");
    EXPECT_EQ(bytes.substr(0, 1035), first.substr(0, 1035));  // first entry untouched
    EXPECT_EQ(U32At(bytes, 1035), 0x04034B50u);
    EXPECT_EQ(U32At(bytes, 1035 + 18), 10u);
    EXPECT_EQ(bytes.substr(1035 + 35, 10), "0123456789");
    size_t directory = 1035 + 35 + 10;
    EXPECT_EQ(bytes.substr(directory, 51), first.substr(1035, 51));  // old entry first
    EXPECT_EQ(U32At(bytes, directory + 51), 0x02014B50u);
    EXPECT_EQ(U32At(bytes, directory + 51 + 42), 1035u);
    size_t end = directory + 51 + 51;
    ASSERT_EQ(bytes.size(), end + 22);
    EXPECT_EQ(U16At(bytes, end + 8), 2);
    EXPECT_EQ(U16At(bytes, end + 10), 2);
    EXPECT_EQ(U32At(bytes, end + 12), 102u);
    EXPECT_EQ(U32At(bytes, end + 16), directory);
    EXPECT_EQ(Member("a.zip", "b.wav"), "0123456789");
    EXPECT_EQ(Member("a.zip", "a.txt"), Pattern(1000));
}

TEST_F(ArchiveWriterTest, ShortEntriesDoNotTakeTheOldDirectoryBytes) {
    ArchiveLayout layout{{{"first/long/name/one.txt", "1111"}, {"second/long/name/two.txt", "22"}}};
    layout.lead = "MZ program";
    WriteFile("game.exe", BuildArchive(layout));
    ASSERT_TRUE(Append("game.exe", "x", "!"));
    ASSERT_TRUE(Append("game.exe", "empty", ""));
    ArchiveReader reader;
    ASSERT_EQ(reader.OpenArchive("game.exe", 4), 1);
    ASSERT_EQ(reader.EntryCount(), 4u);
    EXPECT_EQ(reader.Directory()[2].size, 1u);
    EXPECT_EQ(reader.Directory()[3].size, 0u);
    EXPECT_EQ(Member("game.exe", "x"), "!");
    EXPECT_EQ(Member("game.exe", "second/long/name/two.txt"), "22");
    EXPECT_EQ(ReadFile("game.exe").substr(0, 10), "MZ program");
}

TEST_F(ArchiveWriterTest, DirectoriesNotExactlyTheirRecordsAreRefusedUntouched) {
    std::string good = BuildArchive(ArchiveLayout{{{"a.txt", "aaa"}, {"b.txt", "bbb"}}});
    std::string noSize = good;
    for (size_t i = 0; i < 4; ++i)
        noSize[noSize.size() - 22 + 12 + i] = 0;
    WriteFile("a.zip", noSize);
    // The reader does not need the size, so the members read.
    EXPECT_EQ(Member("a.zip", "b.txt"), "bbb");
    EXPECT_FALSE(Append("a.zip", "c.txt", "ccc"));
    EXPECT_TRUE(ReadFile("a.zip") == noSize);
    EXPECT_EQ(Member("a.zip", "a.txt"), "aaa");

    // Stray bytes after the records, an end signature among them: the reader
    // stops there, so an entry appended after them could never be read.
    std::string stray = good;
    stray.insert(stray.size() - 22, std::string("PK\x05\x06stray", 9));
    stray[stray.size() - 22 + 12] = char(stray[stray.size() - 22 + 12] + 9);
    WriteFile("b.zip", stray);
    EXPECT_EQ(Member("b.zip", "b.txt"), "bbb");
    EXPECT_FALSE(Append("b.zip", "c.txt", "ccc"));
    EXPECT_TRUE(ReadFile("b.zip") == stray);
}

TEST_F(ArchiveWriterTest, ProgramBytesBeforeAnEmptyArchiveStay) {
    // The end record says the directory starts at 0, yet program bytes lie
    // before it: the first entry follows them instead of overwriting them.
    WriteFile("game.exe", "MZ program" + EmptyEndRecord(OwnEnd, 0));
    ASSERT_TRUE(Append("game.exe", "a.txt", "abc"));
    std::string bytes = ReadFile("game.exe");
    EXPECT_EQ(bytes.substr(0, 10), "MZ program");
    EXPECT_EQ(U32At(bytes, 10), 0x04034B50u);
    EXPECT_EQ(Member("game.exe", "a.txt"), "abc");
}

TEST_F(ArchiveWriterTest, RefusalsLeaveTheFileAsItWas) {
    std::string archive = BuildArchive({{{"a", "abc"}}});
    WriteFile("a.zip", archive);
    EXPECT_EQ(ArchiveWriter::Create("a.zip", std::string(84, 'n').c_str()), nullptr);
    EXPECT_EQ(ArchiveWriter::Create("a.zip", ""), nullptr);
    EXPECT_EQ(ArchiveWriter::Create("missing.zip", "m"), nullptr);
    EXPECT_FALSE(Exists("missing.zip"));
    EXPECT_EQ(ReadFile("a.zip"), archive);

    // Last 22 bytes not an end record (a comment follows it).
    ArchiveLayout commented{{{"a", "abc"}}};
    commented.comment = "comment";
    WriteFile("c.zip", BuildArchive(commented));
    EXPECT_EQ(ArchiveWriter::Create("c.zip", "m"), nullptr);
    EXPECT_EQ(ReadFile("c.zip"), BuildArchive(commented));

    // Too short for the directory its end record announces.
    std::string shortDirectory = archive;
    shortDirectory[shortDirectory.size() - 22 + 12] = 100;
    WriteFile("s.zip", shortDirectory);
    EXPECT_EQ(ArchiveWriter::Create("s.zip", "m"), nullptr);
    EXPECT_EQ(ReadFile("s.zip"), shortDirectory);

    // A zip appended to a program without adjusting its offsets: they count
    // from the zip's start, so the directory does not end at the end record.
    // Appending would write over the program's bytes.
    std::string unadjusted = "MZ program bytes" + archive;
    WriteFile("game.exe", unadjusted);
    EXPECT_EQ(ArchiveWriter::Create("game.exe", "m"), nullptr);
    EXPECT_EQ(ReadFile("game.exe"), unadjusted);

    WriteFile("tiny.bin", "PK\x05\x06");
    EXPECT_EQ(ArchiveWriter::Create("tiny.bin", "m"), nullptr);
    EXPECT_EQ(ReadFile("tiny.bin"), "PK\x05\x06");
}

TEST_F(ArchiveWriterTest, StandardSignatureBecomesTheOwnOne) {
    WriteFile("a.zip", BuildArchive({{{"a", "abc"}}}));
    ASSERT_TRUE(Append("a.zip", "b", "def"));
    std::string bytes = ReadFile("a.zip");
    EXPECT_EQ(U32At(bytes, bytes.size() - 22), OwnEnd);
    EXPECT_EQ(Member("a.zip", "a"), "abc");
    EXPECT_EQ(Member("a.zip", "b"), "def");
}

TEST_F(ArchiveWriterTest, EntryCountersDoNotWrap) {
    std::string full = EmptyEndRecord(OwnEnd);
    full[10] = full[11] = char(0xFF);
    WriteFile("full.zip", full);
    EXPECT_FALSE(Append("full.zip", "one-too-many", "x"));
    EXPECT_EQ(ReadFile("full.zip"), full);
}

TEST_F(ArchiveWriterTest, AbandonedEntryRestoresTheArchive) {
    std::string archive = BuildArchive({{{"a", "abc"}, {"b", "defg"}}});
    WriteFile("a.zip", archive);
    ArchiveWriter* writer = ArchiveWriter::Create("a.zip", "c");
    ASSERT_NE(writer, nullptr);
    std::string data = Pattern(5000);
    writer->Write(data.data(), uint32_t(data.size()));
    writer->Abandon();
    EXPECT_FALSE(writer->Finish());
    delete writer;
    EXPECT_EQ(ReadFile("a.zip"), archive);
}

TEST_F(ArchiveWriterTest, TheEntryIsTheOnlyPlaceWritesGo) {
    std::string archive = BuildArchive({{{"a", "abc"}}});
    WriteFile("a.zip", archive);
    FileStream out;
    ASSERT_TRUE(out.Open("a.zip;b", StreamWrite | StreamModify | StreamAbsolute));
    out.SeekRelative(-3);  // refused: bytes before the entry are other members'
    out.Write("WXYZ", 4);
    out.SeekTo(1);
    out.Write("-", 1);
    EXPECT_EQ(out.Tell(), 2);
    ASSERT_TRUE(out.Close());
    EXPECT_EQ(Member("a.zip", "a"), "abc");
    EXPECT_EQ(Member("a.zip", "b"), "W-YZ");
}

#ifndef _WIN32
// Makes writes past limit bytes fail as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t limit) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }

  private:
    rlimit saved;
};

TEST_F(ArchiveWriterTest, FullDiskWhileFinishingRestoresTheArchive) {
    std::string archive = BuildArchive({{{"first.txt", Pattern(300)}, {"second.txt", "2"}}});
    WriteFile("a.zip", archive);
    {
        FileSizeLimit limit(archive.size() + 60);
        // The data fits; the directory after it does not.
        EXPECT_FALSE(Append("a.zip", "third.txt", Pattern(100)));
    }
    EXPECT_EQ(ReadFile("a.zip"), archive);
}

TEST_F(ArchiveWriterTest, FullDiskWhileWritingDataRestoresTheArchive) {
    std::string archive = BuildArchive({{{"first.txt", "1"}}});
    WriteFile("a.zip", archive);
    WriteFile("big.bin", Pattern(200000));
    {
        FileSizeLimit limit(100000);
        EXPECT_FALSE(FileStream::CopyNamedFile("big.bin", StreamAbsolute, "a.zip;big.bin",
                                               StreamAbsolute, nullptr));
    }
    EXPECT_EQ(ReadFile("a.zip"), archive);
}

TEST_F(ArchiveWriterTest, FullDiskWhileBeginningLeavesTheArchive) {
    std::string archive = EmptyEndRecord(OwnEnd);
    WriteFile("a.zip", archive);
    {
        FileSizeLimit limit(archive.size());
        FileStream out;
        EXPECT_FALSE(out.Open("a.zip;a.txt", StreamWrite | StreamModify | StreamAbsolute));
    }
    EXPECT_EQ(ReadFile("a.zip"), archive);
    ASSERT_TRUE(Append("a.zip", "a.txt", "now it fits"));
    EXPECT_EQ(Member("a.zip", "a.txt"), "now it fits");
}
#endif

}  // namespace
