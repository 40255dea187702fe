#include "setup/mpeg/synthesis.h"

#include <cmath>
#include <cstring>

#include "setup/mpeg/lanes.h"
// No wider vector path: the sums must be added in one order on every x86_64
// machine, so that a WAV decoded here equals one decoded by the installer.

namespace {

// Lee's constants 1 / (2 cos((2k + 1) pi / 2N)) for N = 32, 16, 8, 4, 2, as
// C (float, or four copies in lanes).
template <typename C>
struct LeeConstants {
    C lee32[16], lee16[8], lee8[4], lee4[2], lee2[1];
    C* levels[5] = {lee32, lee16, lee8, lee4, lee2};
};

struct SynthesisTables {
    LeeConstants<float> lee;
#if defined(__SSE2__)
    LeeConstants<Lanes> leeLanes;
#endif
    // The whole window D[0..511]: entry 32 a + j multiplies row j of the
    // column written a blocks ago.
    alignas(16) float window[512];
    SynthesisTables();
};

SynthesisTables::SynthesisTables() {
    const double pi = 3.14159265358979323846;
    for (int level = 0, n = 32; n >= 2; level++, n /= 2) {
        for (int k = 0; k < n / 2; k++) {
            float c = static_cast<float>(1.0 / (2.0 * std::cos((2 * k + 1) * pi / (2 * n))));
            lee.levels[level][k] = c;
#if defined(__SSE2__)
            leeLanes.levels[level][k] = Broadcast<Lanes>(c);
#endif
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

// 32-point DCT-II by Lee's factorisation, for T float or lanes.
template <int N, typename T, typename C>
inline void LeeDct(const T* in, T* out, const C* const* constants) {
    if constexpr (N == 1) {
        out[0] = in[0];
    } else {
        constexpr int H = N / 2;
        T even[H], odd[H], evenOut[H], oddOut[H];
        const C* c = constants[0];
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

#if !defined(__SSE2__) && defined(__i386__)
// The x87 copy. A C cast to an integer switches the rounding mode to
// truncation and back for each sample, which costs more than the sample's
// windowing. Here the 32 scaled sums are kept at the x87's precision (as the
// cast would see them), then converted under one switch: the same samples.
constexpr int Interleaved = 4;
void WindowBlockX87(const float* plane, uint32_t newest, float scale, int16_t* out) {
    long double scaled[32];
    // Four outputs at a time: their sums are independent, so that one's
    // additions proceed while another's wait; each adds in the one order.
    for (int j = 0; j < 32; j += Interleaved) {
        float sum[Interleaved];
        for (int k = 0; k < Interleaved; k++)
            sum[k] = plane[32 * newest + j + k] * tables.window[j + k];
        for (uint32_t age = 1; age < 16; age++) {
            const float* row = plane + 32 * ((newest - age) & 15) + j;
            const float* weight = tables.window + 32 * age + j;
            for (int k = 0; k < Interleaved; k++)
                sum[k] += row[k] * weight[k];
        }
        for (int k = 0; k < Interleaved; k++)
            scaled[j + k] = sum[k] * scale;
    }
    uint16_t control = 0;
    // The "memory" clobbers keep every sum before the switch and every
    // conversion between the two.
    __asm__ volatile("fnstcw %0" : "=m"(control) : : "memory");
    const uint16_t truncating = control | 0x0C00;
    __asm__ volatile("fldcw %0" : : "m"(truncating) : "memory");
    for (int j = 0; j < 32; j++) {
        long double x = scaled[j];
        int16_t value = -32768;  // also for a NaN, as ToPcm gives
        if (x > -32768.0L) {
            value = 32767;
            if (x < 32767.0L) __asm__("fistps %0" : "=m"(value) : "t"(x) : "st");
        }
        out[j] = value;
    }
    __asm__ volatile("fldcw %0" : : "m"(control) : "memory");
}
#endif

#if defined(__SSE2__)
constexpr auto WindowBlock = WindowBlockSse2;
#elif defined(__i386__)
constexpr auto WindowBlock = WindowBlockX87;
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

void FastDct32(const float* in, float* out) {
    LeeDct<32>(in, out, tables.lee.levels);
}

void FastDct32x4(const float* in, uint32_t inStride, float* out, uint32_t outStride) {
#if defined(__SSE2__)
    Lanes lanesIn[32], lanesOut[32];
    for (uint32_t k = 0; k < 32; k++)
        lanesIn[k].v = _mm_loadu_ps(in + inStride * k);
    LeeDct<32>(lanesIn, lanesOut, tables.leeLanes.levels);
    for (int m = 0; m < 32; m += 4) {
        __m128 r0 = lanesOut[m].v, r1 = lanesOut[m + 1].v;
        __m128 r2 = lanesOut[m + 2].v, r3 = lanesOut[m + 3].v;
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        _mm_storeu_ps(out + m, r0);
        _mm_storeu_ps(out + outStride + m, r1);
        _mm_storeu_ps(out + 2 * outStride + m, r2);
        _mm_storeu_ps(out + 3 * outStride + m, r3);
    }
#else
    for (uint32_t t = 0; t < 4; t++) {
        float one[32];
        for (uint32_t k = 0; k < 32; k++)
            one[k] = in[inStride * k + t];
        FastDct32(one, out + outStride * t);
    }
#endif
}

SubbandSynthesizer::SubbandSynthesizer(uint32_t channel, float scale)
    : currentPlane(planeA), channel(channel), scale(scale) {
    std::memset(planeA, 0, sizeof planeA);
    std::memset(planeB, 0, sizeof planeB);
}

void SubbandSynthesizer::Output(const float* x, int16_t* out) {
    float* current = currentPlane;
    float* other = current == planeA ? planeB : planeA;
    const uint32_t c = column;
    StoreColumns(x, current + 32 * c, other + 32 * c);
    WindowBlock(current, c, scale, out);
    column = (c + 1) & 15;
    currentPlane = other;
}

void SubbandSynthesizer::SynthesizeGranule(const float* subbands, PcmSink& sink) {
    int16_t samples[SlotsPerGranule * 32];
    // The matrixing of four time slots at once, one slot in each lane; x[t]
    // gets slot first + t, with the zeros that Output wants after it.
    alignas(16) float x[4][36] = {};
    uint32_t first = 0;
    for (; first + 4 <= SlotsPerGranule; first += 4) {
        FastDct32x4(subbands + first, SlotsPerGranule, x[0], 36);
        for (uint32_t t = 0; t < 4; t++)
            Output(x[t], samples + 32 * (first + t));
    }
    if (first < SlotsPerGranule) {
        // The last slots, without reading past the granule.
        const uint32_t count = SlotsPerGranule - first;
        alignas(16) float rest[32 * 4] = {};
        for (uint32_t k = 0; k < 32; k++) {
            for (uint32_t t = 0; t < count; t++)
                rest[4 * k + t] = subbands[SlotsPerGranule * k + first + t];
        }
        FastDct32x4(rest, 4, x[0], 36);
        for (uint32_t t = 0; t < count; t++)
            Output(x[t], samples + 32 * (first + t));
    }
    sink.PutSamples(channel, samples, SlotsPerGranule * 32);
}
