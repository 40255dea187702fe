// Painting a product's title, and the generator as the build runs it.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "artgen_test_support.h"
#include "glyphs.h"
#include "picture_check.h"
#include "scenes.h"

namespace {

const char FaceCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -.,!?:'/";

// Ink of one text drawn into a mask with room around it.
struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // right, bottom exclusive
    double amount = 0;
    std::vector<float> mask;
};

Ink DrawIn(int width, int height, const std::string& text, float left, float top, float size) {
    Mask mask(width, height);
    DrawTitleText(mask, text.c_str(), left, top, size);
    Ink ink;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float m = mask.Get(x, y);
            ink.mask.push_back(m);
            if (m <= 0) continue;
            ink.amount += m;
            ink.left = std::min(ink.left, x);
            ink.top = std::min(ink.top, y);
            ink.right = std::max(ink.right, x + 1);
            ink.bottom = std::max(ink.bottom, y + 1);
        }
    return ink;
}

TEST(TitleFace, EveryCharacterHasItsOwnGlyphInsideItsCell) {
    std::set<std::vector<float>> shapes;
    for (const char* c = FaceCharacters; *c; ++c) {
        std::string text(1, *c);
        SCOPED_TRACE(text);
        ASSERT_TRUE(HasTitleGlyph(*c));
        EXPECT_TRUE(HasTitleGlyph(static_cast<char>(tolower(*c))));
        const float height = 56, left = 20, top = 20;
        Ink ink = DrawIn(140, 100, text, left, top, height);
        if (*c == ' ') {
            EXPECT_EQ(ink.amount, 0);
            EXPECT_GT(TitleTextWidth(" ", height), 0);
            continue;
        }
        EXPECT_GT(ink.amount, 40) << "no glyph drawn";
        // Within the cell the layout reserves: its width, the cap height (a pixel of
        // edge sampling allowed).
        EXPECT_GE(ink.left, left - 1);
        EXPECT_LE(ink.right, left + TitleTextWidth(text.c_str(), height) + 1);
        EXPECT_GE(ink.top, top - 1);
        EXPECT_LE(ink.bottom, top + height + 1);
        EXPECT_TRUE(shapes.insert(ink.mask).second) << "drawn like another character";
        // Lower case is drawn as upper case.
        EXPECT_EQ(
            DrawIn(140, 100, std::string(1, static_cast<char>(tolower(*c))), left, top, height)
                .mask,
            ink.mask);
    }
    for (char c : std::string("&@#\"*%$;_~\t"))
        EXPECT_FALSE(HasTitleGlyph(c)) << c;
}

Ink DrawPlaced(int width, int height, const TitlePlacement& place, int border) {
    Mask mask(width, height);
    for (const TitleLine& line : place.lines)
        DrawTitleText(mask, line.text.c_str(), line.left + border, line.top + border, place.height);
    Ink ink;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float m = mask.Get(x, y);
            if (m <= 0) continue;
            ink.amount += m;
            ink.left = std::min(ink.left, x - border);
            ink.top = std::min(ink.top, y - border);
            ink.right = std::max(ink.right, x + 1 - border);
            ink.bottom = std::max(ink.bottom, y + 1 - border);
        }
    return ink;
}

TEST(TitlePainting, TitlesOfEveryLengthThatFitsStayInsideBothPictures) {
    const struct {
        const char* title;
        bool paintable;
        size_t lines;  // on the wizard
    } titles[] = {
        {"X", true, 1},
        {"I", true, 1},
        {"VEXLO", true, 1},
        {"Starfall", true, 1},
        {"THE 7TH MOON", true, 1},
        {"WWWWWWWWWWWW", true, 1},
        {"THE LOST VIKINGS", true, 2},
        {"STARFALL LEGENDS: RISE", true, 2},
        {"  PADDED  TITLE  ", true, 2},
        {"WWWWWWWWWWWWWWW", false, 1},  // no space to split at
        {"WWWWWWWWWWWWWWWWWWWWW WWWWWWWWWWWWWWWWWWWW", false, 2},
    };
    const struct {
        const char* picture;
        int width, height;
        TitlePlacement (*place)(const std::string&);
        float full;
        int textBelow;  // where the picture's next words begin
    } pictures[] = {
        {"launcher", LauncherWidth, LauncherHeight, PlaceLauncherTitle, 104, 150},
        {"wizard", WizardWidth, WizardHeight, PlaceWizardTitle, 22, 50},
    };
    for (const auto& t : titles) {
        ArtTexts texts;
        texts.title = t.title;
        std::string problem;
        EXPECT_EQ(CheckArtTexts(texts, &problem), t.paintable) << t.title << ": " << problem;
        EXPECT_EQ(PlaceWizardTitle(t.title).lines.size(), t.lines) << t.title;
        if (!t.paintable) continue;
        for (const auto& picture : pictures) {
            SCOPED_TRACE(std::string(t.title) + " on the " + picture.picture);
            TitlePlacement place = picture.place(t.title);
            EXPECT_LE(place.height, picture.full);
            // The lines hold the title's words, in order, without overlapping.
            std::string words;
            for (const TitleLine& line : place.lines)
                words += (words.empty() ? "" : " ") + line.text;
            EXPECT_EQ(words, t.title);
            if (place.lines.size() == 2) {
                EXPECT_GE(place.lines[1].top, place.lines[0].top + place.height * 1.1f);
            }
            // Drawn into a larger mask, no ink falls outside the picture or onto
            // the words below the title.
            const int border = 200;
            Ink ink =
                DrawPlaced(picture.width + 2 * border, picture.height + 2 * border, place, border);
            EXPECT_GT(ink.amount, 0);
            EXPECT_GE(ink.left, 1);
            EXPECT_LE(ink.right, picture.width - 1);
            EXPECT_GE(ink.top, 1);
            EXPECT_LE(ink.bottom, picture.textBelow - 4);
            // Centred across.
            EXPECT_NEAR(ink.left, picture.width - ink.right, 3 + place.height);
        }
    }
    // A title that fits keeps the full size; a longer one is drawn smaller.
    EXPECT_EQ(PlaceLauncherTitle("VEXLO").height, 104);
    EXPECT_LT(PlaceLauncherTitle("STARFALL LEGENDS").height, 104);
}

TEST(TitlePainting, WhatCannotBePaintedIsRefusedWithItsReason) {
    const std::string longTagline(100, 'A');
    const struct {
        std::string title;
        std::string tagline;
        const char* problem;
    } cases[] = {
        {"", "", "the title is empty"},
        {"   ", "", "the title is empty"},
        {"R&D", "", "lacks: '&'"},
        {"CAF\xC9", "", "the title has a character"},
        {"VEXLO", "50% OFF", "the tagline has a character the small face lacks: '%'"},
        {"THE VERY LONGEST TITLE EVER MADE FOR A GAME", "", "too long for the launcher picture"},
        {"ABCDEFGHIJKLMNO", "", "too long for the wizard picture"},
        {"VEXLO", longTagline, "the tagline is too long"},
    };
    for (const auto& c : cases) {
        ArtTexts texts;
        texts.title = c.title;
        texts.tagline = c.tagline;
        std::string problem;
        EXPECT_FALSE(CheckArtTexts(texts, &problem)) << c.title;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.title << ": " << problem;
    }
}

TEST(TitlePainting, ScenesOfLongAndShortTitlesAreWhole) {
    // Painted whole under the sanitizers: the drawing stays inside its canvases.
    for (const char* title : {"A", "SPACE: 1999", "WWWWWWWWWWWW"}) {
        SCOPED_TRACE(title);
        ArtTexts texts;
        texts.title = title;
        texts.tagline = "";
        std::string problem;
        ASSERT_TRUE(CheckArtTexts(texts, &problem)) << problem;
        Canvas launcher = PaintLauncherScene(texts);
        Canvas wizard = PaintWizardScene(texts);
        EXPECT_EQ(launcher.Width(), 600);
        EXPECT_EQ(wizard.Height(), 263);
        std::vector<uint8_t> opaque;
        Canvas icon = PaintIconScene(32, texts, opaque);
        EXPECT_EQ(icon.Width(), 32);
    }
}

// FNV-1a of a file: the default pictures are pinned to what they were before
// titles could change, so a product that keeps "VEXLO" gets the same disc.
uint64_t Fingerprint(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 1469598103934665603ull;
    for (uint8_t b : bytes)
        hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

TEST(ArtgenTool, TheDefaultTitlePaintsTheSamePicturesAsBefore) {
    ScratchFolder plain, titled;
    ASSERT_EQ(RunTool(plain.Path("")), 0);
    ASSERT_EQ(RunTool("--title VEXLO " + titled.Path("")), 0);
    for (const char* name : {"autoplay.bmp", "wizard.bmp", "setup.ico"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes = ReadBytes(plain.Path(name));
        EXPECT_EQ(bytes, ReadBytes(titled.Path(name)));
        const std::string n = name;
        uint64_t expected = n == "autoplay.bmp" ? 0x109206a44a7c1717ull
                            : n == "wizard.bmp" ? 0x270fe5ce85b0c97full
                                                : 0x16f60988cf21e6feull;
        EXPECT_EQ(Fingerprint(bytes), expected) << std::hex << Fingerprint(bytes);
    }
}

TEST(ArtgenTool, ItsOwnPicturesPassItsCheckAndItsComplaintsAreOneLineNamingTheFile) {
    ScratchFolder scratch;
    ASSERT_EQ(RunTool("--title 'Starfall' " + scratch.Path("")), 0);
    std::string errors;
    EXPECT_EQ(RunTool("--check " + scratch.Path("autoplay.bmp") + " 600 450", &errors), 0)
        << errors;
    EXPECT_EQ(RunTool("--check " + scratch.Path("wizard.bmp") + " 123 263", &errors), 0) << errors;
    EXPECT_EQ(RunTool("--check-icon " + scratch.Path("setup.ico"), &errors), 0) << errors;
    EXPECT_EQ(
        RunTool("--copy " + scratch.Path("wizard.bmp") + " 123 263 " + scratch.Path("copy.bmp"),
                &errors),
        0)
        << errors;
    EXPECT_EQ(ReadBytes(scratch.Path("copy.bmp")), ReadBytes(scratch.Path("wizard.bmp")));

    const struct {
        std::string arguments;
        std::string line;
    } refusals[] = {
        {"--check " + scratch.Path("wizard.bmp") + " 600 450",
         "vexlo-artgen: " + scratch.Path("wizard.bmp") +
             " is 123x263 pixels; this picture must be 600x450\n"},
        {"--check-icon " + scratch.Path("wizard.bmp"),
         "vexlo-artgen: " + scratch.Path("wizard.bmp") +
             " is not an icon file (its first bytes are no icon directory)\n"},
        {"--check " + scratch.Path("missing.bmp") + " 600 450",
         "vexlo-artgen: " + scratch.Path("missing.bmp") + ": cannot be read\n"},
        {"--title 'R&D' " + scratch.Path(""),
         "vexlo-artgen: cannot paint \"R&D\": the title has a character the title face lacks: "
         "'&' (it has A-Z, 0-9, space and - . , ! ? : ' /)\n"},
    };
    for (const auto& r : refusals) {
        EXPECT_EQ(RunTool(r.arguments, &errors), 1) << r.arguments;
        EXPECT_EQ(errors, r.line);
    }
    // A refused copy leaves no output behind.
    EXPECT_EQ(
        RunTool("--copy " + scratch.Path("wizard.bmp") + " 600 450 " + scratch.Path("refused.bmp")),
        1);
    EXPECT_FALSE(std::ifstream(scratch.Path("refused.bmp")).good());
}

TEST(ArtgenTool, OnlyTheNamedPicturesArePaintedAndMistakesAreUsageErrors) {
    ScratchFolder scratch;
    ASSERT_EQ(RunTool("--only setup.ico --only wizard.bmp " + scratch.Path("")), 0);
    EXPECT_TRUE(std::ifstream(scratch.Path("setup.ico")).good());
    EXPECT_TRUE(std::ifstream(scratch.Path("wizard.bmp")).good());
    EXPECT_FALSE(std::ifstream(scratch.Path("autoplay.bmp")).good());
    for (const char* arguments :
         {"", "--only launcher.bmp /tmp", "--check x.bmp 600", "--check x.bmp 0 450",
          "--check x.bmp 600 45O", "--title", "--colour red /tmp", "/tmp /tmp"})
        EXPECT_EQ(RunTool(arguments), 2) << arguments;
}

}  // namespace
