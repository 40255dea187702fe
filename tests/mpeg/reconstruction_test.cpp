#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "setup/mpeg/huffman.h"
#include "setup/mpeg/imdct.h"
#include "setup/mpeg/mpeg_decoder.h"

namespace {

const double Pi = 3.14159265358979323846;

struct NullSink : PcmSink {
    void PutSample(uint32_t, int16_t) override {}
    void FlushFrame() override {}
};

// A decoder on a closed reader, with header fields set by hand, for driving
// single stages.
struct StageDecoder {
    FrameReader reader{""};
    FrameHeader header;
    NullSink sink;
    SubbandSynthesizer synthesizer{0, OutputScale};
    std::unique_ptr<MpegDecoder> decoder;
    explicit StageDecoder(uint32_t version = 1, uint32_t mode = ModeStereo,
                          uint32_t extension = 0) {
        header.versionBit = version;
        header.mode = mode;
        header.modeExtension = extension;
        header.samplingFrequencyIndex = 0;
        decoder.reset(new MpegDecoder(reader, header, &synthesizer, nullptr, sink, Both));
    }
    MpegDecoder& operator*() { return *decoder; }
    MpegDecoder* operator->() { return decoder.get(); }
};

TEST(Imdct, DctIvMatchesTheCosineSum) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int n : {18, 6}) {
        float in[18], out[18];
        for (int trial = 0; trial < 10; trial++) {
            for (int k = 0; k < n; k++)
                in[k] = value(random);
            n == 18 ? DctIv18(in, out) : DctIv6(in, out);
            for (int j = 0; j < n; j++) {
                double sum = 0;
                for (int k = 0; k < n; k++)
                    sum += in[k] * std::cos(Pi / n * (j + 0.5) * (k + 0.5));
                ASSERT_NEAR(out[j], sum, 1e-5) << n << " " << j;
            }
        }
    }
}

// The windowed transforms with overlap-add equal the standard's direct
// formulas for every block type; the overlap is the subband's column of a
// time-slot array, and nothing else of that array changes.
TEST(Imdct, LongAndShortBlocksMatchTheDirectFormula) {
    std::mt19937 random(9);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    const int column = 5;
    for (int type = 0; type < 4; type++) {
        float lines[18], in[18], previous[18];
        float overlap[18 * SlotStride];
        for (int i = 0; i < 18 * SlotStride; i++)
            overlap[i] = 7.0f;
        for (int i = 0; i < 18; i++) {
            in[i] = lines[i] = value(random);
            previous[i] = overlap[SlotStride * i + column] = value(random);
        }
        double raw[36] = {};
        const float* window = layer3.window[type];
        if (type != 2) {
            for (int i = 0; i < 36; i++) {
                double sum = 0;
                for (int k = 0; k < 18; k++)
                    sum += in[k] * std::cos(Pi / 72 * (2 * i + 19) * (2 * k + 1));
                raw[i] = sum * window[i];
            }
            ImdctLong(lines, overlap + column, type);
        } else {
            for (int w = 0; w < 3; w++) {
                for (int i = 0; i < 12; i++) {
                    double sum = 0;
                    for (int k = 0; k < 6; k++) {
                        sum += in[3 * k + w] * std::cos(Pi / 24 * (2 * i + 7) * (2 * k + 1));
                    }
                    raw[6 + 6 * w + i] += sum * window[i];
                }
            }
            ImdctShort(lines, overlap + column);
        }
        for (int i = 0; i < 18; i++) {
            ASSERT_NEAR(lines[i], raw[i] + previous[i], 2e-5) << "type " << type << " line " << i;
            ASSERT_NEAR(overlap[SlotStride * i + column], raw[18 + i], 2e-5)
                << "type " << type << " line " << i;
        }
        for (int i = 0; i < 18 * SlotStride; i++) {
            if (i % SlotStride != column) {
                ASSERT_EQ(overlap[i], 7.0f) << i;
            }
        }
    }
}

// Bit for bit, signed zeros included (some lines and overlaps are -0, some
// subbands all zero), long and short blocks, at an overlap column that is
// not a multiple of four.
TEST(Imdct, FourSubbandsAtOnceEqualOneByOne) {
    std::mt19937 random(21);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int type : {0, 1, 3, 2}) {
        for (int column : {8, 9}) {
            float lines[72], singleLines[72];
            float overlap[18 * SlotStride], singleOverlap[18 * SlotStride];
            for (int i = 0; i < 72; i++) {
                float v = i % 7 == 0 ? -0.0f : (i >= 36 && i < 54 ? 0.0f : value(random));
                singleLines[i] = lines[i] = v;
            }
            for (int i = 0; i < 18 * SlotStride; i++)
                singleOverlap[i] = overlap[i] = i % 5 == 0 ? -0.0f : value(random);
            if (type == 2) {
                ImdctShort4(lines, overlap + column);
                for (int sb = 0; sb < 4; sb++)
                    ImdctShort(singleLines + 18 * sb, singleOverlap + column + sb);
            } else {
                ImdctLong4(lines, overlap + column, type);
                for (int sb = 0; sb < 4; sb++)
                    ImdctLong(singleLines + 18 * sb, singleOverlap + column + sb, type);
            }
            ASSERT_EQ(std::memcmp(lines, singleLines, sizeof lines), 0) << type << " " << column;
            ASSERT_EQ(std::memcmp(overlap, singleOverlap, sizeof overlap), 0)
                << type << " " << column;
        }
    }
}

TEST(Imdct, WindowsAreTheStandards) {
    EXPECT_NEAR(layer3.window[0][0], std::sin(Pi / 72), 1e-7);
    EXPECT_FLOAT_EQ(layer3.window[1][20], 1.0f);  // start: flat
    EXPECT_FLOAT_EQ(layer3.window[1][33], 0.0f);  // start: zero tail
    EXPECT_FLOAT_EQ(layer3.window[3][2], 0.0f);   // stop: zero head
    EXPECT_FLOAT_EQ(layer3.window[3][14], 1.0f);
    EXPECT_NEAR(layer3.window[2][11], std::sin(Pi / 12 * 11.5), 1e-7);
}

// Bits written most significant first, as the bitstream holds them.
struct BitWriter {
    std::vector<uint8_t> bytes;
    uint32_t bits = 0;
    void Put(uint32_t value, uint32_t n) {
        for (uint32_t i = 0; i < n; i++, bits++) {
            if (bits % 8 == 0) bytes.push_back(0);
            if ((value >> (n - 1 - i)) & 1) bytes.back() |= uint8_t(0x80 >> (bits % 8));
        }
    }
    // One big-values pair with the standard's code of a table, its linbits
    // and sign bits.
    void Pair(int table, int x, int y) {
        const HuffmanCode& code = HuffmanCodes[table];
        uint32_t ax = uint32_t(std::abs(x)), ay = uint32_t(std::abs(y));
        uint32_t cx = ax < 15 ? ax : 15, cy = ay < 15 ? ay : 15;
        uint32_t index = cx * code.size + cy;
        Put(code.codes[index], code.lengths[index]);
        for (auto [a, c, v] : {std::tuple{ax, cx, x}, std::tuple{ay, cy, y}}) {
            if (code.linbits && c == 15) Put(a - 15, code.linbits);
            if (a) Put(v < 0, 1);
        }
    }
};

// Loads the bits into the decoder's reservoir as one granule's part 3 and
// runs the program's Huffman decoding with requantisation on them.
void DecodeGranule(MpegDecoder& d, GranuleInfo& g, const BitWriter& bits) {
    d.reservoir = BitReservoir();
    for (uint8_t b : bits.bytes)
        d.reservoir.PutByte(b);
    d.part2Start = 0;
    d.heldEndBits = uint32_t(bits.bytes.size()) * 8;
    g.part23Length = bits.bits;
    d.DecodeRequantised(0, 0);
}

TEST(DecodeRequantised, GainScaleFactorsAndLargestValue) {
    StageDecoder d;
    GranuleInfo& g = d->sideInfo.channel[0].granule[0];
    g.globalGain = 210;
    g.bigValues = 2;
    g.tableSelect[0] = g.tableSelect[1] = g.tableSelect[2] = 31;  // linbits 13
    BitWriter bits;
    bits.Pair(31, 1, -1);
    bits.Pair(31, 8206, 0);
    DecodeGranule(*d, g, bits);
    EXPECT_EQ(d->nonzero[0], 4);
    EXPECT_FLOAT_EQ(d->samples[0][0], 1.0f);
    EXPECT_FLOAT_EQ(d->samples[0][1], -1.0f);
    EXPECT_NEAR(d->samples[0][2], std::pow(8206.0, 4.0 / 3.0), 1.0);
    EXPECT_EQ(d->samples[0][3], 0.0f);
    EXPECT_EQ(d->samples[0][575], 0.0f);

    // scalefac_scale 1 with l[0] = 1: 2^-1. Global gain 214: 2^1.
    g.scalefacScale = 1;
    d->scaleFactors[0].l[0] = 1;
    DecodeGranule(*d, g, bits);
    EXPECT_FLOAT_EQ(d->samples[0][0], 0.5f);
    g.scalefacScale = 0;
    g.globalGain = 214;
    DecodeGranule(*d, g, bits);
    EXPECT_NEAR(d->samples[0][0], std::pow(2.0, 1.0 - 0.5), 1e-6);

    // Pre-emphasis adds pretab to the band's scale factor: band 11 of
    // 44.1 kHz starts at line 62.
    BitWriter line62;
    for (int pair = 0; pair < 31; pair++)
        line62.Pair(1, 0, 0);
    line62.Pair(1, 1, 0);
    g.bigValues = 32;
    g.tableSelect[0] = g.tableSelect[1] = g.tableSelect[2] = 1;
    d->scaleFactors[0].l[11] = 0;
    g.globalGain = 210;
    g.preflag = 1;
    DecodeGranule(*d, g, line62);
    EXPECT_NEAR(d->samples[0][62], std::pow(2.0, -0.5), 1e-6);
    EXPECT_EQ(d->samples[0][61], 0.0f);
}

TEST(DecodeRequantised, ShortBlocksUseWindowScaleFactorsAndSubblockGain) {
    StageDecoder d;
    GranuleInfo& g = d->sideInfo.channel[0].granule[0];
    g.globalGain = 210;
    g.windowSwitching = 1;
    g.blockType = 2;
    g.bigValues = 6;
    g.tableSelect[0] = g.tableSelect[1] = 1;
    g.subblockGain[1] = 1;           // window 1: 2^-2
    d->scaleFactors[0].s[2][0] = 2;  // window 2 of band 0: 2^-1
    BitWriter bits;
    for (int pair = 0; pair < 6; pair++)
        bits.Pair(1, 1, 1);
    DecodeGranule(*d, g, bits);
    // Band 0 is 4 lines wide: window 0 lines 0-3, window 1 lines 4-7, window 2 lines 8-11.
    EXPECT_FLOAT_EQ(d->samples[0][0], 1.0f);
    EXPECT_FLOAT_EQ(d->samples[0][5], 0.25f);
    EXPECT_FLOAT_EQ(d->samples[0][10], 0.5f);
}

// Count1 quadruples (table B: four bits, inverted) after the big values,
// up to the granule's last bit; a quadruple that runs past it is dropped.
TEST(DecodeRequantised, Count1QuadruplesUpToTheLastBit) {
    StageDecoder d;
    GranuleInfo& g = d->sideInfo.channel[0].granule[0];
    g.globalGain = 210;
    g.bigValues = 1;
    g.tableSelect[0] = g.tableSelect[1] = g.tableSelect[2] = 1;
    g.count1TableSelect = 1;
    BitWriter bits;
    bits.Pair(1, -1, 1);
    bits.Put(15 - 0b1010, 4);  // v = 1, x = 1
    bits.Put(0b01, 2);         // v +, x -
    DecodeGranule(*d, g, bits);
    EXPECT_EQ(d->nonzero[0], 6);
    const float expected[6] = {-1, 1, 1, 0, -1, 0};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(d->samples[0][i], expected[i]) << i;
    // One bit short: the quadruple is dropped.
    BitWriter cut = bits;
    cut.bits -= 1;
    DecodeGranule(*d, g, cut);
    EXPECT_EQ(d->nonzero[0], 2);
    EXPECT_EQ(d->samples[0][2], 0.0f);
}

TEST(Stereo, MidSideAndMpeg1Intensity) {
    StageDecoder ms(1, ModeJointStereo, 2);
    for (int i = 0; i < 576; i++)
        ms->samples[0][i] = ms->samples[1][i] = 0.25f;
    ms->lineBound[0] = ms->lineBound[1] = 576;
    ms->Stereo(0);
    EXPECT_FLOAT_EQ(ms->samples[0][100], 0.25f * 1.4142135f);
    EXPECT_FLOAT_EQ(ms->samples[1][100], 0.0f);

    // Intensity only: channel 1 is zero above line 3, so every band above
    // band 0 is intensity-coded with its scale factor as position.
    for (uint32_t position : {0u, 3u, 6u}) {
        StageDecoder is(1, ModeJointStereo, 1);
        for (int i = 0; i < 576; i++)
            is->samples[0][i] = 1.0f;
        is->samples[1][2] = 0.5f;
        for (int band = 0; band < 22; band++)
            is->scaleFactors[1].l[band] = position;
        is->lineBound[0] = 576;
        is->lineBound[1] = 3;
        is->Stereo(0);
        EXPECT_FLOAT_EQ(is->samples[1][2], 0.5f);  // below the region: unchanged
        float left = is->samples[0][300], right = is->samples[1][300];
        if (position == 0) {
            EXPECT_FLOAT_EQ(left, 0.0f);
            EXPECT_FLOAT_EQ(right, 1.0f);
        } else if (position == 6) {
            EXPECT_NEAR(left, 1.0f, 1e-6);
            EXPECT_NEAR(right, 0.0f, 1e-6);
        } else {
            EXPECT_NEAR(left, 0.5f, 1e-6);
            EXPECT_NEAR(right, 0.5f, 1e-6);
        }
        // Band 21 takes band 20's position.
        EXPECT_FLOAT_EQ(is->samples[1][575], right);
    }
    // Position 7 is not intensity-coded: plain left/right here.
    StageDecoder seven(1, ModeJointStereo, 1);
    for (int i = 0; i < 576; i++)
        seven->samples[0][i] = 1.0f;
    for (int band = 0; band < 22; band++)
        seven->scaleFactors[1].l[band] = 7;
    seven->Stereo(0);
    EXPECT_FLOAT_EQ(seven->samples[0][300], 1.0f);
    EXPECT_FLOAT_EQ(seven->samples[1][300], 0.0f);
}

TEST(AliasReduction, ShortBlocksNoneMixedOneBoundary) {
    auto run = [](uint32_t windowSwitching, uint32_t blockType, uint32_t mixed) {
        StageDecoder d;
        GranuleInfo& g = d->sideInfo.channel[0].granule[0];
        g.windowSwitching = windowSwitching;
        g.blockType = blockType;
        g.mixedBlock = mixed;
        for (int i = 0; i < 576; i++)
            d->work[i] = 1.0f;
        d->lineBound[0] = 576;
        d->ReduceAliasing(0, 0);
        std::vector<float> out(d->work, d->work + 576);
        return out;
    };
    std::vector<float> shortBlocks = run(1, 2, 0);
    for (float v : shortBlocks)
        EXPECT_EQ(v, 1.0f);
    std::vector<float> mixed = run(1, 2, 1);
    EXPECT_NE(mixed[17], 1.0f);
    EXPECT_NE(mixed[18], 1.0f);
    EXPECT_EQ(mixed[35], 1.0f);
    EXPECT_EQ(mixed[36], 1.0f);
    std::vector<float> normal = run(0, 0, 0);
    EXPECT_NE(normal[35], 1.0f);
    EXPECT_NEAR(normal[17], layer3.aliasCs[0] - layer3.aliasCa[0], 1e-6);
    EXPECT_NEAR(normal[18], layer3.aliasCs[0] + layer3.aliasCa[0], 1e-6);
}

// Scale factors and Huffman values come from the reservoir.
TEST(MainData, EmptyGranuleScfsiReuseAndLsfIntensityLimit) {
    StageDecoder d;
    GranuleInfo& g0 = d->sideInfo.channel[0].granule[0];
    GranuleInfo& g1 = d->sideInfo.channel[0].granule[1];
    for (int i = 0; i < 64; i++)
        d->reservoir.PutByte(0xFF);
    // scalefac_compress 15: slen1 4, slen2 3.
    g0.scalefacCompress = 15;
    d->ReadScaleFactors(0, 0);
    EXPECT_EQ(d->reservoir.TotalBitsRead(), 6u * 4 + 5 * 4 + 5 * 3 + 5 * 3);
    EXPECT_EQ(d->scaleFactors[0].l[0], 15u);
    EXPECT_EQ(d->scaleFactors[0].l[20], 7u);
    EXPECT_EQ(d->scaleFactors[0].l[21], 0u);
    // Granule 1 with scfsi[0]: bands 0-5 kept, only 58 bits read.
    d->sideInfo.channel[0].scfsi[0] = 1;
    d->scaleFactors[0].l[3] = 9;
    g1.scalefacCompress = 15;
    uint32_t before = d->reservoir.TotalBitsRead();
    d->ReadScaleFactors(0, 1);
    EXPECT_EQ(d->reservoir.TotalBitsRead() - before, 5u * 4 + 5 * 3 + 5 * 3);
    EXPECT_EQ(d->scaleFactors[0].l[3], 9u);

    // A granule with no bits decodes to silence and reads nothing.
    g1 = GranuleInfo{};
    before = d->reservoir.TotalBitsRead();
    d->part2Start = before;
    d->heldEndBits = 64 * 8;
    d->DecodeRequantised(0, 1);
    EXPECT_EQ(d->nonzero[0], 0);
    EXPECT_EQ(d->reservoir.TotalBitsRead(), before);

    // LSF, channel 1 under intensity stereo, scalefac_compress / 2 = 255:
    // every length is 0 and nothing is read.
    StageDecoder lsf(0, ModeJointStereo, 1);
    for (int i = 0; i < 64; i++)
        lsf->reservoir.PutByte(0xFF);
    lsf->sideInfo.channel[1].granule[0].scalefacCompress = 511;
    lsf->ReadScaleFactors(1, 0);
    EXPECT_EQ(lsf->reservoir.TotalBitsRead(), 0u);
    EXPECT_EQ(lsf->scaleFactors[1].l[5], 0u);
}

}  // namespace
