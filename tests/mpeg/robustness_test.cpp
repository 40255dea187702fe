#include <gtest/gtest.h>

#include <dirent.h>

#include <random>
#include <string>
#include <vector>

#include "mpeg_test_support.h"

using namespace mpeg_test;

namespace {

// Decodes bytes as an .mp3; whatever comes out must be a finished WAV whose
// lengths agree with the frames decoded.
Decoded DecodeBytes(const std::string& bytes, uint32_t choice = Both) {
    std::string path = ScratchPath("in.mp3");
    WriteFile(path, bytes);
    Decoded d = Decode(path, choice);
    if (d.headerRead) {
        EXPECT_EQ(d.result, 0);
        EXPECT_TRUE(d.wav.valid);
        EXPECT_EQ(d.wav.riffLength, d.wav.dataLength + 38);
        EXPECT_EQ(d.wav.samples.size() * 2, d.wav.dataLength);
        uint32_t perFrame = d.wav.channels * (d.wav.rate >= 32000 ? 2304u : 1152u);
        EXPECT_EQ(d.wav.dataLength, d.stats.framesDecoded * perFrame);
    }
    return d;
}

// Frame offsets of a clean file, found by walking the frame lengths.
std::vector<size_t> FrameOffsets(const std::string& path) {
    std::vector<size_t> offsets;
    FrameReader reader(path.c_str());
    FrameHeader header;
    size_t offset = 0;
    while (header.ReadHeader(reader)) {
        offsets.push_back(offset);
        offset += header.frameBodySize + 4;
    }
    return offsets;
}

void SetBits(std::string& bytes, size_t bit, unsigned n, uint32_t value) {
    for (unsigned i = 0; i < n; i++, bit++) {
        uint8_t mask = uint8_t(0x80 >> (bit % 8));
        uint8_t byte = uint8_t(bytes[bit / 8]);
        byte = (value >> (n - 1 - i)) & 1 ? byte | mask : byte & ~mask;
        bytes[bit / 8] = char(byte);
    }
}

TEST(Robustness, EmptyAndHeaderlessInputs) {
    EXPECT_FALSE(DecodeBytes("").headerRead);
    EXPECT_FALSE(DecodeBytes("\xFF").headerRead);
    EXPECT_FALSE(DecodeBytes(std::string(5000, '\x55')).headerRead);
}

TEST(Robustness, TruncatedFilesFinishNormally) {
    std::string whole = ReadFile(DataFile("stereo-44k.mp3"));
    Decoded full = DecodeBytes(whole);
    for (size_t cut = 1; cut < whole.size(); cut += 211) {
        Decoded d = DecodeBytes(whole.substr(0, cut));
        if (d.headerRead) {
            EXPECT_LE(d.stats.framesDecoded, full.stats.framesDecoded);
        }
    }
}

TEST(Robustness, GarbageBetweenFramesIsSkipped) {
    std::string path = DataFile("joint-44k.mp3");
    std::string whole = ReadFile(path);
    std::vector<size_t> offsets = FrameOffsets(path);
    ASSERT_GT(offsets.size(), 10u);
    std::mt19937 random(11);
    std::string bytes;
    for (size_t k = 0; k < offsets.size(); k++) {
        size_t end = k + 1 < offsets.size() ? offsets[k + 1] : whole.size();
        bytes += whole.substr(offsets[k], end - offsets[k]);
        // Junk without 0xFF never looks like a header. The first frame is
        // followed by the second, which confirms it.
        for (unsigned j = k == 0 ? 0 : random() % 50; j > 0; j--)
            bytes += char(random() % 255);
    }
    Decoded clean = DecodeBytes(whole);
    Decoded d = DecodeBytes(bytes);
    EXPECT_EQ(d.stats.framesRead, clean.stats.framesRead);
    EXPECT_EQ(d.wav.samples, clean.wav.samples);
}

TEST(Robustness, FirstHeaderFollowedByJunk) {
    std::mt19937 random(13);
    for (int trial = 0; trial < 20; trial++) {
        std::string bytes = HeaderBytes(HeaderWord(trial % 2, 1, trial % 3 == 0, 1 + trial % 14,
                                                   trial % 3, trial % 2, trial % 4, trial % 4));
        for (int i = 0; i < 6000; i++)
            bytes += char(random());
        for (uint32_t choice : {Both, Downmix})
            DecodeBytes(bytes, choice);
    }
}

// Side information at its largest: part2_3_length 4095 and big_values 511
// in every granule, and random flips everywhere.
TEST(Robustness, HugeSideInformationValuesAndBitFlips) {
    for (const char* name : {"stereo-44k.mp3", "mono-32k.mp3", "joint-22k.mp3", "mono-16k.mp3"}) {
        SCOPED_TRACE(name);
        std::string path = DataFile(name);
        std::string whole = ReadFile(path);
        std::vector<size_t> offsets = FrameOffsets(path);
        FrameReader reader(path.c_str());
        FrameHeader header;
        ASSERT_TRUE(header.ReadHeader(reader));
        bool mono = header.SingleChannel();
        bool mpeg1 = header.versionBit == 1;
        unsigned channels = mono ? 1 : 2, granules = mpeg1 ? 2 : 1;
        unsigned before = mpeg1 ? (mono ? 18 : 20) : (mono ? 9 : 10);
        unsigned stride = mpeg1 ? 59 : 63;
        std::string huge = whole;
        for (size_t offset : offsets) {
            for (unsigned g = 0; g < granules * channels; g++) {
                size_t bit = 8 * (offset + 4) + before + stride * g;
                SetBits(huge, bit, 12, 4095);
                SetBits(huge, bit + 12, 9, 511);
            }
        }
        Decoded d = DecodeBytes(huge);
        EXPECT_TRUE(d.headerRead);
        std::mt19937 random(17);
        for (int trial = 0; trial < 8; trial++) {
            std::string flipped = whole;
            for (int k = 0; k < 40; k++)
                flipped[4 + random() % (flipped.size() - 4)] ^= char(1 << (random() % 8));
            DecodeBytes(flipped, trial % 4);
        }
    }
}

// A frame that carries another layer, or a free-format or forbidden bitrate,
// ends the conversion there; what came before stays.
TEST(Robustness, OtherLayersAndBitratesEndTheStream) {
    std::string path = DataFile("stereo-44k.mp3");
    std::string whole = ReadFile(path);
    std::vector<size_t> offsets = FrameOffsets(path);
    ASSERT_GT(offsets.size(), 8u);
    Decoded clean = DecodeBytes(whole);
    struct Change {
        unsigned bit, n;
        uint32_t value;
    };
    for (Change change : {Change{13, 2, 2}, Change{13, 2, 3}, Change{13, 2, 0}, Change{16, 4, 0},
                          Change{16, 4, 15}}) {
        std::string bytes = whole;
        SetBits(bytes, 8 * offsets[5] + change.bit, change.n, change.value);
        Decoded d = DecodeBytes(bytes);
        EXPECT_EQ(d.stats.framesDecoded, 5u) << change.bit << " " << change.value;
        std::vector<int16_t> prefix(clean.wav.samples.begin(),
                                    clean.wav.samples.begin() + 5 * 2304);
        EXPECT_EQ(d.wav.samples, prefix);
    }
}

// Window switching with block type 0 is invalid: that frame is skipped and
// decoding goes on.
TEST(Robustness, WindowSwitchingWithNormalBlockSkipsTheFrame) {
    std::string path = DataFile("mono-48k.mp3");
    std::string bytes = ReadFile(path);
    std::vector<size_t> offsets = FrameOffsets(path);
    // Mono MPEG-1: granule 0 starts 18 bits into the side information;
    // window_switching_flag is its 34th bit.
    size_t bit = 8 * (offsets[4] + 4) + 18 + 33;
    SetBits(bytes, bit, 3, 0b100);
    Decoded d = DecodeBytes(bytes);
    EXPECT_GE(d.stats.framesSkipped, 1u);
    EXPECT_GE(d.stats.framesDecoded, offsets.size() - 3);
}

// Inputs kept as regressions (crafted ones and any the fuzzer found); each
// must decode to a finished WAV without a fault.
TEST(Robustness, FuzzRegressions) {
    DIR* dir = opendir(VEXLO_REGRESSION_DIR);
    ASSERT_NE(dir, nullptr);
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        SCOPED_TRACE(entry->d_name);
        std::string bytes = ReadFile(std::string(VEXLO_REGRESSION_DIR) + "/" + entry->d_name);
        for (uint32_t choice : {Both, LeftOnly, RightOnly, Downmix})
            DecodeBytes(bytes, choice);
        count++;
    }
    closedir(dir);
    std::printf("%d regression inputs\n", count);
    EXPECT_GT(count, 0);
}

}  // namespace
