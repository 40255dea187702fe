// The check of a product's own pictures and icon, on files as ImageMagick
// writes them and on damaged and hostile ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "artgen_test_support.h"
#include "indexed_image.h"
#include "picture_check.h"

namespace {

// The problem text for a picture that must be refused; "" when it passed.
std::string Refusal(const std::vector<uint8_t>& bytes, int width, int height) {
    IndexedImage image;
    std::string problem;
    if (ReadPaletteBitmap(bytes, width, height, &image, &problem)) return "";
    EXPECT_FALSE(problem.empty());
    return problem;
}

std::string IconRefusal(const std::vector<uint8_t>& bytes) {
    std::string problem;
    return CheckIconFile(bytes, &problem) ? "" : problem;
}

class ImageMagickPictures : public ScratchTest {
  protected:
    void SetUp() override {
        ScratchTest::SetUp();
        if (ImageMagick().empty()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    }
    // A picture of many colours, written by ImageMagick: `options` end with the
    // format ("BMP3:"), which the file's path follows.
    std::vector<uint8_t> Made(const std::string& options, const std::string& name,
                              const char* size = "600x450") {
        std::string path = Path(name);
        EXPECT_EQ(
            RunImageMagick("-seed 7 -size " + std::string(size) + " plasma: " + options + path), 0);
        return ReadBytes(path);
    }
};

TEST_F(ImageMagickPictures, EightBitUncompressedPicturesPassWithTheColoursImageMagickSees) {
    const struct {
        const char* options;
        const char* name;
    } cases[] = {
        {"-colors 256 -type Palette -compress None BMP3:", "plain.bmp"},
        // ImageMagick's own default header is the 124-byte one.
        {"-colors 256 -type Palette -compress None BMP:", "v5.bmp"},
        {"-colors 60 -type Palette -compress None BMP3:", "few.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = Made(c.options, c.name);
        IndexedImage image;
        std::string problem;
        ASSERT_TRUE(ReadPaletteBitmap(bytes, 600, 450, &image, &problem)) << problem;
        ASSERT_EQ(image.palette.size(), 256u);
        // What ImageMagick decodes, pixel by pixel, top row first.
        std::vector<uint8_t> rgb = DecodeWithImageMagick(Path(c.name));
        ASSERT_EQ(rgb.size(), 600u * 450 * 3);
        int wrong = 0;
        for (size_t i = 0; i < image.pixels.size(); ++i) {
            const PaletteColour& p = image.palette[image.pixels[i]];
            if (p.r != rgb[3 * i] || p.g != rgb[3 * i + 1] || p.b != rgb[3 * i + 2]) ++wrong;
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(ImageMagickPictures, OtherDepthsCompressionAndSizesAreRefusedByName) {
    const struct {
        const char* options;
        const char* name;
        const char* size;
        const char* problem;
    } cases[] = {
        {"-type TrueColor BMP3:", "true.bmp", "600x450", "has 24 bits per pixel"},
        {"-type TrueColor BMP:", "true-v5.bmp", "600x450", "has 24 bits per pixel"},
        {"-colors 16 -type Palette BMP3:", "sixteen.bmp", "600x450", "has 4 bits per pixel"},
        {"-colors 2 -type Palette BMP3:", "two.bmp", "600x450", "has 1 bits per pixel"},
        {"-colors 256 -type Palette -compress RLE BMP3:", "rle.bmp", "600x450",
         "is RLE-compressed"},
        {"-colors 256 -type Palette -compress None BMP3:", "small.bmp", "123x263",
         "is 123x263 pixels; this picture must be 600x450"},
        {"-colors 256 -type Palette -compress None BMP3:", "wide.bmp", "601x450",
         "is 601x450 pixels"},
        {"-colors 256 -type Palette -compress None BMP3:", "tall.bmp", "600x451",
         "is 600x451 pixels"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string problem = Refusal(Made(c.options, c.name, c.size), 600, 450);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
}

TEST_F(ImageMagickPictures, TruncatedAndLengthenedFilesAreRefused) {
    std::vector<uint8_t> whole =
        Made("-colors 256 -type Palette -compress None BMP3:", "w.bmp", "123x263");
    ASSERT_EQ(Refusal(whole, 123, 263), "");
    // Cut in the pixels, the colour table, the info header and the file header.
    for (size_t length :
         {whole.size() - 1, whole.size() / 2, size_t{600}, size_t{30}, size_t{10}, size_t{0}}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
        EXPECT_NE(Refusal(cut, 123, 263), "");
    }
    // Cut and with bfSize made to agree: the pixel rows are still missing.
    std::vector<uint8_t> cut(whole.begin(), whole.end() - 124);
    PutLe32(cut, 2, static_cast<uint32_t>(cut.size()));
    EXPECT_NE(Refusal(cut, 123, 263).find("pixel rows need"), std::string::npos);
    std::vector<uint8_t> longer = whole;
    longer.resize(whole.size() + 3);
    EXPECT_NE(Refusal(longer, 123, 263).find("but its header gives"), std::string::npos);
}

TEST(PictureCheck, HostileHeadersAreRefusedWithoutReadingOutsideTheFile) {
    auto patched = [](size_t at, uint32_t value, int bytes = 4) {
        std::vector<uint8_t> file = CraftBitmap(16, 8, 256, false);
        for (int i = 0; i < bytes; ++i)
            file[at + i] = static_cast<uint8_t>(value >> (8 * i));
        return file;
    };
    ASSERT_EQ(Refusal(CraftBitmap(16, 8, 256, false), 16, 8), "");
    const struct {
        std::vector<uint8_t> file;
        const char* problem;
    } cases[] = {
        {patched(0, 'P' | 'K' << 8, 2), "is not a BMP file"},
        {patched(14, 12), "OS/2"},
        {patched(14, 64), "info header of 64 bytes"},
        {patched(14, 0xFFFFFFF0u), "info header of"},
        {patched(18, 0x7FFFFFFF), "is 2147483647x8 pixels"},
        {patched(22, 0x80000000u), "is 16x2147483648 pixels"},
        {patched(26, 2, 2), "has 2 colour planes"},
        {patched(30, 3), "uses compression 3"},
        {patched(46, 257), "colour table of 257 entries"},
        {patched(46, 0xFFFFFFFFu), "colour table of 4294967295 entries"},
        {patched(10, 54), "inside its headers and colour table"},
        {patched(10, 0xFFFFFF00u), "is truncated"},
    };
    for (const auto& c : cases) {
        std::string problem = Refusal(c.file, 16, 8);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.problem << ": " << problem;
    }
}

TEST(PictureCheck, ShortTablesAndTopDownRowsAreCopiedInTheLayoutTheDialogsRead) {
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        std::vector<uint8_t> file = CraftBitmap(13, 5, 16, topDown);
        IndexedImage image;
        std::string problem;
        ASSERT_TRUE(ReadPaletteBitmap(file, 13, 5, &image, &problem)) << problem;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(image.pixels[y * 13 + x], CraftedIndex(x, y, 16)) << x << "," << y;
        EXPECT_EQ(image.palette[3].r, CraftedRed(3));
        EXPECT_EQ(image.palette[200].r, 0);  // padding

        ScratchFolder scratch;
        std::string copy = scratch.Path("copy.bmp");
        ASSERT_TRUE(WriteBitmapFile(copy, image));
        std::vector<uint8_t> out = ReadBytes(copy);
        // A 40-byte header, biClrUsed 0, the pixels right after 256 entries, bottom-up.
        EXPECT_EQ(Le32(out, 14), 40u);
        EXPECT_EQ(Le32(out, 46), 0u);
        EXPECT_EQ(Le32(out, 10), 14u + 40 + 1024);
        EXPECT_EQ(static_cast<int32_t>(Le32(out, 22)), 5);
        EXPECT_EQ(out[1078], CraftedIndex(0, 4, 16));  // first stored row is the bottom one
        IndexedImage again;
        ASSERT_TRUE(ReadPaletteBitmap(out, 13, 5, &again, &problem)) << problem;
        EXPECT_EQ(again.pixels, image.pixels);
    }
}

TEST(PictureCheck, APixelBeyondAShortTableIsRefused) {
    std::vector<uint8_t> file = CraftBitmap(13, 5, 16, false);
    // Rows of 16 bytes, bottom-up: the top row is the fifth one stored.
    size_t lastPixelOfTopRow = Le32(file, 10) + 4 * 16 + 12;
    file[lastPixelOfTopRow] = 16;
    std::string problem = Refusal(file, 13, 5);
    EXPECT_NE(problem.find("uses colour 16 at pixel (12, 0)"), std::string::npos) << problem;
}

TEST_F(ImageMagickPictures, IconsWindowsNinetyFiveCannotShowAreRefused) {
    const struct {
        const char* options;
        const char* name;
        const char* problem;  // nullptr: passes
    } cases[] = {
        {"-size 32x32 plasma: -colors 16", "sixteen.ico", nullptr},
        {"-size 48x48 plasma: -colors 16", "large.ico", "has no 32x32 image"},
        {"-size 32x32 plasma:", "true-colour.ico", "has no 32x32 image"},
        {"-size 256x256 plasma:", "png.ico", "stored as PNG"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(RunImageMagick(std::string("-seed 3 ") + c.options + " " + Path(c.name)), 0);
        std::string problem = IconRefusal(ReadBytes(Path(c.name)));
        if (!c.problem)
            EXPECT_EQ(problem, "");
        else
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
}

TEST(IconCheck, TheGeneratorsIconPassesAndDamagedCopiesOfItFail) {
    ScratchFolder scratch;
    ASSERT_EQ(RunTool("--only setup.ico " + scratch.Path("")), 0);
    std::vector<uint8_t> icon = ReadBytes(scratch.Path("setup.ico"));
    ASSERT_EQ(IconRefusal(icon), "");
    auto patched = [&](size_t at, uint32_t value, int bytes) {
        std::vector<uint8_t> file = icon;
        for (int i = 0; i < bytes; ++i)
            file[at + i] = static_cast<uint8_t>(value >> (8 * i));
        return file;
    };
    uint32_t firstImage = Le32(icon, 6 + 12);
    const struct {
        std::vector<uint8_t> file;
        const char* problem;
    } cases[] = {
        {std::vector<uint8_t>(icon.begin(), icon.begin() + 4), "too short"},
        {std::vector<uint8_t>(icon.begin(), icon.begin() + 20), "inside its directory"},
        {std::vector<uint8_t>(icon.begin(), icon.end() - 1), "is truncated: image 2"},
        {patched(2, 2, 2), "is a cursor file"},
        {patched(0, 0x4D42, 2), "is not an icon file"},
        {patched(4, 0, 2), "holds no images"},
        {patched(6 + 12, 0xFFFFFFF0u, 4), "is truncated: image 1"},
        {patched(6 + 8, 0xFFFFFFFFu, 4), "is truncated: image 1"},
        {patched(6 + 8, 100, 4), "has image 1 of 100 bytes"},
        {patched(firstImage, 12, 4), "without a 40-byte BITMAPINFOHEADER"},
        {patched(firstImage + 8, 32, 4), "has image 1 of 32x32"},
        {patched(firstImage + 14, 7, 2), "7 bits per pixel"},
        {patched(firstImage + 16, 1, 4), "compressed"},
        {patched(firstImage + 14, 24, 2), "has image 1 of"},  // too small for 24 bits
    };
    for (const auto& c : cases) {
        std::string problem = IconRefusal(c.file);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.problem << ": " << problem;
    }
}

}  // namespace
