#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "setup/mpeg/synthesis.h"

namespace {

const double Pi = 3.14159265358979323846;

struct RecordingSink : PcmSink {
    std::vector<uint32_t> channels;
    std::vector<int16_t> values;
    void PutSample(uint32_t channel, int16_t value) override {
        channels.push_back(channel);
        values.push_back(value);
    }
    void FlushFrame() override {}
};

// The standard's synthesis: a 1024-value V FIFO, matrixing by the cosine
// sum, U built from V, windowed by D and summed.
struct ReferenceSynthesis {
    double v[1024] = {};
    double d[512];
    ReferenceSynthesis() {
        for (int i = 0; i <= 256; i++)
            d[i] = SynthesisWindowHalf[i];
        for (int i = 257; i < 512; i++) {
            d[i] =
                (512 - i) % 64 == 0 ? SynthesisWindowHalf[512 - i] : -SynthesisWindowHalf[512 - i];
        }
    }
    void Block(const double* s, double* out) {
        for (int i = 1023; i >= 64; i--)
            v[i] = v[i - 64];
        for (int i = 0; i < 64; i++) {
            double sum = 0;
            for (int k = 0; k < 32; k++)
                sum += std::cos((16 + i) * (2 * k + 1) * Pi / 64) * s[k];
            v[i] = sum;
        }
        double u[512];
        for (int i = 0; i < 8; i++) {
            for (int j = 0; j < 32; j++) {
                u[64 * i + j] = v[128 * i + j];
                u[64 * i + 32 + j] = v[128 * i + 96 + j];
            }
        }
        for (int j = 0; j < 32; j++) {
            out[j] = 0;
            for (int i = 0; i < 16; i++)
                out[j] += u[j + 32 * i] * d[j + 32 * i];
        }
    }
};

TEST(Synthesis, WindowHasTheStandardsShape) {
    // Spot values of D[i] and its symmetry.
    EXPECT_FLOAT_EQ(SynthesisWindowHalf[0], 0.0f);
    EXPECT_FLOAT_EQ(SynthesisWindowHalf[256], 1.144989014f);
    EXPECT_FLOAT_EQ(SynthesisWindowHalf[64], 0.003250122f);
    // Every coefficient is a multiple of 2^-16, and the prototype is smooth:
    // no second difference strays from its neighbours'.
    std::vector<double> p(512);
    for (int i = 0; i < 512; i++) {
        double d = i <= 256 ? SynthesisWindowHalf[i]
                            : ((512 - i) % 64 == 0 ? 1 : -1) * SynthesisWindowHalf[512 - i];
        p[i] = ((i / 64) % 2 ? -1 : 1) * d;
        if (i <= 256) {
            EXPECT_NEAR(d * 65536, std::round(d * 65536), 0.01) << i;
        }
    }
    for (int i = 2; i < 510; i++) {
        double here = p[i + 1] - 2 * p[i] + p[i - 1];
        double around = (p[i] - 2 * p[i - 1] + p[i - 2] + p[i + 2] - 2 * p[i + 1] + p[i]) / 2;
        EXPECT_NEAR(here, around, 0.0005) << i;
    }
}

// The plain transform matches the cosine sum, and four side by side equal
// four plain ones exactly (a granule's blocks go through four at a time).
TEST(Synthesis, FastDctMatchesTheCosineSum) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int trial = 0; trial < 20; trial++) {
        float in[32], out[32];
        for (float& x : in)
            x = value(random);
        FastDct32(in, out);
        for (int m = 0; m < 32; m++) {
            double sum = 0;
            for (int k = 0; k < 32; k++)
                sum += in[k] * std::cos((2 * k + 1) * m * Pi / 64);
            ASSERT_NEAR(out[m], sum, 2e-5) << m;
        }
    }
    float lanes[18 * 32], outs[4 * 40];
    for (float& x : lanes)
        x = value(random);
    FastDct32x4(lanes + 3, 18, outs, 40);
    for (int t = 0; t < 4; t++) {
        float in[32], out[32];
        for (int k = 0; k < 32; k++)
            in[k] = lanes[18 * k + 3 + t];
        FastDct32(in, out);
        for (int m = 0; m < 32; m++)
            ASSERT_EQ(outs[40 * t + m], out[m]) << t << " " << m;
    }
}

// Over several granules (so the history wraps) the fast filter bank
// matches the standard's, within one step of truncation.
TEST(Synthesis, MatchesTheStandardsFilterBank) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> value(-0.3, 0.3);
    SubbandSynthesizer synthesizer(0, OutputScale);
    ReferenceSynthesis reference;
    RecordingSink sink;
    for (int granule = 0; granule < 3; granule++) {
        // Subband by subband, 18 time slots each, as the decoder hands them.
        float subbands[32 * 18];
        double s[18][32];
        for (int slot = 0; slot < 18; slot++) {
            for (int k = 0; k < 32; k++) {
                s[slot][k] = value(random) / (1 + k / 4);
                subbands[18 * k + slot] = float(s[slot][k]);
            }
        }
        sink.values.clear();
        synthesizer.SynthesizeGranule(subbands, sink);
        ASSERT_EQ(sink.values.size(), 18u * 32);
        for (int slot = 0; slot < 18; slot++) {
            double out[32];
            reference.Block(s[slot], out);
            for (int j = 0; j < 32; j++) {
                double x = std::trunc(std::fmax(-32768, std::fmin(32767, out[j] * 32768)));
                ASSERT_NEAR(sink.values[32 * slot + j], x, 1.0)
                    << "granule " << granule << " slot " << slot << " sample " << j;
            }
        }
    }
}

// The 16-bit conversion of a scaled sum: clipped, truncated toward zero, a
// NaN to -32768; checked at and beside every edge, on the values just
// inside and outside each integer (where rounding, or a trip through a
// narrower format, would show), and on random values.
template <typename T>
void ExpectPcmOfSums() {
    auto expected = [](T x) -> int {
        if (std::isnan(x)) return -32768;
        if (x >= T(32767)) return 32767;
        if (x <= T(-32768)) return -32768;
        return static_cast<int>(std::trunc(x));
    };
    const T infinity = std::numeric_limits<T>::infinity();
    std::vector<T> values = {T(0),
                             -T(0),
                             T(0.5),
                             T(-0.5),
                             T(1),
                             T(-1),
                             T(1.5),
                             T(-1.5),
                             T(2.5),
                             T(-2.5),
                             T(32767),
                             T(-32767),
                             T(32768),
                             T(-32768),
                             T(65536.5),
                             T(-65536.5),
                             T(1e30),
                             T(-1e30),
                             infinity,
                             -infinity,
                             std::numeric_limits<T>::quiet_NaN(),
                             std::numeric_limits<T>::denorm_min(),
                             -std::numeric_limits<T>::denorm_min(),
                             std::numeric_limits<T>::min(),
                             -std::numeric_limits<T>::min()};
    for (T k :
         {T(1), T(2), T(3), T(255), T(256), T(4097), T(16384), T(32766), T(32767), T(32768)}) {
        for (T sign : {T(1), T(-1)}) {
            values.push_back(std::nextafter(sign * k, T(0)));
            values.push_back(std::nextafter(sign * k, sign * infinity));
        }
    }
    std::mt19937 random(5);
    std::uniform_real_distribution<double> spread(-40000.0, 40000.0);
    for (int i = 0; i < 20000; i++)
        values.push_back(static_cast<T>(spread(random)) / T(3));
    for (T x : values)
        ASSERT_EQ(PcmFromSum(x), expected(x)) << static_cast<double>(x);
}

TEST(Synthesis, SumsBecomeClippedTruncatedPcm) {
    ExpectPcmOfSums<float>();
#if !defined(__SSE2__) && defined(__i386__)
    // The x87 copy's own, from the 80-bit format.
    ExpectPcmOfSums<long double>();
#endif
}

TEST(Synthesis, ScalesClipsTruncatesAndNamesItsChannel) {
    // Subband 0 alone gives a steady output once the history has filled;
    // find an input that makes that output +-1.9 and +-big.
    auto steady = [](float input, float scale, uint32_t channel) {
        SubbandSynthesizer synthesizer(channel, scale);
        RecordingSink sink;
        float subbands[32 * 18] = {};
        for (int slot = 0; slot < 18; slot++)
            subbands[slot] = input;
        for (int granule = 0; granule < 2; granule++)
            synthesizer.SynthesizeGranule(subbands, sink);
        return sink;
    };
    RecordingSink unit = steady(1.0f, 1.0f, 1);
    ASSERT_EQ(unit.values.size(), 2u * 18 * 32);
    for (uint32_t c : unit.channels)
        EXPECT_EQ(c, 1u);
    // With scale 1, subband 0 at 1.0 gives about 1.0 per sample.
    RecordingSink zero = steady(0.0f, OutputScale, 0);
    for (int16_t v : zero.values)
        EXPECT_EQ(v, 0);

    RecordingSink plus = steady(1.9f, 1.0f, 0);
    RecordingSink minus = steady(-1.9f, 1.0f, 0);
    EXPECT_EQ(plus.values.back(), 1);
    EXPECT_EQ(minus.values.back(), -1);
    RecordingSink high = steady(2.0f, OutputScale, 0);
    RecordingSink low = steady(-2.0f, OutputScale, 0);
    EXPECT_EQ(high.values.back(), 32767);
    EXPECT_EQ(low.values.back(), -32768);

    RecordingSink full = steady(0.5f, 32768.0f, 0);
    RecordingSink half = steady(0.5f, 16384.0f, 0);
    for (size_t i = 0; i < full.values.size(); i++) {
        EXPECT_NEAR(half.values[i], full.values[i] / 2.0, 1.0) << i;
    }
}

}  // namespace
