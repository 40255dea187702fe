// The polyphase synthesis filter bank: 32 subband samples of one time slot
// become 32 PCM samples of one channel.
#pragma once

#include <cstdint>

#include "setup/mpeg/conversion.h"

extern const float SynthesisWindowHalf[257];

class SubbandSynthesizer {
  public:
    SubbandSynthesizer(uint32_t channel, float scale);

    void SetSubbandSample(uint32_t subband, float value) { input[subband & 31] = value; }
    // One block from the samples set, which are then cleared.
    void SynthesizeBlock(PcmSink& sink);
    // A granule's 18 blocks, each 32 subband samples (block-major), handed
    // to the sink as 576 samples at once.
    void SynthesizeGranule(const float* blocks, PcmSink& sink);
    uint32_t Channel() const { return channel; }

  private:
    void Block(const float* subbands, int16_t* out);

    // History of matrixed values: two planes of 16 columns by 32 rows, a
    // column's 32 rows side by side. Each block writes one column of both;
    // the plane alternates, so that row j of the current plane holds exactly
    // the 16 values output j needs, and four rows make one vector.
    alignas(16) float planeA[512];
    alignas(16) float planeB[512];
    float* currentPlane;
    uint32_t column = 15;
    alignas(16) float input[32];
    uint32_t channel;
    float scale;
};

// 32-point DCT-II, out[m] = sum of in[k] cos((2k + 1) m pi / 64) (Lee):
// the SSE2 version where the target has it, else the plain one.
void FastDct32(const float* in, float* out);
void FastDct32Plain(const float* in, float* out);
