#include "setup/mpeg/synthesis.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif
// No wider vector path: the sums must be added in one order on every x86_64
// machine, so that a WAV decoded here equals one decoded by the installer.

namespace {

struct SynthesisTables {
    // Lee's constants 1 / (2 cos((2k + 1) pi / 2N)) for N = 32, 16, 8, 4, 2.
    float lee32[16], lee16[8], lee8[4], lee4[2], lee2[1];
    // The whole window D[0..511]: entry 32 a + j multiplies row j of the
    // column written a blocks ago.
    alignas(16) float window[512];
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
    for (int i = 0; i <= 256; i++)
        window[i] = SynthesisWindowHalf[i];
    for (int i = 257; i < 512; i++) {
        window[i] =
            (512 - i) % 64 == 0 ? SynthesisWindowHalf[512 - i] : -SynthesisWindowHalf[512 - i];
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

// Windowing: output j is the sum over the 16 columns, newest first, of row
// j times the window entry of that column's age; scaled, clipped and
// truncated to 16 bits. Every build adds in this one order.
[[maybe_unused]] void WindowBlockPlain(const float* plane, uint32_t newest, float scale,
                                       int16_t* out) {
    for (int j = 0; j < 32; j++) {
        float sum = plane[32 * newest + j] * tables.window[j];
        for (uint32_t age = 1; age < 16; age++)
            sum += plane[32 * ((newest - age) & 15) + j] * tables.window[32 * age + j];
        out[j] = ToPcm(sum * scale);
    }
}

#if defined(__SSE2__)
// The same with four rows in each of eight registers.
void WindowBlockSse2(const float* plane, uint32_t newest, float scale, int16_t* out) {
    const float* window = tables.window;
    const float* column = plane + 32 * newest;
    __m128 sums[8];
    for (int k = 0; k < 8; k++)
        sums[k] = _mm_mul_ps(_mm_load_ps(column + 4 * k), _mm_load_ps(window + 4 * k));
    for (uint32_t age = 1; age < 16; age++) {
        column = plane + 32 * ((newest - age) & 15);
        window += 32;
        for (int k = 0; k < 8; k++) {
            __m128 product = _mm_mul_ps(_mm_load_ps(column + 4 * k), _mm_load_ps(window + 4 * k));
            sums[k] = _mm_add_ps(sums[k], product);
        }
    }
    const __m128 factor = _mm_set1_ps(scale);
    const __m128 high = _mm_set1_ps(32767.0f);
    const __m128 low = _mm_set1_ps(-32768.0f);
    for (int k = 0; k < 8; k += 2) {
        // max before min: a NaN becomes the low limit.
        __m128 a = _mm_min_ps(_mm_max_ps(_mm_mul_ps(sums[k], factor), low), high);
        __m128 b = _mm_min_ps(_mm_max_ps(_mm_mul_ps(sums[k + 1], factor), low), high);
        // Truncation toward zero.
        __m128i packed = _mm_packs_epi32(_mm_cvttps_epi32(a), _mm_cvttps_epi32(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * k), packed);
    }
}
#endif

#if defined(__SSE2__)
constexpr auto WindowBlock = WindowBlockSse2;
#else
constexpr auto WindowBlock = WindowBlockPlain;
#endif

// Matrixing into the planes: the standard's V[0..63] are mirror images and
// negatives of the 32-point DCT X: V[i] = X[i + 16] (i < 16), V[16] = 0,
// V[i] = -X[48 - i] (16 < i <= 48), V[i] = -X[i - 48] (i > 48). V[0..31]
// go to the current plane's column, V[32..63] to the other's. x holds X
// and a zero at x[32].
[[maybe_unused]] void StoreColumnsPlain(const float* x, float* current, float* other) {
    for (int r = 0; r < 16; r++)
        current[r] = x[r + 16];
    current[16] = 0.0f;
    for (int r = 17; r < 32; r++)
        current[r] = -x[48 - r];
    for (int r = 0; r < 16; r++)
        other[r] = -x[16 - r];
    for (int r = 16; r < 32; r++)
        other[r] = -x[r - 16];
}

#if defined(__SSE2__)
inline __m128 NegatedReverse(const float* p) {
    __m128 v = _mm_loadu_ps(p);
    return _mm_xor_ps(_mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)), _mm_set1_ps(-0.0f));
}

void StoreColumnsSse2(const float* x, float* current, float* other) {
    const __m128 sign = _mm_set1_ps(-0.0f);
    for (int k = 0; k < 4; k++) {
        _mm_store_ps(current + 4 * k, _mm_load_ps(x + 16 + 4 * k));
        // Rows 16 + 4k.. hold -x[32 - 4k], -x[31 - 4k], ... (x[32] is 0).
        _mm_store_ps(current + 16 + 4 * k, NegatedReverse(x + 29 - 4 * k));
        _mm_store_ps(other + 4 * k, NegatedReverse(x + 13 - 4 * k));
        _mm_store_ps(other + 16 + 4 * k, _mm_xor_ps(_mm_load_ps(x + 4 * k), sign));
    }
}
constexpr auto StoreColumns = StoreColumnsSse2;
#else
constexpr auto StoreColumns = StoreColumnsPlain;
#endif

}  // namespace

void FastDct32Plain(const float* in, float* out) {
    const float* constants[5] = {tables.lee32, tables.lee16, tables.lee8, tables.lee4, tables.lee2};
    LeeDct<32>(in, out, constants);
}

#if defined(__SSE2__)
namespace {

inline __m128 Reverse(__m128 v) {
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3));
}

// [a1, a2, a3, 0]: each lane's next value, zero past the end.
inline __m128 Next(__m128 a) {
    return _mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(a), 4));
}

// [a1, a2, a3, b0]: each lane's next value, continuing into b.
inline __m128 NextAcross(__m128 a, __m128 b) {
    __m128 t = _mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 3, 3));
    return _mm_shuffle_ps(a, t, _MM_SHUFFLE(2, 0, 2, 1));
}

}  // namespace

// Lee's factorisation breadth first, in eight registers of four values: the
// five splitting stages run over all sub-transforms of a size at once; the
// recombination stages then interleave the even outputs G with the sums of
// adjacent odd ones H (X[2m] = G[m], X[2m + 1] = H[m] + H[m + 1]).
void FastDct32Sse2(const float* in, float* out) {
    __m128 x[8], y[8];
    for (int i = 0; i < 8; i++)
        x[i] = _mm_loadu_ps(in + 4 * i);
    for (int j = 0; j < 4; j++) {
        __m128 hi = Reverse(x[7 - j]);
        y[j] = _mm_add_ps(x[j], hi);
        y[4 + j] = _mm_mul_ps(_mm_sub_ps(x[j], hi), _mm_loadu_ps(tables.lee32 + 4 * j));
    }
    for (int half = 0; half < 8; half += 4) {
        for (int j = 0; j < 2; j++) {
            __m128 hi = Reverse(y[half + 3 - j]);
            x[half + j] = _mm_add_ps(y[half + j], hi);
            x[half + 2 + j] =
                _mm_mul_ps(_mm_sub_ps(y[half + j], hi), _mm_loadu_ps(tables.lee16 + 4 * j));
        }
    }
    const __m128 lee8 = _mm_loadu_ps(tables.lee8);
    for (int block = 0; block < 8; block += 2) {
        __m128 hi = Reverse(x[block + 1]);
        y[block] = _mm_add_ps(x[block], hi);
        y[block + 1] = _mm_mul_ps(_mm_sub_ps(x[block], hi), lee8);
    }
    const __m128 lee4 = _mm_setr_ps(tables.lee4[0], tables.lee4[1], 0.0f, 0.0f);
    const __m128 lee2 = _mm_set1_ps(tables.lee2[0]);
    const __m128 lane1 = _mm_castsi128_ps(_mm_setr_epi32(0, -1, 0, 0));
    for (int i = 0; i < 8; i++) {
        // Size 4, then size 2, then the size-4 recombination.
        __m128 r = Reverse(y[i]);
        __m128 v = _mm_movelh_ps(_mm_add_ps(y[i], r), _mm_mul_ps(_mm_sub_ps(y[i], r), lee4));
        __m128 even = _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 0, 2, 0));
        __m128 odd = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 1, 3, 1));
        __m128 e = _mm_unpacklo_ps(_mm_add_ps(even, odd), _mm_mul_ps(_mm_sub_ps(even, odd), lee2));
        // e = [g0, g1, h0, h1] -> [g0, h0 + h1, g1, h1]
        __m128 ordered = _mm_shuffle_ps(e, e, _MM_SHUFFLE(3, 1, 2, 0));
        __m128 h1 = _mm_and_ps(_mm_shuffle_ps(e, e, _MM_SHUFFLE(3, 3, 3, 3)), lane1);
        x[i] = _mm_add_ps(ordered, h1);
    }
    for (int block = 0; block < 8; block += 2) {
        __m128 sum = _mm_add_ps(x[block + 1], Next(x[block + 1]));
        y[block] = _mm_unpacklo_ps(x[block], sum);
        y[block + 1] = _mm_unpackhi_ps(x[block], sum);
    }
    for (int half = 0; half < 8; half += 4) {
        __m128 sum0 = _mm_add_ps(y[half + 2], NextAcross(y[half + 2], y[half + 3]));
        __m128 sum1 = _mm_add_ps(y[half + 3], Next(y[half + 3]));
        x[half] = _mm_unpacklo_ps(y[half], sum0);
        x[half + 1] = _mm_unpackhi_ps(y[half], sum0);
        x[half + 2] = _mm_unpacklo_ps(y[half + 1], sum1);
        x[half + 3] = _mm_unpackhi_ps(y[half + 1], sum1);
    }
    for (int q = 0; q < 4; q++) {
        __m128 next = q < 3 ? NextAcross(x[4 + q], x[5 + q]) : Next(x[7]);
        __m128 sum = _mm_add_ps(x[4 + q], next);
        _mm_storeu_ps(out + 8 * q, _mm_unpacklo_ps(x[q], sum));
        _mm_storeu_ps(out + 8 * q + 4, _mm_unpackhi_ps(x[q], sum));
    }
}
#endif

void FastDct32(const float* in, float* out) {
#if defined(__SSE2__)
    FastDct32Sse2(in, out);
#else
    FastDct32Plain(in, out);
#endif
}

SubbandSynthesizer::SubbandSynthesizer(uint32_t channel, float scale)
    : currentPlane(planeA), channel(channel), scale(scale) {
    std::memset(planeA, 0, sizeof planeA);
    std::memset(planeB, 0, sizeof planeB);
    std::memset(input, 0, sizeof input);
}

void SubbandSynthesizer::Block(const float* subbands, int16_t* out) {
    alignas(16) float x[36];
    FastDct32(subbands, x);
    x[32] = x[33] = x[34] = x[35] = 0.0f;
    float* current = currentPlane;
    float* other = current == planeA ? planeB : planeA;
    const uint32_t c = column;
    StoreColumns(x, current + 32 * c, other + 32 * c);
    WindowBlock(current, c, scale, out);
    column = (c + 1) & 15;
    currentPlane = other;
}

void SubbandSynthesizer::SynthesizeBlock(PcmSink& sink) {
    int16_t samples[32];
    Block(input, samples);
    sink.PutSamples(channel, samples, 32);
    std::memset(input, 0, sizeof input);
}

void SubbandSynthesizer::SynthesizeGranule(const float* blocks, PcmSink& sink) {
    int16_t samples[18 * 32];
    for (int block = 0; block < 18; block++)
        Block(blocks + 32 * block, samples + 32 * block);
    sink.PutSamples(channel, samples, 18 * 32);
}
