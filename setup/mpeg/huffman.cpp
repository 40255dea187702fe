// Builds two-level lookup tables from the code tables: the first level is
// indexed by the next firstBits bits, longer codes go through a sub-table.
#include "setup/mpeg/huffman.h"

#include <vector>

namespace {

constexpr unsigned FirstLevelBits = 10;

struct LookupTables {
    std::vector<uint32_t> storage[HuffmanTableCount];
    HuffmanLookup lookups[HuffmanTableCount];
    uint16_t quads[2][1u << QuadLookupBits];
    LookupTables();
};

// Every 10-bit pattern: the quadruple code it begins with, then the sign
// bits of the code's non-zero values.
void BuildQuadLookup(const HuffmanCode& code, uint16_t* out) {
    for (unsigned pattern = 0; pattern < (1u << QuadLookupBits); pattern++) {
        out[pattern] = 0;
        for (unsigned value = 0; value < 16; value++) {
            unsigned length = code.lengths[value];
            if ((pattern >> (QuadLookupBits - length)) != code.codes[value]) continue;
            unsigned used = length;
            unsigned fields = 0;
            for (unsigned k = 0; k < 4; k++) {
                if (!((value >> (3 - k)) & 1)) continue;
                unsigned negative = (pattern >> (QuadLookupBits - 1 - used)) & 1;
                used++;
                fields |= (negative ? 3u : 1u) << (2 * k);
            }
            out[pattern] = static_cast<uint16_t>(used | (fields << 4));
            break;
        }
    }
}

void BuildLookup(const HuffmanCode& code, std::vector<uint32_t>& out, HuffmanLookup& lookup) {
    lookup.linbits = code.linbits;
    bool quadruples = code.number >= Count1TableA;
    unsigned count = quadruples ? 16 : code.size * code.size;
    unsigned maxLength = 0;
    for (unsigned i = 0; i < count; i++) {
        if (code.lengths[i] > maxLength) maxLength = code.lengths[i];
    }
    // Pair tables index two bits more where they can: room for the signs.
    unsigned wanted = quadruples ? maxLength : maxLength + 2;
    unsigned first = wanted < FirstLevelBits ? wanted : FirstLevelBits;
    lookup.firstBits = static_cast<uint8_t>(first);
    out.assign(1u << first, 0);
    auto leaf = [&](unsigned i) -> uint32_t {
        uint32_t value = quadruples ? i : ((i / code.size) << 4) | (i % code.size);
        return (static_cast<uint32_t>(code.lengths[i]) << 8) | value;
    };
    // Short codes fill every first-level slot they prefix; where the slot's
    // bits after the code hold the pair's signs too, the slot holds them.
    auto whole = [&](unsigned i, unsigned slot, unsigned length) -> uint32_t {
        unsigned x = i / code.size, y = i % code.size;
        if (quadruples || (code.linbits && (x == 15 || y == 15))) return 0;
        unsigned used = length;
        uint32_t signs = 0;
        auto sign = [&](unsigned bit) {
            if (used < first) signs |= ((slot >> (first - 1 - used)) & 1u) << bit;
            used++;
        };
        if (x) sign(13);
        if (y) sign(14);
        if (used > first) return 0;
        return HuffmanWholePairFlag | (used << 16) | signs;
    };
    for (unsigned i = 0; i < count; i++) {
        unsigned length = code.lengths[i];
        if (length > first) continue;
        unsigned base = static_cast<unsigned>(code.codes[i]) << (first - length);
        for (unsigned k = 0; k < (1u << (first - length)); k++)
            out[base + k] = leaf(i) | whole(i, base + k, length);
    }
    // Long codes: one sub-table per first-level prefix, as deep as its
    // longest code.
    std::vector<unsigned> deepest(1u << first, 0);
    for (unsigned i = 0; i < count; i++) {
        unsigned length = code.lengths[i];
        if (length <= first) continue;
        unsigned prefix = unsigned(code.codes[i]) >> (length - first);
        if (length - first > deepest[prefix]) deepest[prefix] = length - first;
    }
    std::vector<uint32_t> start(1u << first, 0);
    for (unsigned prefix = 0; prefix < (1u << first); prefix++) {
        if (deepest[prefix] == 0) continue;
        start[prefix] = static_cast<uint32_t>(out.size());
        out.resize(out.size() + (1u << deepest[prefix]), 0);
        out[prefix] = HuffmanLinkFlag | (deepest[prefix] << 24) | start[prefix];
    }
    for (unsigned i = 0; i < count; i++) {
        unsigned length = code.lengths[i];
        if (length <= first) continue;
        unsigned prefix = unsigned(code.codes[i]) >> (length - first);
        unsigned rest = length - first;
        unsigned low = code.codes[i] & ((1u << rest) - 1);
        // Sub-table entries keep the full code length.
        unsigned base = low << (deepest[prefix] - rest);
        for (unsigned k = 0; k < (1u << (deepest[prefix] - rest)); k++) {
            out[start[prefix] + base + k] = leaf(i);
        }
    }
    lookup.entries = out.data();
}

LookupTables::LookupTables() {
    for (int t = 0; t < HuffmanTableCount; t++) {
        lookups[t] = HuffmanLookup{nullptr, 0, 0};
        if (HuffmanCodes[t].codes) BuildLookup(HuffmanCodes[t], storage[t], lookups[t]);
    }
    BuildQuadLookup(HuffmanCodes[Count1TableA], quads[0]);
    BuildQuadLookup(HuffmanCodes[Count1TableA + 1], quads[1]);
}

const LookupTables& Tables() {
    static const LookupTables tables;
    return tables;
}

// Built at program start rather than on first use.
const LookupTables& builtAtStart = Tables();

}  // namespace

const HuffmanLookup& GetHuffmanLookup(unsigned number) {
    return Tables().lookups[number < HuffmanTableCount ? number : 0];
}

const uint16_t* GetQuadLookup(unsigned count1TableSelect) {
    return Tables().quads[count1TableSelect & 1];
}
