// The Layer III decoder: one frame at a time from the frame reader, through
// the bit reservoir, into the synthesizers and the PCM sink.
#pragma once

#include <cstdint>

#include "setup/mpeg/frame_reader.h"
#include "setup/mpeg/layer3_tables.h"
#include "setup/mpeg/pcm_sink.h"
#include "setup/mpeg/synthesis.h"

struct GranuleInfo {
    uint32_t part23Length;
    uint32_t bigValues;
    uint32_t globalGain;
    uint32_t scalefacCompress;
    uint32_t windowSwitching;
    uint32_t blockType;
    uint32_t mixedBlock;
    uint32_t tableSelect[3];
    uint32_t subblockGain[3];
    uint32_t region0Count;
    uint32_t region1Count;
    uint32_t preflag;
    uint32_t scalefacScale;
    uint32_t count1TableSelect;
};

struct SideInfo {
    uint32_t mainDataBegin;
    uint32_t privateBits;
    struct Channel {
        uint32_t scfsi[4];
        GranuleInfo granule[2];
    } channel[2];
};

struct ScaleFactors {
    uint32_t l[23];
    uint32_t s[3][13];
};

// Lines up to end (exclusive) that share one gain, factor: the global gain
// times their band's scale factor gain.
struct GainRun {
    uint32_t end;
    float factor;
};
// 13 short bands of 3 windows at most, and the end mark.
constexpr uint32_t MaxGainRuns = 3 * ShortBands + 1;

class MpegDecoder {
  public:
    MpegDecoder(FrameReader& reader, FrameHeader& header, SubbandSynthesizer* synthesizer0,
                SubbandSynthesizer* synthesizer1, PcmSink& sink, uint32_t channelChoice);

    // Decodes the frame whose header was read last. False when the frame is
    // skipped (its main data is not in the reservoir, or its side
    // information is invalid): nothing is output for it.
    bool DecodeFrame();

    uint32_t FramesSkipped() const { return framesSkipped; }

    // The stages, public for tests.
    bool ReadSideInfo();
    void ReadScaleFactors(uint32_t ch, uint32_t gr);
    // Huffman decoding and requantisation in one pass: straight into
    // samples (and nonzero).
    void DecodeRequantised(uint32_t ch, uint32_t gr);
    // The granule's gains, line run by line run; the last run ends past
    // every line. Returns the number of runs.
    uint32_t GainRuns(uint32_t ch, uint32_t gr, GainRun* runs) const;
    void Stereo(uint32_t gr);
    void Reorder(uint32_t ch, uint32_t gr);
    void ReduceAliasing(uint32_t ch, uint32_t gr);
    void Hybrid(uint32_t ch, uint32_t gr);

    // Arrays of the stages.
    // Requantised, then stereo-processed in place; room for a count1
    // quadruple at 574 in each.
    alignas(16) float samples[2][GranuleLines + 4];
    alignas(16) float work[GranuleLines];  // one channel's lines, subband by subband
    // Per channel, the second halves of the last inverse MDCTs, time slot by
    // time slot (imdct.h).
    alignas(16) float overlap[2][GranuleLines];
    int32_t nonzero[2];
    // Lines that may be non-zero after stereo processing, per channel.
    uint32_t lineBound[2];
    BitReservoir reservoir;
    SideInfo sideInfo;
    ScaleFactors scaleFactors[2];
    uint32_t part2Start = 0;   // read position where this granule and channel begin
    uint32_t heldEndBits = 0;  // read position just past the main data held

  private:
    void ReadScaleFactorsMpeg1(uint32_t ch, uint32_t gr);
    void ReadScaleFactorsLsf(uint32_t ch);
    void IntensityPositions(uint32_t gr, int8_t* position);
    void FinishChannel(uint32_t ch, uint32_t gr);

    FrameReader& reader;
    FrameHeader& header;
    SubbandSynthesizer* synthesizer0;
    SubbandSynthesizer* synthesizer1;
    PcmSink& sink;
    uint32_t channelChoice;
    uint32_t granules;
    int32_t frameStart = 0;
    uint32_t channels;
    uint32_t firstChannel;
    uint32_t lastChannel;
    uint32_t bandTableRow;
    uint32_t framesSkipped = 0;
    // LSF intensity stereo: the position that marks a band of channel 1 as
    // not intensity-coded (the largest value its scale-factor length holds).
    uint8_t lsfIllegalLong[23] = {};
    uint8_t lsfIllegalShort[13] = {};
};
