// The inverse MDCT of the hybrid filter bank, with windowing and overlap-add.
#pragma once

// Time-slot arrays hold 18 time slots of the 32 subbands, slot by slot:
// subband sb at slot k is entry SlotStride k + sb, as the synthesis takes
// them.
constexpr int SlotStride = 32;

// lines: 18 frequency lines of one subband. out and overlap point at that
// subband in time-slot arrays: out gets the first half of the windowed
// transform plus overlap, overlap keeps the second half for the next
// granule. window: 36 coefficients.
void ImdctLong(const float* lines, float* overlap, float* out, const float* window);
// The same for four consecutive subbands (72 lines).
void ImdctLong4(const float* lines, float* overlap, float* out, const float* window);
// Three 12-point transforms of the interleaved short windows (line 3k + w
// is line k of window w), overlapped at offsets 6, 12 and 18; window: 12
// coefficients.
void ImdctShort(const float* lines, float* overlap, float* out, const float* window);

// The DCT-IV of n = 18 or 6 points, out[j] = sum of in[k] cos(pi/n (j + 1/2)(k + 1/2)).
void DctIv18(const float* in, float* out);
void DctIv6(const float* in, float* out);
