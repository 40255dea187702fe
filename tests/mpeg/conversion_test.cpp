#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "mpeg_test_support.h"
#include "setup/media/archive_reader.h"
#include "setup/media/file_stream.h"
#include "setup/media/source_state.h"

using namespace mpeg_test;

// Nothrow allocations can be made to fail: the n-th from now returns null.
namespace {
int failingAllocation = -1;
void* CountedAllocation(std::size_t n, bool array) {
    if (failingAllocation == 0) {
        failingAllocation = -1;
        return nullptr;
    }
    if (failingAllocation > 0) failingAllocation--;
    return array ? ::operator new[](n) : ::operator new(n);
}
}  // namespace

void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return CountedAllocation(n, false);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return CountedAllocation(n, true);
}
// The 32-bit build's SSE2 decoder gets its 16-byte aligned objects from the
// aligned forms (its heap gives 8): they fail alike.
void* operator new(std::size_t n, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    if (failingAllocation == 0) {
        failingAllocation = -1;
        return nullptr;
    }
    if (failingAllocation > 0) failingAllocation--;
    return ::operator new(n, alignment);
}

namespace {

uint32_t FrameBytes(const Wav& wav, bool mpeg1) {
    return wav.channels * (mpeg1 ? 2304u : 1152u);
}

void ExpectWellFormed(const Decoded& d, uint32_t channels, uint32_t rate, bool mpeg1) {
    ASSERT_TRUE(d.headerRead);
    ASSERT_EQ(d.result, 0);
    ASSERT_TRUE(d.wav.valid);
    EXPECT_EQ(d.wav.formatLength, 18u);
    EXPECT_EQ(d.wav.format, 1);
    EXPECT_EQ(d.wav.channels, channels);
    EXPECT_EQ(d.wav.rate, rate);
    EXPECT_EQ(d.wav.byteRate, rate * channels * 2);
    EXPECT_EQ(d.wav.blockAlign, channels * 2);
    EXPECT_EQ(d.wav.bitsPerSample, 16);
    EXPECT_EQ(d.wav.dataLength, d.stats.framesDecoded * FrameBytes(d.wav, mpeg1));
    EXPECT_EQ(d.wav.riffLength, d.wav.dataLength + 38);
    EXPECT_EQ(d.wav.samples.size() * 2, d.wav.dataLength);
}

bool Audible(const std::vector<int16_t>& samples) {
    int loud = 0;
    for (int16_t s : samples)
        loud += std::abs(s) > 300;
    return loud > int(samples.size() / 20);
}

// Every sampling rate, mono and stereo, gives a file of its own rate and
// channel count, one buffer of samples per frame, and sound in it.
TEST(Conversion, AllSixRatesMonoAndStereo) {
    struct Case {
        const char* file;
        uint32_t rate, channels;
        bool mpeg1;
    };
    const Case cases[] = {
        {"stereo-44k.mp3", 44100, 2, true},    {"joint-44k.mp3", 44100, 2, true},
        {"mono-48k.mp3", 48000, 1, true},      {"stereo-48k.mp3", 48000, 2, true},
        {"mono-32k.mp3", 32000, 1, true},      {"stereo-32k.mp3", 32000, 2, true},
        {"mono-22k.mp3", 22050, 1, false},     {"joint-22k.mp3", 22050, 2, false},
        {"mono-24k.mp3", 24000, 1, false},     {"stereo-24k.mp3", 24000, 2, false},
        {"mono-16k.mp3", 16000, 1, false},     {"joint-16k.mp3", 16000, 2, false},
        {"transient-44k.mp3", 44100, 2, true}, {"transient-22k.mp3", 22050, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Decoded d = Decode(DataFile(c.file));
        ExpectWellFormed(d, c.channels, c.rate, c.mpeg1);
        EXPECT_GT(d.stats.framesDecoded, 10u);
        EXPECT_EQ(d.stats.framesSkipped, 0u);
        EXPECT_EQ(d.stats.framesDecoded, d.stats.framesRead);
        EXPECT_TRUE(Audible(d.wav.samples));
    }
}

TEST(Conversion, StereoMpeg1FrameAddsFullBuffer) {
    Decoded d = Decode(DataFile("stereo-44k.mp3"));
    ExpectWellFormed(d, 2, 44100, true);
    EXPECT_EQ(d.wav.dataLength, d.stats.framesDecoded * 4608u);
    Decoded lsf = Decode(DataFile("joint-22k.mp3"));
    EXPECT_EQ(lsf.wav.dataLength, lsf.stats.framesDecoded * 2304u);
}

// The channel choices: left and right are the channels of Both, the
// downmix their mean within 1 LSB, also where the channels' block types
// differ (the transients make short blocks in one channel only at times).
TEST(Conversion, ChannelChoicesOfAStereoInput) {
    for (const char* file : {"stereo-44k.mp3", "transient-44k.mp3", "joint-22k.mp3"}) {
        SCOPED_TRACE(file);
        Decoded both = Decode(DataFile(file), Both);
        Decoded left = Decode(DataFile(file), LeftOnly);
        Decoded right = Decode(DataFile(file), RightOnly);
        Decoded mix = Decode(DataFile(file), Downmix);
        for (const Decoded* d : {&left, &right, &mix})
            ExpectWellFormed(*d, 1, both.wav.rate, both.wav.rate >= 32000);
        ASSERT_EQ(left.wav.samples.size() * 2, both.wav.samples.size());
        ASSERT_EQ(mix.wav.samples.size(), left.wav.samples.size());
        int differentChannels = 0;
        for (size_t i = 0; i < left.wav.samples.size(); i++) {
            int l = both.wav.samples[2 * i], r = both.wav.samples[2 * i + 1];
            ASSERT_EQ(left.wav.samples[i], l) << i;
            ASSERT_EQ(right.wav.samples[i], r) << i;
            ASSERT_NEAR(mix.wav.samples[i], (l + r) / 2.0, 1.0) << i;
            differentChannels += l != r;
        }
        EXPECT_GT(differentChannels, 1000);  // the file's channels differ
    }
}

TEST(Conversion, MonoInputIsMonoWhateverTheChoice) {
    Decoded first = Decode(DataFile("mono-48k.mp3"), Both);
    ExpectWellFormed(first, 1, 48000, true);
    for (uint32_t choice : {LeftOnly, RightOnly, Downmix}) {
        Decoded d = Decode(DataFile("mono-48k.mp3"), choice);
        ExpectWellFormed(d, 1, 48000, true);
        EXPECT_EQ(d.wav.samples, first.wav.samples) << choice;
    }
}

// The downmix is the mean truncated toward zero, as every sample is: where
// the sum is odd and negative, a halving shift would round it down instead.
TEST(Conversion, DownmixMeanTruncatesTowardZero) {
    struct Pair {
        int16_t left, right, mean;
    };
    const Pair pairs[] = {
        {-3, 0, -1},
        {0, -1, 0},
        {-1, -2, -1},
        {3, 0, 1},
        {1, 2, 1},
        {-4, 0, -2},
        {32767, 32767, 32767},
        {-32768, -32767, -32767},
        {-32768, -32768, -32768},
        {-32768, 32767, 0},
        {5, -8, -1},
        {-7, 4, -1},
    };
    const uint32_t count = sizeof pairs / sizeof pairs[0];
    std::string path = ScratchPath("downmix.wav");
    {
        ConversionJob job;
        job.header = new FrameHeader;
        job.header->versionBit = 1;  // 1152 samples a frame at 44.1 kHz
        std::snprintf(job.outputPath, sizeof job.outputPath, "%s", path.c_str());
        WavWriter writer(1, job, true);
        ASSERT_TRUE(writer.Ready());
        std::vector<int16_t> left(1152), right(1152);
        for (uint32_t i = 0; i < 1152; i++) {
            left[i] = pairs[i % count].left;
            right[i] = pairs[i % count].right;
        }
        writer.PutSamples(0, left.data(), 1152);
        writer.PutSamples(1, right.data(), 1152);
        writer.FlushFrame();
        EXPECT_TRUE(writer.Finish());
    }
    Wav wav = ParseWav(ReadFile(path));
    std::remove(path.c_str());
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.channels, 1);
    ASSERT_EQ(wav.samples.size(), 1152u);
    for (uint32_t i = 0; i < 1152; i++) {
        const Pair& p = pairs[i % count];
        ASSERT_EQ(wav.samples[i], p.mean) << p.left << " and " << p.right << " at " << i;
    }
}

// An encoder's info frame is found after the side information, in a frame
// with a check word both where the check word is counted and where it is
// not; in a frame without one, only right after the side information.
TEST(Conversion, InfoFrameAfterTheSideInformationAndTheCheckWord) {
    struct Case {
        uint32_t version, mode;
        bool checkWord;
        uint32_t at;  // the tag's offset in the body
        const char* tag;
        bool found;
    };
    // Side information: 32 bytes (MPEG-1 stereo), 17 (MPEG-1 mono, LSF
    // stereo), 9 (LSF mono).
    const Case cases[] = {
        {1, 0, true, 34, "Xing", true},   {1, 0, true, 32, "Xing", true},
        {1, 3, true, 19, "Info", true},   {0, 0, true, 19, "Xing", true},
        {0, 3, true, 11, "Info", true},   {1, 0, false, 32, "Info", true},
        {1, 0, false, 34, "Xing", false}, {0, 3, false, 11, "Xing", false},
        {1, 0, true, 36, "Xing", false},  {1, 0, true, 34, "Xinf", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tag) + " at " + std::to_string(c.at) +
                     (c.checkWord ? " with check word" : "") + " version " +
                     std::to_string(c.version) + " mode " + std::to_string(c.mode));
        uint32_t word = HeaderWord(c.version, 1, c.checkWord, 9, 0, false, c.mode);
        uint32_t length = FrameLengthOf(word);
        std::string body(length - 4, '\0');
        // Flags: frame count present; 1234 frames.
        body.replace(c.at, 12, std::string(c.tag) + std::string("\0\0\0\x01\0\0\x04\xD2", 8));
        std::string path = ScratchPath("info.mp3");
        WriteFile(path,
                  HeaderBytes(word) + body + HeaderBytes(word) + std::string(length - 4, '\0'));
        FrameReader reader(path.c_str());
        FrameHeader header;
        ASSERT_TRUE(header.ReadHeader(reader));
        uint32_t frames = 99;
        EXPECT_EQ(IsInfoFrame(reader, header, frames), c.found);
        EXPECT_EQ(frames, c.found ? 1234u : 0u);
        std::remove(path.c_str());
    }
}

TEST(Conversion, CustomScaleHalvesTheOutput) {
    Decoded full = Decode(DataFile("mono-32k.mp3"));
    Decoded half = Decode(DataFile("mono-32k.mp3"), Both, 16384.0f);
    ASSERT_EQ(full.wav.samples.size(), half.wav.samples.size());
    for (size_t i = 0; i < full.wav.samples.size(); i++) {
        ASSERT_NEAR(half.wav.samples[i], full.wav.samples[i] / 2.0, 1.0) << i;
    }
}

// Reports before frames 0, 16 and 32 from the file position, and 1.0 at
// the end; never backward.
TEST(Conversion, ProgressBeforeEverySixteenthFrameAndAtTheEnd) {
    Decoded d = Decode(DataFile("transient-22k.mp3"));
    ASSERT_EQ(d.stats.framesRead, 33u);
    ASSERT_EQ(d.progress.size(), 4u);
    EXPECT_EQ(d.progress[0], 0.0f);
    EXPECT_GT(d.progress[1], 0.3f);
    EXPECT_LT(d.progress[1], 0.6f);
    EXPECT_LT(d.progress[1], d.progress[2]);
    EXPECT_LT(d.progress[2], 1.0f);
    EXPECT_EQ(d.progress[3], 1.0f);
}

TEST(Conversion, WritesAnArchiveMember) {
    // An archive holding nothing but its 22-byte end record.
    std::string archive = ScratchPath("game.exe");
    std::string end = "PK\x05\x06" + std::string(18, '\0');
    WriteFile(archive, "MZ stand-in program bytes" + end);
    Decoded member = Decode(DataFile("joint-16k.mp3"), Both, 0.0f, archive + ";Music.wav");
    ASSERT_EQ(member.result, 0);
    EXPECT_TRUE(member.stats.outputOpened);
    EXPECT_TRUE(member.stats.outputFinished);
    Decoded plain = Decode(DataFile("joint-16k.mp3"));

    ArchiveReader reader;
    ASSERT_NE(reader.OpenArchive(archive.c_str(), 4), 0);
    EntryHandle* entry = reader.OpenEntry("Music.wav", true);
    ASSERT_NE(entry, nullptr);
    std::string bytes(size_t(reader.EntrySize(entry)), '\0');
    EXPECT_EQ(reader.ReadEntry(entry, &bytes[0], uint32_t(bytes.size())), bytes.size());
    reader.CloseEntry(entry);
    reader.CloseArchive();
    Wav wav = ParseWav(bytes);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.riffLength, wav.dataLength + 38);
    EXPECT_EQ(wav.samples, plain.wav.samples);
}

// A tagged file read from the source archive (the disc packed): the tag
// skip and the confirming look-ahead seek within the member.
TEST(Conversion, TaggedMemberOfTheSourceArchive) {
    std::string archive = ScratchPath("disc.arc");
    std::string end = "PK\x05\x06" + std::string(18, '\0');
    WriteFile(archive, "MZ stand-in program bytes" + end);
    std::string frames = ReadFile(DataFile("stereo-44k.mp3"));
    // An ID3v2.3 tag holding a UTF-16 byte order mark and a copy of the
    // first frames, then the audio, then an ID3v1 tag.
    std::string inside = "\xFF\xFE" + frames.substr(0, 2000);
    std::string tag = std::string("ID3\x03\x00\x00", 6);
    for (int shift : {21, 14, 7, 0})
        tag += char((inside.size() >> shift) & 0x7F);
    std::string tagged = tag + inside + frames + "TAG" + std::string(125, '\xFF');
    {
        FileStream member((archive + ";data/tagged.mp3").c_str(),
                          StreamWrite | StreamModify | StreamAbsolute);
        ASSERT_TRUE(member.IsOpen());
        ASSERT_EQ(member.Write(tagged.data(), uint32_t(tagged.size())), tagged.size());
    }
    Decoded plain = Decode(DataFile("stereo-44k.mp3"));
    sourceArchiveOpen = sourceArchive.OpenArchive(archive.c_str(), 4);
    ASSERT_NE(sourceArchiveOpen, 0);
    Decoded packed = Decode("data/tagged.mp3");
    sourceArchive.CloseArchive();
    sourceArchiveOpen = 0;
    ASSERT_TRUE(packed.headerRead);
    EXPECT_EQ(packed.stats.framesRead, plain.stats.framesRead);
    EXPECT_EQ(packed.wav.samples, plain.wav.samples);
}

TEST(Conversion, OutputThatCannotBeOpenedRunsToTheEndAndLeavesNothing) {
    std::string output = ScratchPath("no-such-folder") + "/out.wav";
    Decoded d = Decode(DataFile("mono-22k.mp3"), Both, 0.0f, output);
    EXPECT_EQ(d.result, 0);
    EXPECT_FALSE(d.stats.outputOpened);
    EXPECT_GT(d.stats.framesDecoded, 10u);
    EXPECT_FALSE(Exists(output));
    // An archive path whose archive does not exist: nothing either.
    std::string missing = ScratchPath("missing.exe");
    Decoded m = Decode(DataFile("mono-22k.mp3"), Both, 0.0f, missing + ";a.wav");
    EXPECT_EQ(m.result, 0);
    EXPECT_FALSE(Exists(missing));
}

// Whatever allocation of the conversion fails, what was made is released
// (the leak checker watches) and the result is 1.
TEST(Conversion, AllocationFailureReleasesAndReturnsOne) {
    for (int failing = 0; failing < 5; failing++) {
        SCOPED_TRACE(failing);
        std::string output = ScratchPath("alloc.wav");
        ConversionJob job;
        std::snprintf(job.outputPath, sizeof job.outputPath, "%s", output.c_str());
        job.reader = new FrameReader(DataFile("stereo-44k.mp3").c_str());
        job.header = new FrameHeader;
        ASSERT_TRUE(job.header->ReadHeader(*job.reader));
        failingAllocation = failing;
        EXPECT_EQ(ConvertToWav(job, nullptr), 1);
        failingAllocation = -1;
    }
}

}  // namespace
