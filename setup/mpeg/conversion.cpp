#include "setup/mpeg/conversion.h"

#include <cstring>
#include <initializer_list>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "setup/mpeg/mpeg_decoder.h"
#include "setup/mpeg/synthesis.h"

namespace {

// RIFF/WAVE layout: a 46-byte header with an 18-byte format body.
constexpr uint32_t FormatBodySize = 18;
constexpr uint16_t FormatPcm = 1;
constexpr uint16_t BitsPerSample = 16;
constexpr uint32_t SamplesPerFrameMpeg1 = 1152;
constexpr uint32_t ProgressInterval = 16;

// Encoder info frames, offsets in the frame body (after the header): the
// Xing/Info block follows the side information, with big-endian flags and,
// when flag 1 is set, the frame count; VBRI stands at 32 with its frame
// count 14 bytes on.
constexpr uint32_t XingFlagsOffset = 4;
constexpr uint32_t XingFramesOffset = 8;
constexpr uint32_t XingHasFrames = 1;
constexpr uint32_t VbriOffset = 32;
constexpr uint32_t VbriFramesOffset = 14;

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
WavWriter* MakeSink(const ConversionJob& job, uint32_t channels, bool downmix) {
    WavWriter* sink = new (std::nothrow) WavWriter(channels, job, downmix);
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

ConversionJob::~ConversionJob() {
    delete reader;
    delete header;
}

WavWriter::WavWriter(uint32_t channels, const ConversionJob& job, bool downmix)
    : channels(channels == 2 ? 2 : 1), inputChannels(channels == 2 || downmix ? 2 : 1) {
    bool mpeg1 = job.header && job.header->versionBit;
    uint32_t rate = job.header ? job.header->SamplingRate() : 0;
    frameSamples = mpeg1 ? SamplesPerFrameMpeg1 : SamplesPerFrameMpeg1 / 2;
    bufferSize = this->channels * frameSamples * 2;
    // Room for the interleaved frame and two channels of samples, each part
    // on a 16-byte boundary.
    frameBuffer = new (std::nothrow) uint8_t[bufferSize + 2 * frameSamples * 2 + 16];
    if (!frameBuffer) return;
    uintptr_t end = reinterpret_cast<uintptr_t>(frameBuffer + bufferSize);
    channelSamples[0] = reinterpret_cast<int16_t*>((end + 15) & ~uintptr_t(15));
    channelSamples[1] = channelSamples[0] + frameSamples;
    std::memset(channelSamples[0], 0, 2 * frameSamples * 2);

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
    PutSamples(channel, &value, 1);
}

void WavWriter::PutSamples(uint32_t channel, const int16_t* values, uint32_t count) {
    if (channel >= inputChannels) return;
    uint32_t& position = filled[channel];
    if (count > frameSamples - position) count = frameSamples - position;
    std::memcpy(channelSamples[channel] + position, values, count * sizeof(int16_t));
    position += count;
}

void WavWriter::FlushFrame() {
    uint8_t* out = frameBuffer;
    const int16_t* left = channelSamples[0];
    const int16_t* right = channelSamples[1];
    uint32_t i = 0;
    if (channels == 2) {
#if defined(__SSE2__)
        // x86 is little-endian: interleaving the 16-bit values is the format.
        for (; i + 8 <= frameSamples; i += 8, out += 32) {
            __m128i l = _mm_load_si128(reinterpret_cast<const __m128i*>(left + i));
            __m128i r = _mm_load_si128(reinterpret_cast<const __m128i*>(right + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(l, r));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(l, r));
        }
#endif
        for (; i < frameSamples; i++, out += 4) {
            PutLe16(out, static_cast<uint16_t>(left[i]));
            PutLe16(out + 2, static_cast<uint16_t>(right[i]));
        }
    } else {
        if (inputChannels == 2) {
            // Downmix: the mean, truncated toward zero like every sample.
            int16_t* mixed = channelSamples[0];
            for (uint32_t k = 0; k < frameSamples; k++)
                mixed[k] = static_cast<int16_t>((int32_t(left[k]) + int32_t(right[k])) / 2);
        }
#if defined(__SSE2__)
        std::memcpy(out, left, frameSamples * 2);
        i = frameSamples;
#endif
        for (; i < frameSamples; i++, out += 2)
            PutLe16(out, static_cast<uint16_t>(left[i]));
    }
    file.Write(frameBuffer, bufferSize);
    filled[0] = filled[1] = 0;
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
    const bool downmix = !singleChannel && choice == Downmix;

    slots.synthesizer0 = new (std::nothrow) SubbandSynthesizer(0, scale);
    if (stereoOutput || downmix)
        slots.synthesizer1 = new (std::nothrow) SubbandSynthesizer(1, scale);
    if (!slots.synthesizer0 || ((stereoOutput || downmix) && !slots.synthesizer1)) {
        ReleaseSlots();
        return 1;
    }
    slots.sink = MakeSink(job, stereoOutput ? 2 : 1, downmix);
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

    // Progress runs over the bytes from the first frame to the end of the
    // input, or over the info frame's frame count when there is one; it
    // never goes back.
    const uint32_t streamStart = reader.HeaderPosition();
    const uint32_t streamBytes =
        reader.InputSize() > streamStart ? reader.InputSize() - streamStart : 0;
    float reported = 0.0f;
    for (;;) {
        lastConversion.framesRead++;
        // Only Layer III is decoded: another layer ends the stream here.
        if (header.layer != 3) {
            lastConversion.endedAtOtherLayer = true;
            break;
        }
        if (progress && reader.frameCounter % ProgressInterval == 0) {
            float fraction;
            if (lastConversion.infoFrameCount) {
                fraction = static_cast<float>(reader.frameCounter) / lastConversion.infoFrameCount;
            } else {
                uint32_t done = reader.HeaderPosition() - streamStart;
                fraction = streamBytes ? static_cast<float>(done) / streamBytes : 0.0f;
            }
            if (fraction > 1.0f) fraction = 1.0f;
            if (fraction > reported) reported = fraction;
            progress(reported);
        }
        // An encoder's info frame carries no audio; every other decoder
        // leaves it out. Its encoder delay and padding are not trimmed:
        // the output keeps every decoded sample.
        uint32_t infoFrames = 0;
        if (reader.frameCounter == 0 && IsInfoFrame(reader, header, infoFrames)) {
            lastConversion.infoFrame = true;
            lastConversion.infoFrameCount = infoFrames;
        } else if (slots.decoder->DecodeFrame()) {
            lastConversion.framesDecoded++;
        }
        if (!header.ReadHeader(reader)) break;
    }
    if (progress) progress(1.0f);
    lastConversion.framesSkipped = slots.decoder->FramesSkipped();
    lastConversion.outputOpened = slots.sink->OutputOpen();
    lastConversion.outputFinished = slots.sink->Finish();
    ReleaseSlots();
    return 0;
}

StreamKind OpenStream(FrameReader& reader, FrameHeader& header) {
    StreamKind kind = StreamKind::Unknown;
    if (header.ReadHeader(reader)) {
        if (header.layer == 3) return StreamKind::Layer3;
        kind = header.layer == 1 ? StreamKind::Layer1 : StreamKind::Layer2;
    }
    // A signature or an MPEG 2.5 stream says more than a header found in
    // the middle of other data.
    StreamKind foreign = reader.ForeignKind();
    return foreign != StreamKind::Unknown ? foreign : kind;
}

const char* RefusalText(StreamKind kind) {
    switch (kind) {
        case StreamKind::RiffWave:
            return "is a RIFF/WAVE file, not MP3 audio, which Setup cannot convert";
        case StreamKind::Ogg:
            return "is an Ogg file, not MP3 audio, which Setup cannot convert";
        case StreamKind::Mpeg25:
            return "is MPEG 2.5 audio (8, 11 or 12 kHz), which Setup cannot convert";
        case StreamKind::Layer1:
            return "is MPEG Layer I audio, which Setup cannot convert";
        case StreamKind::Layer2:
            return "is MPEG Layer II audio, which Setup cannot convert";
        case StreamKind::Layer3:
        case StreamKind::Unknown:
        default:
            return nullptr;
    }
}

bool IsInfoFrame(const FrameReader& reader, const FrameHeader& header, uint32_t& frames) {
    frames = 0;
    const uint8_t* body = reader.FrameBody();
    const uint32_t size = reader.FrameBodySize();
    auto u32At = [body](uint32_t at) {
        return (uint32_t(body[at]) << 24) | (uint32_t(body[at + 1]) << 16) |
               (uint32_t(body[at + 2]) << 8) | body[at + 3];
    };
    // Xing or Info just after the side information; encoders place it there
    // whether or not a check word comes first, some counting the check word.
    const uint32_t sideInfo = SideInfoSize(header.versionBit, header.SingleChannel());
    for (uint32_t xing : {sideInfo, sideInfo + (header.protectionBit ? 0u : 2u)}) {
        if (size >= xing + XingFramesOffset + 4 && (std::memcmp(body + xing, "Xing", 4) == 0 ||
                                                    std::memcmp(body + xing, "Info", 4) == 0)) {
            if (u32At(xing + XingFlagsOffset) & XingHasFrames)
                frames = u32At(xing + XingFramesOffset);
            return true;
        }
    }
    if (size >= VbriOffset + VbriFramesOffset + 4 &&
        std::memcmp(body + VbriOffset, "VBRI", 4) == 0) {
        frames = u32At(VbriOffset + VbriFramesOffset);
        return true;
    }
    return false;
}
