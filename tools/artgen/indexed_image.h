// 8-bit palette pictures: quantising a canvas to 256 colours and writing the
// result as a Windows bitmap file or icon.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "art_image.h"

struct PaletteColour {
    uint8_t r = 0, g = 0, b = 0;
};

struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<PaletteColour> palette;  // 256 entries
    std::vector<uint8_t> pixels;         // top row first
    std::vector<uint8_t> opaque;         // per pixel, 1 = drawn (icons only)
};

constexpr int PaletteSize = 256;

// Median-cut palette of the canvas and error-diffusion dithering onto it.
IndexedImage Quantize(const Canvas& canvas);
int CountUsedColours(const IndexedImage& image);

// Uncompressed 8-bit BMP file: file header, 40-byte info header, 256-entry
// colour table, bottom-up rows padded to 4 bytes; biClrUsed 0.
bool WriteBitmapFile(const std::string& path, const IndexedImage& image);

// Icon file holding the given 8-bit images (with their transparency masks).
bool WriteIconFile(const std::string& path, const std::vector<IndexedImage>& images);
