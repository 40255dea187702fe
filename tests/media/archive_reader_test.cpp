#include "setup/media/archive_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "media_test_support.h"

using namespace media_test;

namespace {

class ArchiveReaderTest : public ::testing::Test {
  protected:
    // Writes bytes as x.zip and opens it.
    int Open(const std::string& bytes, uint32_t slots = 20) {
        WriteFile("x.zip", bytes);
        return reader.OpenArchive("x.zip", slots);
    }
    std::vector<std::string> List(const char* pattern, uint32_t maxCount = 0, uint32_t skip = 0,
                                  bool bare = false) {
        char names[16][84] = {};
        uint32_t count = reader.ListEntries(pattern, names[0], nullptr, 84,
                                            maxCount ? maxCount : 16, bare, true, skip);
        return std::vector<std::string>(names, names + count);
    }
    std::string ReadAll(EntryHandle* entry) {
        std::string bytes(1024, '\0');
        bytes.resize(reader.ReadEntry(entry, &bytes[0], 1024));
        return bytes;
    }
    ScratchFolder scratch;
    ArchiveReader reader;
};

const std::vector<Member> Tree = {
    {"Setup.exe", "MZ setup"}, {"DATA/Music/Theme.MP3", "theme"}, {"data/readme.txt", "read me"},
    {"data/a.mp3", "aaaa"},    {"data/a.mp3.bak", "backup"},
};

TEST_F(ArchiveReaderTest, LoadsTheDirectoryInFileOrderWithEitherEndSignature) {
    for (uint32_t signature : {StandardEnd, OwnEnd}) {
        ArchiveLayout layout{Tree};
        layout.lead = "MZ program bytes";
        layout.endSignature = signature;
        ASSERT_EQ(Open(BuildArchive(layout)), 1);
        ASSERT_EQ(reader.EntryCount(), 5u);
        const ArchiveDirEntry* directory = reader.Directory();
        EXPECT_STREQ(directory[1].name, "DATA/Music/Theme.MP3");
        EXPECT_EQ(directory[1].size, 5u);
        // lead (16) + first header (30 + 9) + its data (8) + own header (30 + 20)
        EXPECT_EQ(directory[1].dataOffset, 16u + 39 + 8 + 50);
        EntryHandle* entry = reader.OpenEntry("data/readme.txt", false);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(ReadAll(entry), "read me");
        EXPECT_EQ(reader.CloseEntry(entry), 1);
    }
}

TEST_F(ArchiveReaderTest, AnEndRecordFollowedByACommentIsFoundByTheWalk) {
    ArchiveLayout layout{Tree};
    ASSERT_EQ(Open(BuildArchive(layout)), 1);
    std::vector<ArchiveDirEntry> plain(reader.Directory(), reader.Directory() + 5);

    layout.comment = "a comment after the end record";
    ASSERT_EQ(Open(BuildArchive(layout)), 1);
    ASSERT_EQ(reader.EntryCount(), 5u);
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_STREQ(reader.Directory()[i].name, plain[i].name);
        EXPECT_EQ(reader.Directory()[i].dataOffset, plain[i].dataOffset);
        EXPECT_EQ(reader.Directory()[i].size, plain[i].size);
    }
    // The walk starts at the first byte: leading program bytes stop it.
    layout.lead = "MZ";
    EXPECT_EQ(Open(BuildArchive(layout)), 0);
    EXPECT_EQ(reader.EntryCount(), 0u);
}

TEST_F(ArchiveReaderTest, DataFollowsTheLocalHeadersOwnNameAndExtraField) {
    ArchiveLayout layout;
    layout.lead = std::string(100, 'L');
    layout.members = {{"twelve_chars", "payload"}};
    std::string bytes = BuildArchive(layout);
    ASSERT_EQ(Open(bytes), 1);
    EXPECT_EQ(reader.Directory()[0].dataOffset, 142u);

    // An extra field in the local header only, as zip tools write them: the
    // data moves behind it, the central entry does not say so.
    bytes.insert(142, "XXXXXXXXX");
    bytes[100 + 28] = 9;
    size_t end = bytes.size() - 22;
    uint32_t directoryOffset = U32At(bytes, end + 16) + 9;
    for (int i = 0; i < 4; ++i)
        bytes[end + 16 + i] = char(directoryOffset >> (8 * i));
    ASSERT_EQ(Open(bytes), 1);
    EXPECT_EQ(reader.Directory()[0].dataOffset, 151u);
    EntryHandle* entry = reader.OpenEntry("twelve_chars", false);
    EXPECT_EQ(ReadAll(entry), "payload");
    reader.CloseEntry(entry);

    // A central entry pointing at no local header is a damaged archive.
    bytes[100] = 'Q';
    EXPECT_EQ(Open(bytes), 0);
}

TEST_F(ArchiveReaderTest, EndRecordsWithoutEntriesDoNotOpen) {
    EXPECT_EQ(Open(EmptyEndRecord(StandardEnd)), 0);
    EXPECT_EQ(Open(EmptyEndRecord(OwnEnd)), 0);
    EXPECT_EQ(Open("MZ program" + EmptyEndRecord(OwnEnd, 10)), 0);
    EXPECT_EQ(reader.EntryCount(), 0u);
    EXPECT_EQ(reader.OpenEntry("anything", false), nullptr);
}

TEST_F(ArchiveReaderTest, EveryTruncationFailsCleanly) {
    std::string bytes = BuildArchive({Tree});
    size_t endSignatureComplete = bytes.size() - 18;
    for (size_t length = 0; length < endSignatureComplete; ++length) {
        EXPECT_EQ(Open(bytes.substr(0, length)), 0) << length;
        EXPECT_EQ(reader.EntryCount(), 0u);
    }
    // The walk needs only the end record's signature: the directory is whole.
    for (size_t length = endSignatureComplete; length <= bytes.size(); ++length) {
        EXPECT_EQ(Open(bytes.substr(0, length)), 1) << length;
        EXPECT_EQ(reader.EntryCount(), 5u);
    }
    EXPECT_EQ(reader.OpenArchive("no-such-file.zip", 20), 0);
}

TEST_F(ArchiveReaderTest, MalformedDirectoriesFailCleanly) {
    ArchiveLayout layout{{{"a.txt", "aaa"}, {"b.txt", "bbb"}}};
    std::string good = BuildArchive(layout);
    size_t end = good.size() - 22;
    size_t directory = U32At(good, end + 16);

    std::string wrongCentral = good;
    wrongCentral[directory + 46 + 5] = 'X';  // second entry's signature
    EXPECT_EQ(Open(wrongCentral), 0);

    std::string offsetPastEnd = good;
    offsetPastEnd[end + 18] = 0x40;  // directory offset + 0x400000
    EXPECT_EQ(Open(offsetPastEnd), 0);

    layout.totalEntries = 1;  // more entries than announced
    EXPECT_EQ(Open(BuildArchive(layout)), 0);
    layout.totalEntries = 0xFFFF;  // far fewer
    EXPECT_EQ(Open(BuildArchive(layout)), 0);
    layout.totalEntries = 0;
    EXPECT_EQ(Open(BuildArchive(layout)), 0);

    std::string dataPastEnd = good;
    dataPastEnd[directory + 24 + 2] = 0x10;  // first entry's size + 0x100000
    EXPECT_EQ(Open(dataPastEnd), 0);

    // Data running into the directory (still inside the file): the bytes
    // served would be the directory's, and change with the next append.
    std::string dataIntoDirectory = good;
    dataIntoDirectory[directory + 46 + 5 + 24] = 10;  // second entry's size 3 -> 10
    EXPECT_EQ(Open(dataIntoDirectory), 0);
    std::string nameIntoDirectory = good;
    nameIntoDirectory[30 + 5 + 3 + 26] = 20;  // second local header's name length 5 -> 20
    EXPECT_EQ(Open(nameIntoDirectory), 0);
    std::string dataUpToDirectory = good;
    dataUpToDirectory[30 + 5 + 3 + 26] = 5;  // as built: data ends where the directory begins
    EXPECT_EQ(Open(dataUpToDirectory), 1);

    EXPECT_EQ(Open(std::string("PK\x03\x04 garbage", 12)), 0);
    EXPECT_EQ(Open(""), 0);
    EXPECT_EQ(reader.EntryCount(), 0u);
    EXPECT_EQ(Open(good), 1);
}

TEST_F(ArchiveReaderTest, NamesLongerThanARecordRejectTheArchive) {
    EXPECT_EQ(Open(BuildArchive({{{std::string(83, 'n'), "x"}}})), 1);
    EXPECT_EQ(std::strlen(reader.Directory()[0].name), 83u);
    // With its star a pattern may be one longer than the name it matches.
    std::string pattern = "n*" + std::string(82, 'n');
    EXPECT_EQ(reader.ListEntries(pattern.c_str(), nullptr, nullptr, 0, 0, false, true, 0), 1u);
    EXPECT_EQ(Open(BuildArchive({{{std::string(84, 'n'), "x"}}})), 0);
    EXPECT_EQ(Open(BuildArchive({{{"ok", "x"}, {std::string(300, 'n'), "x"}}})), 0);
}

TEST_F(ArchiveReaderTest, DamagedBytesNeverCrashTheReader) {
    std::string good = BuildArchive({Tree});
    uint32_t state = 7;
    for (int round = 0; round < 1500; ++round) {
        std::string bytes = good;
        for (int flips = 0; flips < 3; ++flips) {
            state = state * 1103515245u + 12345u;
            bytes[(state >> 8) % bytes.size()] = char(state >> 24);
        }
        if (Open(bytes) == 1) {
            char names[8][84];
            reader.ListEntries("*", names[0], nullptr, 84, 8, false, true, 0);
            EntryHandle* entry = reader.OpenEntry(reader.Directory()[0].name, false);
            if (entry) ReadAll(entry);
        }
    }
}

TEST_F(ArchiveReaderTest, ListingMatchesOneStarPatternsAcrossFolders) {
    ASSERT_EQ(Open(BuildArchive({Tree})), 1);
    using Names = std::vector<std::string>;
    EXPECT_EQ(List("data/*.mp3"), (Names{"DATA/Music/Theme.MP3", "data/a.mp3"}));
    EXPECT_EQ(List("data\\*.mp3"), (Names{"DATA/Music/Theme.MP3", "data/a.mp3"}));
    EXPECT_EQ(List("data/a.mp3"), (Names{"data/a.mp3", "data/a.mp3.bak"}));
    EXPECT_EQ(List("*.MP3", 0, 0, true), (Names{"Theme.MP3", "a.mp3"}));
    EXPECT_EQ(List("*.*").size(), 5u);
    EXPECT_EQ(List("*.txt*"), Names{});  // a second star is literal
    EXPECT_EQ(List("setup.exe?"), Names{});
    EXPECT_EQ(reader.ListEntries("*", nullptr, nullptr, 0, 1, false, false, 3), 5u);
    EXPECT_EQ(reader.ListEntries("*.*", nullptr, nullptr, 0, 1, false, false, 0), 5u);
    EXPECT_EQ(List(std::string(90, '*').c_str()), Names{});
}

TEST_F(ArchiveReaderTest, ListingStopsAtMaxCountAndSkipsUncounted) {
    ASSERT_EQ(Open(BuildArchive({Tree})), 1);
    using Names = std::vector<std::string>;
    EXPECT_EQ(List("data", 2), (Names{"DATA/Music/Theme.MP3", "data/readme.txt"}));
    EXPECT_EQ(List("*", 0, 1),
              (Names{"DATA/Music/Theme.MP3", "data/readme.txt", "data/a.mp3", "data/a.mp3.bak"}));
    EXPECT_EQ(List("data/a", 0, 1), (Names{"data/a.mp3.bak"}));
    // Counting without names honours skip and maxCount for other patterns.
    EXPECT_EQ(reader.ListEntries("*.mp3", nullptr, nullptr, 0, 0, false, false, 1), 1u);
    EXPECT_EQ(reader.ListEntries("d*", nullptr, nullptr, 0, 2, false, false, 0), 2u);
}

TEST_F(ArchiveReaderTest, NamesAndSizesShareOneRecord) {
    ASSERT_EQ(Open(BuildArchive({Tree})), 1);
    struct Record {
        char name[512];
        uint32_t size;
    } records[3] = {};
    uint32_t count = reader.ListEntries("*", records[0].name, &records[0].size, sizeof(Record), 3,
                                        false, true, 1);
    ASSERT_EQ(count, 3u);
    EXPECT_STREQ(records[0].name, "DATA/Music/Theme.MP3");
    EXPECT_EQ(records[0].size, 5u);
    EXPECT_STREQ(records[2].name, "data/a.mp3");
    EXPECT_EQ(records[2].size, 4u);
}

TEST_F(ArchiveReaderTest, NamesThatDoNotFitTheirRecordArePassedOver) {
    ASSERT_EQ(Open(BuildArchive({{{"data/long-name.txt", "1"}, {"short.txt", "22"}}})), 1);
    // Records of 20 bytes: 16 for the name, then the size; guard bytes after.
    std::vector<char> records(3 * 20, '#');
    auto* sizes = reinterpret_cast<uint32_t*>(records.data() + 16);
    ASSERT_EQ(reader.ListEntries("*", records.data(), sizes, 20, 2, false, true, 0), 1u);
    EXPECT_STREQ(records.data(), "short.txt");
    EXPECT_EQ(*sizes, 2u);
    EXPECT_EQ(std::string(records.data() + 20, 40), std::string(40, '#'));
    // The bare name fits.
    ASSERT_EQ(reader.ListEntries("*", records.data(), sizes, 20, 2, true, true, 0), 2u);
    EXPECT_STREQ(records.data(), "long-name.txt");
}

TEST_F(ArchiveReaderTest, PrefixAndSuffixMayOverlapButNeverReadOutsideTheName) {
    ASSERT_EQ(Open(BuildArchive({{{"aba", "1"}, {"ab", "2"}, {"b", "3"}}})), 1);
    using Names = std::vector<std::string>;
    EXPECT_EQ(List("ab*ba"), Names{"aba"});
    EXPECT_EQ(List("*bab"), Names{});
    EXPECT_EQ(List("abab*"), Names{});
}

TEST_F(ArchiveReaderTest, OpenEntryIgnoresCaseOfLettersOnly) {
    ASSERT_EQ(Open(BuildArchive({Tree})), 1);
    EXPECT_NE(reader.OpenEntry("data/MUSIC/theme.mp3", false), nullptr);
    EXPECT_EQ(reader.OpenEntry("data\\a.mp3", false), nullptr);
    EXPECT_EQ(reader.OpenEntry("data/a", false), nullptr);
    EXPECT_EQ(reader.OpenEntry("", false), nullptr);
    EXPECT_EQ(reader.OpenEntry(nullptr, false), nullptr);
}

TEST_F(ArchiveReaderTest, SlotsLimitOpenEntries) {
    ASSERT_EQ(Open(BuildArchive({Tree})), 1);
    std::vector<EntryHandle*> handles;
    for (int i = 0; i < 20; ++i) {
        handles.push_back(reader.OpenEntry("data/a.mp3", i % 2 == 1));
        ASSERT_NE(handles.back(), nullptr) << i;
    }
    EXPECT_EQ(reader.OpenEntry("data/a.mp3", false), nullptr);
    EXPECT_EQ(reader.OpenEntry("Setup.exe", true), nullptr);
    EXPECT_EQ(reader.CloseEntry(handles[7]), 1);
    EXPECT_EQ(reader.CloseEntry(handles[7]), 0);
    EntryHandle* again = reader.OpenEntry("Setup.exe", true);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(ReadAll(again), "MZ setup");
    // Shared and private handles read independently, interleaved.
    char a = 0, b = 0;
    ASSERT_EQ(reader.ReadEntry(handles[0], &a, 1), 1u);
    ASSERT_EQ(reader.ReadEntry(handles[1], &b, 1), 1u);
    ASSERT_EQ(reader.ReadEntry(handles[0], &a, 1), 1u);
    EXPECT_EQ(reader.EntryTell(handles[0]), 2);
    EXPECT_EQ(reader.EntryTell(handles[1]), 1);
}

TEST_F(ArchiveReaderTest, SeekRulesOfATenByteEntry) {
    ASSERT_EQ(Open(BuildArchive({{{"lead", "xx"}, {"ten", "0123456789"}}})), 1);
    EntryHandle* entry = reader.OpenEntry("ten", false);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(reader.EntrySize(entry), 10);
    EXPECT_EQ(reader.SeekEntry(entry, 9, 0), 1);
    EXPECT_EQ(reader.SeekEntry(entry, 10, 0), 0);
    EXPECT_EQ(reader.SeekEntry(entry, -1, 0), 0);
    EXPECT_EQ(reader.EntryTell(entry), 9);
    EXPECT_EQ(reader.SeekEntry(entry, 3, 2), 1);
    EXPECT_EQ(reader.EntryTell(entry), 7);
    char buffer[100];
    EXPECT_EQ(reader.ReadEntry(entry, buffer, 100), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(reader.ReadEntry(entry, buffer, 100), 0u);
    // From the end position only a move back into the entry is accepted.
    EXPECT_EQ(reader.SeekEntry(entry, 0, 1), 0);
    EXPECT_EQ(reader.SeekEntry(entry, -10, 1), 1);
    EXPECT_EQ(reader.EntryTell(entry), 0);
    EXPECT_EQ(reader.SeekEntry(entry, -1, 1), 0);
    EXPECT_EQ(reader.SeekEntry(entry, 10, 2), 0);
    EXPECT_EQ(reader.SeekEntry(entry, 1, 7), 0);
    EXPECT_EQ(reader.EntryTell(entry), 0);
}

TEST_F(ArchiveReaderTest, HandlesOfAClosedArchiveAreRefused) {
    ASSERT_EQ(Open(BuildArchive({Tree})), 1);
    EntryHandle* entry = reader.OpenEntry("data/a.mp3", true);
    ASSERT_NE(entry, nullptr);
    reader.CloseArchive();
    char c;
    EXPECT_EQ(reader.ReadEntry(entry, &c, 1), 0u);
    EXPECT_EQ(reader.CloseEntry(entry), 0);
    EXPECT_EQ(reader.EntrySize(entry), -1);
    EXPECT_EQ(reader.EntryTell(entry), -1);
    EXPECT_EQ(reader.SeekEntry(entry, 0, 0), 0);
}

}  // namespace
