#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mpeg_test_support.h"
#include "setup/mpeg/frame_reader.h"

using namespace mpeg_test;

namespace {

constexpr uint32_t LayerIII = 1, LayerII = 2, LayerI = 3;

// Writes header + body filler for each word and reads the first header.
struct HeaderCase {
    uint32_t word;
    uint32_t length;  // whole frame length expected
    uint32_t mainDataSize;
};

void ExpectSizes(const HeaderCase& c) {
    std::string path = ScratchPath("frame.mp3");
    // One frame that ends the file: the end confirms it.
    WriteFile(path, HeaderBytes(c.word) + std::string(c.length - 4, '\0'));
    FrameReader reader(path.c_str());
    FrameHeader header;
    ASSERT_TRUE(header.ReadHeader(reader));
    EXPECT_EQ(header.frameBodySize, c.length - 4);
    EXPECT_EQ(header.mainDataSize, c.mainDataSize);
    EXPECT_EQ(reader.frameCounter, 0);
}

TEST(FrameHeader, FrameAndMainDataSizes) {
    // MPEG-1 Layer III 128 kbit/s 44.1 kHz stereo, unpadded and padded.
    ExpectSizes({HeaderWord(1, LayerIII, false, 9, 0, false, 0), 417, 381});
    ExpectSizes({HeaderWord(1, LayerIII, false, 9, 0, true, 0), 418, 382});
    // With a check word.
    ExpectSizes({HeaderWord(1, LayerIII, true, 9, 0, false, 0), 417, 379});
    // Single channel: 17 bytes of side information.
    ExpectSizes({HeaderWord(1, LayerIII, false, 9, 0, false, 3), 417, 396});
    // MPEG-2 Layer III 64 kbit/s 22.05 kHz stereo, and padded; mono.
    ExpectSizes({HeaderWord(0, LayerIII, false, 8, 0, false, 1), 208, 187});
    ExpectSizes({HeaderWord(0, LayerIII, false, 8, 0, true, 1), 209, 188});
    ExpectSizes({HeaderWord(0, LayerIII, false, 8, 0, false, 3), 208, 195});
    // Layer I 448 kbit/s 32 kHz padded: 676 bytes, no main data.
    ExpectSizes({HeaderWord(1, LayerI, false, 14, 2, true, 0), 676, 0});
    // Layer II 384 kbit/s 32 kHz padded: the largest frame, 1729 bytes.
    ExpectSizes({HeaderWord(1, LayerII, false, 14, 2, true, 0), 1729, 0});
    // Layer II keeps 1152 samples at the low sampling frequencies: 64 kbit/s
    // at 22.05 kHz is 417 bytes, not Layer III's 208.
    ExpectSizes({HeaderWord(0, LayerII, false, 8, 0, false, 0), 417, 0});
}

// A free-format stream of frames length bytes long (plus the padding byte
// where pads says so), bodies of filler.
std::string FreeFormatStream(uint32_t length, const std::string& pads, uint32_t mode = 0,
                             bool check = false) {
    std::string bytes;
    for (char pad : pads) {
        bool padded = pad == '1';
        uint32_t word = HeaderWord(1, LayerIII, check, 0, 0, padded, mode);
        bytes += HeaderBytes(word) + std::string(length + (padded ? 1 : 0) - 4, '\x11');
    }
    return bytes;
}

// Reads every header of the file; the body sizes, in order.
std::vector<uint32_t> BodySizes(const std::string& bytes, uint32_t* freeLength = nullptr) {
    std::string path = ScratchPath("free.mp3");
    WriteFile(path, bytes);
    FrameReader reader(path.c_str());
    FrameHeader header;
    std::vector<uint32_t> sizes;
    while (header.ReadHeader(reader))
        sizes.push_back(header.frameBodySize);
    if (freeLength) *freeLength = reader.FreeFormatLength();
    std::remove(path.c_str());
    return sizes;
}

TEST(FrameReader, FreeFormatLengthComesFromTheNextHeader) {
    // Padded and unpadded frames in any order: each one's length is the
    // stream's plus its own padding bit.
    for (const char* pads : {"0000", "1010", "0110", "1111", "00"}) {
        SCOPED_TRACE(pads);
        uint32_t freeLength = 0;
        std::vector<uint32_t> sizes = BodySizes(FreeFormatStream(653, pads), &freeLength);
        EXPECT_EQ(freeLength, 653u);
        ASSERT_EQ(sizes.size(), std::string(pads).size());
        for (size_t i = 0; i < sizes.size(); i++)
            EXPECT_EQ(sizes[i], 653u - 4 + (pads[i] == '1')) << i;
    }
    // Mono, with check words, and the longest frame the buffer holds.
    EXPECT_EQ(BodySizes(FreeFormatStream(300, "0101", 3, true)).size(), 4u);
    EXPECT_EQ(BodySizes(FreeFormatStream(MaxFreeFormatLength - 1, "0001")).size(), 4u);
    // A stream of headers with bitrates gives no free-format length.
    uint32_t freeLength = 99;
    EXPECT_EQ(BodySizes(ReadFile(DataFile("stereo-44k.mp3")), &freeLength).size(), 24u);
    EXPECT_EQ(freeLength, 0u);
}

TEST(FrameReader, FreeFormatNeedsTwoHeadersThatAgree) {
    std::string stream = FreeFormatStream(500, "00000");
    // A look-alike header inside the first frame's main data is passed over:
    // no third header stands where it would put one.
    std::string fake = stream;
    fake.replace(200, 4, HeaderBytes(HeaderWord(1, LayerIII, false, 0, 0, false, 0)));
    uint32_t freeLength = 0;
    EXPECT_EQ(BodySizes(fake, &freeLength).size(), 5u);
    EXPECT_EQ(freeLength, 500u);
    // One header alone, or one followed by a header of another layer, rate or
    // channel count, or one with a bitrate, begins no stream.
    EXPECT_TRUE(BodySizes(FreeFormatStream(500, "0")).empty());
    for (uint32_t other : {HeaderWord(1, LayerII, false, 0, 0, false, 0),
                           HeaderWord(1, LayerIII, false, 0, 1, false, 0),
                           HeaderWord(1, LayerIII, false, 0, 0, false, 3),
                           HeaderWord(1, LayerIII, false, 9, 0, false, 0)}) {
        std::string mixed = FreeFormatStream(500, "00");
        mixed.replace(500, 4, HeaderBytes(other));
        EXPECT_TRUE(BodySizes(mixed).empty()) << std::hex << other;
    }
    // Frames longer than the buffer holds are not taken.
    EXPECT_TRUE(BodySizes(FreeFormatStream(MaxFreeFormatLength + 1, "000")).empty());
    // Free format only for Layer III: a Layer I free-format stream is none.
    std::string layer1;
    for (int i = 0; i < 4; i++)
        layer1 +=
            HeaderBytes(HeaderWord(1, LayerI, false, 0, 0, false, 0)) + std::string(396, '\0');
    EXPECT_TRUE(BodySizes(layer1).empty());
}

TEST(FrameHeader, FreeFormatForbiddenBitrateAndReservedLayerGiveNoFrame) {
    for (uint32_t word :
         {HeaderWord(1, LayerIII, false, 0, 0, false, 0),
          HeaderWord(1, LayerIII, false, 15, 0, false, 0), HeaderWord(1, 0, false, 9, 0, false, 0),
          HeaderWord(1, LayerIII, false, 9, 3, false, 0)}) {
        std::string path = ScratchPath("bad.mp3");
        WriteFile(path, HeaderBytes(word) + std::string(2000, '\0'));
        FrameReader reader(path.c_str());
        FrameHeader header;
        EXPECT_FALSE(header.ReadHeader(reader)) << std::hex << word;
    }
}

// The search steps byte by byte over junk, and later headers must agree
// with the first in version, sampling frequency and single-channel mode.
TEST(FrameReader, SearchSkipsJunkAndDisagreeingHeaders) {
    uint32_t first = HeaderWord(1, LayerIII, false, 9, 0, false, 1);
    uint32_t otherRate = HeaderWord(1, LayerIII, false, 9, 1, false, 1);
    uint32_t mono = HeaderWord(1, LayerIII, false, 9, 0, false, 3);
    uint32_t dual = HeaderWord(1, LayerIII, false, 10, 0, false, 2);
    std::string frame1 = HeaderBytes(first) + std::string(413, '\x11');
    std::string bytes = "\x01\xFF\xE0junk" + frame1 + frame1 + "\xFF\xFF" + HeaderBytes(otherRate) +
                        HeaderBytes(mono) + HeaderBytes(dual) + std::string(600, '\x22');
    std::string path = ScratchPath("junk.mp3");
    WriteFile(path, bytes);
    FrameReader reader(path.c_str());
    FrameHeader header;
    ASSERT_TRUE(header.ReadHeader(reader));
    EXPECT_EQ(header.mode, 1u);
    EXPECT_EQ(reader.HeaderPosition(), 7u);
    ASSERT_TRUE(header.ReadHeader(reader));
    ASSERT_TRUE(header.ReadHeader(reader));  // the dual-channel header
    EXPECT_EQ(header.mode, 2u);
    EXPECT_EQ(header.bitrateIndex, 10u);
    // frameCounter counts headers found, not bytes skipped.
    EXPECT_EQ(reader.frameCounter, 2);

    std::string none = ScratchPath("none.mp3");
    std::string noSync;
    for (int i = 0; i < 300; i++)
        noSync += "\xFF\xEF\x12";
    WriteFile(none, noSync);
    FrameReader noHeader(none.c_str());
    FrameHeader h2;
    EXPECT_FALSE(h2.ReadHeader(noHeader));
    FrameReader missing(ScratchPath("missing.mp3").c_str());
    EXPECT_FALSE(h2.ReadHeader(missing));
}

TEST(FrameReader, GetBitsJoinsWordsAndShortBodiesFail) {
    uint32_t word = HeaderWord(1, LayerIII, false, 9, 0, false, 0);
    std::string body;
    for (int i = 0; i < 413; i++)
        body += char(i * 37 + 11);
    std::string path = ScratchPath("bits.mp3");
    WriteFile(path, HeaderBytes(word) + body);
    FrameReader reader(path.c_str());
    FrameHeader header;
    ASSERT_TRUE(header.ReadHeader(reader));
    // Read the body back in mixed widths and compare with a bit-by-bit walk.
    uint64_t bitPosition = 0;
    auto bitAt = [&](uint64_t p) { return (uint8_t(body[p / 8]) >> (7 - p % 8)) & 1; };
    const unsigned widths[] = {3, 17, 9, 1, 12, 16, 5, 8, 17, 2};
    for (int round = 0; round < 30; round++) {
        for (unsigned n : widths) {
            uint32_t expected = 0;
            for (unsigned i = 0; i < n; i++)
                expected = (expected << 1) | bitAt(bitPosition + i);
            ASSERT_EQ(reader.GetBits(n), expected) << "at bit " << bitPosition;
            bitPosition += n;
        }
    }

    std::string shortPath = ScratchPath("short.mp3");
    WriteFile(shortPath, HeaderBytes(word) + body.substr(0, 200));
    FrameReader shortReader(shortPath.c_str());
    FrameHeader shortHeader;
    EXPECT_FALSE(shortHeader.ReadHeader(shortReader));
}

// The first header counts only when the next frame's header follows where
// its length says, or the file or a tag begins there.
TEST(FrameReader, FirstHeaderIsConfirmedByWhatFollows) {
    uint32_t word = HeaderWord(1, LayerIII, false, 9, 0, false, 1);
    std::string frame = HeaderBytes(word) + std::string(413, '\x11');
    auto firstHeaderAt = [](const std::string& bytes, uint32_t& position) {
        std::string path = ScratchPath("confirm.mp3");
        WriteFile(path, bytes);
        FrameReader reader(path.c_str());
        FrameHeader header;
        if (!header.ReadHeader(reader)) return false;
        position = reader.HeaderPosition();
        return true;
    };
    uint32_t at = 0;
    // A chance sync whose length leads into junk is passed over.
    ASSERT_TRUE(firstHeaderAt(HeaderBytes(word) + std::string(50, '\x33') + frame + frame, at));
    EXPECT_EQ(at, 54u);
    // A header of another layer or sampling frequency does not confirm.
    uint32_t layer2 = HeaderWord(1, LayerII, false, 9, 0, false, 1);
    uint32_t rate48 = HeaderWord(1, LayerIII, false, 9, 1, false, 1);
    EXPECT_FALSE(firstHeaderAt(frame + HeaderBytes(layer2) + std::string(600, '\0'), at));
    EXPECT_FALSE(firstHeaderAt(frame + HeaderBytes(rate48) + std::string(600, '\0'), at));
    // A frame followed by junk is no stream; by the file's end or an ID3v1
    // tag it is.
    EXPECT_FALSE(firstHeaderAt(frame + std::string(200, '\x44'), at));
    EXPECT_TRUE(firstHeaderAt(frame, at));
    std::string id3v1 = "TAG" + std::string(125, ' ');
    EXPECT_TRUE(firstHeaderAt(frame + id3v1, at));
    EXPECT_TRUE(firstHeaderAt(frame + "APETAGEX" + std::string(24, '\0'), at));
    EXPECT_TRUE(firstHeaderAt(frame + "LYRICSBEGIN" + std::string(40, '0'), at));
    // Far into the file, and behind a tag whose header straddles the
    // search's read windows (4096 bytes).
    ASSERT_TRUE(firstHeaderAt(std::string(5000, '\x55') + frame + frame, at));
    EXPECT_EQ(at, 5000u);
    std::string tag = std::string("ID3\x03\x00\x00\x00\x00\x06\x42", 10) + frame + frame;
    ASSERT_EQ(tag.size(), 10u + 6 * 128 + 0x42);
    ASSERT_TRUE(firstHeaderAt(std::string(4090, '\x55') + tag + frame + frame, at));
    EXPECT_EQ(at, 4090u + tag.size());
}

// ID3v2 tags are stepped over by their size, not searched; a header inside
// one (here a UTF-16 byte order mark and a whole fake frame) never counts.
TEST(FrameReader, Id3v2TagsAreSteppedOver) {
    uint32_t word = HeaderWord(1, LayerIII, false, 9, 0, false, 1);
    std::string frame = HeaderBytes(word) + std::string(413, '\x11');
    // Big enough that every byte of the syncsafe size counts.
    std::string inside = "\xFF\xFE" + frame + frame + std::string(20000, '\xFF') + frame + frame;
    auto tag = [](int version, const std::string& body, uint8_t flags = 0) {
        uint32_t n = uint32_t(body.size());
        std::string t = "ID3";
        t += char(version);
        t += '\0';
        t += char(flags);
        for (int shift : {21, 14, 7, 0})
            t += char((n >> shift) & 0x7F);
        return t + body;
    };
    std::string footer = "3DI\x04" + std::string(1, '\0') + "\x10" + std::string(4, '\0');
    std::string file = tag(3, inside) + tag(2, std::string(300, '\xFF')) + tag(4, inside, 0x10) +
                       footer + frame + frame + "TAG" + std::string(125, '\xFF');
    std::string path = ScratchPath("tags.mp3");
    WriteFile(path, file);
    FrameReader reader(path.c_str());
    FrameHeader header;
    ASSERT_TRUE(header.ReadHeader(reader));
    uint32_t audio = uint32_t(2 * (10 + inside.size()) + 310 + 10);
    EXPECT_EQ(reader.HeaderPosition(), audio);
    ASSERT_TRUE(header.ReadHeader(reader));
    EXPECT_EQ(reader.HeaderPosition(), audio + 417);
    // The ID3v1 tag ends the stream, though its bytes hold syncs.
    EXPECT_FALSE(header.ReadHeader(reader));
    EXPECT_EQ(reader.frameCounter, 1);

    // A tag between frames is stepped over too.
    std::string between = frame + tag(3, inside) + frame;
    WriteFile(path, between);
    FrameReader second(path.c_str());
    FrameHeader h2;
    ASSERT_TRUE(h2.ReadHeader(second));
    ASSERT_TRUE(h2.ReadHeader(second));
    EXPECT_EQ(second.HeaderPosition(), 417u + 10 + inside.size());
    EXPECT_FALSE(h2.ReadHeader(second));
}

TEST(BitReservoir, ReadsRewindsAndWrapsTheRing) {
    BitReservoir reservoir;
    reservoir.PutByte(0xA5);
    reservoir.PutByte(0x0F);
    EXPECT_EQ(reservoir.GetBits(4), 0xAu);
    EXPECT_EQ(reservoir.GetBits(8), 0x50u);
    EXPECT_EQ(reservoir.GetBit(), 1u);
    EXPECT_EQ(reservoir.TotalBitsRead(), 13u);
    reservoir.RewindBits(13);
    EXPECT_EQ(reservoir.GetBits(16), 0xA50Fu);

    // Bytes keep their slot across the ring's end, and a rewind of 4096
    // bytes lands on the same slot.
    BitReservoir ring;
    for (uint32_t i = 0; i < 4100; i++)
        ring.PutByte(i & 0xFF);
    ring.GetBits(8 * 4094);
    EXPECT_EQ(ring.GetBits(8), 4094u & 0xFF);
    EXPECT_EQ(ring.GetBits(24),
              ((4095u & 0xFF) << 16) | (0u << 8) | 1u);  // slots 4095, 0, 1 hold 4095, 4096, 4097
    ring.RewindBytes(4096);
    EXPECT_EQ(ring.TotalBitsRead(), 8u * (4098 - 4096));
    EXPECT_EQ(ring.GetBits(8), 4098u & 0xFF);
    // More than 32 bits only moves the position.
    ring.GetBits(40);
    EXPECT_EQ(ring.TotalBitsRead(), 8u * 3 + 40);
}

TEST(BitReservoir, ReadsPastTheLastByteSeeZeros) {
    BitReservoir reservoir;
    for (int i = 0; i < 5000; i++)
        reservoir.PutByte(0xFF);
    reservoir.ClearAhead();
    reservoir.SetTotalBitsRead(8 * 5000);
    EXPECT_EQ(reservoir.GetBits(32), 0u);
    EXPECT_EQ(reservoir.Peek64(), 0u);
}

}  // namespace
