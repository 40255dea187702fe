// MP3-to-WAV conversion: the PCM sink, the WAV writer, the job record and
// ConvertToWav.
#pragma once

#include <cstdint>

#include "setup/media/file_stream.h"
#include "setup/mpeg/frame_reader.h"
#include "setup/mpeg/pcm_sink.h"

struct ConversionJob;

// Gathers one decoded frame of samples, each channel apart, and writes it
// interleaved to the .wav file with one write; the length fields are filled
// in on destruction.
class WavWriter final : public PcmSink {
  public:
    // Stores nothing usable when the frame buffer cannot be had: check Ready().
    // With downmix, a 1-channel file gets the mean of channels 0 and 1.
    WavWriter(uint32_t channels, const ConversionJob& job, bool downmix = false);
    ~WavWriter() override;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool Ready() const { return frameBuffer != nullptr; }
    void PutSample(uint32_t channel, int16_t value) override;
    void PutSamples(uint32_t channel, const int16_t* values, uint32_t count) override;
    void FlushFrame() override;
    // Whether the output stream opened; the conversion runs on without it.
    bool OutputOpen() const { return file.IsOpen(); }
    // False when the file could not be finished (a failed close).
    bool Finish();

  private:
    void PushChunk();
    void PopChunk();

    // Samples of the frame so far, per channel.
    uint32_t filled[2] = {0, 0};
    uint32_t channels;
    uint32_t inputChannels;  // 2 when downmixing
    uint32_t bufferSize;
    uint32_t frameSamples;  // per channel
    // One allocation: the interleaved frame (bufferSize bytes), then each
    // channel's samples (frameSamples each).
    uint8_t* frameBuffer = nullptr;
    int16_t* channelSamples[2] = {};
    FileStream file;
    uint32_t chunkStack[5] = {};
    uint32_t stackDepth = 0;
    bool finished = false;
    bool finishFailed = false;
};

// The parameter record of one conversion. Owns its reader and header.
struct ConversionJob {
    virtual ~ConversionJob();
    FrameReader* reader = nullptr;
    FrameHeader* header = nullptr;
    uint32_t channelChoice = Both;
    uint8_t customScale = 0;
    float scale = OutputScale;
    char outputPath[256] = {};
};

// What the last conversion did, for callers that report it.
struct ConversionStats {
    uint32_t framesRead;     // headers read, the first included
    uint32_t framesDecoded;  // frames that produced samples
    uint32_t framesSkipped;  // frames without enough main data or invalid
    uint32_t outputChannels;
    uint32_t samplingRate;
    bool outputOpened;
    bool outputFinished;      // the file was closed without error
    bool endedAtOtherLayer;   // a Layer I or II frame ended the stream
    bool infoFrame;           // the first frame was an encoder's info frame
    uint32_t infoFrameCount;  // the frame count it gave, 0 if none
};
extern ConversionStats lastConversion;

// Whether the current frame is an encoder's info frame (Xing, Info or
// VBRI), which holds no audio; frames is its frame count, 0 if it has none.
bool IsInfoFrame(const FrameReader& reader, const FrameHeader& header, uint32_t& frames);

// Reads the input's first header, and tells what the input is: Layer3 when
// it begins a stream that ConvertToWav decodes, otherwise why not. The
// installer and the build's check both take their decision here.
StreamKind OpenStream(FrameReader& reader, FrameHeader& header);
// Why an input of that kind is not converted, to follow its name ("boss.mp3
// is MPEG 2.5 audio ..."); null for Layer3 and for Unknown, which is no
// audio that can be named.
const char* RefusalText(StreamKind kind);

// Decodes the job's input, whose first header has been read, into a 16-bit
// PCM .wav file. 0 when decoded to its end, 1 when the output cannot be set up.
int ConvertToWav(ConversionJob& job, ProgressCallback progress);
