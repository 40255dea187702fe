// Frame loop, side information, scale factors and Huffman decoding.
#include "setup/mpeg/mpeg_decoder.h"

#include <cstring>
#include <type_traits>

#include "setup/mpeg/huffman.h"

namespace {

constexpr uint32_t MaxBigValues = 288;
// A granule's part 2 and 3 hold at most 4095 bits; 8 more bytes let the
// last 64-bit window be taken without a bounds test.
constexpr uint32_t HuffmanBufferBytes = 4096 / 8 + 16;

uint32_t Min(uint32_t a, uint32_t b) {
    return a < b ? a : b;
}

}  // namespace

MpegDecoder::MpegDecoder(FrameReader& reader, FrameHeader& header, SubbandSynthesizer* synthesizer0,
                         SubbandSynthesizer* synthesizer1, PcmSink& sink, uint32_t channelChoice)
    : reader(reader),
      header(header),
      synthesizer0(synthesizer0),
      synthesizer1(synthesizer1),
      sink(sink),
      channelChoice(channelChoice) {
    channels = header.SingleChannel() ? 1 : 2;
    granules = header.versionBit ? 2 : 1;
    bandTableRow = header.samplingFrequencyIndex + (header.versionBit ? 3 : 0);
    if (bandTableRow > 5) bandTableRow = 3;
    firstChannel = 0;
    lastChannel = 0;
    if (channels == 2) {
        // A downmix needs both channels synthesized: the channels' block
        // types may differ, so they are averaged only as PCM, in the sink.
        if (channelChoice == Both || channelChoice == Downmix) lastChannel = 1;
        if (channelChoice == RightOnly) firstChannel = lastChannel = 1;
    }
    std::memset(samples, 0, sizeof samples);
    std::memset(work, 0, sizeof work);
    std::memset(overlap, 0, sizeof overlap);
    nonzero[0] = nonzero[1] = GranuleLines;
    lineBound[0] = lineBound[1] = GranuleLines;
    std::memset(&sideInfo, 0, sizeof sideInfo);
    std::memset(scaleFactors, 0, sizeof scaleFactors);
}

bool MpegDecoder::DecodeFrame() {
    bool sideInfoValid = ReadSideInfo();

    // The side information ends on a byte boundary: move the main data
    // bytes as they are.
    uint8_t mainData[FrameBufferWords * 4];
    uint32_t size = header.mainDataSize < sizeof mainData ? header.mainDataSize : sizeof mainData;
    reservoir.PutBytes(mainData, reader.ReadBytes(mainData, size));
    reservoir.ClearAhead();

    uint32_t total = reservoir.TotalBitsRead();
    int32_t mainDataEnd = static_cast<int32_t>(total / 8);
    if (total % 8) {
        reservoir.GetBits(8 - total % 8);
        mainDataEnd++;
    }
    int32_t discard = frameStart - static_cast<int32_t>(sideInfo.mainDataBegin) - mainDataEnd;
    frameStart += static_cast<int32_t>(header.mainDataSize);
    if (discard < 0) {
        // The main data begins before what the reservoir still holds.
        framesSkipped++;
        return false;
    }
    reservoir.SkipBits(8 * static_cast<uint32_t>(discard));
    // Keep the counters small; the ring slot of each byte does not change.
    while (reservoir.TotalBitsRead() / 8 > ReservoirSize) {
        frameStart -= ReservoirSize;
        reservoir.RewindBytes(ReservoirSize);
    }
    if (!sideInfoValid) {
        framesSkipped++;
        return false;
    }
    heldEndBits = static_cast<uint32_t>(frameStart) * 8;

    for (uint32_t gr = 0; gr < granules; gr++) {
        for (uint32_t ch = 0; ch < channels; ch++) {
            part2Start = reservoir.TotalBitsRead();
            ReadScaleFactors(ch, gr);
            DecodeRequantised(ch, gr);
        }
        Stereo(gr);
        for (uint32_t ch = firstChannel; ch <= lastChannel; ch++)
            FinishChannel(ch, gr);
    }
    sink.FlushFrame();
    return true;
}

void MpegDecoder::FinishChannel(uint32_t ch, uint32_t gr) {
    Reorder(ch, gr);
    ReduceAliasing(ch, gr);
    Hybrid(ch, gr);
    // Frequency inversion: odd time slots of odd subbands change sign (a
    // product with -1 is exact, and vectorises).
    static const float inversion[SubbandLines] = {1,  -1, 1,  -1, 1,  -1, 1,  -1, 1,
                                                  -1, 1,  -1, 1,  -1, 1,  -1, 1,  -1};
    for (int sb = 1; sb < Subbands; sb += 2) {
        float* lines = work + sb * SubbandLines;
        for (int ss = 0; ss < SubbandLines; ss++)
            lines[ss] *= inversion[ss];
    }
    SubbandSynthesizer* synthesizer =
        (ch == 0 || channelChoice == RightOnly) ? synthesizer0 : synthesizer1;
    if (synthesizer) synthesizer->SynthesizeGranule(work, sink);
}

bool MpegDecoder::ReadSideInfo() {
    FrameReader& r = reader;
    bool lsf = header.versionBit == 0;
    bool valid = true;
    sideInfo.mainDataBegin = r.GetBits(lsf ? 8 : 9);
    if (lsf) {
        sideInfo.privateBits = r.GetBits(channels == 1 ? 1 : 2);
    } else {
        sideInfo.privateBits = r.GetBits(channels == 1 ? 5 : 3);
        for (uint32_t ch = 0; ch < channels; ch++) {
            for (int band = 0; band < 4; band++)
                sideInfo.channel[ch].scfsi[band] = r.GetBits(1);
        }
    }
    for (uint32_t gr = 0; gr < granules; gr++) {
        for (uint32_t ch = 0; ch < channels; ch++) {
            GranuleInfo& g = sideInfo.channel[ch].granule[gr];
            g.part23Length = r.GetBits(12);
            g.bigValues = r.GetBits(9);
            g.globalGain = r.GetBits(8);
            g.scalefacCompress = r.GetBits(lsf ? 9 : 4);
            g.windowSwitching = r.GetBits(1);
            if (g.windowSwitching) {
                g.blockType = r.GetBits(2);
                g.mixedBlock = r.GetBits(1);
                g.tableSelect[0] = r.GetBits(5);
                g.tableSelect[1] = r.GetBits(5);
                g.tableSelect[2] = 0;
                for (int w = 0; w < 3; w++)
                    g.subblockGain[w] = r.GetBits(3);
                g.region0Count = (g.blockType == 2 && !g.mixedBlock) ? 8 : 7;
                g.region1Count = 20 - g.region0Count;
                // Window switching with a normal block is invalid: the frame
                // is skipped.
                if (g.blockType == 0) valid = false;
            } else {
                g.blockType = 0;
                g.mixedBlock = 0;
                for (int i = 0; i < 3; i++)
                    g.tableSelect[i] = r.GetBits(5);
                g.subblockGain[0] = g.subblockGain[1] = g.subblockGain[2] = 0;
                g.region0Count = r.GetBits(4);
                g.region1Count = r.GetBits(3);
            }
            g.preflag = lsf ? 0 : r.GetBits(1);
            g.scalefacScale = r.GetBits(1);
            g.count1TableSelect = r.GetBits(1);
        }
    }
    return valid;
}

void MpegDecoder::ReadScaleFactors(uint32_t ch, uint32_t gr) {
    if (header.versionBit) {
        ReadScaleFactorsMpeg1(ch, gr);
    } else {
        ReadScaleFactorsLsf(ch);
    }
}

void MpegDecoder::ReadScaleFactorsMpeg1(uint32_t ch, uint32_t gr) {
    const GranuleInfo& g = sideInfo.channel[ch].granule[gr];
    ScaleFactors& sf = scaleFactors[ch];
    uint32_t slen1 = Slen1[g.scalefacCompress & 15];
    uint32_t slen2 = Slen2[g.scalefacCompress & 15];
    auto read = [this](uint32_t bits) { return bits ? reservoir.GetBits(bits) : 0u; };
    if (g.windowSwitching && g.blockType == 2) {
        uint32_t firstShort = 0;
        if (g.mixedBlock) {
            for (int band = 0; band < 8; band++)
                sf.l[band] = read(slen1);
            firstShort = 3;
        }
        for (uint32_t band = firstShort; band < 12; band++) {
            uint32_t bits = band < 6 ? slen1 : slen2;
            for (int w = 0; w < 3; w++)
                sf.s[w][band] = read(bits);
        }
        for (int w = 0; w < 3; w++)
            sf.s[w][12] = 0;
        return;
    }
    // Long blocks: four groups of bands; in granule 1 a group whose scfsi
    // bit is set keeps granule 0's values.
    static const int groupStart[5] = {0, 6, 11, 16, 21};
    for (int group = 0; group < 4; group++) {
        if (gr == 1 && sideInfo.channel[ch].scfsi[group]) continue;
        uint32_t bits = group < 2 ? slen1 : slen2;
        for (int band = groupStart[group]; band < groupStart[group + 1]; band++)
            sf.l[band] = read(bits);
    }
    sf.l[21] = sf.l[22] = 0;
}

void MpegDecoder::ReadScaleFactorsLsf(uint32_t ch) {
    GranuleInfo& g = sideInfo.channel[ch].granule[0];
    ScaleFactors& sf = scaleFactors[ch];
    uint32_t blockKind = 0;
    if (g.windowSwitching && g.blockType == 2) blockKind = g.mixedBlock ? 2 : 1;
    bool intensityChannel = ch == 1 && header.mode == ModeJointStereo && (header.modeExtension & 1);
    uint32_t sfc = g.scalefacCompress;
    uint32_t length[4] = {0, 0, 0, 0};
    uint32_t row = 0;
    g.preflag = 0;
    if (!intensityChannel) {
        if (sfc < 400) {
            length[0] = (sfc >> 4) / 5;
            length[1] = (sfc >> 4) % 5;
            length[2] = (sfc & 15) >> 2;
            length[3] = sfc & 3;
            row = 0;
        } else if (sfc < 500) {
            uint32_t d = sfc - 400;
            length[0] = (d >> 2) / 5;
            length[1] = (d >> 2) % 5;
            length[2] = d & 3;
            row = 1;
        } else {
            uint32_t d = sfc - 500;
            length[0] = d / 3;
            length[1] = d % 3;
            row = 2;
            g.preflag = 1;
        }
    } else {
        uint32_t c = sfc >> 1;
        if (c < 180) {
            length[0] = c / 36;
            length[1] = (c % 36) / 6;
            length[2] = (c % 36) % 6;
            row = 3;
        } else if (c < 244) {
            uint32_t d = c - 180;
            length[0] = (d & 63) >> 4;
            length[1] = (d & 15) >> 2;
            length[2] = d & 3;
            row = 4;
        } else if (c < 255) {
            uint32_t d = c - 244;
            length[0] = d / 3;
            length[1] = d % 3;
            row = 5;
        } else {
            row = 5;  // fits no range: every length stays 0
        }
    }

    // Read the four groups into one buffer, remembering each value's
    // largest possible value (LSF intensity stereo treats it as illegal).
    uint32_t values[45];
    uint8_t largest[45];
    uint32_t count = 0;
    for (int group = 0; group < 4; group++) {
        uint32_t bits = length[group];
        for (uint32_t k = 0; k < ScaleFactorGroups[row][blockKind][group] && count < 45; k++) {
            values[count] = bits ? reservoir.GetBits(bits) : 0;
            largest[count] = static_cast<uint8_t>((1u << bits) - 1);
            count++;
        }
    }
    for (uint32_t k = count; k < 45; k++) {
        values[k] = 0;
        largest[k] = 0;
    }

    uint32_t k = 0;
    if (blockKind == 0) {
        for (int band = 0; band < 21; band++, k++) {
            sf.l[band] = values[k];
            lsfIllegalLong[band] = largest[k];
        }
        sf.l[21] = sf.l[22] = 0;
        lsfIllegalLong[21] = lsfIllegalLong[22] = lsfIllegalLong[20];
        return;
    }
    uint32_t firstShort = 0;
    if (blockKind == 2) {
        // Mixed: the long bands below line 36 (six in the LSF tables).
        for (int band = 0; band < 6; band++, k++) {
            sf.l[band] = values[k];
            lsfIllegalLong[band] = largest[k];
        }
        firstShort = 3;
    }
    for (uint32_t band = firstShort; band < 12; band++) {
        for (int w = 0; w < 3; w++, k++)
            sf.s[w][band] = values[k];
        lsfIllegalShort[band] = largest[k - 1];
    }
    for (int w = 0; w < 3; w++)
        sf.s[w][12] = 0;
    lsfIllegalShort[12] = lsfIllegalShort[11];
}

namespace {

// The 64 bits from bit position at of bytes, first bit most significant.
inline uint64_t BitsAt(const uint8_t* bytes, uint32_t at) {
    const uint8_t* p = bytes + at / 8;
    uint64_t word = (uint64_t(p[0]) << 56) | (uint64_t(p[1]) << 48) | (uint64_t(p[2]) << 40) |
                    (uint64_t(p[3]) << 32) | (uint64_t(p[4]) << 24) | (uint64_t(p[5]) << 16) |
                    (uint64_t(p[6]) << 8) | uint64_t(p[7]);
    return word << (at & 7);
}

// One value of a pair after its code: linbits more when it is 15, then a
// sign bit (1: negative) when it is not zero. Takes its bits from the top
// of w. Kept free of branches on the sign, which is unpredictable.
template <bool Linbits>
inline uint32_t PairValue(uint32_t& magnitude, uint64_t& w, uint32_t& used, uint32_t linbits) {
    if (Linbits && magnitude == 15) {
        magnitude += static_cast<uint32_t>(w >> (64 - linbits));
        w <<= linbits;
        used += linbits;
    }
    uint32_t nonzero = magnitude != 0;
    uint32_t sign = static_cast<uint32_t>(w >> 63) & nonzero;
    w <<= nonzero;
    used += nonzero;
    return sign;
}

#if UINTPTR_MAX == 0xFFFFFFFFu
// The 32-bit builds: 64-bit shifts cost several instructions and branches
// there, so a pair is read from 32-bit windows instead, the same bits.

// The 32 bits from bit position at of bytes, first bit most significant.
inline uint32_t Bits32At(const uint8_t* bytes, uint32_t at) {
    const uint8_t* p = bytes + at / 8;
    uint32_t word = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    uint32_t shift = at & 7;
    // Two steps, so that a shift of 0 takes nothing of p[4].
    return (word << shift) | ((uint32_t(p[4]) >> (7 - shift)) >> 1);
}

inline uint32_t DecodeHuffmanCode32(const HuffmanLookup& lookup, uint32_t window,
                                    uint32_t& length) {
    uint32_t entry = lookup.entries[window >> (32 - lookup.firstBits)];
    if (entry & HuffmanLinkFlag) {
        uint32_t bits = (entry >> 24) & 31;
        uint32_t start = entry & 0xFFFFFF;
        entry = lookup.entries[start + ((window << lookup.firstBits) >> (32 - bits))];
    }
    length = (entry >> 8) & 31;
    return entry & 0xFF;
}

// PairValue from a 32-bit window.
template <bool Linbits>
inline uint32_t PairValue32(uint32_t& magnitude, uint32_t& w, uint32_t& used, uint32_t linbits) {
    if (Linbits && magnitude == 15) {
        magnitude += w >> (32 - linbits);
        w <<= linbits;
        used += linbits;
    }
    uint32_t nonzero = magnitude != 0;
    uint32_t sign = (w >> 31) & nonzero;
    w <<= nonzero;
    used += nonzero;
    return sign;
}
#endif

}  // namespace

void MpegDecoder::DecodeRequantised(uint32_t ch, uint32_t gr) {
    const GranuleInfo& g = sideInfo.channel[ch].granule[gr];
    const BandTable& bands = BandTables[bandTableRow];
    // Never read past the main data the reservoir holds.
    uint32_t end = part2Start + g.part23Length;
    if (end > heldEndBits) end = heldEndBits;
    uint32_t position = reservoir.TotalBitsRead();

    uint32_t bigEnd = 2 * Min(g.bigValues, MaxBigValues);
    uint32_t regionEnd[3];
    if (g.windowSwitching && g.blockType == 2) {
        regionEnd[0] = 36;
        regionEnd[1] = GranuleLines;
    } else {
        regionEnd[0] = bands.longEdge[Min(g.region0Count + 1, LongBands)];
        regionEnd[1] = bands.longEdge[Min(g.region0Count + g.region1Count + 2, LongBands)];
    }
    regionEnd[0] = Min(regionEnd[0], bigEnd);
    regionEnd[1] = Min(regionEnd[1], bigEnd);
    regionEnd[2] = bigEnd;

    // The granule's bits as one linear run of bytes, zero after its end, so
    // that a 64-bit window can be taken anywhere without minding the ring.
    const uint32_t base = position & ~7u;
    const uint32_t bytes = end > base ? (end - base + 7) / 8 : 0;
    uint8_t bits[HuffmanBufferBytes];
    reservoir.CopyBytes(base / 8, bits, bytes);
    std::memset(bits + bytes, 0, sizeof bits - bytes);
    uint32_t offset = position - base;  // bit offset into bits
    const uint32_t limit = end > base ? end - base : 0;

    // The gain of the lines being stored: runs of lines share one; a pair
    // never straddles a band edge (the edges are even).
    GainRun runs[MaxGainRuns] = {GainRun{UINT32_MAX, 0.0f}};
    GainRuns(ch, gr, runs);
    const GainRun* run = runs;
    float* out = samples[ch];
    const float* power = layer3.power;
    // Stores one value of magnitude m and sign (1: negative) requantised:
    // sign(v) |v|^(4/3) times the gain (m <= 8206, the power table's last
    // entry).
    auto put = [&](uint32_t at, uint32_t m, uint32_t sign, float gain) {
        uint32_t word;
        std::memcpy(&word, &power[m], 4);
        word |= sign << 31;
        float value;
        std::memcpy(&value, &word, 4);
        out[at] = value * gain;
    };
    // The pairs of one region, with or without linbits, run by run.
    uint32_t i = 0;
    // The lookup is taken by value: a copy that no store can alias stays in
    // registers.
    auto pairs = [&](const HuffmanLookup lookup, uint32_t stop, auto linbitsTag) {
        constexpr bool Linbits = decltype(linbitsTag)::value;
        const uint32_t linbits = lookup.linbits;
        while (i < stop) {
            while (i >= run->end)
                run++;
            const uint32_t runStop = Min(stop, run->end);
            const float gain = run->factor;
            for (; i < runStop; i += 2) {
                if (offset >= limit) {
                    // Ran out of bits: the stream is damaged; the rest is zero.
                    for (; i < bigEnd; i++)
                        put(i, 0, 0, 0.0f);
                    return;
                }
#if UINTPTR_MAX == 0xFFFFFFFFu
                const uint32_t window = Bits32At(bits, offset);
                const uint32_t first = lookup.entries[window >> (32 - lookup.firstBits)];
#else
                uint64_t w = BitsAt(bits, offset);
                const uint32_t first = lookup.entries[w >> (64 - lookup.firstBits)];
#endif
                uint32_t used, x, y, xSign, ySign;
                if (first & HuffmanWholePairFlag) {
                    // Most pairs: short code, small values, signs included.
                    used = WholePairLength(first);
                    x = (first >> 4) & 15;
                    y = first & 15;
                    xSign = WholePairXSign(first);
                    ySign = WholePairYSign(first);
                } else {
#if UINTPTR_MAX == 0xFFFFFFFFu
                    // The code takes at most 19 bits; the values' linbits and
                    // signs at most 28 more, all in the second window.
                    uint32_t value = DecodeHuffmanCode32(lookup, window, used);
                    uint32_t w = Bits32At(bits, offset + used);
                    x = value >> 4;
                    y = value & 15;
                    xSign = PairValue32<Linbits>(x, w, used, linbits);
                    ySign = PairValue32<Linbits>(y, w, used, linbits);
#else
                    uint32_t value = DecodeHuffmanCode(lookup, w, used);
                    w <<= used;
                    x = value >> 4;
                    y = value & 15;
                    xSign = PairValue<Linbits>(x, w, used, linbits);
                    ySign = PairValue<Linbits>(y, w, used, linbits);
#endif
                }
                put(i, x, xSign, gain);
                put(i + 1, y, ySign, gain);
                offset += used;
            }
        }
    };
    for (int region = 0; region < 3; region++) {
        const HuffmanLookup& lookup = GetHuffmanLookup(g.tableSelect[region]);
        if (!lookup.entries) {
            for (; i < regionEnd[region]; i++)
                put(i, 0, 0, 0.0f);
        } else if (lookup.linbits) {
            pairs(lookup, regionEnd[region], std::true_type{});
        } else {
            pairs(lookup, regionEnd[region], std::false_type{});
        }
    }

    // Count1 region: quadruples of 0 and +-1 until the granule's bits are
    // used up.
    const uint16_t* quads = GetQuadLookup(g.count1TableSelect);
    uint32_t count1Start = i;
    while (offset < limit && i < GranuleLines) {
#if UINTPTR_MAX == 0xFFFFFFFFu
        uint32_t entry = quads[Bits32At(bits, offset) >> (32 - QuadLookupBits)];
#else
        uint32_t entry = quads[BitsAt(bits, offset) >> (64 - QuadLookupBits)];
#endif
        offset += entry & 15;
        while (i >= run->end)
            run++;
        if (i + 4 <= run->end) {
            // All four in one band: 0, or the gain with the value's sign.
            const float gain = run->factor;
            for (uint32_t k = 0; k < 4; k++) {
                uint32_t field = entry >> (4 + 2 * k);
                put(i + k, field & 1, (field >> 1) & 1, gain);
            }
        } else {
            for (uint32_t k = 0; k < 4; k++) {
                while (i + k >= run->end)
                    run++;
                uint32_t field = entry >> (4 + 2 * k);
                put(i + k, field & 1, (field >> 1) & 1, run->factor);
            }
        }
        i += 4;
    }
    position = base + offset;
    // Past the end the last quadruple is dropped; short of it the rest is
    // stuffing. Either way the next part begins at the end.
    if (position > end && i > count1Start) i -= 4;
    reservoir.SetTotalBitsRead(end);
    if (i > GranuleLines) i = GranuleLines;
    nonzero[ch] = static_cast<int32_t>(i);
    std::memset(out + i, 0, (GranuleLines - i) * sizeof(float));
    lineBound[ch] = i;
}
