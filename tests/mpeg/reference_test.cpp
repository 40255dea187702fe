// Decodes compared with mpg123 (--no-gapless: the encoder's delay and
// padding stay, as in ours), run at test time as a black-box reference: our
// own MP3 files, and files made with lame and tagged as common tools do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "mpeg_test_support.h"

using namespace mpeg_test;

namespace {

bool UnderCi() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

bool HaveProgram(const char* name) {
    std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// The programs missing for the reference decodes, or "".
std::string MissingTools() {
    std::string missing;
    for (const char* tool : {"mpg123", "lame", "sox", "convert"}) {
        if (!HaveProgram(tool)) missing += std::string(missing.empty() ? "" : ", ") + tool;
    }
    return missing;
}

#define REQUIRE_TOOLS()                                                                 \
    do {                                                                                \
        static const std::string missing = MissingTools();                              \
        if (!missing.empty()) {                                                         \
            if (UnderCi()) FAIL() << "CI=true and missing: " << missing;                \
            GTEST_SKIP() << "reference decodes need " << missing << " (not installed)"; \
        }                                                                               \
    } while (0)

// The tagged files, made once per run.
const std::string& TaggedDir() {
    static std::string dir;
    if (dir.empty()) {
        dir = ScratchDir() + "/tagged";
        std::string command =
            std::string("sh ") + VEXLO_TAGGED_SCRIPT + " '" + dir + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) dir = "";
    }
    return dir;
}

std::vector<int16_t> ReferenceDecode(const std::string& mp3) {
    std::string raw = ScratchPath("reference.raw");
    std::string command = "mpg123 -q --no-gapless -e s16 -s '" + mp3 + "' > '" + raw + "'";
    std::vector<int16_t> samples;
    if (std::system(command.c_str()) != 0) return samples;
    std::string bytes = ReadFile(raw);
    samples.resize(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = int16_t(U16At(bytes, 2 * i));
    std::remove(raw.c_str());
    return samples;
}

struct Difference {
    size_t ours = 0, reference = 0;
    int max = 0;
    double rms = 0;
};

Difference Compare(const std::vector<int16_t>& ours, const std::vector<int16_t>& reference) {
    Difference d;
    d.ours = ours.size();
    d.reference = reference.size();
    size_t n = std::min(ours.size(), reference.size());
    double sum = 0;
    for (size_t i = 0; i < n; i++) {
        int diff = std::abs(int(ours[i]) - int(reference[i]));
        d.max = std::max(d.max, diff);
        sum += double(diff) * diff;
    }
    d.rms = n ? std::sqrt(sum / double(n)) : 0.0;
    return d;
}

// Same start (compared from sample 0), max 2 LSB, RMS 0.75 LSB, lengths
// within one frame.
void ExpectMatchesReference(const std::string& mp3, const std::string& label) {
    Decoded ours = Decode(mp3);
    ASSERT_TRUE(ours.headerRead) << label;
    ASSERT_EQ(ours.result, 0) << label;
    ASSERT_TRUE(ours.wav.valid) << label;
    std::vector<int16_t> reference = ReferenceDecode(mp3);
    ASSERT_FALSE(reference.empty()) << label << ": mpg123 gave nothing";
    Difference d = Compare(ours.wav.samples, reference);
    long frame = long(ours.wav.channels) * (ours.wav.rate >= 32000 ? 1152 : 576);
    std::printf("%-28s %5u Hz %u ch  ours %7zu  mpg123 %7zu  max %d  rms %.3f\n", label.c_str(),
                ours.wav.rate, ours.wav.channels, d.ours, d.reference, d.max, d.rms);
    testing::Test::RecordProperty("max_abs_diff", d.max);
    testing::Test::RecordProperty("rms_diff", std::to_string(d.rms));
    EXPECT_GT(d.ours, 0u) << label;
    EXPECT_LE(std::labs(long(d.ours) - long(d.reference)), frame) << label;
    EXPECT_LE(d.max, 2) << label;
    EXPECT_LE(d.rms, 0.75) << label;
}

std::vector<std::string> Mp3FilesIn(const std::string& dir) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        if (entry.path().extension() == ".mp3") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Reference, OwnFilesMatchMpg123) {
    REQUIRE_TOOLS();
    std::vector<std::string> files = Mp3FilesIn(VEXLO_MP3_DATA_DIR);
    for (const std::string& f : Mp3FilesIn(VEXLO_DISC_DATA_DIR))
        files.push_back(f);
    ASSERT_GE(files.size(), 17u);
    for (const std::string& file : files)
        ExpectMatchesReference(file, std::filesystem::path(file).filename().string());
}

class Tagged : public testing::TestWithParam<const char*> {};

TEST_P(Tagged, MatchesMpg123) {
    REQUIRE_TOOLS();
    ASSERT_FALSE(TaggedDir().empty()) << "making the tagged files failed";
    std::string name = GetParam();
    ExpectMatchesReference(TaggedDir() + "/" + name + ".mp3", name);
}

INSTANTIATE_TEST_SUITE_P(Files, Tagged,
                         testing::Values("utf16-title", "picture", "padded", "id3v1",
                                         "id3v1-and-v2", "vbr", "vbr-mono", "crc", "mono",
                                         "info-frame", "info-frame-22k", "no-info-frame", "ape",
                                         "lyrics3", "id3v22", "id3v24-footer", "two-tags",
                                         "free-44k-200", "free-44k-640", "free-48k-256",
                                         "free-32k-640", "free-mono-100", "free-crc-160",
                                         "free-22k-96"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (c == '-') c = '_';
                             }
                             return name;
                         });

// The info frame is metadata: left out, its frame count kept; a file
// without one decodes every frame.
TEST(Reference, InfoFrameIsNotAudio) {
    REQUIRE_TOOLS();
    ASSERT_FALSE(TaggedDir().empty());
    Decoded with = Decode(TaggedDir() + "/info-frame.mp3");
    Decoded without = Decode(TaggedDir() + "/no-info-frame.mp3");
    ASSERT_TRUE(with.headerRead && without.headerRead);
    EXPECT_TRUE(with.stats.infoFrame);
    EXPECT_FALSE(without.stats.infoFrame);
    EXPECT_EQ(with.stats.framesDecoded + 1, with.stats.framesRead);
    EXPECT_EQ(without.stats.framesDecoded, without.stats.framesRead);
    EXPECT_GE(with.stats.infoFrameCount, with.stats.framesDecoded);
    EXPECT_LE(with.stats.infoFrameCount, with.stats.framesRead);
    // Same audio either way.
    EXPECT_EQ(with.wav.samples.size(), without.wav.samples.size());
}

// Progress follows the file: never back, 0 first, 1 last, also for VBR.
TEST(Reference, ProgressOfVbrNeverGoesBack) {
    REQUIRE_TOOLS();
    ASSERT_FALSE(TaggedDir().empty());
    for (const char* name : {"vbr", "no-info-frame"}) {
        Decoded d = Decode(TaggedDir() + "/" + name + ".mp3");
        ASSERT_GE(d.progress.size(), 3u) << name;
        EXPECT_EQ(d.progress.front(), 0.0f) << name;
        EXPECT_EQ(d.progress.back(), 1.0f) << name;
        for (size_t i = 1; i < d.progress.size(); i++)
            EXPECT_GE(d.progress[i], d.progress[i - 1]) << name << " report " << i;
        // The report before the last frames is well on its way.
        EXPECT_GT(d.progress[d.progress.size() - 2], 0.5f) << name;
    }
}

// Downmix is the mean of the two decoded channels for any pair of block
// types, within 1 LSB.
TEST(Reference, DownmixIsTheMeanOfBothChannels) {
    REQUIRE_TOOLS();
    ASSERT_FALSE(TaggedDir().empty());
    for (const std::string& file :
         {DataFile("transient-44k.mp3"), DataFile("joint-22k.mp3"), TaggedDir() + "/vbr.mp3"}) {
        Decoded both = Decode(file, Both);
        Decoded mixed = Decode(file, Downmix);
        ASSERT_EQ(both.wav.channels, 2) << file;
        ASSERT_EQ(mixed.wav.channels, 1) << file;
        ASSERT_EQ(mixed.wav.samples.size() * 2, both.wav.samples.size()) << file;
        int worst = 0;
        for (size_t i = 0; i < mixed.wav.samples.size(); i++) {
            double mean = (double(both.wav.samples[2 * i]) + both.wav.samples[2 * i + 1]) / 2;
            worst = std::max(worst, int(std::ceil(std::fabs(mixed.wav.samples[i] - mean))));
        }
        EXPECT_LE(worst, 1) << file;
    }
}

// Bytes that are not a stream give none: noise (with chance syncs), and a
// tag whose size runs past the input.
TEST(Reference, NoiseAndOverlongTagsGiveNoStream) {
    std::mt19937 random(11);
    std::string noise(200000, '\0');
    for (char& c : noise)
        c = char(random());
    for (size_t at = 1000; at + 4 < noise.size(); at += 7919) {
        noise[at] = char(0xFF);
        noise[at + 1] = char(0xFB);  // MPEG-1 Layer III
    }
    std::string path = ScratchPath("noise.mp3");
    WriteFile(path, noise);
    EXPECT_FALSE(Decode(path).headerRead);

    // An ID3v2 tag claiming more bytes than follow, over real frames.
    std::string frames = ReadFile(DataFile("stereo-44k.mp3"));
    std::string tag = std::string("ID3\x03\x00\x00", 6) + std::string("\x7F\x7F\x7F\x7F", 4);
    path = ScratchPath("overlong-tag.mp3");
    WriteFile(path, tag + frames);
    EXPECT_FALSE(Decode(path).headerRead);
}

}  // namespace
