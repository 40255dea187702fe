#include "setup/mpeg/frame_reader.h"

#include <cstring>

namespace {

// Header bit fields, most significant bit first as the bytes come.
constexpr uint32_t VersionShift = 19;
constexpr uint32_t LayerShift = 17;
constexpr uint32_t ProtectionShift = 16;
constexpr uint32_t BitrateShift = 12;
constexpr uint32_t SamplingShift = 10;
constexpr uint32_t PaddingShift = 9;
constexpr uint32_t ModeShift = 6;
constexpr uint32_t ModeExtensionShift = 4;
// Sync bits, version bit and sampling frequency: what every frame shares.
constexpr uint32_t SyncPatternMask = 0xFFF80C00u;

// Kilobits per second by [version bit][layer - 1][index].
const uint16_t BitrateTable[2][3][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
};

const uint32_t SamplingRateTable[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};

uint32_t Field(uint32_t word, uint32_t shift, uint32_t bits) {
    return (word >> shift) & ((1u << bits) - 1);
}

}  // namespace

uint32_t BitrateOf(uint32_t versionBit, uint32_t layer, uint32_t index) {
    if (layer < 1 || layer > 3 || index > 15) return 0;
    return BitrateTable[versionBit & 1][layer - 1][index] * 1000u;
}

uint32_t SamplingRateOf(uint32_t versionBit, uint32_t index) {
    return index < 3 ? SamplingRateTable[versionBit & 1][index] : 0;
}

uint32_t SideInfoSize(uint32_t versionBit, bool singleChannel) {
    if (versionBit) return singleChannel ? 17 : 32;
    return singleChannel ? 9 : 17;
}

FrameReader::FrameReader(const char* name) {
    Open(name, StreamRead);
}

FrameReader::~FrameReader() {
    Close();
}

bool FrameReader::FindHeader(uint32_t& word, bool strict) {
    uint8_t b[4];
    for (;;) {
        if (Read(b, 4) < 4) return false;
        bool match;
        if (!strict) {
            match = b[0] == 0xFF && (b[1] & 0xF0) == 0xF0;
        } else {
            bool mono = (b[3] >> 6) == ModeSingleChannel;
            match = b[0] == (syncPattern >> 24) && (b[1] & 0xF8) == ((syncPattern >> 16) & 0xFF) &&
                    (b[2] & 0x0C) == ((syncPattern >> 8) & 0xFF) && mono == singleChannel;
        }
        if (match) break;
        // Try again one byte further on. The backends report a seek's
        // success differently, so judge it by the position.
        int32_t before = Tell();
        SeekRelative(-3);
        if (Tell() != before - 3) return false;
    }
    word = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
    frameCounter++;
    return true;
}

void FrameReader::SetSyncPattern(uint32_t word) {
    syncPattern = word & SyncPatternMask;
    singleChannel = Field(word, ModeShift, 2) == ModeSingleChannel;
}

bool FrameReader::ReadFrame(uint32_t n) {
    if (n > sizeof frameBytes) n = sizeof frameBytes;
    uint32_t got = Read(frameBytes, n);
    frameBodySize = n;
    uint32_t words = (n + 3) / 4;
    for (uint32_t i = 0; i < words; i++) {
        const uint8_t* bytes = frameBytes + 4 * i;
        FrameBuffer[i] = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) |
                         (uint32_t(bytes[2]) << 8) | bytes[3];
    }
    wordCursor = FrameBuffer;
    bitIndex = 0;
    return got == n;
}

uint32_t FrameReader::ReadBytes(uint8_t* out, uint32_t n) {
    uint32_t byte = static_cast<uint32_t>(wordCursor - FrameBuffer) * 4 + bitIndex / 8;
    uint32_t available = sizeof frameBytes - byte;
    if (n > available) n = available;
    std::memcpy(out, frameBytes + byte, n);
    byte += n;
    wordCursor = FrameBuffer + byte / 4;
    bitIndex = (byte % 4) * 8;
    if (wordCursor > FrameBuffer + FrameBufferWords - 2) {
        wordCursor = FrameBuffer + FrameBufferWords - 2;
        bitIndex = 0;
    }
    return n;
}

bool FrameHeader::ReadHeader(FrameReader& reader) {
    uint32_t word;
    if (!syncKnown) {
        if (!reader.FindHeader(word, false)) return false;
        versionBit = Field(word, VersionShift, 1);
        samplingFrequencyIndex = Field(word, SamplingShift, 2);
        if (samplingFrequencyIndex == 3) return false;
        reader.SetSyncPattern(word);
        syncKnown = true;
    } else if (!reader.FindHeader(word, true)) {
        return false;
    }
    layer = (4 - Field(word, LayerShift, 2)) % 4;
    protectionBit = Field(word, ProtectionShift, 1);
    bitrateIndex = Field(word, BitrateShift, 4);
    paddingBit = Field(word, PaddingShift, 1);
    mode = Field(word, ModeShift, 2);
    modeExtension = Field(word, ModeExtensionShift, 2);

    // Free format, the forbidden index and the reserved layer give no frame
    // length: the stream ends here.
    uint32_t bitrate = BitrateOf(versionBit, layer, bitrateIndex);
    if (layer == 0 || bitrate == 0) return false;
    uint32_t rate = SamplingRate();
    uint32_t length;
    if (layer == 1) {
        length = 4 * (12 * bitrate / rate + paddingBit);
        mainDataSize = 0;
    } else {
        length = 144 * bitrate / rate;
        if (versionBit == 0) length /= 2;
        length += paddingBit;
    }
    frameBodySize = length - 4;
    if (layer == 3) {
        uint32_t overhead = (protectionBit ? 0 : 2) + SideInfoSize(versionBit, SingleChannel());
        if (frameBodySize < overhead) return false;
        mainDataSize = frameBodySize - overhead;
    } else {
        mainDataSize = 0;
    }
    if (!reader.ReadFrame(frameBodySize)) return false;
    if (protectionBit == 0) reader.GetBits(16);  // check word, not verified
    return true;
}

uint32_t FrameHeader::EstimateFrameCount(FrameReader& reader) {
    uint32_t unpadded = frameBodySize + 4 - paddingBit;
    return unpadded ? reader.Size() / unpadded : 0;
}

uint32_t FrameHeader::SamplingRate() const {
    return SamplingRateOf(versionBit, samplingFrequencyIndex);
}

BitReservoir::BitReservoir() = default;

void BitReservoir::CopyBytes(uint32_t byte, uint8_t* out, uint32_t n) const {
    uint32_t slot = byte & (ReservoirSize - 1);
    uint32_t first = ReservoirSize - slot < n ? ReservoirSize - slot : n;
    std::memcpy(out, ring + slot, first);
    if (n > first) std::memcpy(out + first, ring, n - first);
}

void BitReservoir::PutBytes(const uint8_t* bytes, uint32_t n) {
    while (n > 0) {
        uint32_t part = ReservoirSize - writeIndex < n ? ReservoirSize - writeIndex : n;
        std::memcpy(ring + writeIndex, bytes, part);
        writeIndex = (writeIndex + part) & (ReservoirSize - 1);
        bytes += part;
        n -= part;
    }
    std::memcpy(ring + ReservoirSize, ring, RingMirror);
}

void BitReservoir::ClearAhead() {
    uint32_t first =
        ReservoirSize - writeIndex < ClearAheadBytes ? ReservoirSize - writeIndex : ClearAheadBytes;
    std::memset(ring + writeIndex, 0, first);
    std::memset(ring, 0, ClearAheadBytes - first);
    std::memcpy(ring + ReservoirSize, ring, RingMirror);
}
