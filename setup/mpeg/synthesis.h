// The polyphase synthesis filter bank: 32 subband samples of one time slot
// become 32 PCM samples of one channel.
#pragma once

#include <cstdint>

#include "setup/mpeg/pcm_sink.h"

extern const float SynthesisWindowHalf[257];

class SubbandSynthesizer {
  public:
    SubbandSynthesizer(uint32_t channel, float scale);

    // A granule's 18 blocks from its 32 subbands of 18 samples each
    // (subband by subband), handed to the sink as 576 samples at once.
    void SynthesizeGranule(const float* subbands, PcmSink& sink);
    uint32_t Channel() const { return channel; }

  private:
    static constexpr uint32_t SlotsPerGranule = 18;
    // One block from x, the 32-point DCT of its subband samples (x[32] to
    // x[35] zero): into the planes, windowed, 32 samples out.
    void Output(const float* x, int16_t* out);

    // History of matrixed values: two planes of 16 columns by 32 rows, a
    // column's 32 rows side by side. Each block writes one column of both;
    // the plane alternates, so that row j of the current plane holds exactly
    // the 16 values output j needs, and four rows make one vector. Every
    // column is kept twice, at c and c + 16, so that the 16 newest columns
    // always lie in one run, newest last: the windowing walks them without
    // wrapping around.
    static constexpr uint32_t Columns = 16;
    alignas(16) float planeA[2 * Columns * 32];
    alignas(16) float planeB[2 * Columns * 32];
    float* currentPlane;
    uint32_t column = 15;
    uint32_t channel;
    float scale;
};

// 32-point DCT-II, out[m] = sum of in[k] cos((2k + 1) m pi / 64) (Lee).
void FastDct32(const float* in, float* out);
// 16-bit PCM from a scaled sum, as the windowing stores it: clipped to
// -32768..32767 and truncated toward zero; a NaN gives -32768.
int16_t PcmFromSum(float x);
#if !defined(__SSE2__) && defined(__i386__)
// The same for the x87 copy, whose sums keep the x87's precision.
int16_t PcmFromSum(long double x);
#endif

// Four of them side by side: input k of transform t is in[inStride k + t],
// output m of transform t goes to out[outStride t + m]. Each equals
// FastDct32 of its inputs exactly.
void FastDct32x4(const float* in, uint32_t inStride, float* out, uint32_t outStride);
