// The 36-point inverse MDCT is a DCT-IV of 18 points folded out; that DCT-IV
// is a 9-point complex DFT between two twiddles, and the 9-point DFT is
// 3 × 3 stages. The 12-point transform likewise runs on a 3-point DFT.
#include "setup/mpeg/imdct.h"

#include <cmath>

#include "setup/mpeg/lanes.h"
#include "setup/mpeg/layer3_tables.h"

namespace {

// The transforms are written once for a value type T: float, or (with SSE2)
// four lanes that carry four subbands through the same arithmetic. Their
// constants come as C: float, or the same four times in lanes.
template <typename T>
struct ComplexOf {
    T re, im;
};
using Complex = ComplexOf<float>;

template <typename T, typename C>
inline ComplexOf<T> Mul(ComplexOf<T> a, ComplexOf<C> b) {
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

// (a - i b) times b: the input pair of the DCT-IV, with b's sign folded in.
template <typename T, typename C>
inline ComplexOf<T> MulConjugate(T a, T b, ComplexOf<C> c) {
    return {a * c.re + b * c.im, a * c.im - b * c.re};
}

constexpr float HalfRoot3 = 0.866025403784438647f;

// 3-point DFT with a positive exponent, in place on a, b, c.
template <typename T>
inline void Dft3(ComplexOf<T>& a, ComplexOf<T>& b, ComplexOf<T>& c) {
    T sr = b.re + c.re, si = b.im + c.im;
    T dr = (b.re - c.re) * HalfRoot3, di = (b.im - c.im) * HalfRoot3;
    T mr = a.re - sr * 0.5f, mi = a.im - si * 0.5f;
    a = {a.re + sr, a.im + si};
    b = {mr - di, mi + dr};
    c = {mr + di, mi - dr};
}

// The 18-point DCT-IV's twiddles and the long windows of each block type,
// the second half negated (the fold negates it), as C.
template <typename C>
struct LongConstants {
    ComplexOf<C> pre18[9], post18[9], twiddle9[4];
    C window[4][36];

    template <typename Source>
    void From(const Source& source) {
        auto copy = [](Complex c) { return ComplexOf<C>{Broadcast<C>(c.re), Broadcast<C>(c.im)}; };
        for (int n = 0; n < 9; n++) {
            pre18[n] = copy(source.pre18[n]);
            post18[n] = copy(source.post18[n]);
        }
        for (int n = 0; n < 4; n++)
            twiddle9[n] = copy(source.twiddle9[n]);
        for (int type = 0; type < 4; type++) {
            for (int i = 0; i < 36; i++)
                window[type][i] = Broadcast<C>(source.window[type][i]);
        }
    }
};

// The 6-point DCT-IV's twiddles and the short window, as C.
template <typename C>
struct ShortConstants {
    ComplexOf<C> pre6[3], post6[3];
    C window[12];

    template <typename Source>
    void From(const Source& source) {
        for (int n = 0; n < 3; n++) {
            pre6[n] = {Broadcast<C>(source.pre6[n].re), Broadcast<C>(source.pre6[n].im)};
            post6[n] = {Broadcast<C>(source.post6[n].re), Broadcast<C>(source.post6[n].im)};
        }
        for (int i = 0; i < 12; i++)
            window[i] = Broadcast<C>(source.shortWindow[i]);
    }
};

struct ImdctTables {
    Complex pre18[9], post18[9], twiddle9[4];
    float window[4][36];
    Complex pre6[3], post6[3];
    float shortWindow[12];
    LongConstants<float> scalar;
    ShortConstants<float> shortScalar;
#if defined(__SSE2__)
    LongConstants<Lanes> lanes;
    ShortConstants<Lanes> shortLanes;
#endif
    ImdctTables();
};

ImdctTables::ImdctTables() {
    const double pi = 3.14159265358979323846;
    auto unit = [](double angle) {
        return Complex{static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
    };
    for (int n = 0; n < 9; n++) {
        pre18[n] = unit(pi * (n + 0.25) / 18);
        post18[n] = unit(pi * n / 18);
    }
    // e^(2 pi i n2 p1 / 9) for n2, p1 in {1, 2}.
    twiddle9[0] = unit(2 * pi * 1 / 9);
    twiddle9[1] = unit(2 * pi * 2 / 9);
    twiddle9[2] = unit(2 * pi * 2 / 9);
    twiddle9[3] = unit(2 * pi * 4 / 9);
    for (int n = 0; n < 3; n++) {
        pre6[n] = unit(pi * (n + 0.25) / 6);
        post6[n] = unit(pi * n / 6);
    }
    for (int type = 0; type < 4; type++) {
        for (int i = 0; i < 36; i++) {
            float w = BlockWindow(type, i);
            window[type][i] = i < 18 ? w : -w;
        }
    }
    for (int i = 0; i < 12; i++)
        shortWindow[i] = BlockWindow(2, i);
    scalar.From(*this);
    shortScalar.From(*this);
#if defined(__SSE2__)
    lanes.From(*this);
    shortLanes.From(*this);
#endif
}

const ImdctTables tables;

template <typename T, typename C>
void DctIv18Of(const T* in, T* out, const LongConstants<C>& k) {
    // z[n] = (in[2n] - i in[17 - 2n]) e^(i pi (n + 1/4) / 18)
    ComplexOf<T> z[9];
    for (int n = 0; n < 9; n++)
        z[n] = MulConjugate(in[2 * n], in[17 - 2 * n], k.pre18[n]);
    // 9-point DFT, n = 3 n1 + n2, p = p1 + 3 p2: DFT-3 over n1 for each n2,
    // twiddle, DFT-3 over n2 for each p1.
    for (int n2 = 0; n2 < 3; n2++)
        Dft3(z[n2], z[3 + n2], z[6 + n2]);
    // Now z[3 p1 + n2] holds the first stage's output for (n2, p1).
    z[4] = Mul(z[4], k.twiddle9[0]);
    z[7] = Mul(z[7], k.twiddle9[1]);
    z[5] = Mul(z[5], k.twiddle9[2]);
    z[8] = Mul(z[8], k.twiddle9[3]);
    for (int p1 = 0; p1 < 3; p1++)
        Dft3(z[3 * p1], z[3 * p1 + 1], z[3 * p1 + 2]);
    // z[3 p1 + p2] holds C[p1 + 3 p2].
    for (int p1 = 0; p1 < 3; p1++) {
        for (int p2 = 0; p2 < 3; p2++) {
            int p = p1 + 3 * p2;
            ComplexOf<T> d = Mul(z[3 * p1 + p2], k.post18[p]);
            out[2 * p] = d.re;
            out[17 - 2 * p] = d.im;
        }
    }
}

// x[i] = y[i + 9] (i < 9), -y[26 - i] (9 <= i < 27), -y[i - 27] (i >= 27):
// the first half windowed plus overlap out, the second half kept (its
// window entries are stored negated).
template <typename T, typename C>
inline void FoldLong(const T* y, T* out, T* overlap, const C* window) {
    for (int i = 0; i < 9; i++) {
        out[i] = y[i + 9] * window[i] + overlap[i];
        out[9 + i] = overlap[9 + i] - y[17 - i] * window[9 + i];
        overlap[i] = y[8 - i] * window[18 + i];
        overlap[9 + i] = y[i] * window[27 + i];
    }
}

}  // namespace

void DctIv18(const float* in, float* out) {
    DctIv18Of(in, out, tables.scalar);
}

namespace {

template <typename T, typename C>
inline void DctIv6Of(const T* in, T* out, const ShortConstants<C>& k) {
    ComplexOf<T> z[3];
    for (int n = 0; n < 3; n++)
        z[n] = MulConjugate(in[2 * n], in[5 - 2 * n], k.pre6[n]);
    Dft3(z[0], z[1], z[2]);
    for (int p = 0; p < 3; p++) {
        ComplexOf<T> d = Mul(z[p], k.post6[p]);
        out[2 * p] = d.re;
        out[5 - 2 * p] = d.im;
    }
}

// The three short transforms of lines (line 3k + w is line k of window w),
// windowed and overlapped: the granule's 18 outputs out (with saved, the
// overlap, added) and the next overlap into saved.
template <typename T, typename C>
inline void ShortTransforms(const T* lines, T* out, T* saved, const ShortConstants<C>& k) {
    const C* window = k.window;
    T raw[36];
    for (T& value : raw)
        value = T{};
    for (int w = 0; w < 3; w++) {
        T in[6], y[6];
        for (int n = 0; n < 6; n++)
            in[n] = lines[3 * n + w];
        DctIv6Of(in, y, k);
        // x[i] = y[i + 3] (i < 3), -y[8 - i] (3 <= i < 9), -y[i - 9] (i >= 9).
        T* part = raw + 6 + 6 * w;
        for (int i = 0; i < 3; i++) {
            part[i] = part[i] + y[i + 3] * window[i];
            part[3 + i] = part[3 + i] - y[5 - i] * window[3 + i];
            part[6 + i] = part[6 + i] - y[2 - i] * window[6 + i];
            part[9 + i] = part[9 + i] - y[i] * window[9 + i];
        }
    }
    for (int i = 0; i < 18; i++) {
        out[i] = raw[i] + saved[i];
        saved[i] = raw[18 + i];
    }
}

}  // namespace

#if defined(__SSE2__)
void DctIv6(const float* in, float* out) {
    DctIv6Of(in, out, tables.shortScalar);
}
#else
// The x87 copy keeps this form of its own: there the precision of each
// intermediate follows where the compiler keeps it, so that its output is
// this very code's.
void DctIv6(const float* in, float* out) {
    ComplexOf<float> z[3];
    for (int n = 0; n < 3; n++)
        z[n] = MulConjugate(in[2 * n], in[5 - 2 * n], tables.pre6[n]);
    Dft3(z[0], z[1], z[2]);
    for (int p = 0; p < 3; p++) {
        ComplexOf<float> d = Mul(z[p], tables.post6[p]);
        out[2 * p] = d.re;
        out[5 - 2 * p] = d.im;
    }
}
#endif

void ImdctLong(float* lines, float* overlap, uint32_t blockType) {
    float y[18], saved[18];
    DctIv18(lines, y);
    for (int i = 0; i < 18; i++)
        saved[i] = overlap[SlotStride * i];
    FoldLong(y, lines, saved, tables.scalar.window[blockType & 3]);
    for (int i = 0; i < 18; i++)
        overlap[SlotStride * i] = saved[i];
}

#if defined(__SSE2__)
namespace {

// Four rows of 18 values (four subbands' lines) to 18 lanes, and back.
void ToLanes(const float* rows, Lanes* lanes) {
    for (int k = 0; k < 16; k += 4) {
        __m128 r0 = _mm_loadu_ps(rows + k), r1 = _mm_loadu_ps(rows + 18 + k);
        __m128 r2 = _mm_loadu_ps(rows + 36 + k), r3 = _mm_loadu_ps(rows + 54 + k);
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        lanes[k].v = r0;
        lanes[k + 1].v = r1;
        lanes[k + 2].v = r2;
        lanes[k + 3].v = r3;
    }
    for (int k = 16; k < 18; k++)
        lanes[k].v = _mm_setr_ps(rows[k], rows[18 + k], rows[36 + k], rows[54 + k]);
}

void FromLanes(const Lanes* lanes, float* rows) {
    for (int k = 0; k < 16; k += 4) {
        __m128 r0 = lanes[k].v, r1 = lanes[k + 1].v, r2 = lanes[k + 2].v, r3 = lanes[k + 3].v;
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        _mm_storeu_ps(rows + k, r0);
        _mm_storeu_ps(rows + 18 + k, r1);
        _mm_storeu_ps(rows + 36 + k, r2);
        _mm_storeu_ps(rows + 54 + k, r3);
    }
    for (int k = 16; k < 18; k++) {
        // Lanes 0 and 1, then 2 and 3.
        __m128 low = lanes[k].v;
        __m128 high = _mm_movehl_ps(low, low);
        _mm_store_ss(rows + k, low);
        _mm_store_ss(rows + 18 + k, _mm_shuffle_ps(low, low, _MM_SHUFFLE(1, 1, 1, 1)));
        _mm_store_ss(rows + 36 + k, high);
        _mm_store_ss(rows + 54 + k, _mm_shuffle_ps(high, high, _MM_SHUFFLE(1, 1, 1, 1)));
    }
}

}  // namespace
#endif

void ImdctLong4(float* lines, float* overlap, uint32_t blockType) {
#if defined(__SSE2__)
    // Four subbands side by side in the lanes; their overlap is already laid
    // out so.
    Lanes in[18], y[18], saved[18];
    ToLanes(lines, in);
    for (int i = 0; i < 18; i++)
        saved[i].v = _mm_loadu_ps(overlap + SlotStride * i);
    DctIv18Of(in, y, tables.lanes);
    FoldLong(y, in, saved, tables.lanes.window[blockType & 3]);
    FromLanes(in, lines);
    for (int i = 0; i < 18; i++)
        _mm_storeu_ps(overlap + SlotStride * i, saved[i].v);
#else
    for (int sb = 0; sb < 4; sb++)
        ImdctLong(lines + 18 * sb, overlap + sb, blockType);
#endif
}

void OverlapOnly(float* work, float* overlap, uint32_t first) {
    uint32_t sb = first;
#if defined(__SSE2__)
    for (; sb % 4 != 0 && sb < 32; sb++) {
        for (int k = 0; k < 18; k++) {
            work[18 * sb + k] = overlap[SlotStride * k + sb];
            overlap[SlotStride * k + sb] = 0.0f;
        }
    }
    for (; sb < 32; sb += 4) {
        Lanes saved[18];
        for (int k = 0; k < 18; k++) {
            saved[k].v = _mm_loadu_ps(overlap + SlotStride * k + sb);
            _mm_storeu_ps(overlap + SlotStride * k + sb, _mm_setzero_ps());
        }
        FromLanes(saved, work + 18 * sb);
    }
#endif
    for (; sb < 32; sb++) {
        for (int k = 0; k < 18; k++) {
            work[18 * sb + k] = overlap[SlotStride * k + sb];
            overlap[SlotStride * k + sb] = 0.0f;
        }
    }
}

#if defined(__SSE2__)
void ImdctShort(float* lines, float* overlap) {
    float saved[18];
    for (int i = 0; i < 18; i++)
        saved[i] = overlap[SlotStride * i];
    ShortTransforms(lines, lines, saved, tables.shortScalar);
    for (int i = 0; i < 18; i++)
        overlap[SlotStride * i] = saved[i];
}
#else
// The x87 copy's own form, as DctIv6's.
void ImdctShort(float* lines, float* overlap) {
    const float* window = tables.shortWindow;
    float raw[36] = {};
    for (int w = 0; w < 3; w++) {
        float in[6], y[6];
        for (int k = 0; k < 6; k++)
            in[k] = lines[3 * k + w];
        DctIv6(in, y);
        // x[i] = y[i + 3] (i < 3), -y[8 - i] (3 <= i < 9), -y[i - 9] (i >= 9).
        float* part = raw + 6 + 6 * w;
        for (int i = 0; i < 3; i++) {
            part[i] += y[i + 3] * window[i];
            part[3 + i] -= y[5 - i] * window[3 + i];
            part[6 + i] -= y[2 - i] * window[6 + i];
            part[9 + i] -= y[i] * window[9 + i];
        }
    }
    for (int i = 0; i < 18; i++) {
        lines[i] = raw[i] + overlap[SlotStride * i];
        overlap[SlotStride * i] = raw[18 + i];
    }
}
#endif

void ImdctShort4(float* lines, float* overlap) {
#if defined(__SSE2__)
    // Four subbands side by side in the lanes, as ImdctLong4.
    Lanes in[18], saved[18];
    ToLanes(lines, in);
    for (int i = 0; i < 18; i++)
        saved[i].v = _mm_loadu_ps(overlap + SlotStride * i);
    ShortTransforms(in, in, saved, tables.shortLanes);
    FromLanes(in, lines);
    for (int i = 0; i < 18; i++)
        _mm_storeu_ps(overlap + SlotStride * i, saved[i].v);
#else
    for (int sb = 0; sb < 4; sb++)
        ImdctShort(lines + 18 * sb, overlap + sb);
#endif
}
