// The inverse MDCT of the hybrid filter bank, with windowing and overlap-add.
#pragma once

// lines: 18 frequency lines in, 18 time samples out (the first half of the
// windowed transform plus overlap); overlap: the second half, kept for the
// next granule. window: 36 coefficients.
void ImdctLong(float* lines, float* overlap, const float* window);
// The same for four consecutive subbands (72 lines, 72 overlap values).
void ImdctLong4(float* lines, float* overlap, const float* window);
// Three 12-point transforms of the interleaved short windows (line 3k + w
// is line k of window w), overlapped at offsets 6, 12 and 18; window: 12
// coefficients.
void ImdctShort(float* lines, float* overlap, const float* window);

// The DCT-IV of n = 18 or 6 points, out[j] = sum of in[k] cos(pi/n (j + 1/2)(k + 1/2)).
void DctIv18(const float* in, float* out);
void DctIv6(const float* in, float* out);
