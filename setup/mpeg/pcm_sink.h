// The receiver of 16-bit samples between the synthesis and the WAV writer,
// and the choice of output channels that the decoder and the conversion
// share. Apart so that neither needs the other's header.
#pragma once

#include <cstdint>

enum ChannelChoice : uint32_t { Both = 0, LeftOnly = 1, RightOnly = 2, Downmix = 3 };

// The factor the synthesis scales its output by before clipping to 16 bits.
constexpr float OutputScale = 32768.0f;

class PcmSink {
  public:
    virtual ~PcmSink() = default;
    virtual void PutSample(uint32_t channel, int16_t value) = 0;
    virtual void FlushFrame() = 0;
    // Hands over count samples of one channel in order of time.
    virtual void PutSamples(uint32_t channel, const int16_t* values, uint32_t count) {
        for (uint32_t i = 0; i < count; i++)
            PutSample(channel, values[i]);
    }
};
