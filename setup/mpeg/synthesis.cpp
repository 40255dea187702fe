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

}  // namespace

// Clips to 16 bits and truncates toward zero; a NaN (from a damaged stream)
// gives -32768, as the SSE2 path does.
int16_t PcmFromSum(float x) {
    if (x > -32768.0f) return x < 32767.0f ? static_cast<int16_t>(x) : int16_t(32767);
    return -32768;
}

#if !defined(__SSE2__) && defined(__i386__)
// The same from the x87's own format, read as integers: a C cast would switch
// the rounding mode to truncation and back for each sample, and a comparison
// goes through the status word; both cost more than the sample's windowing.
// The value is 1.m times 2^e, the 64-bit m with its leading one shown; its
// whole part is m's top e + 1 bits. No branch on the sign or on |x| < 1,
// which music makes unpredictable.
namespace {
inline int16_t PcmFromExtended(const uint8_t* bytes) {
    uint32_t low, high;
    uint16_t top;
    std::memcpy(&low, bytes, 4);
    std::memcpy(&high, bytes + 4, 4);
    std::memcpy(&top, bytes + 8, 2);
    const int32_t e = static_cast<int32_t>(top & 0x7FFF) - 16383;  // |x| in [2^e, 2^(e + 1))
    const uint32_t negative = top >> 15;
    if (e >= 15) {
        // |x| >= 32768, an infinity or a NaN (the top exponent, not the
        // infinity's mantissa).
        const bool nan = top == (0x7FFF | negative << 15) && (high != 0x80000000u || low != 0);
        return negative || nan ? int16_t(-32768) : int16_t(32767);
    }
    const uint32_t keep = 0u - static_cast<uint32_t>(e >= 0);  // |x| < 1 (and zeros) give 0
    const uint32_t whole = (high & keep) >> ((31 - e) & 31);
    const uint32_t sign = 0u - negative;
    return static_cast<int16_t>((whole ^ sign) - sign);
}
}  // namespace

int16_t PcmFromSum(long double x) {
    static_assert(sizeof x >= 10, "the x87's 80-bit format");
    uint8_t bytes[sizeof x];
    std::memcpy(bytes, &x, sizeof x);
    return PcmFromExtended(bytes);
}
#endif

namespace {

// Windowing: output j is the sum over the 16 columns, newest first, of row
// j times the window entry of that column's age; scaled, clipped and
// truncated to 16 bits. Every build adds in this one order. newest points
// at the newest column; the column of age a lies 32 a floats before it.
[[maybe_unused]] void WindowBlockPlain(const float* newest, float scale, int16_t* out) {
    for (int j = 0; j < 32; j++) {
        float sum = newest[j] * tables.window[j];
        for (int age = 1; age < 16; age++)
            sum += newest[j - 32 * age] * tables.window[32 * age + j];
        out[j] = PcmFromSum(sum * scale);
    }
}

#if defined(__SSE2__)
// The same with four rows in each of eight registers.
void WindowBlockSse2(const float* newest, float scale, int16_t* out) {
    const float* window = tables.window;
    const float* column = newest;
    __m128 sums[8];
    for (int k = 0; k < 8; k++)
        sums[k] = _mm_mul_ps(_mm_load_ps(column + 4 * k), _mm_load_ps(window + 4 * k));
    for (int age = 1; age < 16; age++) {
        column -= 32;
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
// The x87 copy: four outputs at a time, their sums independent, so that
// one's additions proceed while another's wait; each adds in the one order.
// The sums are long double: they keep the x87's precision wherever the
// compiler keeps them, in a register or spilled, as the float sums of the
// C code do only in registers.
void WindowBlockX87(const float* newest, float scale, int16_t* out) {
    long double scaled[32];
    for (int j = 0; j < 32; j += 4) {
        const float* row = newest + j;
        const float* weight = tables.window + j;
        long double s0 = static_cast<long double>(row[0]) * weight[0];
        long double s1 = static_cast<long double>(row[1]) * weight[1];
        long double s2 = static_cast<long double>(row[2]) * weight[2];
        long double s3 = static_cast<long double>(row[3]) * weight[3];
#pragma GCC unroll 15
        for (int age = 1; age < 16; age++) {
            row -= 32;
            weight += 32;
            s0 += static_cast<long double>(row[0]) * weight[0];
            s1 += static_cast<long double>(row[1]) * weight[1];
            s2 += static_cast<long double>(row[2]) * weight[2];
            s3 += static_cast<long double>(row[3]) * weight[3];
        }
        scaled[j] = s0 * scale;
        scaled[j + 1] = s1 * scale;
        scaled[j + 2] = s2 * scale;
        scaled[j + 3] = s3 * scale;
    }
    // Read back as stored: no trip through the x87 again.
    for (int j = 0; j < 32; j++)
        out[j] = PcmFromExtended(reinterpret_cast<const uint8_t*>(scaled + j));
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
// go to the current plane's column, V[32..63] to the other's, each to both
// of the column's places (Copy floats apart). x holds X and a zero at x[32].
constexpr int Copy = 32 * 16;

[[maybe_unused]] void StoreColumnsPlain(const float* x, float* current, float* other) {
    auto put = [](float* column, int r, float value) {
        column[r] = value;
        column[r + Copy] = value;
    };
    for (int r = 0; r < 16; r++)
        put(current, r, x[r + 16]);
    put(current, 16, 0.0f);
    for (int r = 17; r < 32; r++)
        put(current, r, -x[48 - r]);
    for (int r = 0; r < 16; r++)
        put(other, r, -x[16 - r]);
    for (int r = 16; r < 32; r++)
        put(other, r, -x[r - 16]);
}

#if defined(__SSE2__)
inline __m128 NegatedReverse(const float* p) {
    __m128 v = _mm_loadu_ps(p);
    return _mm_xor_ps(_mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)), _mm_set1_ps(-0.0f));
}

inline void PutTwice(float* column, __m128 value) {
    _mm_store_ps(column, value);
    _mm_store_ps(column + Copy, value);
}

void StoreColumnsSse2(const float* x, float* current, float* other) {
    const __m128 sign = _mm_set1_ps(-0.0f);
    for (int k = 0; k < 4; k++) {
        PutTwice(current + 4 * k, _mm_load_ps(x + 16 + 4 * k));
        // Rows 16 + 4k.. hold -x[32 - 4k], -x[31 - 4k], ... (x[32] is 0).
        PutTwice(current + 16 + 4 * k, NegatedReverse(x + 29 - 4 * k));
        PutTwice(other + 4 * k, NegatedReverse(x + 13 - 4 * k));
        PutTwice(other + 16 + 4 * k, _mm_xor_ps(_mm_load_ps(x + 4 * k), sign));
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
    static_assert(Copy == 32 * Columns, "the second place of a column");
    StoreColumns(x, current + 32 * c, other + 32 * c);
    WindowBlock(current + 32 * (c + Columns), scale, out);
    column = (c + 1) % Columns;
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
