#include "indexed_image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace {

// ---- quantising ----

struct Sample {
    std::array<uint8_t, 3> rgb;
    uint32_t count;
};

struct ColourBox {
    size_t begin, end;  // range in the sample list
    int longestAxis;
    int range;
};

ColourBox MeasureBox(const std::vector<Sample>& samples, size_t begin, size_t end) {
    std::array<int, 3> low = {255, 255, 255}, high = {0, 0, 0};
    for (size_t i = begin; i < end; ++i)
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min<int>(low[a], samples[i].rgb[a]);
            high[a] = std::max<int>(high[a], samples[i].rgb[a]);
        }
    ColourBox box{begin, end, 0, -1};
    for (int a = 0; a < 3; ++a) {
        // Green counts most to the eye, blue least.
        static const int weight[3] = {3, 4, 2};
        int r = (high[a] - low[a]) * weight[a];
        if (r > box.range) {
            box.range = r;
            box.longestAxis = a;
        }
    }
    return box;
}

uint8_t ToByte(float v) {
    return static_cast<uint8_t>(std::lround(Clamp01(v) * 255.0f));
}

std::vector<PaletteColour> MedianCut(const Canvas& canvas) {
    // Histogram of the canvas at full 8-bit precision.
    std::vector<Sample> samples;
    {
        std::vector<uint32_t> keys;
        keys.reserve(canvas.Width() * canvas.Height());
        for (int y = 0; y < canvas.Height(); ++y)
            for (int x = 0; x < canvas.Width(); ++x) {
                const Colour& c = canvas.At(x, y);
                keys.push_back(ToByte(c.r) << 16 | ToByte(c.g) << 8 | ToByte(c.b));
            }
        std::sort(keys.begin(), keys.end());
        for (size_t i = 0; i < keys.size();) {
            size_t j = i;
            while (j < keys.size() && keys[j] == keys[i])
                ++j;
            samples.push_back({{uint8_t(keys[i] >> 16), uint8_t(keys[i] >> 8), uint8_t(keys[i])},
                               uint32_t(j - i)});
            i = j;
        }
    }

    std::vector<ColourBox> boxes = {MeasureBox(samples, 0, samples.size())};
    while (boxes.size() < PaletteSize) {
        // Split the box with the widest weighted range that holds two colours or more.
        int best = -1;
        for (size_t i = 0; i < boxes.size(); ++i)
            if (boxes[i].end - boxes[i].begin > 1 &&
                (best < 0 || boxes[i].range > boxes[best].range))
                best = static_cast<int>(i);
        if (best < 0) break;
        ColourBox box = boxes[best];
        int axis = box.longestAxis;
        std::sort(samples.begin() + box.begin, samples.begin() + box.end,
                  [axis](const Sample& a, const Sample& b) { return a.rgb[axis] < b.rgb[axis]; });
        uint64_t total = 0;
        for (size_t i = box.begin; i < box.end; ++i)
            total += samples[i].count;
        uint64_t half = 0;
        size_t split = box.begin + 1;
        for (size_t i = box.begin; i < box.end - 1; ++i) {
            half += samples[i].count;
            split = i + 1;
            if (half * 2 >= total) break;
        }
        boxes[best] = MeasureBox(samples, box.begin, split);
        boxes.push_back(MeasureBox(samples, split, box.end));
    }

    std::vector<PaletteColour> palette;
    for (const ColourBox& box : boxes) {
        double sum[3] = {0, 0, 0};
        double weight = 0;
        for (size_t i = box.begin; i < box.end; ++i) {
            for (int a = 0; a < 3; ++a)
                sum[a] += samples[i].rgb[a] * double(samples[i].count);
            weight += samples[i].count;
        }
        palette.push_back({uint8_t(std::lround(sum[0] / weight)),
                           uint8_t(std::lround(sum[1] / weight)),
                           uint8_t(std::lround(sum[2] / weight))});
    }
    // Sorted by brightness: the table reads as ramps, and stays the same each build.
    std::sort(palette.begin(), palette.end(), [](const PaletteColour& a, const PaletteColour& b) {
        int la = a.r * 3 + a.g * 6 + a.b, lb = b.r * 3 + b.g * 6 + b.b;
        if (la != lb) return la < lb;
        return (a.r << 16 | a.g << 8 | a.b) < (b.r << 16 | b.g << 8 | b.b);
    });
    palette.resize(PaletteSize);  // a picture of few colours pads with black
    return palette;
}

int Nearest(const std::vector<PaletteColour>& palette, float r, float g, float b) {
    int best = 0;
    float bestDistance = 1e30f;
    for (int i = 0; i < PaletteSize; ++i) {
        float dr = palette[i].r - r, dg = palette[i].g - g, db = palette[i].b - b;
        float d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

// ---- files ----

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// BITMAPFILEHEADER: bfType, bfSize, two reserved words, bfOffBits.
constexpr uint32_t FileHeaderSize = 14;
// BITMAPINFOHEADER.
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t ColourTableSize = PaletteSize * 4;

uint32_t RowStride(int width, int bits) {
    return ((width * bits + 31) / 32) * 4;
}

void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, uint32_t imageSize) {
    PutU32(out, InfoHeaderSize);  // biSize
    PutU32(out, width);           // biWidth
    PutU32(out, height);          // biHeight (positive: bottom-up)
    PutU16(out, 1);               // biPlanes
    PutU16(out, 8);               // biBitCount
    PutU32(out, 0);               // biCompression = BI_RGB
    PutU32(out, imageSize);       // biSizeImage
    PutU32(out, 2835);            // biXPelsPerMeter (72 dpi)
    PutU32(out, 2835);            // biYPelsPerMeter
    PutU32(out, 0);               // biClrUsed: the whole table
    PutU32(out, 0);               // biClrImportant
}

void PutColourTable(std::vector<uint8_t>& out, const std::vector<PaletteColour>& palette) {
    for (const PaletteColour& c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
}

void PutPixelRows(std::vector<uint8_t>& out, const IndexedImage& image) {
    uint32_t stride = RowStride(image.width, 8);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x)
            out.push_back(image.pixels[y * image.width + x]);
        for (uint32_t pad = image.width; pad < stride; ++pad)
            out.push_back(0);
    }
}

bool WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

}  // namespace

IndexedImage Quantize(const Canvas& canvas) {
    IndexedImage image;
    image.width = canvas.Width();
    image.height = canvas.Height();
    image.palette = MedianCut(canvas);
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    image.opaque.assign(image.pixels.size(), 1);

    // Floyd-Steinberg at reduced strength: smooth gradients without grain.
    constexpr float Strength = 0.8f;
    std::vector<std::array<float, 3>> error(image.width + 2), next(image.width + 2);
    for (int y = 0; y < image.height; ++y) {
        std::fill(next.begin(), next.end(), std::array<float, 3>{0, 0, 0});
        for (int x = 0; x < image.width; ++x) {
            const Colour& c = canvas.At(x, y);
            float want[3] = {Clamp01(c.r) * 255 + error[x + 1][0],
                             Clamp01(c.g) * 255 + error[x + 1][1],
                             Clamp01(c.b) * 255 + error[x + 1][2]};
            for (float& v : want)
                v = std::min(255.0f, std::max(0.0f, v));
            int index = Nearest(image.palette, want[0], want[1], want[2]);
            image.pixels[y * image.width + x] = static_cast<uint8_t>(index);
            const PaletteColour& got = image.palette[index];
            float diff[3] = {(want[0] - got.r) * Strength, (want[1] - got.g) * Strength,
                             (want[2] - got.b) * Strength};
            for (int a = 0; a < 3; ++a) {
                error[x + 2][a] += diff[a] * 7 / 16;
                next[x][a] += diff[a] * 3 / 16;
                next[x + 1][a] += diff[a] * 5 / 16;
                next[x + 2][a] += diff[a] * 1 / 16;
            }
        }
        std::swap(error, next);
    }
    return image;
}

int CountUsedColours(const IndexedImage& image) {
    std::array<bool, PaletteSize> used = {};
    for (size_t i = 0; i < image.pixels.size(); ++i)
        if (image.opaque[i]) used[image.pixels[i]] = true;
    return static_cast<int>(std::count(used.begin(), used.end(), true));
}

bool WriteBitmapFile(const std::string& path, const IndexedImage& image) {
    uint32_t imageSize = RowStride(image.width, 8) * image.height;
    uint32_t pixelOffset = FileHeaderSize + InfoHeaderSize + ColourTableSize;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    PutU32(out, pixelOffset + imageSize);  // bfSize
    PutU32(out, 0);                        // bfReserved1, bfReserved2
    PutU32(out, pixelOffset);              // bfOffBits
    PutInfoHeader(out, image.width, image.height, imageSize);
    PutColourTable(out, image.palette);
    PutPixelRows(out, image);
    return WriteAll(path, out);
}

bool WriteIconFile(const std::string& path, const std::vector<IndexedImage>& images) {
    // ICONDIR (6 bytes) and one 16-byte ICONDIRENTRY per image, then the images:
    // info header with doubled height, colour table, colour rows, mask rows.
    constexpr uint32_t DirectorySize = 6;
    constexpr uint32_t EntrySize = 16;
    std::vector<std::vector<uint8_t>> bodies;
    for (const IndexedImage& image : images) {
        uint32_t colourRows = RowStride(image.width, 8) * image.height;
        uint32_t maskStride = RowStride(image.width, 1);
        std::vector<uint8_t> body;
        PutInfoHeader(body, image.width, image.height * 2, colourRows + maskStride * image.height);
        PutColourTable(body, image.palette);
        PutPixelRows(body, image);
        for (int y = image.height - 1; y >= 0; --y) {
            std::vector<uint8_t> row(maskStride, 0);
            for (int x = 0; x < image.width; ++x)
                if (!image.opaque[y * image.width + x]) row[x / 8] |= uint8_t(0x80 >> (x % 8));
            body.insert(body.end(), row.begin(), row.end());
        }
        bodies.push_back(body);
    }
    std::vector<uint8_t> out;
    PutU16(out, 0);  // reserved
    PutU16(out, 1);  // type: icon
    PutU16(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = DirectorySize + EntrySize * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(uint8_t(images[i].width));
        out.push_back(uint8_t(images[i].height));
        out.push_back(0);  // colour count: 0 means 256
        out.push_back(0);  // reserved
        PutU16(out, 1);    // planes
        PutU16(out, 8);    // bits per pixel
        PutU32(out, static_cast<uint32_t>(bodies[i].size()));
        PutU32(out, offset);
        offset += static_cast<uint32_t>(bodies[i].size());
    }
    for (const auto& body : bodies)
        out.insert(out.end(), body.begin(), body.end());
    return WriteAll(path, out);
}
