// Layer III Huffman decoding: the standard's code tables and the lookup
// tables built from them at start.
#pragma once

#include <cstdint>

constexpr int HuffmanTableCount = 34;
constexpr int Count1TableA = 32;

// One code table as the standard lists it. Pair tables hold size × size
// entries (x major); the count1 tables 32 and 33 hold 16 quadruples.
struct HuffmanCode {
    uint8_t number;
    uint8_t size;     // largest x and y value + 1; 0 for tables without codes
    uint8_t linbits;  // extra bits after an x or y of 15
    const uint16_t* codes;
    const uint8_t* lengths;
};

extern const HuffmanCode HuffmanCodes[HuffmanTableCount];

// Entries of a lookup table. A leaf holds the code length and the decoded
// value (x << 4 | y, or the quadruple's four bits); a link holds the number
// of further bits and where its sub-table starts.
struct HuffmanLookup {
    const uint32_t* entries;  // null for a table that codes nothing
    uint8_t firstBits;
    uint8_t linbits;
};

constexpr uint32_t HuffmanLinkFlag = 0x80000000u;
// A first-level leaf whose pair is whole within the bits that indexed it
// (no linbits to read, the sign bits inside): it holds those too, so that
// the pair takes one lookup. Bits 0 to 7 the value, 8 to 12 the code's
// length, 13 and 14 the signs of x and y (1: negative), 16 to 20 the length
// with the signs.
constexpr uint32_t HuffmanWholePairFlag = 0x40000000u;
inline uint32_t WholePairLength(uint32_t entry) {
    return (entry >> 16) & 31;
}
inline uint32_t WholePairXSign(uint32_t entry) {
    return (entry >> 13) & 1;
}
inline uint32_t WholePairYSign(uint32_t entry) {
    return (entry >> 14) & 1;
}

// The lookup table of table number (0 to 33), built before main runs.
const HuffmanLookup& GetHuffmanLookup(unsigned number);

// A count1 quadruple with its sign bits is at most 10 bits long (a 6-bit
// code and four signs). Its lookup, indexed by the next 10 bits, gives the
// length of code and signs in bits 0 to 3 and the four values, v first, as
// two bits each from bit 4 on: 0 for 0, 1 for +1, 3 for -1.
constexpr unsigned QuadLookupBits = 10;
const uint16_t* GetQuadLookup(unsigned count1TableSelect);

// Decodes one code from the top bits of window (at least 19 valid bits);
// returns the value and sets length to the code's length.
inline uint32_t DecodeHuffmanCode(const HuffmanLookup& lookup, uint64_t window, uint32_t& length) {
    uint32_t entry = lookup.entries[window >> (64 - lookup.firstBits)];
    if (entry & HuffmanLinkFlag) {
        uint32_t bits = (entry >> 24) & 31;
        uint32_t start = entry & 0xFFFFFF;
        entry = lookup.entries[start + ((window << lookup.firstBits) >> (64 - bits))];
    }
    length = (entry >> 8) & 31;
    return entry & 0xFF;
}
