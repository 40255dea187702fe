#include "setup/mpeg/conversion.h"

#include <new>

#include "setup/mpeg/mpeg_decoder.h"
#include "setup/mpeg/synthesis.h"

namespace {

// RIFF/WAVE layout: a 46-byte header with an 18-byte format body.
constexpr uint32_t FormatBodySize = 18;
constexpr uint16_t FormatPcm = 1;
constexpr uint16_t BitsPerSample = 16;
constexpr uint32_t SamplesPerFrameMpeg1 = 1152;
constexpr uint32_t ProgressInterval = 16;

void PutLe16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* p, uint32_t value) {
    PutLe16(p, value);
    PutLe16(p + 2, value >> 16);
}

// The objects of the running conversion; emptied when it ends.
struct ConversionSlots {
    SubbandSynthesizer* synthesizer0;
    SubbandSynthesizer* synthesizer1;
    WavWriter* sink;
    MpegDecoder* decoder;
};
ConversionSlots slots;

// The sink for a job: null only when it cannot be allocated.
WavWriter* MakeSink(const ConversionJob& job, uint32_t channels) {
    WavWriter* sink = new (std::nothrow) WavWriter(channels, job);
    if (sink && !sink->Ready()) {
        delete sink;
        return nullptr;
    }
    return sink;
}

void ReleaseSlots() {
    delete slots.sink;  // finishes the .wav file
    delete slots.synthesizer0;
    delete slots.synthesizer1;
    delete slots.decoder;
    slots = ConversionSlots{};
}

}  // namespace

ConversionStats lastConversion;

PcmSink::~PcmSink() = default;

void PcmSink::PutSamples(uint32_t channel, const int16_t* values, uint32_t count) {
    for (uint32_t i = 0; i < count; i++)
        PutSample(channel, values[i]);
}

ConversionJob::~ConversionJob() {
    delete reader;
    delete header;
}

WavWriter::WavWriter(uint32_t channels, const ConversionJob& job)
    : channels(channels == 2 ? 2 : 1) {
    bool mpeg1 = job.header && job.header->versionBit;
    uint32_t rate = job.header ? job.header->SamplingRate() : 0;
    bufferSize = this->channels * SamplesPerFrameMpeg1 * 2;
    if (!mpeg1) bufferSize /= 2;
    frameBuffer = new (std::nothrow) uint8_t[bufferSize];
    if (!frameBuffer) return;

    file.Open(job.outputPath, StreamWrite | StreamModify | StreamAbsolute);
    file.Write("RIFF", 4);
    PushChunk();
    file.Write("WAVEfmt ", 8);
    PushChunk();
    uint8_t format[FormatBodySize];
    PutLe16(format + 0, FormatPcm);
    PutLe16(format + 2, this->channels);
    PutLe32(format + 4, rate);
    PutLe32(format + 8, rate * this->channels * 2);
    PutLe16(format + 12, this->channels * 2);
    PutLe16(format + 14, BitsPerSample);
    PutLe16(format + 16, 0);
    file.Write(format, FormatBodySize);
    PopChunk();
    file.Write("data", 4);
    PushChunk();
    writePosition[0] = 0;
    writePosition[1] = 2;
}

WavWriter::~WavWriter() {
    Finish();
    delete[] frameBuffer;
}

bool WavWriter::Finish() {
    if (finished) return !finishFailed;
    finished = true;
    if (frameBuffer) {
        PopChunk();  // data length
        PopChunk();  // RIFF length
    }
    if (file.IsOpen() && !file.Close()) finishFailed = true;
    return !finishFailed;
}

void WavWriter::PushChunk() {
    if (stackDepth < 5) chunkStack[stackDepth++] = static_cast<uint32_t>(file.Tell());
    file.SeekRelative(4);
}

void WavWriter::PopChunk() {
    if (stackDepth == 0) return;
    uint32_t start = chunkStack[--stackDepth];
    uint32_t end = static_cast<uint32_t>(file.Tell());
    file.SeekTo(start);
    file.WriteU32(end - start - 4);
    file.SeekTo(end);
}

void WavWriter::PutSample(uint32_t channel, int16_t value) {
    uint32_t& position = writePosition[channel & 1];
    if (position + 2 > bufferSize) return;
    PutLe16(frameBuffer + position, static_cast<uint16_t>(value));
    position += 2 * channels;
}

void WavWriter::PutSamples(uint32_t channel, const int16_t* values, uint32_t count) {
    uint32_t& position = writePosition[channel & 1];
    const uint32_t step = 2 * channels;
    uint32_t room = position < bufferSize ? (bufferSize - position + step - 2) / step : 0;
    if (count > room) count = room;
    uint8_t* out = frameBuffer + position;
    for (uint32_t i = 0; i < count; i++, out += step) {
        uint16_t v = static_cast<uint16_t>(values[i]);
        out[0] = static_cast<uint8_t>(v);
        out[1] = static_cast<uint8_t>(v >> 8);
    }
    position += count * step;
}

void WavWriter::FlushFrame() {
    file.Write(frameBuffer, bufferSize);
    writePosition[0] = 0;
    writePosition[1] = 2;
}

int ConvertToWav(ConversionJob& job, ProgressCallback progress) {
    lastConversion = ConversionStats{};
    if (!job.reader || !job.header) return 1;
    FrameReader& reader = *job.reader;
    FrameHeader& header = *job.header;

    const bool singleChannel = header.SingleChannel();
    uint32_t choice = job.channelChoice <= Downmix ? job.channelChoice : Both;
    if (singleChannel) choice = LeftOnly;
    const float scale = job.customScale ? job.scale : OutputScale;
    const bool stereoOutput = !singleChannel && choice == Both;

    slots.synthesizer0 = new (std::nothrow) SubbandSynthesizer(0, scale);
    if (stereoOutput) slots.synthesizer1 = new (std::nothrow) SubbandSynthesizer(1, scale);
    if (!slots.synthesizer0 || (stereoOutput && !slots.synthesizer1)) {
        ReleaseSlots();
        return 1;
    }
    slots.sink = MakeSink(job, stereoOutput ? 2 : 1);
    if (!slots.sink) {
        ReleaseSlots();
        return 1;
    }
    slots.decoder = new (std::nothrow)
        MpegDecoder(reader, header, slots.synthesizer0, slots.synthesizer1, *slots.sink, choice);
    if (!slots.decoder) {
        ReleaseSlots();
        return 1;
    }
    lastConversion.outputChannels = stereoOutput ? 2 : 1;
    lastConversion.samplingRate = header.SamplingRate();
    lastConversion.outputOpened = slots.sink->OutputOpen();

    for (;;) {
        lastConversion.framesRead++;
        // Only Layer III is decoded: another layer ends the stream here.
        if (header.layer != 3) {
            lastConversion.endedAtOtherLayer = true;
            break;
        }
        if (progress && reader.frameCounter % ProgressInterval == 0) {
            uint32_t estimate = header.EstimateFrameCount(reader);
            float fraction = estimate ? static_cast<float>(reader.frameCounter) / estimate : 0.0f;
            progress(fraction < 1.0f ? fraction : 1.0f);
        }
        if (slots.decoder->DecodeFrame()) lastConversion.framesDecoded++;
        if (!header.ReadHeader(reader)) break;
    }
    lastConversion.framesSkipped = slots.decoder->FramesSkipped();
    lastConversion.outputOpened = slots.sink->OutputOpen();
    lastConversion.outputFinished = slots.sink->Finish();
    ReleaseSlots();
    return 0;
}
