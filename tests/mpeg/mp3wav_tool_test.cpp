// vexlo-mp3wav as a program: summary line, channel choices, archive members,
// and one-line errors with a non-zero exit and no output left behind.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "mpeg_test_support.h"

using namespace mpeg_test;

namespace {

struct ToolRun {
    int exitCode;
    std::string output;  // stdout and stderr
};

ToolRun RunTool(const std::string& arguments) {
    std::string command = std::string(VEXLO_MP3WAV) + " " + arguments + " 2>&1";
    ToolRun run{-1, ""};
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        run.output += buffer;
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

TEST(Mp3WavTool, DecodesEveryRateAndChoiceWithASummary) {
    struct Case {
        const char* file;
        const char* choice;
        uint16_t channels;
        uint32_t rate;
    };
    const Case cases[] = {
        {"stereo-44k.mp3", "both", 2, 44100},   {"stereo-44k.mp3", "left", 1, 44100},
        {"stereo-44k.mp3", "right", 1, 44100},  {"stereo-44k.mp3", "downmix", 1, 44100},
        {"mono-48k.mp3", "both", 1, 48000},     {"stereo-32k.mp3", "both", 2, 32000},
        {"mono-22k.mp3", "right", 1, 22050},    {"stereo-24k.mp3", "both", 2, 24000},
        {"joint-16k.mp3", "downmix", 1, 16000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.choice);
        std::string out = ScratchPath("out.wav");
        ToolRun run =
            RunTool(Quote(DataFile(c.file)) + " " + Quote(out) + " --channels " + c.choice);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(run.output.find(std::to_string(c.rate) + " Hz"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(c.channels == 1 ? "1 channel," : "2 channels,"),
                  std::string::npos);
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1);
        std::string bytes = ReadFile(out);
        Wav wav = ParseWav(bytes);
        ASSERT_TRUE(wav.valid);
        EXPECT_EQ(wav.channels, c.channels);
        EXPECT_EQ(wav.rate, c.rate);
        EXPECT_EQ(wav.formatLength, 18u);
        EXPECT_EQ(bytes.size(), 46 + wav.dataLength);
        EXPECT_EQ(wav.riffLength, wav.dataLength + 38);
        std::remove(out.c_str());
    }
}

TEST(Mp3WavTool, ScaleAndArchiveMember) {
    std::string full = ScratchPath("full.wav"), half = ScratchPath("half.wav");
    ASSERT_EQ(RunTool(Quote(DataFile("mono-16k.mp3")) + " " + Quote(full)).exitCode, 0);
    ASSERT_EQ(
        RunTool(Quote(DataFile("mono-16k.mp3")) + " " + Quote(half) + " --scale 16384").exitCode,
        0);
    Wav a = ParseWav(ReadFile(full)), b = ParseWav(ReadFile(half));
    ASSERT_EQ(a.samples.size(), b.samples.size());
    for (size_t i = 0; i < a.samples.size(); i++)
        ASSERT_NEAR(b.samples[i], a.samples[i] / 2.0, 1.0);

    std::string archive = ScratchPath("game.exe");
    WriteFile(archive, "program" + std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    size_t before = ReadFile(archive).size();
    ToolRun run = RunTool(Quote(DataFile("mono-16k.mp3")) + " " + Quote(archive + ";Music.wav"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::string grown = ReadFile(archive);
    EXPECT_GT(grown.size(), before + a.dataLength);
    EXPECT_NE(grown.find("Music.wav"), std::string::npos);
}

TEST(Mp3WavTool, ErrorsAreOneLineNonZeroAndLeaveNothing) {
    std::string out = ScratchPath("out.wav");
    std::string junk = ScratchPath("junk.mp3");
    WriteFile(junk, std::string(4000, '\x55'));
    std::string empty = ScratchPath("empty.mp3");
    WriteFile(empty, "");
    // Noise with chance syncs: headers that nothing confirms.
    std::string noise = ScratchPath("noise.mp3");
    std::string noiseBytes;
    for (int i = 0; i < 20000; i++)
        noiseBytes += char((i * 7919 + i / 13) & 0xFF);
    for (size_t at = 100; at + 4 < noiseBytes.size(); at += 997)
        noiseBytes.replace(at, 4, "\xFF\xFB\x90\x64");
    WriteFile(noise, noiseBytes);
    const std::string failing[] = {
        Quote(ScratchPath("missing.mp3")) + " " + Quote(out),  // unreadable input
        Quote(junk) + " " + Quote(out),                        // no frame header
        Quote(empty) + " " + Quote(out),                       // zero-length input
        Quote(noise) + " " + Quote(out),                       // no confirmed stream
        Quote(DataFile("mono-16k.mp3")) + " " + Quote(ScratchPath("no-folder") + "/x/out.wav"),
        Quote(DataFile("mono-16k.mp3")) + " " + Quote(ScratchPath("no-archive.exe") + ";a.wav"),
        Quote(DataFile("mono-16k.mp3")) + " " + Quote(out) + " --channels middle",
        Quote(DataFile("mono-16k.mp3")) + " " + Quote(out) + " --scale -3",
        Quote(DataFile("mono-16k.mp3")) + " " + Quote(out) + " --scale inf",
    };
    for (const std::string& arguments : failing) {
        SCOPED_TRACE(arguments);
        ToolRun run = RunTool(arguments);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        EXPECT_EQ(run.output.rfind("vexlo-mp3wav: ", 0), 0u) << run.output;
        EXPECT_FALSE(Exists(out));
    }
    ToolRun usage = RunTool("");
    EXPECT_NE(usage.exitCode, 0);
}

// What the file holds, named on the one line the build shows for it.
TEST(Mp3WavTool, RefusalsNameWhatTheFileHolds) {
    struct Case {
        std::string bytes;
        const char* says;
    };
    const Case cases[] = {
        {Frames(Mpeg25Word(1, 4, 2), 288, 8),
         "is MPEG 2.5 audio (8, 11 or 12 kHz), which Setup cannot convert"},
        {Frames(HeaderWord(1, 3, false, 14, 2, false, 0), 672, 8),
         "is MPEG Layer I audio, which Setup cannot convert"},
        {Frames(HeaderWord(1, 2, false, 8, 0, false, 0), 417, 8),
         "is MPEG Layer II audio, which Setup cannot convert"},
        {"RIFF" + std::string("\x24\x10\0\0WAVEfmt ", 12) + std::string(4000, '\x01'),
         "is a RIFF/WAVE file, not MP3 audio, which Setup cannot convert"},
        {"OggS" + std::string(4000, '\x02'),
         "is an Ogg file, not MP3 audio, which Setup cannot convert"},
    };
    std::string out = ScratchPath("out.wav");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        std::string input = ScratchPath("Boss Theme.mp3");
        WriteFile(input, c.bytes);
        ToolRun run = RunTool(Quote(input) + " " + Quote(out));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.output, "vexlo-mp3wav: " + input + " " + c.says + "\n");
        EXPECT_FALSE(Exists(out));
        std::remove(input.c_str());
    }
}

}  // namespace
