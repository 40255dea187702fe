#include <gtest/gtest.h>

#include <string>

#include "setup/mpeg/huffman.h"

namespace {

unsigned EntryCount(const HuffmanCode& code) {
    return code.number >= Count1TableA ? 16 : code.size * code.size;
}

std::string Bits(uint32_t code, unsigned length) {
    std::string s;
    for (unsigned i = length; i-- > 0;)
        s += (code >> i) & 1 ? '1' : '0';
    return s;
}

// Every defined table is a complete prefix code: no code word starts
// another, and the Kraft sum of its lengths is exactly 1. Table 0 and the
// undefined 4 and 14 have no codes.
TEST(HuffmanCodes, EveryTableIsACompletePrefixCode) {
    for (const HuffmanCode& code : HuffmanCodes) {
        SCOPED_TRACE(testing::Message() << "table " << int(code.number));
        if (code.number == 0 || code.number == 4 || code.number == 14) {
            EXPECT_EQ(code.codes, nullptr);
            continue;
        }
        ASSERT_NE(code.codes, nullptr);
        unsigned n = EntryCount(code);
        // Kraft sum in units of 2^-19 (the longest code is 19 bits).
        uint64_t kraft = 0;
        for (unsigned i = 0; i < n; i++) {
            unsigned length = code.lengths[i];
            ASSERT_GE(length, 1u);
            ASSERT_LE(length, 19u);
            ASSERT_LT(code.codes[i], 1u << length) << "entry " << i;
            kraft += uint64_t(1) << (19 - length);
        }
        EXPECT_EQ(kraft, uint64_t(1) << 19);
        for (unsigned i = 0; i < n; i++) {
            std::string a = Bits(code.codes[i], code.lengths[i]);
            for (unsigned j = 0; j < n; j++) {
                if (i == j) continue;
                std::string b = Bits(code.codes[j], code.lengths[j]);
                EXPECT_NE(b.compare(0, a.size(), a), 0) << a << " prefixes " << b;
            }
        }
    }
}

TEST(HuffmanCodes, LinbitsAndSharedCodesAsTheStandardGives) {
    const unsigned linbits[32] = {0, 0, 0, 0, 0, 0, 0,  0,  0, 0, 0, 0, 0, 0, 0,  0,
                                  1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};
    for (unsigned t = 0; t < 32; t++)
        EXPECT_EQ(HuffmanCodes[t].linbits, linbits[t]) << t;
    for (unsigned t = 17; t < 24; t++)
        EXPECT_EQ(HuffmanCodes[t].codes, HuffmanCodes[16].codes);
    for (unsigned t = 25; t < 32; t++)
        EXPECT_EQ(HuffmanCodes[t].codes, HuffmanCodes[24].codes);
}

// The lookup tables decode every code word, followed by arbitrary bits, to
// its own value and length.
TEST(HuffmanLookup, DecodesEveryCodeWord) {
    for (const HuffmanCode& code : HuffmanCodes) {
        if (!code.codes) continue;
        SCOPED_TRACE(testing::Message() << "table " << int(code.number));
        const HuffmanLookup& lookup = GetHuffmanLookup(code.number);
        ASSERT_NE(lookup.entries, nullptr);
        EXPECT_EQ(lookup.linbits, code.linbits);
        bool quadruples = code.number >= Count1TableA;
        for (unsigned i = 0; i < EntryCount(code); i++) {
            for (uint64_t tail : {uint64_t(0), ~uint64_t(0), uint64_t(0x5A5A5A5A5A5A5A5A)}) {
                unsigned length = code.lengths[i];
                uint64_t window = (uint64_t(code.codes[i]) << (64 - length)) | (tail >> length);
                uint32_t decodedLength = 0;
                uint32_t value = DecodeHuffmanCode(lookup, window, decodedLength);
                uint32_t expected = quadruples ? i : ((i / code.size) << 4) | (i % code.size);
                ASSERT_EQ(value, expected) << "entry " << i;
                ASSERT_EQ(decodedLength, length) << "entry " << i;
            }
        }
    }
    EXPECT_EQ(GetHuffmanLookup(0).entries, nullptr);
    EXPECT_EQ(GetHuffmanLookup(4).entries, nullptr);
    EXPECT_EQ(GetHuffmanLookup(14).entries, nullptr);
}

// A pair whose code and sign bits fit the first level is decoded whole by
// one lookup: the same value and length as the code alone, the signs from
// the bits after it, and the total length; never for a value that needs
// linbits, never for a pair that does not fit.
TEST(HuffmanLookup, WholePairsCarryTheirSignBits) {
    for (const HuffmanCode& code : HuffmanCodes) {
        if (!code.codes || code.number >= Count1TableA) continue;
        SCOPED_TRACE(testing::Message() << "table " << int(code.number));
        const HuffmanLookup& lookup = GetHuffmanLookup(code.number);
        for (unsigned i = 0; i < EntryCount(code); i++) {
            const unsigned x = i / code.size, y = i % code.size;
            const unsigned length = code.lengths[i];
            const unsigned signs = (x != 0) + (y != 0);
            const bool escapes = code.linbits && (x == 15 || y == 15);
            for (unsigned pattern = 0; pattern < 4; pattern++) {
                // The sign bits, then garbage.
                uint64_t tail = (uint64_t(pattern) << 62) | 0x2A5A5A5A5A5A5A5Au;
                uint64_t window = (uint64_t(code.codes[i]) << (64 - length)) | (tail >> length);
                uint32_t entry = lookup.entries[window >> (64 - lookup.firstBits)];
                if (length + signs > lookup.firstBits || escapes) {
                    ASSERT_FALSE(entry & HuffmanWholePairFlag) << "entry " << i;
                    continue;
                }
                ASSERT_TRUE(entry & HuffmanWholePairFlag) << "entry " << i;
                EXPECT_EQ(entry & 0xFF, (x << 4) | y) << "entry " << i;
                EXPECT_EQ(WholePairLength(entry), length + signs) << "entry " << i;
                // The first sign bit belongs to x when x is not zero.
                unsigned first = pattern >> 1, second = pattern & 1;
                EXPECT_EQ(WholePairXSign(entry), x ? first : 0u) << "entry " << i;
                EXPECT_EQ(WholePairYSign(entry), y ? (x ? second : first) : 0u) << "entry " << i;
            }
        }
    }
}

}  // namespace
