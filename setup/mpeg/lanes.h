// Four floats in one SSE2 register, with the arithmetic of a float, so that
// a transform written once as a template runs on float or on four
// independent inputs side by side. Each lane rounds exactly as the float
// code does.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

struct Lanes {
    __m128 v;
};

inline Lanes operator+(Lanes a, Lanes b) {
    return {_mm_add_ps(a.v, b.v)};
}
inline Lanes operator-(Lanes a, Lanes b) {
    return {_mm_sub_ps(a.v, b.v)};
}
inline Lanes operator*(Lanes a, Lanes b) {
    return {_mm_mul_ps(a.v, b.v)};
}
inline Lanes operator*(Lanes a, float b) {
    return {_mm_mul_ps(a.v, _mm_set1_ps(b))};
}
#endif

// A constant of the transform as C: the float itself, or four copies.
template <typename C>
inline C Broadcast(float x) {
    return x;
}
#if defined(__SSE2__)
template <>
inline Lanes Broadcast<Lanes>(float x) {
    return {_mm_set1_ps(x)};
}
#endif
