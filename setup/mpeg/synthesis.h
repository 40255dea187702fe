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
    void SynthesizeBlock(PcmSink& sink);
    uint32_t Channel() const { return channel; }

  private:
    // History of matrixed values: two planes of 32 rows by 16 columns. Each
    // block writes one column of both; the plane alternates, so that row j
    // of the current plane holds exactly the 16 values output j needs.
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
