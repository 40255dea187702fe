// What the first header and the file's first bytes say about an input that
// the decoder cannot take: each kind named, and the decodable ones still
// decoded, also where a chance header or a signature stands in the way.
#include <gtest/gtest.h>

#include <string>

#include "mpeg_test_support.h"

using namespace mpeg_test;

namespace {

StreamKind KindOf(const std::string& bytes) {
    std::string path = ScratchPath("input.mp3");
    WriteFile(path, bytes);
    FrameReader reader(path.c_str());
    FrameHeader header;
    StreamKind kind = OpenStream(reader, header);
    std::remove(path.c_str());
    return kind;
}

std::string Noise(size_t n) {
    std::string bytes;
    for (size_t i = 0; i < n; i++)
        bytes += char((i * 7919 + i / 13) & 0x7F);  // never 0xFF: no chance sync
    return bytes;
}

std::string RiffWave(uint16_t format, const std::string& data) {
    std::string fmt = std::string("\x10\0\0\0", 4) + char(format & 0xFF) + char(format >> 8) +
                      std::string("\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0", 14);
    std::string body = "WAVEfmt " + fmt + "data" + std::string(4, '\0') + data;
    uint32_t size = uint32_t(body.size());
    return "RIFF" + std::string{char(size), char(size >> 8), char(size >> 16), char(size >> 24)} +
           body;
}

TEST(StreamKind, LayersAndVersionsByTheirHeaders) {
    // Layer I, 448 kbit/s at 32 kHz: 672 bytes a frame.
    EXPECT_EQ(KindOf(Frames(HeaderWord(1, 3, false, 14, 2, false, 0), 672, 6)), StreamKind::Layer1);
    // Layer II, 128 kbit/s at 44.1 kHz: 417 bytes.
    EXPECT_EQ(KindOf(Frames(HeaderWord(1, 2, false, 8, 0, false, 0), 417, 6)), StreamKind::Layer2);
    // Layer II at 22.05 kHz keeps 1152 samples a frame: 64 kbit/s is 417
    // bytes, not Layer III's 208.
    EXPECT_EQ(KindOf(Frames(HeaderWord(0, 2, false, 8, 0, false, 0), 417, 6)), StreamKind::Layer2);
    // MPEG 2.5 Layer III, 32 kbit/s at 8 kHz: 288 bytes; at 11.025 kHz 208.
    EXPECT_EQ(KindOf(Frames(Mpeg25Word(1, 4, 2), 288, 6)), StreamKind::Mpeg25);
    EXPECT_EQ(KindOf(Frames(Mpeg25Word(1, 4, 0), 208, 6)), StreamKind::Mpeg25);
    // After an ID3v2 tag and some junk.
    std::string tag = std::string("ID3\x03\0\0\0\0\0\x20", 10) + std::string(32, '\0');
    EXPECT_EQ(KindOf(tag + Noise(300) + Frames(Mpeg25Word(1, 4, 2), 288, 6)), StreamKind::Mpeg25);
    // The decodable ones.
    EXPECT_EQ(KindOf(ReadFile(DataFile("stereo-44k.mp3"))), StreamKind::Layer3);
    EXPECT_EQ(KindOf(ReadFile(DataFile("mono-16k.mp3"))), StreamKind::Layer3);
}

TEST(StreamKind, SignaturesBeforeChanceHeaders) {
    std::string layer2 = Frames(HeaderWord(1, 2, false, 8, 0, false, 0), 417, 6);
    // PCM data that happens to hold Layer II frames is still a WAVE file.
    EXPECT_EQ(KindOf(RiffWave(1, layer2)), StreamKind::RiffWave);
    EXPECT_EQ(KindOf(RiffWave(1, Noise(3000))), StreamKind::RiffWave);
    EXPECT_EQ(KindOf("OggS" + Noise(3000)), StreamKind::Ogg);
    // MP3 data in a WAVE file (format 0x55) decodes as it did.
    EXPECT_EQ(KindOf(RiffWave(0x55, ReadFile(DataFile("stereo-44k.mp3")))), StreamKind::Layer3);
    // A WAVE signature not at the start, or half of one, names nothing.
    EXPECT_EQ(KindOf(Noise(10) + RiffWave(1, Noise(3000))), StreamKind::Unknown);
    EXPECT_EQ(KindOf("RIFF" + Noise(3000)), StreamKind::Unknown);
    EXPECT_EQ(KindOf("Ogg" + Noise(3000)), StreamKind::Unknown);
}

TEST(StreamKind, LoneOrBrokenHeadersNameNothing) {
    EXPECT_EQ(KindOf(""), StreamKind::Unknown);
    EXPECT_EQ(KindOf(Noise(20000)), StreamKind::Unknown);
    // One MPEG 2.5 header in noise, and one that the file's end follows.
    std::string one = Frames(Mpeg25Word(1, 4, 2), 288, 1);
    EXPECT_EQ(KindOf(Noise(500) + one + Noise(500)), StreamKind::Unknown);
    EXPECT_EQ(KindOf(Noise(500) + one), StreamKind::Unknown);
    // Reserved sampling index 3 and the forbidden bitrate give no length.
    EXPECT_EQ(KindOf(Frames(Mpeg25Word(1, 4, 3), 288, 6)), StreamKind::Unknown);
    EXPECT_EQ(KindOf(Frames(Mpeg25Word(1, 15, 2), 288, 6)), StreamKind::Unknown);
    // The headers a frame apart, but the second one of another layer.
    std::string mixed =
        Frames(Mpeg25Word(1, 4, 2), 288, 1) + Frames(Mpeg25Word(2, 4, 2), 288, 1) + Noise(400);
    EXPECT_EQ(KindOf(mixed), StreamKind::Unknown);
}

TEST(StreamKind, EachRefusalHasItsText) {
    EXPECT_STREQ(RefusalText(StreamKind::Mpeg25),
                 "is MPEG 2.5 audio (8, 11 or 12 kHz), which Setup cannot convert");
    EXPECT_STREQ(RefusalText(StreamKind::Layer1),
                 "is MPEG Layer I audio, which Setup cannot convert");
    EXPECT_STREQ(RefusalText(StreamKind::Layer2),
                 "is MPEG Layer II audio, which Setup cannot convert");
    EXPECT_STREQ(RefusalText(StreamKind::RiffWave),
                 "is a RIFF/WAVE file, not MP3 audio, which Setup cannot convert");
    EXPECT_STREQ(RefusalText(StreamKind::Ogg),
                 "is an Ogg file, not MP3 audio, which Setup cannot convert");
    EXPECT_EQ(RefusalText(StreamKind::Layer3), nullptr);
    EXPECT_EQ(RefusalText(StreamKind::Unknown), nullptr);
}

}  // namespace
