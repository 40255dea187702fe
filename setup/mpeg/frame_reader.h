// Reading an MPEG audio file frame by frame: the header search, the frame
// header with its sizes, bit reading from the frame body, and the Layer III
// bit reservoir.
#pragma once

#include <cstdint>

#include "setup/media/file_stream.h"

// The largest frame a free-format Layer III stream may have here: 640 kbit/s
// at 32 kHz, padded (the frame of a valid header with a bitrate is at most
// 1729 bytes: Layer II, 384 kbit/s, 32 kHz, padded).
constexpr uint32_t MaxFreeFormatLength = 2881;
// Room for that frame's body; one spare word lets a read join two halves.
constexpr uint32_t FrameBufferWords = (MaxFreeFormatLength - 4 + 3) / 4 + 1;

// What a file holds, as far as its first bytes and headers tell: Layer3 is
// the stream the decoder takes; the others name what it cannot take.
enum class StreamKind : uint8_t { Layer3, Unknown, RiffWave, Ogg, Mpeg25, Layer1, Layer2 };

class FrameReader : public FileStream {
  public:
    explicit FrameReader(const char* name);
    ~FrameReader() override;

    // Finds the next header, stepping one byte on a mismatch. The first one
    // (not strict) must be confirmed: the next frame's header follows where
    // its length says, or the input or a tag begins there. A free-format
    // first header (bitrate index 0) has no length: it is confirmed by the
    // next header of the same fixed fields, which sets the stream's frame
    // length, and by a third where that length says. Later ones are
    // tested strictly against the sync pattern. ID3v2 tags are stepped over
    // by their size; an ID3v1, APE or Lyrics3 tag ends the stream.
    bool FindHeader(uint32_t& word, bool strict);
    void SetSyncPattern(uint32_t word);
    // Loads the n-byte frame body; false on a short read.
    bool ReadFrame(uint32_t n);
    // The next n (1 to 17) bits of the frame body, first bit most significant.
    uint32_t GetBits(uint32_t n) {
        uint32_t s = bitIndex + n;
        uint32_t mask = (1u << n) - 1;
        if (s <= 32) {
            uint32_t value = (*wordCursor >> (32 - s)) & mask;
            bitIndex = s;
            if (s == 32) {
                bitIndex = 0;
                AdvanceCursor();
            }
            return value;
        }
        uint32_t joined = (*wordCursor << 16) | (wordCursor[1] >> 16);
        AdvanceCursor();
        bitIndex = s - 32;
        return (joined >> (48 - s)) & mask;
    }
    int32_t frameCounter = -1;  // index of the last header found
    // Where the last header found begins, and the input's size in bytes.
    uint32_t HeaderPosition() const { return headerPosition; }
    uint32_t InputSize() const { return inputSize; }
    // A free-format stream's frame length without the padding byte; 0 for a
    // stream whose headers give their lengths.
    uint32_t FreeFormatLength() const { return freeFormatLength; }
    // The current frame body's bytes as they came.
    const uint8_t* FrameBody() const { return frameBytes; }
    uint32_t FrameBodySize() const { return frameBodySize; }

    // What the file is when it is no MPEG-1 or MPEG-2 stream: a RIFF/WAVE or
    // Ogg file by its signature, an MPEG 2.5 stream by two headers in a row
    // near its start; Unknown otherwise. Moves the stream position.
    StreamKind ForeignKind();

    // Copies the next n bytes of the frame body; the bit position must be
    // at a byte boundary. Stops at the end of the frame buffer.
    uint32_t ReadBytes(uint8_t* out, uint32_t n);

  private:
    // What begins at position: a tag to step over (its whole length in
    // skip), one that ends the stream, or neither.
    enum class TagKind { None, Skip, End };
    TagKind TagAt(uint32_t position, const uint8_t* bytes, uint32_t n, uint32_t& skip) const;
    // Reads up to n bytes at position; the stream is left there plus what came.
    uint32_t ReadAt(uint32_t position, uint8_t* bytes, uint32_t n);
    bool MoveTo(uint32_t position);
    // Whether the header word at position is followed, length bytes on, by
    // another of the same stream (lengthOf gives it a length), the input's
    // end or a tag.
    bool Confirmed(uint32_t position, uint32_t word, uint32_t length,
                   uint32_t (*lengthOf)(uint32_t));
    bool FindFirstHeader(uint32_t& word);
    // Whether the free-format header word at position begins a stream; its
    // frame length without padding in length.
    bool FreeFormatConfirmed(uint32_t position, uint32_t word, uint32_t& length);

    void AdvanceCursor() {
        if (wordCursor < FrameBuffer + FrameBufferWords - 2) wordCursor++;
    }

    uint32_t FrameBuffer[FrameBufferWords] = {};
    // The body's bytes as they came, for ReadBytes.
    uint8_t frameBytes[FrameBufferWords * 4] = {};
    uint32_t frameBodySize = 0;
    uint32_t* wordCursor = FrameBuffer;
    uint32_t bitIndex = 0;
    uint32_t syncPattern = 0;
    bool singleChannel = false;
    uint32_t headerPosition = 0;
    uint32_t inputSize = 0;
    uint32_t freeFormatLength = 0;

    friend class FrameHeader;
};

enum ChannelMode : uint32_t {
    ModeStereo = 0,
    ModeJointStereo = 1,
    ModeDualChannel = 2,
    ModeSingleChannel = 3
};

class FrameHeader {
  public:
    FrameHeader() = default;

    // Finds and parses the next header and loads its frame body. Fails at the
    // end of the input, on a short body, and on a header that gives no usable
    // frame length (forbidden bitrate, reserved layer, free format outside
    // a free-format stream).
    bool ReadHeader(FrameReader& reader);

    uint32_t SamplingRate() const;
    bool SingleChannel() const { return mode == ModeSingleChannel; }

    uint32_t layer = 0;          // 1, 2 or 3; 0 for the reserved code
    uint32_t protectionBit = 0;  // 1: no check word follows
    uint32_t bitrateIndex = 0;
    uint32_t paddingBit = 0;
    uint32_t modeExtension = 0;
    uint32_t versionBit = 0;  // 1: MPEG-1; 0: MPEG-2 low sampling frequencies
    uint32_t mode = 0;
    uint32_t samplingFrequencyIndex = 0;
    bool syncKnown = false;
    uint32_t frameBodySize = 0;
    uint32_t mainDataSize = 0;
};

// Bitrate in bits per second by version bit, layer (1 to 3) and index; 0 for
// free format (index 0) and the forbidden index 15.
uint32_t BitrateOf(uint32_t versionBit, uint32_t layer, uint32_t index);
uint32_t SamplingRateOf(uint32_t versionBit, uint32_t index);
// The frame length in bytes of a header word (header included); 0 when it
// gives none: reserved layer, free format, forbidden bitrate or sampling
// frequency.
uint32_t FrameLengthOf(uint32_t word);
// The same for an MPEG 2.5 header (version bits 00: 11025, 12000 and 8000 Hz).
uint32_t Mpeg25FrameLengthOf(uint32_t word);
// Length of the side information in bytes.
uint32_t SideInfoSize(uint32_t versionBit, bool singleChannel);

constexpr uint32_t ReservoirSize = 4096;

// The Layer III bit reservoir: a ring of main-data bytes read bit by bit.
// The read position counts bits from the start (less the rewinds); byte
// position p lives in ring slot p mod 4096.
class BitReservoir {
  public:
    BitReservoir();

    void PutByte(uint32_t b) {
        ring[writeIndex] = static_cast<uint8_t>(b);
        if (writeIndex < RingMirror) ring[ReservoirSize + writeIndex] = static_cast<uint8_t>(b);
        writeIndex = (writeIndex + 1) & (ReservoirSize - 1);
    }
    void PutBytes(const uint8_t* bytes, uint32_t n);
    // Clears the slots after the last byte put, so that a read running past
    // the held data sees zeros rather than old bytes.
    void ClearAhead();

    // n above 32 only moves the position (the value is meaningless).
    uint32_t GetBits(uint32_t n) {
        if (n == 0) return 0;
        if (n > 32) {
            totalBitsRead += n;
            return 0;
        }
        uint32_t value = static_cast<uint32_t>(Peek64() >> (64 - n));
        totalBitsRead += n;
        return value;
    }
    uint32_t GetBit() { return GetBits(1); }
    void RewindBits(uint32_t n) { totalBitsRead -= n; }
    void RewindBytes(uint32_t n) { totalBitsRead -= 8 * n; }
    void SkipBits(uint32_t n) { totalBitsRead += n; }
    uint32_t TotalBitsRead() const { return totalBitsRead; }
    void SetTotalBitsRead(uint32_t bits) { totalBitsRead = bits; }

    // Copies n bytes starting at byte position byte (ring slot byte mod
    // 4096) into out.
    void CopyBytes(uint32_t byte, uint8_t* out, uint32_t n) const;

    // The next 64 bits from the read position, first bit most significant.
    uint64_t Peek64() const {
        uint32_t slot = (totalBitsRead >> 3) & (ReservoirSize - 1);
        const uint8_t* p = ring + slot;
        uint64_t word = (uint64_t(p[0]) << 56) | (uint64_t(p[1]) << 48) | (uint64_t(p[2]) << 40) |
                        (uint64_t(p[3]) << 32) | (uint64_t(p[4]) << 24) | (uint64_t(p[5]) << 16) |
                        (uint64_t(p[6]) << 8) | uint64_t(p[7]);
        uint32_t offset = totalBitsRead & 7;
        return (word << offset) | (uint64_t(p[8]) >> (8 - offset));
    }

  private:
    // The first slots are mirrored past the end so that a read of 9 bytes
    // never wraps.
    static constexpr uint32_t RingMirror = 16;
    static constexpr uint32_t ClearAheadBytes = 64;

    uint32_t writeIndex = 0;
    uint32_t totalBitsRead = 0;
    uint8_t ring[ReservoirSize + RingMirror] = {};
};
