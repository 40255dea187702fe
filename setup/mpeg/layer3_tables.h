// Constant tables of Layer III decoding: those the standards list, and those
// computed by their rule before main runs.
#pragma once

#include <cstdint>

constexpr int GranuleLines = 576;
constexpr int Subbands = 32;
constexpr int SubbandLines = 18;
constexpr int LongBands = 22;       // 21 coded bands and the rest up to 576
constexpr int ShortBands = 13;      // 12 coded bands and the rest up to 192
constexpr int MixedLongLines = 36;  // lines coded as long blocks in a mixed granule

// Scale-factor band edges by band table row: 22.05, 24, 16 kHz (LSF), then
// 44.1, 48, 32 kHz (MPEG-1).
struct BandTable {
    uint16_t longEdge[LongBands + 1];    // 0 .. 576
    uint16_t shortEdge[ShortBands + 1];  // 0 .. 192
};
extern const BandTable BandTables[6];

extern const uint8_t Pretab[LongBands];
extern const uint8_t Slen1[16];
extern const uint8_t Slen2[16];
// nr_of_sfb_block[table row][block kind: long, short, mixed][group].
extern const uint8_t ScaleFactorGroups[6][3][4];

constexpr int PowerTableSize = 8207;  // 15 + 8191, linbits 13 at its maximum
constexpr float IntensityInfinite = 1.0e11f;

// Computed before main runs.
struct Layer3Tables {
    float power[PowerTableSize];  // i^(4/3)
    float halfPowers[64];         // 2^(-i/2)
    float intensityRatio[16];     // tan(p pi / 12), MPEG-1
    float lsfIntensity[2][32];    // 2^(-k/4), 2^(-k/2)
    float aliasCs[8];
    float aliasCa[8];
    float window[4][36];  // by block type; type 2 uses the first 12
};
extern const Layer3Tables& layer3;

// Entry i (0 to 35) of the window of a block type (0 normal, 1 start, 2
// short: entries 0 to 11, 3 stop). Usable before main runs.
float BlockWindow(uint32_t blockType, int i);
