#include "setup/mpeg/layer3_tables.h"

#include <cmath>

const BandTable BandTables[6] = {
    // 22.05 kHz
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 4, 8, 12, 18, 24, 32, 42, 56, 74, 100, 132, 174, 192}},
    // 24 kHz
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      114, 136, 162, 194, 232, 278, 332, 394, 464, 540, 576},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 136, 180, 192}},
    // 16 kHz
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192}},
    // 44.1 kHz
    {{0,  4,  8,   12,  16,  20,  24,  30,  36,  44,  52, 62,
      74, 90, 110, 134, 162, 196, 238, 288, 342, 418, 576},
     {0, 4, 8, 12, 16, 22, 30, 40, 52, 66, 84, 106, 136, 192}},
    // 48 kHz
    {{0,  4,  8,   12,  16,  20,  24,  30,  36,  42,  50, 60,
      72, 88, 106, 128, 156, 190, 230, 276, 330, 384, 576},
     {0, 4, 8, 12, 16, 22, 28, 38, 50, 64, 80, 100, 126, 192}},
    // 32 kHz
    {{0,  4,   8,   12,  16,  20,  24,  30,  36,  44,  54, 66,
      82, 102, 126, 156, 194, 240, 296, 364, 448, 550, 576},
     {0, 4, 8, 12, 16, 22, 30, 42, 58, 78, 104, 138, 180, 192}},
};

const uint8_t Pretab[LongBands] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

const uint8_t Slen1[16] = {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
const uint8_t Slen2[16] = {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3};

const uint8_t ScaleFactorGroups[6][3][4] = {
    {{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}},
    {{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}},
    {{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}},
    {{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}},
    {{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}},
    {{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}},
};

float BlockWindow(uint32_t blockType, int i) {
    const double pi = 3.14159265358979323846;
    double longSine = std::sin(pi / 36 * (i + 0.5));
    double value;
    switch (blockType) {
        case 0:
            value = longSine;
            break;
        case 1:  // start
            value = i < 18   ? longSine
                    : i < 24 ? 1
                    : i < 30 ? std::sin(pi / 12 * (i - 18 + 0.5))
                             : 0;
            break;
        case 2:  // short
            value = i < 12 ? std::sin(pi / 12 * (i + 0.5)) : 0;
            break;
        default:  // stop
            value = i < 6 ? 0 : i < 12 ? std::sin(pi / 12 * (i - 6 + 0.5)) : i < 18 ? 1 : longSine;
            break;
    }
    return static_cast<float>(value);
}

namespace {

const double AliasC[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};

Layer3Tables ComputeTables() {
    Layer3Tables t;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < PowerTableSize; i++)
        t.power[i] = static_cast<float>(std::pow(i, 4.0 / 3.0));
    for (int i = 0; i < 64; i++)
        t.halfPowers[i] = static_cast<float>(std::pow(2.0, -i / 2.0));
    for (int p = 0; p < 16; p++)
        t.intensityRatio[p] = static_cast<float>(std::tan(p * pi / 12));
    t.intensityRatio[6] = IntensityInfinite;
    for (int k = 0; k < 32; k++) {
        t.lsfIntensity[0][k] = static_cast<float>(std::pow(2.0, -k / 4.0));
        t.lsfIntensity[1][k] = static_cast<float>(std::pow(2.0, -k / 2.0));
    }
    for (int i = 0; i < 8; i++) {
        double root = std::sqrt(1 + AliasC[i] * AliasC[i]);
        t.aliasCs[i] = static_cast<float>(1 / root);
        t.aliasCa[i] = static_cast<float>(AliasC[i] / root);
    }
    for (uint32_t type = 0; type < 4; type++) {
        for (int i = 0; i < 36; i++)
            t.window[type][i] = BlockWindow(type, i);
    }
    return t;
}

const Layer3Tables tablesAtStart = ComputeTables();

}  // namespace

const Layer3Tables& layer3 = tablesAtStart;
