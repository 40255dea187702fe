// Requantisation, stereo processing, reordering, alias reduction and the
// hybrid filter bank of one granule.
#include <cmath>
#include <cstring>

#include "setup/mpeg/imdct.h"
#include "setup/mpeg/lanes.h"
#include "setup/mpeg/mpeg_decoder.h"

namespace {

bool ShortBlocks(const GranuleInfo& g) {
    return g.windowSwitching && g.blockType == 2;
}

// Number of long bands below line 36 in a mixed granule.
int MixedLongBands(const BandTable& bands) {
    int band = 0;
    while (bands.longEdge[band + 1] <= MixedLongLines)
        band++;
    return band;
}

inline float HalfPower(uint32_t e) {
    return layer3.halfPowers[e < 63 ? e : 63];
}

// 2^((global_gain - 210) / 4) exactly, the same on every platform: a
// quarter power of two, scaled by a whole power.
float GlobalGain(uint32_t globalGain) {
    static const float quarterPowers[4] = {1.0f, 1.18920711500272106672f, 1.41421356237309504880f,
                                           1.68179283050742908606f};
    // globalGain - 210 = 4 whole + quarters, whole rounded down.
    int whole = static_cast<int>((globalGain + 2) / 4) - 53;
    return std::ldexp(quarterPowers[(globalGain + 2) % 4], whole);
}

// The eight butterflies across the boundary between the subband at lines
// and the next: u = lines[17 - i] and d = lines[18 + i] become u cs - d ca
// and d cs + u ca.
inline void AliasButterflies(float* lines) {
    const float* cs = layer3.aliasCs;
    const float* ca = layer3.aliasCa;
#if defined(__SSE2__)
    // The same products and sums, four butterflies at a time.
    auto reverse = [](__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); };
    for (int half = 0; half < 8; half += 4) {
        float* upper = lines + 14 - half;
        float* lower = lines + 18 + half;
        __m128 u = reverse(_mm_loadu_ps(upper));
        __m128 d = _mm_loadu_ps(lower);
        __m128 c = _mm_loadu_ps(cs + half), a = _mm_loadu_ps(ca + half);
        __m128 newUpper = _mm_sub_ps(_mm_mul_ps(u, c), _mm_mul_ps(d, a));
        __m128 newLower = _mm_add_ps(_mm_mul_ps(d, c), _mm_mul_ps(u, a));
        _mm_storeu_ps(upper, reverse(newUpper));
        _mm_storeu_ps(lower, newLower);
    }
#else
    for (int i = 0; i < 8; i++) {
        float u = lines[17 - i];
        float d = lines[18 + i];
        lines[17 - i] = u * cs[i] - d * ca[i];
        lines[18 + i] = d * cs[i] + u * ca[i];
    }
#endif
}

}  // namespace

// The gain of each band (and window, for short blocks): the global gain
// times 2^(-e/2) for the band's scale factor exponent e, walking the bands
// along the lines.
uint32_t MpegDecoder::GainRuns(uint32_t ch, uint32_t gr, GainRun* runs) const {
    const GranuleInfo& g = sideInfo.channel[ch].granule[gr];
    const ScaleFactors& sf = scaleFactors[ch];
    const BandTable& bands = BandTables[bandTableRow];
    const float gain = GlobalGain(g.globalGain);
    const uint32_t shift = g.scalefacScale;

    uint32_t count = 0;
    uint32_t line = 0;
    int firstShortBand = 0;
    if (!ShortBlocks(g) || g.mixedBlock) {
        // Long bands (all of them, or those below line 36 of a mixed granule).
        int lastBand = ShortBlocks(g) ? MixedLongBands(bands) : LongBands;
        for (int cb = 0; cb < lastBand; cb++) {
            uint32_t e = sf.l[cb] + (g.preflag ? Pretab[cb] : 0);
            line = bands.longEdge[cb + 1];
            runs[count++] = GainRun{line, gain * HalfPower(e << shift)};
        }
        firstShortBand = 3;
    }
    if (ShortBlocks(g)) {
        for (int cb = firstShortBand; cb < ShortBands; cb++) {
            uint32_t width = bands.shortEdge[cb + 1] - bands.shortEdge[cb];
            for (int w = 0; w < 3; w++) {
                line += width;
                uint32_t e = (sf.s[w][cb] << shift) + 4 * g.subblockGain[w];
                runs[count++] = GainRun{line, gain * HalfPower(e)};
            }
        }
    }
    // Past the last line (the room of a count1 quadruple at 574): nothing.
    runs[count++] = GainRun{UINT32_MAX, 0.0f};
    return count;
}

// Positions of the intensity-coded lines of this granule: -1 for a line
// that is not intensity-coded, else the position (from channel 1's scale
// factors).
void MpegDecoder::IntensityPositions(uint32_t gr, int8_t* position) {
    const GranuleInfo& g = sideInfo.channel[1].granule[gr];
    const ScaleFactors& sf = scaleFactors[1];
    const BandTable& bands = BandTables[bandTableRow];
    const float* right = samples[1];
    const bool lsf = header.versionBit == 0;
    std::memset(position, -1, GranuleLines);

    auto mark = [&](uint32_t from, uint32_t to, uint32_t p, uint32_t illegal) {
        int8_t value = static_cast<int8_t>(p == illegal ? -1 : p & 31);
        for (uint32_t j = from; j < to; j++)
            position[j] = value;
    };
    auto longBandsFrom = [&](uint32_t limit, int lastBand) {
        // The first band above channel 1's highest non-zero line below limit.
        int start = 0;
        for (int j = static_cast<int>(limit) - 1; j >= 0; j--) {
            if (right[j] != 0.0f) {
                while (bands.longEdge[start + 1] <= static_cast<uint32_t>(j))
                    start++;
                start++;
                break;
            }
        }
        for (int band = start; band <= lastBand; band++) {
            uint32_t illegal = lsf ? lsfIllegalLong[band] : 7;
            mark(bands.longEdge[band], bands.longEdge[band + 1], sf.l[band], illegal);
        }
        return start;
    };

    if (!ShortBlocks(g)) {
        int start = longBandsFrom(GranuleLines, 20);
        // The uncoded last band takes band 20's position. When band 20 is
        // outside the region, LSF streams still code band 21 with position
        // 0 (the reference decodes show it); MPEG-1 leaves it uncoded.
        int8_t last = position[bands.longEdge[20]];
        if (lsf && start == 21) last = 0;
        for (uint32_t j = bands.longEdge[21]; j < GranuleLines; j++)
            position[j] = last;
        return;
    }
    int lowestBand = g.mixedBlock ? 3 : 0;
    int highestStart = lowestBand;
    for (int w = 0; w < 3; w++) {
        int start = lowestBand;
        for (int band = ShortBands - 1; band >= lowestBand; band--) {
            uint32_t width = bands.shortEdge[band + 1] - bands.shortEdge[band];
            uint32_t from = 3 * bands.shortEdge[band] + w * width;
            bool found = false;
            for (uint32_t j = from; j < from + width; j++) {
                if (right[j] != 0.0f) {
                    found = true;
                    break;
                }
            }
            if (found) {
                start = band + 1;
                break;
            }
        }
        if (start > highestStart) highestStart = start;
        for (int band = start; band < ShortBands - 1; band++) {
            uint32_t width = bands.shortEdge[band + 1] - bands.shortEdge[band];
            uint32_t from = 3 * bands.shortEdge[band] + w * width;
            uint32_t illegal = lsf ? lsfIllegalShort[band] : 7;
            mark(from, from + width, sf.s[w][band], illegal);
        }
        // Band 12 takes band 11's position in this window, as band 21 does
        // band 20's for long blocks.
        uint32_t width11 = bands.shortEdge[12] - bands.shortEdge[11];
        int8_t p11 = position[3 * bands.shortEdge[11] + w * width11];
        if (lsf && start == 12) p11 = 0;
        uint32_t width12 = bands.shortEdge[13] - bands.shortEdge[12];
        uint32_t from12 = 3 * bands.shortEdge[12] + w * width12;
        for (uint32_t j = from12; j < from12 + width12; j++)
            position[j] = p11;
    }
    if (g.mixedBlock && highestStart <= 3) {
        longBandsFrom(MixedLongLines, MixedLongBands(bands) - 1);
    }
}

void MpegDecoder::Stereo(uint32_t gr) {
    if (channels == 1) return;
    const bool joint = header.mode == ModeJointStereo;
    const bool ms = joint && (header.modeExtension & 2);
    const bool intensity = joint && (header.modeExtension & 1);
    float* left = samples[0];
    float* right = samples[1];
    uint32_t bound = lineBound[0] > lineBound[1] ? lineBound[0] : lineBound[1];
    const float root = 0.70710677f;

    if (!intensity) {
        if (ms) {
            for (uint32_t i = 0; i < bound; i++) {
                float l = left[i];
                float r = right[i];
                left[i] = (l + r) * root;
                right[i] = (l - r) * root;
            }
            lineBound[0] = lineBound[1] = bound;
        }
        return;
    }

    int8_t position[GranuleLines];
    IntensityPositions(gr, position);
    const bool lsf = header.versionBit == 0;
    // The standard takes the LSF intensity scale from channel 1, whose
    // scalefac_compress carries it.
    const uint32_t scaleRow = sideInfo.channel[1].granule[gr].scalefacCompress & 1;
    uint32_t highest = 0;
    for (uint32_t i = 0; i < GranuleLines; i++) {
        int p = position[i];
        float l = left[i];
        float r = right[i];
        if (p < 0) {
            if (ms) {
                left[i] = (l + r) * root;
                right[i] = (l - r) * root;
            }
        } else if (!lsf) {
            float ratio = layer3.intensityRatio[p & 15];
            float k = l / (1.0f + ratio);
            right[i] = k;
            left[i] = k * ratio;
        } else if (p == 0) {
            right[i] = l;
        } else if (p & 1) {
            left[i] = l * layer3.lsfIntensity[scaleRow][(p + 1) / 2];
            right[i] = l;
        } else {
            right[i] = l * layer3.lsfIntensity[scaleRow][p / 2];
        }
        if (left[i] != 0.0f || right[i] != 0.0f) highest = i + 1;
    }
    lineBound[0] = lineBound[1] = highest;
}

void MpegDecoder::Reorder(uint32_t ch, uint32_t gr) {
    const GranuleInfo& g = sideInfo.channel[ch].granule[gr];
    const float* in = samples[ch];
    if (!ShortBlocks(g)) {
        std::memcpy(work, in, sizeof work);
        return;
    }
    const BandTable& bands = BandTables[bandTableRow];
    int firstBand = 0;
    if (g.mixedBlock) {
        std::memcpy(work, in, MixedLongLines * sizeof(float));
        firstBand = 3;
    }
    for (int band = firstBand; band < ShortBands; band++) {
        uint32_t start = 3 * bands.shortEdge[band];
        uint32_t width = bands.shortEdge[band + 1] - bands.shortEdge[band];
        for (uint32_t f = 0; f < width; f++) {
            for (uint32_t w = 0; w < 3; w++)
                work[start + 3 * f + w] = in[start + w * width + f];
        }
    }
    // Reordering moves lines within their band, up to its end.
    uint32_t bound = lineBound[ch];
    for (int band = 0; band < ShortBands; band++) {
        uint32_t bandEnd = 3 * bands.shortEdge[band + 1];
        if (bound > 3 * bands.shortEdge[band] && bound < bandEnd) bound = bandEnd;
    }
    lineBound[ch] = bound;
}

void MpegDecoder::ReduceAliasing(uint32_t ch, uint32_t gr) {
    const GranuleInfo& g = sideInfo.channel[ch].granule[gr];
    uint32_t boundaries;
    if (ShortBlocks(g)) {
        if (!g.mixedBlock) return;
        boundaries = 1;
    } else {
        // Boundaries past the last non-zero line only mix zeros.
        uint32_t usedSubbands = (lineBound[ch] + SubbandLines - 1) / SubbandLines;
        boundaries = usedSubbands < Subbands ? usedSubbands : Subbands - 1;
    }
    for (uint32_t sb = 0; sb < boundaries; sb++)
        AliasButterflies(work + SubbandLines * sb);
    uint32_t reach = (boundaries + 1) * SubbandLines;
    if (reach > lineBound[ch]) lineBound[ch] = reach < GranuleLines ? reach : GranuleLines;
}

void MpegDecoder::Hybrid(uint32_t ch, uint32_t gr) {
    const GranuleInfo& g = sideInfo.channel[ch].granule[gr];
    const uint32_t usedSubbands = (lineBound[ch] + SubbandLines - 1) / SubbandLines;
    float* history = overlap[ch];
    const uint32_t granuleType = g.windowSwitching ? g.blockType : 0;
    const bool mixed = g.windowSwitching && g.mixedBlock;
    uint32_t sb = 0;
    while (sb < usedSubbands) {
        float* lines = work + SubbandLines * sb;
        uint32_t type = mixed && sb < 2 ? 0 : granuleType;
        if (type == 2 && sb + 4 <= usedSubbands) {
            // Four short-block subbands at once (a mixed granule's short
            // ones begin at subband 2).
            ImdctShort4(lines, history + sb);
            sb += 4;
        } else if (type == 2) {
            ImdctShort(lines, history + sb);
            sb++;
        } else if (sb + 4 <= usedSubbands && !mixed) {
            // Four long-block subbands of one window type at once.
            ImdctLong4(lines, history + sb, type);
            sb += 4;
        } else {
            ImdctLong(lines, history + sb, type);
            sb++;
        }
    }
    // All-zero input above: the output is what the last block left.
    OverlapOnly(work, history, sb);
}
