#include "setup/mpeg/synthesis.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif
// On x86_64 with GCC or Clang the windowing also has an AVX path, chosen at
// run time; the i686 and Windows builds keep SSE2 or plain C++.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define VEXLO_SYNTHESIS_AVX 1
#include <immintrin.h>
#endif

namespace {

struct SynthesisTables {
    // Lee's constants 1 / (2 cos((2k + 1) pi / 2N)) for N = 32, 16, 8, 4, 2.
    float lee32[16], lee16[8], lee8[4], lee4[2], lee2[1];
    // The window rearranged for each column: entry [c][16 j + q] multiplies
    // row j, column q of the current plane when the newest column is c.
    alignas(16) float window[16][512];
    SynthesisTables();
};

SynthesisTables::SynthesisTables() {
    const double pi = 3.14159265358979323846;
    float* lee[5] = {lee32, lee16, lee8, lee4, lee2};
    for (int level = 0, n = 32; n >= 2; level++, n /= 2) {
        for (int k = 0; k < n / 2; k++) {
            lee[level][k] = static_cast<float>(1.0 / (2.0 * std::cos((2 * k + 1) * pi / (2 * n))));
        }
    }
    float d[512];
    for (int i = 0; i <= 256; i++)
        d[i] = SynthesisWindowHalf[i];
    for (int i = 257; i < 512; i++) {
        d[i] = (512 - i) % 64 == 0 ? SynthesisWindowHalf[512 - i] : -SynthesisWindowHalf[512 - i];
    }
    // Column q holds the block written (c - q) mod 16 blocks ago.
    for (int c = 0; c < 16; c++) {
        for (int j = 0; j < 32; j++) {
            for (int q = 0; q < 16; q++)
                window[c][16 * j + q] = d[j + 32 * ((c - q) & 15)];
        }
    }
}

const SynthesisTables tables;

template <int N>
inline void LeeDct(const float* in, float* out, const float* const* constants) {
    if constexpr (N == 1) {
        out[0] = in[0];
    } else {
        constexpr int H = N / 2;
        float even[H], odd[H], evenOut[H], oddOut[H];
        const float* c = constants[0];
        for (int k = 0; k < H; k++) {
            even[k] = in[k] + in[N - 1 - k];
            odd[k] = (in[k] - in[N - 1 - k]) * c[k];
        }
        LeeDct<H>(even, evenOut, constants + 1);
        LeeDct<H>(odd, oddOut, constants + 1);
        for (int m = 0; m < H - 1; m++) {
            out[2 * m] = evenOut[m];
            out[2 * m + 1] = oddOut[m] + oddOut[m + 1];
        }
        out[N - 2] = evenOut[H - 1];
        out[N - 1] = oddOut[H - 1];
    }
}

// Clips to 16 bits and truncates toward zero; a NaN (from a damaged stream)
// gives -32768, as the SSE2 path does.
inline int16_t ToPcm(float x) {
    if (x > -32768.0f) return x < 32767.0f ? static_cast<int16_t>(x) : int16_t(32767);
    return -32768;
}

// Windowing: output j is row j of the current plane times 16 consecutive
// coefficients of the window arranged for the newest column; scaled,
// clipped and truncated to 16 bits.
[[maybe_unused]] void WindowBlockPlain(const float* plane, const float* window, float scale,
                                       int16_t* out) {
    for (int j = 0; j < 32; j++) {
        const float* row = plane + 16 * j;
        const float* coef = window + 16 * j;
        float sum = 0.0f;
        for (int q = 0; q < 16; q++)
            sum += row[q] * coef[q];
        out[j] = ToPcm(sum * scale);
    }
}

#if defined(__SSE2__)
// Four rows at a time: four partial dot products, transposed and added,
// give four outputs in one register.
void WindowBlockSse2(const float* plane, const float* window, float scale, int16_t* out) {
    const __m128 factor = _mm_set1_ps(scale);
    const __m128 high = _mm_set1_ps(32767.0f);
    const __m128 low = _mm_set1_ps(-32768.0f);
    for (int j = 0; j < 32; j += 4) {
        __m128 sums[4];
        for (int k = 0; k < 4; k++) {
            const float* row = plane + 16 * (j + k);
            const float* coef = window + 16 * (j + k);
            __m128 acc = _mm_mul_ps(_mm_load_ps(row), _mm_load_ps(coef));
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_load_ps(row + 4), _mm_load_ps(coef + 4)));
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_load_ps(row + 8), _mm_load_ps(coef + 8)));
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_load_ps(row + 12), _mm_load_ps(coef + 12)));
            sums[k] = acc;
        }
        _MM_TRANSPOSE4_PS(sums[0], sums[1], sums[2], sums[3]);
        __m128 total = _mm_add_ps(_mm_add_ps(sums[0], sums[1]), _mm_add_ps(sums[2], sums[3]));
        // max before min: a NaN becomes the low limit.
        total = _mm_min_ps(_mm_max_ps(_mm_mul_ps(total, factor), low), high);
        __m128i whole = _mm_cvttps_epi32(total);  // truncation toward zero
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + j), _mm_packs_epi32(whole, whole));
    }
}
#endif

#if defined(VEXLO_SYNTHESIS_AVX)
// The same with eight lanes: two rows per register pair.
__attribute__((target("avx"))) void WindowBlockAvx(const float* plane, const float* window,
                                                   float scale, int16_t* out) {
    const __m128 factor = _mm_set1_ps(scale);
    const __m128 high = _mm_set1_ps(32767.0f);
    const __m128 low = _mm_set1_ps(-32768.0f);
    for (int j = 0; j < 32; j += 4) {
        __m128 sums[4];
        for (int k = 0; k < 4; k++) {
            const float* row = plane + 16 * (j + k);
            const float* coef = window + 16 * (j + k);
            __m256 acc = _mm256_mul_ps(_mm256_loadu_ps(row), _mm256_loadu_ps(coef));
            acc = _mm256_add_ps(acc,
                                _mm256_mul_ps(_mm256_loadu_ps(row + 8), _mm256_loadu_ps(coef + 8)));
            sums[k] = _mm_add_ps(_mm256_castps256_ps128(acc), _mm256_extractf128_ps(acc, 1));
        }
        _MM_TRANSPOSE4_PS(sums[0], sums[1], sums[2], sums[3]);
        __m128 total = _mm_add_ps(_mm_add_ps(sums[0], sums[1]), _mm_add_ps(sums[2], sums[3]));
        total = _mm_min_ps(_mm_max_ps(_mm_mul_ps(total, factor), low), high);
        __m128i whole = _mm_cvttps_epi32(total);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + j), _mm_packs_epi32(whole, whole));
    }
}
#endif

using WindowFunction = void (*)(const float*, const float*, float, int16_t*);

WindowFunction ChooseWindowFunction() {
#if defined(VEXLO_SYNTHESIS_AVX)
    if (__builtin_cpu_supports("avx")) return WindowBlockAvx;
#endif
#if defined(__SSE2__)
    return WindowBlockSse2;
#else
    return WindowBlockPlain;
#endif
}

const WindowFunction windowBlock = ChooseWindowFunction();

}  // namespace

void FastDct32(const float* in, float* out) {
    const float* constants[5] = {tables.lee32, tables.lee16, tables.lee8, tables.lee4, tables.lee2};
    LeeDct<32>(in, out, constants);
}

SubbandSynthesizer::SubbandSynthesizer(uint32_t channel, float scale)
    : currentPlane(planeA), channel(channel), scale(scale) {
    std::memset(planeA, 0, sizeof planeA);
    std::memset(planeB, 0, sizeof planeB);
    std::memset(input, 0, sizeof input);
}

void SubbandSynthesizer::SynthesizeBlock(PcmSink& sink) {
    // Matrixing: the standard's V[0..63] are mirror images and negatives of
    // the 32-point DCT X: V[i] = X[i + 16] (i < 16), V[16] = 0,
    // V[i] = -X[48 - i] (16 < i <= 48), V[i] = -X[i - 48] (i > 48).
    float x[32];
    FastDct32(input, x);
    float* current = currentPlane;
    float* other = current == planeA ? planeB : planeA;
    const uint32_t c = column;
    for (int r = 0; r < 16; r++)
        current[16 * r + c] = x[r + 16];
    current[16 * 16 + c] = 0.0f;
    for (int r = 17; r < 32; r++)
        current[16 * r + c] = -x[48 - r];
    for (int r = 0; r < 16; r++)
        other[16 * r + c] = -x[16 - r];
    for (int r = 16; r < 32; r++)
        other[16 * r + c] = -x[r - 16];

    // Windowing: output j is row j of the current plane times 16
    // consecutive coefficients of the window arranged for this column.
    int16_t samples[32];
    windowBlock(current, tables.window[c], scale, samples);
    sink.PutSamples(channel, samples, 32);

    column = (c + 1) & 15;
    currentPlane = other;
    std::memset(input, 0, sizeof input);
}
