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

// Tags: the ID3v2 header (and footer) is 10 bytes, its size syncsafe in
// bytes 6 to 9; ID3v1 is 128 bytes; "LYRICSBEGIN" is the longest signature.
constexpr uint32_t Id3v2HeaderSize = 10;
constexpr uint8_t Id3v2FooterFlag = 0x10;
constexpr uint32_t Id3v1Size = 128;
constexpr uint32_t TagProbeSize = 11;
// Bytes the first header search looks at per read.
constexpr uint32_t SearchWindow = 4096;

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

namespace {

// The frame length in bytes from a header's fields; 0 when one is missing.
// The low sampling frequencies halve only Layer III's frame (576 samples);
// Layers I and II keep their sample counts there.
uint32_t LengthFromFields(uint32_t layer, uint32_t bitrate, uint32_t rate, uint32_t padding,
                          bool lowRates) {
    if (layer == 0 || bitrate == 0 || rate == 0) return 0;
    if (layer == 1) return 4 * (12 * bitrate / rate + padding);
    uint32_t length = 144 * bitrate / rate;
    if (lowRates && layer == 3) length /= 2;
    return length + padding;
}

}  // namespace

uint32_t FrameLengthOf(uint32_t word) {
    uint32_t version = Field(word, VersionShift, 1);
    uint32_t layer = (4 - Field(word, LayerShift, 2)) % 4;
    uint32_t bitrate = BitrateOf(version, layer, Field(word, BitrateShift, 4));
    uint32_t rate = SamplingRateOf(version, Field(word, SamplingShift, 2));
    return LengthFromFields(layer, bitrate, rate, Field(word, PaddingShift, 1), version == 0);
}

uint32_t Mpeg25FrameLengthOf(uint32_t word) {
    // Sync of 11 bits, then version bits 00.
    if ((word & 0xFFF80000u) != 0xFFE00000u) return 0;
    static const uint32_t rates[3] = {11025, 12000, 8000};
    uint32_t index = Field(word, SamplingShift, 2);
    uint32_t layer = (4 - Field(word, LayerShift, 2)) % 4;
    uint32_t bitrate = BitrateOf(0, layer, Field(word, BitrateShift, 4));
    return LengthFromFields(layer, bitrate, index < 3 ? rates[index] : 0,
                            Field(word, PaddingShift, 1), true);
}

uint32_t SideInfoSize(uint32_t versionBit, bool singleChannel) {
    if (versionBit) return singleChannel ? 17 : 32;
    return singleChannel ? 9 : 17;
}

FrameReader::FrameReader(const char* name) {
    if (Open(name, StreamRead)) inputSize = Size();
}

FrameReader::~FrameReader() {
    Close();
}

uint32_t FrameReader::ReadAt(uint32_t position, uint8_t* bytes, uint32_t n) {
    if (!MoveTo(position)) return 0;
    return Read(bytes, n);
}

bool FrameReader::MoveTo(uint32_t position) {
    // The backends report a seek's success differently: judge it by the
    // position.
    SeekTo(position);
    return Tell() == static_cast<int32_t>(position);
}

FrameReader::TagKind FrameReader::TagAt(uint32_t position, const uint8_t* bytes, uint32_t n,
                                        uint32_t& skip) const {
    if (n >= Id3v2HeaderSize && std::memcmp(bytes, "ID3", 3) == 0 && bytes[3] >= 2 &&
        bytes[3] <= 4 && bytes[4] != 0xFF && (bytes[6] | bytes[7] | bytes[8] | bytes[9]) < 0x80) {
        uint32_t size = (uint32_t(bytes[6]) << 21) | (uint32_t(bytes[7]) << 14) |
                        (uint32_t(bytes[8]) << 7) | bytes[9];
        skip = Id3v2HeaderSize + size + ((bytes[5] & Id3v2FooterFlag) ? Id3v2HeaderSize : 0);
        return TagKind::Skip;
    }
    // ID3v1 is the last 128 bytes; APE and Lyrics3 tags stand before it.
    if (n >= 3 && std::memcmp(bytes, "TAG", 3) == 0 && position + Id3v1Size == inputSize)
        return TagKind::End;
    if (n >= 8 && std::memcmp(bytes, "APETAGEX", 8) == 0) return TagKind::End;
    if (n >= 11 && std::memcmp(bytes, "LYRICSBEGIN", 11) == 0) return TagKind::End;
    return TagKind::None;
}

bool FrameReader::Confirmed(uint32_t position, uint32_t word, uint32_t length,
                            uint32_t (*lengthOf)(uint32_t)) {
    uint32_t next = position + length;
    if (next == inputSize) return true;
    if (next > inputSize) return false;
    uint8_t b[TagProbeSize];
    uint32_t n = ReadAt(next, b, TagProbeSize);
    uint32_t skip;
    if (TagAt(next, b, n, skip) != TagKind::None) return true;
    if (n < 4) return false;
    // Sync, version and layer in the second byte (not the protection bit),
    // and the sampling frequency.
    uint32_t following =
        (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
    return b[0] == 0xFF && (b[1] & 0xFE) == ((word >> 16) & 0xFE) &&
           (b[2] & 0x0C) == ((word >> 8) & 0x0C) && lengthOf(following) != 0;
}

StreamKind FrameReader::ForeignKind() {
    uint8_t b[SearchWindow + TagProbeSize];
    uint32_t n = ReadAt(0, b, 12);
    if (n >= 12 && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WAVE", 4) == 0)
        return StreamKind::RiffWave;
    if (n >= 4 && std::memcmp(b, "OggS", 4) == 0) return StreamKind::Ogg;
    // Past the tags at the start, an MPEG 2.5 stream shows in its first
    // window: its frames are at most 1441 bytes long.
    uint32_t position = 0;
    for (uint32_t tags = 0; tags < 8; tags++) {
        uint32_t skip = 0;
        n = ReadAt(position, b, TagProbeSize);
        if (TagAt(position, b, n, skip) != TagKind::Skip || skip > inputSize - position) break;
        position += skip;
    }
    n = ReadAt(position, b, SearchWindow);
    for (uint32_t i = 0; i + 4 <= n; i++) {
        if (b[i] != 0xFF || (b[i + 1] & 0xF8) != 0xE0) continue;
        uint32_t word = (uint32_t(b[i]) << 24) | (uint32_t(b[i + 1]) << 16) |
                        (uint32_t(b[i + 2]) << 8) | b[i + 3];
        uint32_t length = Mpeg25FrameLengthOf(word);
        // Two frames, not one followed by the end: a chance match in other
        // data rarely has a second header where its length says.
        if (length != 0 && position + i + length < inputSize &&
            Confirmed(position + i, word, length, Mpeg25FrameLengthOf))
            return StreamKind::Mpeg25;
    }
    return StreamKind::Unknown;
}

bool FrameReader::FindFirstHeader(uint32_t& word) {
    int32_t told = Tell();
    if (told < 0) return false;
    uint32_t position = static_cast<uint32_t>(told);
    // The search reads a window at a time and seeks only to look at what
    // follows a candidate, so that long stretches of noise go quickly.
    uint8_t window[SearchWindow + TagProbeSize];
    for (;;) {
        uint32_t n = ReadAt(position, window, sizeof window);
        if (n < 4) return false;
        const bool last = n < sizeof window;
        // Candidates of this window: each has its probe's bytes in it, or
        // (the last window) at least a header's.
        const uint32_t candidates = last ? n - 3 : SearchWindow;
        uint32_t next = position + candidates;
        for (uint32_t i = 0; i < candidates; i++) {
            const uint8_t* b = window + i;
            const uint32_t at = position + i;
            if (b[0] == 'I' || b[0] == 'T' || b[0] == 'A' || b[0] == 'L') {
                uint32_t skip = 0;
                uint32_t probe = n - i < TagProbeSize ? n - i : TagProbeSize;
                TagKind kind = TagAt(at, b, probe, skip);
                if (kind == TagKind::End) return false;
                if (kind == TagKind::Skip) {
                    // A tag that runs past the input leaves no stream.
                    if (skip > inputSize - at) return false;
                    next = at + skip;
                    break;
                }
            }
            if (b[0] != 0xFF || (b[1] & 0xF0) != 0xF0) continue;
            uint32_t candidate =
                (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
            uint32_t length = FrameLengthOf(candidate);
            uint32_t freeLength = 0;
            if ((length != 0 && Confirmed(at, candidate, length, FrameLengthOf)) ||
                (length == 0 && FreeFormatConfirmed(at, candidate, freeLength))) {
                freeFormatLength = freeLength;
                if (!MoveTo(at + 4)) return false;
                word = candidate;
                headerPosition = at;
                return true;
            }
        }
        if (last && next == position + candidates) return false;
        position = next;
    }
}

bool FrameReader::FreeFormatConfirmed(uint32_t position, uint32_t word, uint32_t& length) {
    const uint32_t layer = (4 - Field(word, LayerShift, 2)) % 4;
    const uint32_t version = Field(word, VersionShift, 1);
    if (layer != 3 || Field(word, BitrateShift, 4) != 0 ||
        SamplingRateOf(version, Field(word, SamplingShift, 2)) == 0)
        return false;
    const bool mono = Field(word, ModeShift, 2) == ModeSingleChannel;
    // What every header of the stream shares: sync, version, layer,
    // bitrate index 0, sampling frequency and whether it is single channel.
    auto sameStream = [&](const uint8_t* b) {
        return b[0] == 0xFF && (b[1] & 0xFE) == ((word >> 16) & 0xFE) && (b[2] & 0xF0) == 0 &&
               (b[2] & 0x0C) == ((word >> 8) & 0x0C) && ((b[3] >> 6) == ModeSingleChannel) == mono;
    };
    const uint32_t padding = Field(word, PaddingShift, 1);
    // The next header comes after the side information at the earliest and
    // no further than the longest frame the buffer holds.
    const uint32_t shortest =
        4 + SideInfoSize(version, mono) + (Field(word, ProtectionShift, 1) ? 0 : 2);
    uint8_t b[MaxFreeFormatLength + 4];
    uint32_t n = ReadAt(position, b, sizeof b);
    for (uint32_t d = shortest; d + 4 <= n; d++) {
        if (!sameStream(b + d)) continue;
        uint32_t unpadded = d - padding;
        if (unpadded < shortest || unpadded + 1 > MaxFreeFormatLength) continue;
        // The third header where the length says, or the input's end, or a
        // tag: a chance match inside the main data seldom has one.
        uint32_t third = position + d + unpadded + ((b[d + 2] >> 1) & 1);
        if (third > inputSize) continue;
        if (third < inputSize) {
            uint8_t c[TagProbeSize];
            uint32_t got = ReadAt(third, c, TagProbeSize);
            uint32_t skip;
            if (!(got >= 4 && sameStream(c)) && TagAt(third, c, got, skip) == TagKind::None)
                continue;
        }
        length = unpadded;
        return true;
    }
    return false;
}

bool FrameReader::FindHeader(uint32_t& word, bool strict) {
    if (!strict) {
        if (!FindFirstHeader(word)) return false;
        frameCounter++;
        return true;
    }
    uint8_t b[4];
    for (;;) {
        if (Read(b, 4) < 4) return false;
        bool mono = (b[3] >> 6) == ModeSingleChannel;
        bool match = b[0] == (syncPattern >> 24) && (b[1] & 0xF8) == ((syncPattern >> 16) & 0xFF) &&
                     (b[2] & 0x0C) == ((syncPattern >> 8) & 0xFF) && mono == singleChannel;
        if (match) break;
        int32_t before = Tell();
        if (before < 4) return false;
        uint32_t position = static_cast<uint32_t>(before) - 4;
        // Tags between or after the frames are no audio: look closer only
        // when the bytes could begin one.
        if ((b[0] == 'I' && b[1] == 'D') || (b[0] == 'T' && b[1] == 'A') ||
            (b[0] == 'A' && b[1] == 'P') || (b[0] == 'L' && b[1] == 'Y')) {
            uint8_t probe[TagProbeSize];
            uint32_t n = ReadAt(position, probe, TagProbeSize);
            uint32_t skip = 0;
            TagKind kind = TagAt(position, probe, n, skip);
            if (kind == TagKind::End) return false;
            if (kind == TagKind::Skip) {
                if (skip > inputSize - position || !MoveTo(position + skip)) return false;
                continue;
            }
        }
        // Try again one byte further on.
        if (!MoveTo(position + 1)) return false;
    }
    headerPosition = static_cast<uint32_t>(Tell()) - 4;
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

    // The forbidden index and the reserved layer give no frame length, nor
    // does free format outside a free-format stream: the stream ends here.
    uint32_t length = FrameLengthOf(word);
    if (length == 0 && bitrateIndex == 0 && layer == 3 && reader.FreeFormatLength() != 0)
        length = reader.FreeFormatLength() + paddingBit;
    if (length == 0) return false;
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
