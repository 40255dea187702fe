#include "picture_check.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

// BITMAPFILEHEADER.
constexpr size_t FileSignature = 0;      // "BM"
constexpr size_t FileSizeField = 2;      // bfSize
constexpr size_t PixelOffsetField = 10;  // bfOffBits
constexpr size_t FileHeaderSize = 14;

// BITMAPINFOHEADER, from its start; the larger Windows headers begin alike.
constexpr size_t InfoSize = 0;           // biSize
constexpr size_t InfoWidth = 4;          // biWidth
constexpr size_t InfoHeight = 8;         // biHeight: negative for top-down rows
constexpr size_t InfoPlanes = 12;        // biPlanes
constexpr size_t InfoBitCount = 14;      // biBitCount
constexpr size_t InfoCompression = 16;   // biCompression
constexpr size_t InfoColoursUsed = 32;   // biClrUsed: 0 for the whole table
constexpr uint32_t CoreHeaderSize = 12;  // OS/2 BITMAPCOREHEADER
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t V4HeaderSize = 108;
constexpr uint32_t V5HeaderSize = 124;

constexpr uint32_t CompressionNone = 0;  // BI_RGB
constexpr uint32_t CompressionRle8 = 1;
constexpr uint32_t CompressionRle4 = 2;

// ICONDIR and ICONDIRENTRY.
constexpr size_t IconReserved = 0;
constexpr size_t IconType = 2;  // 1 icon, 2 cursor
constexpr size_t IconCount = 4;
constexpr size_t IconDirectorySize = 6;
constexpr size_t EntryWidth = 0;  // 0 stands for 256
constexpr size_t EntryHeight = 1;
constexpr size_t EntryBytes = 8;
constexpr size_t EntryOffset = 12;
constexpr size_t IconEntrySize = 16;

uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8;
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

bool Fail(std::string* problem, const char* format, ...) {
    char text[300];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    *problem = text;
    return false;
}

uint64_t RowStride(uint64_t width, uint32_t bits) {
    return (width * bits + 31) / 32 * 4;
}

}  // namespace

bool ReadPaletteBitmap(const std::vector<uint8_t>& bytes, int width, int height,
                       IndexedImage* image, std::string* problem) {
    const uint64_t length = bytes.size();
    if (length < FileHeaderSize + 4)
        return Fail(problem, "is too short to be a BMP file (%llu bytes)",
                    static_cast<unsigned long long>(length));
    if (bytes[FileSignature] != 'B' || bytes[FileSignature + 1] != 'M')
        return Fail(problem, "is not a BMP file (it does not begin with \"BM\")");
    uint32_t declared = U32(bytes, FileSizeField);
    if (declared > length)
        return Fail(problem, "is truncated: its header gives %u bytes, the file has %llu", declared,
                    static_cast<unsigned long long>(length));
    if (declared < length)
        return Fail(problem, "has %llu bytes, but its header gives %u (damaged, or data after it)",
                    static_cast<unsigned long long>(length), declared);

    const size_t info = FileHeaderSize;
    uint32_t infoSize = U32(bytes, info + InfoSize);
    if (infoSize == CoreHeaderSize)
        return Fail(problem, "has an OS/2 bitmap header; save it as a Windows BMP");
    if (infoSize != InfoHeaderSize && infoSize != V4HeaderSize && infoSize != V5HeaderSize)
        return Fail(problem, "has an info header of %u bytes, not a Windows BITMAPINFOHEADER",
                    infoSize);
    if (info + infoSize > length) return Fail(problem, "is truncated inside its info header");

    int32_t fileWidth = static_cast<int32_t>(U32(bytes, info + InfoWidth));
    int32_t fileHeight = static_cast<int32_t>(U32(bytes, info + InfoHeight));
    bool topDown = fileHeight < 0;
    int64_t rows = topDown ? -int64_t{fileHeight} : fileHeight;
    if (fileWidth != width || rows != height)
        return Fail(problem, "is %ldx%lld pixels; this picture must be %dx%d",
                    static_cast<long>(fileWidth), static_cast<long long>(rows), width, height);
    uint32_t planes = U16(bytes, info + InfoPlanes);
    if (planes != 1) return Fail(problem, "has %u colour planes; a BMP has 1", planes);
    uint32_t bits = U16(bytes, info + InfoBitCount);
    if (bits != 8)
        return Fail(problem, "has %u bits per pixel; the dialogs need 8 (256 colours)", bits);
    uint32_t compression = U32(bytes, info + InfoCompression);
    if (compression == CompressionRle8 || compression == CompressionRle4)
        return Fail(problem, "is RLE-compressed; the dialogs need it uncompressed");
    if (compression != CompressionNone)
        return Fail(problem, "uses compression %u; the dialogs need it uncompressed", compression);

    uint32_t coloursUsed = U32(bytes, info + InfoColoursUsed);
    if (coloursUsed > PaletteSize)
        return Fail(problem, "has a colour table of %u entries; 8 bits per pixel allow 256",
                    coloursUsed);
    uint32_t entries = coloursUsed == 0 ? PaletteSize : coloursUsed;
    uint64_t tableEnd = info + infoSize + 4ull * entries;
    uint64_t pixelOffset = U32(bytes, PixelOffsetField);
    if (pixelOffset < tableEnd)
        return Fail(problem,
                    "says its pixels start at byte %llu, inside its headers and colour table "
                    "(which end at byte %llu)",
                    static_cast<unsigned long long>(pixelOffset),
                    static_cast<unsigned long long>(tableEnd));
    uint64_t stride = RowStride(width, 8);
    if (pixelOffset + stride * height > length)
        return Fail(problem, "is truncated: its pixel rows need %llu bytes from byte %llu",
                    static_cast<unsigned long long>(stride * height),
                    static_cast<unsigned long long>(pixelOffset));

    IndexedImage result;
    result.width = width;
    result.height = height;
    result.palette.assign(PaletteSize, PaletteColour{});
    for (uint32_t i = 0; i < entries; ++i) {
        size_t at = info + infoSize + 4 * i;  // blue, green, red, reserved
        result.palette[i] = PaletteColour{bytes[at + 2], bytes[at + 1], bytes[at]};
    }
    result.pixels.resize(static_cast<size_t>(width) * height);
    result.opaque.assign(result.pixels.size(), 1);
    for (int y = 0; y < height; ++y) {
        int fileRow = topDown ? y : height - 1 - y;
        size_t row = pixelOffset + stride * fileRow;
        for (int x = 0; x < width; ++x) {
            uint8_t index = bytes[row + x];
            if (index >= entries)
                return Fail(problem,
                            "uses colour %u at pixel (%d, %d), beyond its %u-entry colour table",
                            index, x, y, entries);
            result.pixels[static_cast<size_t>(y) * width + x] = index;
        }
    }
    *image = std::move(result);
    return true;
}

bool CheckIconFile(const std::vector<uint8_t>& bytes, std::string* problem) {
    const uint64_t length = bytes.size();
    if (length < IconDirectorySize)
        return Fail(problem, "is too short to be an icon file (%llu bytes)",
                    static_cast<unsigned long long>(length));
    if (U16(bytes, IconReserved) != 0 || (U16(bytes, IconType) != 1 && U16(bytes, IconType) != 2))
        return Fail(problem, "is not an icon file (its first bytes are no icon directory)");
    if (U16(bytes, IconType) == 2) return Fail(problem, "is a cursor file, not an icon");
    uint32_t count = U16(bytes, IconCount);
    if (count == 0) return Fail(problem, "holds no images");
    if (IconDirectorySize + uint64_t{IconEntrySize} * count > length)
        return Fail(problem, "is truncated inside its directory of %u images", count);

    bool shownByOldWindows = false;
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = IconDirectorySize + IconEntrySize * i;
        uint32_t width = bytes[entry + EntryWidth] ? bytes[entry + EntryWidth] : 256;
        uint32_t height = bytes[entry + EntryHeight] ? bytes[entry + EntryHeight] : 256;
        uint64_t size = U32(bytes, entry + EntryBytes);
        uint64_t offset = U32(bytes, entry + EntryOffset);
        unsigned n = i + 1;
        if (offset + size > length)
            return Fail(problem, "is truncated: image %u lies at bytes %llu to %llu of %llu", n,
                        static_cast<unsigned long long>(offset),
                        static_cast<unsigned long long>(offset + size),
                        static_cast<unsigned long long>(length));
        if (size >= 4 && bytes[offset] == 0x89 && bytes[offset + 1] == 'P' &&
            bytes[offset + 2] == 'N' && bytes[offset + 3] == 'G')
            return Fail(problem,
                        "has image %u stored as PNG; Windows 95 and NT 4 read only bitmap icons",
                        n);
        if (size < InfoHeaderSize || U32(bytes, offset + InfoSize) != InfoHeaderSize)
            return Fail(problem, "has image %u without a 40-byte BITMAPINFOHEADER", n);
        int32_t imageWidth = static_cast<int32_t>(U32(bytes, offset + InfoWidth));
        int32_t imageHeight = static_cast<int32_t>(U32(bytes, offset + InfoHeight));
        if (imageWidth != static_cast<int32_t>(width) ||
            imageHeight != static_cast<int32_t>(2 * height))
            return Fail(problem,
                        "has image %u of %ldx%ld (colour and mask) where its directory says "
                        "%ux%u",
                        n, static_cast<long>(imageWidth), static_cast<long>(imageHeight), width,
                        height);
        uint32_t planes = U16(bytes, offset + InfoPlanes);
        uint32_t bits = U16(bytes, offset + InfoBitCount);
        if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
            return Fail(problem, "has image %u of %u planes and %u bits per pixel", n, planes,
                        bits);
        if (U32(bytes, offset + InfoCompression) != CompressionNone)
            return Fail(problem, "has image %u compressed; icons are stored uncompressed", n);
        uint32_t used = U32(bytes, offset + InfoColoursUsed);
        uint64_t table = bits <= 8 ? 4ull * (used ? used : 1u << bits) : 0;
        if (bits <= 8 && used > (1u << bits))
            return Fail(problem, "has image %u with %u colours for %u bits per pixel", n, used,
                        bits);
        uint64_t need =
            InfoHeaderSize + table + RowStride(width, bits) * height + RowStride(width, 1) * height;
        if (need > size)
            return Fail(problem, "has image %u of %llu bytes where its pixels need %llu", n,
                        static_cast<unsigned long long>(size),
                        static_cast<unsigned long long>(need));
        if (width == 32 && height == 32 && bits <= 8) shownByOldWindows = true;
    }
    if (!shownByOldWindows)
        return Fail(problem,
                    "has no 32x32 image of 256 colours or fewer, which Windows 95 and NT 4 show");
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes->clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}
