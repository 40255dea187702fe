// The inverse MDCT of the hybrid filter bank, with windowing and overlap-add.
#pragma once

#include <cstdint>

// The overlap of a channel is a time-slot array: 18 time slots of the 32
// subbands, slot by slot (subband sb at slot k is entry SlotStride k + sb),
// so that four subbands' values at one slot sit side by side.
constexpr int SlotStride = 32;

// lines: 18 frequency lines of one subband in, 18 time samples out (the
// first half of the windowed transform plus overlap). overlap points at the
// subband's column of the overlap array and keeps the second half for the
// next granule. blockType (0, 1 or 3) chooses the window.
void ImdctLong(float* lines, float* overlap, uint32_t blockType);
// The same for four consecutive subbands (72 lines).
void ImdctLong4(float* lines, float* overlap, uint32_t blockType);
// Three 12-point transforms of the interleaved short windows (line 3k + w
// is line k of window w), each with the short window, overlapped at offsets
// 6, 12 and 18.
void ImdctShort(float* lines, float* overlap);
// The same for four consecutive subbands.
void ImdctShort4(float* lines, float* overlap);

// Subbands from first to 31 whose lines are all zero: the output is their
// overlap, which is cleared.
void OverlapOnly(float* work, float* overlap, uint32_t first);

// The DCT-IV of n = 18 or 6 points, out[j] = sum of in[k] cos(pi/n (j + 1/2)(k + 1/2)).
void DctIv18(const float* in, float* out);
void DctIv6(const float* in, float* out);
