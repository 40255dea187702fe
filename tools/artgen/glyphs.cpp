#include "glyphs.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Title glyphs live on a grid 100 units wide and 140 high, y growing down.
constexpr float GlyphUnitsHigh = 140;
constexpr float GlyphSpacing = 22;  // between one glyph and the next
constexpr float Slant = 0.22f;      // italic shear, units of x per unit of y

struct Point {
    float x, y;
};

// A glyph is a set of closed contours filled by the non-zero winding rule;
// holes run the other way round.
struct Contour {
    std::vector<Point> points;
};

Contour Box(float x0, float y0, float x1, float y1) {
    return {{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}};
}

Contour Reversed(Contour c) {
    return {std::vector<Point>(c.points.rbegin(), c.points.rend())};
}

// An octagon: a box with its corners cut by `cut` units.
Contour Chamfered(float x0, float y0, float x1, float y1, float cut) {
    return {{{x0 + cut, y0},
             {x1 - cut, y0},
             {x1, y0 + cut},
             {x1, y1 - cut},
             {x1 - cut, y1},
             {x0 + cut, y1},
             {x0, y1 - cut},
             {x0, y0 + cut}}};
}

// A title glyph: its contours and how wide it is in grid units (most are 100).
struct TitleGlyphShape {
    float width = 0;
    std::vector<Contour> contours;
};

// The bowls and counters that several letters and digits share.
Contour Counter() {
    return Reversed(Chamfered(30, 28, 70, 112, 8));
}

// Looks up a glyph of the title face; false for a character it does not have.
// Lower case draws as upper case.
bool FindTitleGlyph(char character, TitleGlyphShape* shape) {
    char c = static_cast<char>(toupper(static_cast<unsigned char>(character)));
    auto full = [&](std::vector<Contour> contours) {
        *shape = {100, std::move(contours)};
        return true;
    };
    auto narrow = [&](float width, std::vector<Contour> contours) {
        *shape = {width, std::move(contours)};
        return true;
    };
    switch (c) {
        case 'A':
            return full({{{{26, 0},
                           {74, 0},
                           {100, 26},
                           {100, 140},
                           {70, 140},
                           {70, 92},
                           {30, 92},
                           {30, 140},
                           {0, 140},
                           {0, 26}}},
                         Reversed(Box(30, 28, 70, 64))});
        case 'B':
            return full({{{{0, 0},
                           {76, 0},
                           {100, 22},
                           {100, 52},
                           {88, 70},
                           {100, 88},
                           {100, 118},
                           {76, 140},
                           {0, 140}}},
                         Reversed(Box(30, 28, 70, 56)),
                         Reversed(Box(30, 84, 70, 112))});
        case 'C':
            return full({{{{26, 0},
                           {100, 0},
                           {100, 28},
                           {38, 28},
                           {30, 36},
                           {30, 104},
                           {38, 112},
                           {100, 112},
                           {100, 140},
                           {26, 140},
                           {0, 114},
                           {0, 26}}}});
        case 'D':
            return full(
                {{{{0, 0}, {74, 0}, {100, 26}, {100, 114}, {74, 140}, {0, 140}}}, Counter()});
        case 'E':
            return full({Box(0, 0, 100, 28), Box(0, 0, 30, 140), Box(0, 56, 82, 84),
                         Box(0, 112, 100, 140)});
        case 'F':
            return full({Box(0, 0, 100, 28), Box(0, 0, 30, 140), Box(0, 56, 82, 84)});
        case 'G':
            return full({{{{26, 0},
                           {100, 0},
                           {100, 28},
                           {38, 28},
                           {30, 36},
                           {30, 104},
                           {38, 112},
                           {70, 112},
                           {70, 86},
                           {52, 86},
                           {52, 60},
                           {100, 60},
                           {100, 140},
                           {26, 140},
                           {0, 114},
                           {0, 26}}}});
        case 'H':
            return full({Box(0, 0, 30, 140), Box(70, 0, 100, 140), Box(0, 56, 100, 84)});
        case 'I':
            return narrow(30, {Box(0, 0, 30, 140)});
        case 'J':
            return full({{{{70, 0},
                           {100, 0},
                           {100, 114},
                           {74, 140},
                           {26, 140},
                           {0, 114},
                           {0, 84},
                           {30, 84},
                           {30, 104},
                           {38, 112},
                           {62, 112},
                           {70, 104}}}});
        case 'K':
            return full({Box(0, 0, 30, 140),
                         {{{70, 0}, {100, 0}, {44, 84}, {30, 84}, {30, 56}}},
                         {{{40, 60}, {68, 60}, {100, 140}, {70, 140}}}});
        case 'L':
            return full({Box(0, 0, 30, 140), Box(0, 112, 100, 140)});
        case 'M':
            return full({Box(0, 0, 28, 140),
                         Box(72, 0, 100, 140),
                         {{{0, 0}, {26, 0}, {50, 62}, {74, 0}, {100, 0}, {62, 96}, {38, 96}}}});
        case 'N':
            return full({Box(0, 0, 30, 140),
                         Box(70, 0, 100, 140),
                         {{{0, 0}, {30, 0}, {100, 140}, {70, 140}}}});
        case 'O':
            return full({Chamfered(0, 0, 100, 140, 26), Counter()});
        case 'P':
            return full(
                {{{{0, 0}, {76, 0}, {100, 24}, {100, 66}, {76, 90}, {30, 90}, {30, 140}, {0, 140}}},
                 Reversed(Box(30, 28, 70, 62))});
        case 'Q':
            return full({Chamfered(0, 0, 100, 140, 26),
                         Counter(),
                         {{{46, 88}, {74, 88}, {100, 120}, {100, 140}, {84, 140}}}});
        case 'R':
            return full(
                {{{{0, 0}, {76, 0}, {100, 24}, {100, 66}, {76, 90}, {30, 90}, {30, 140}, {0, 140}}},
                 Reversed(Box(30, 28, 70, 62)),
                 {{{40, 84}, {70, 84}, {100, 140}, {70, 140}}}});
        case 'S':
            return full({{{{26, 0},
                           {100, 0},
                           {100, 28},
                           {30, 28},
                           {30, 56},
                           {74, 56},
                           {100, 82},
                           {100, 114},
                           {74, 140},
                           {0, 140},
                           {0, 112},
                           {70, 112},
                           {70, 84},
                           {26, 84},
                           {0, 58},
                           {0, 26}}}});
        case 'T':
            return full({Box(0, 0, 100, 28), Box(35, 0, 65, 140)});
        case 'U':
            return full({{{{0, 0},
                           {30, 0},
                           {30, 104},
                           {38, 112},
                           {62, 112},
                           {70, 104},
                           {70, 0},
                           {100, 0},
                           {100, 114},
                           {74, 140},
                           {26, 140},
                           {0, 114}}}});
        case 'V':
            return full({{{{0, 0}, {30, 0}, {50, 96}, {70, 0}, {100, 0}, {64, 140}, {36, 140}}}});
        case 'W':
            return full({{{{0, 0},
                           {28, 0},
                           {36, 92},
                           {42, 40},
                           {58, 40},
                           {64, 92},
                           {72, 0},
                           {100, 0},
                           {84, 140},
                           {58, 140},
                           {50, 88},
                           {42, 140},
                           {16, 140}}}});
        case 'X':
            return full({{{{0, 0}, {32, 0}, {100, 140}, {68, 140}}},
                         {{{68, 0}, {100, 0}, {32, 140}, {0, 140}}}});
        case 'Y':
            return full({{{{0, 0},
                           {30, 0},
                           {50, 50},
                           {70, 0},
                           {100, 0},
                           {65, 78},
                           {65, 140},
                           {35, 140},
                           {35, 78}}}});
        case 'Z':
            return full({{{{0, 0},
                           {100, 0},
                           {100, 28},
                           {40, 112},
                           {100, 112},
                           {100, 140},
                           {0, 140},
                           {0, 112},
                           {60, 28},
                           {0, 28}}}});
        case '0':
            // The O with a bar in its counter, so that the two differ.
            return full({Chamfered(0, 0, 100, 140, 26), Counter(), Box(43, 50, 57, 90)});
        case '1':
            return narrow(64,
                          {{{{20, 0}, {64, 0}, {64, 140}, {34, 140}, {34, 32}, {0, 32}, {0, 20}}}});
        case '2':
            return full({{{{0, 0},
                           {74, 0},
                           {100, 26},
                           {100, 70},
                           {74, 84},
                           {30, 84},
                           {30, 112},
                           {100, 112},
                           {100, 140},
                           {0, 140},
                           {0, 76},
                           {26, 56},
                           {70, 56},
                           {70, 28},
                           {0, 28}}}});
        case '3':
            return full({{{{0, 0},
                           {74, 0},
                           {100, 26},
                           {100, 56},
                           {88, 70},
                           {100, 84},
                           {100, 114},
                           {74, 140},
                           {0, 140},
                           {0, 112},
                           {70, 112},
                           {70, 84},
                           {30, 84},
                           {30, 56},
                           {70, 56},
                           {70, 28},
                           {0, 28}}}});
        case '4':
            return full({{{{0, 0},
                           {30, 0},
                           {30, 62},
                           {62, 62},
                           {62, 0},
                           {92, 0},
                           {92, 62},
                           {100, 62},
                           {100, 90},
                           {92, 90},
                           {92, 140},
                           {62, 140},
                           {62, 90},
                           {0, 90}}}});
        case '5':
            return full({{{{0, 0},
                           {100, 0},
                           {100, 28},
                           {30, 28},
                           {30, 56},
                           {74, 56},
                           {100, 82},
                           {100, 114},
                           {74, 140},
                           {0, 140},
                           {0, 112},
                           {70, 112},
                           {70, 84},
                           {0, 84}}}});
        case '6':
            return full({{{{26, 0},
                           {100, 0},
                           {100, 28},
                           {30, 28},
                           {30, 56},
                           {74, 56},
                           {100, 82},
                           {100, 114},
                           {74, 140},
                           {26, 140},
                           {0, 114},
                           {0, 26}}},
                         Reversed(Box(30, 84, 70, 112))});
        case '7':
            return full({{{{0, 0}, {100, 0}, {100, 28}, {58, 140}, {26, 140}, {66, 28}, {0, 28}}}});
        case '8':
            return full({{{{26, 0},
                           {74, 0},
                           {100, 26},
                           {100, 54},
                           {86, 70},
                           {100, 86},
                           {100, 114},
                           {74, 140},
                           {26, 140},
                           {0, 114},
                           {0, 86},
                           {14, 70},
                           {0, 54},
                           {0, 26}}},
                         Reversed(Box(30, 28, 70, 56)),
                         Reversed(Box(30, 84, 70, 112))});
        case '9':
            return full({{{{26, 0},
                           {74, 0},
                           {100, 26},
                           {100, 114},
                           {74, 140},
                           {0, 140},
                           {0, 112},
                           {70, 112},
                           {70, 84},
                           {26, 84},
                           {0, 58},
                           {0, 26}}},
                         Reversed(Box(30, 28, 70, 56))});
        case ' ':
            return narrow(50, {});
        case '-':
            return narrow(60, {Box(0, 56, 60, 84)});
        case '.':
            return narrow(30, {Box(0, 112, 30, 140)});
        case ',':
            return narrow(30, {{{{0, 104}, {30, 104}, {30, 124}, {14, 140}, {0, 140}}}});
        case '!':
            return narrow(30, {Box(0, 0, 30, 92), Box(0, 112, 30, 140)});
        case '?':
            return full({{{{0, 0},
                           {74, 0},
                           {100, 26},
                           {100, 62},
                           {64, 90},
                           {36, 90},
                           {36, 66},
                           {70, 46},
                           {70, 28},
                           {0, 28}}},
                         Box(36, 112, 64, 140)});
        case ':':
            return narrow(30, {Box(0, 40, 30, 68), Box(0, 112, 30, 140)});
        case '\'':
            return narrow(30, {Box(0, 0, 30, 40)});
        case '/':
            return narrow(80, {{{{52, 0}, {80, 0}, {28, 140}, {0, 140}}}});
    }
    return false;
}

int Winding(const std::vector<Contour>& glyph, float x, float y) {
    int winding = 0;
    for (const Contour& c : glyph) {
        size_t n = c.points.size();
        for (size_t i = 0; i < n; ++i) {
            Point a = c.points[i];
            Point b = c.points[(i + 1) % n];
            if (a.y <= y) {
                if (b.y > y && (b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y) > 0) ++winding;
            } else if (b.y <= y && (b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y) < 0) {
                --winding;
            }
        }
    }
    return winding;
}

// 5 by 7 pixel glyphs, one string per row, '#' set.
struct PixelGlyph {
    char letter;
    const char* rows[7];
};

const PixelGlyph PixelFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'-', {".....", ".....", ".....", ".###.", ".....", ".....", "....."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {'/', {"....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."}},
    {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
    {'\'', {"..#..", "..#..", ".#...", ".....", ".....", ".....", "....."}},
};

const PixelGlyph* FindPixelGlyph(char c) {
    c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    for (const PixelGlyph& g : PixelFont)
        if (g.letter == c) return &g;
    return nullptr;
}

}  // namespace

bool HasTitleGlyph(char c) {
    TitleGlyphShape shape;
    return FindTitleGlyph(c, &shape);
}

namespace {

// Width of a glyph in grid units; one the face lacks takes a full cell.
float GlyphWidth(char c) {
    TitleGlyphShape shape;
    return FindTitleGlyph(c, &shape) ? shape.width : 100;
}

}  // namespace

float TitleTextWidth(const char* text, float height) {
    size_t n = strlen(text);
    if (n == 0) return 0;
    float before = 0;  // units from the first glyph's origin to the last one's
    for (size_t i = 0; i + 1 < n; ++i)
        before += GlyphWidth(text[i]) + GlyphSpacing;
    float units = before + GlyphWidth(text[n - 1]) + GlyphUnitsHigh * Slant;
    return units * height / GlyphUnitsHigh;
}

float DrawTitleText(Mask& mask, const char* text, float left, float top, float height) {
    float scale = height / GlyphUnitsHigh;
    constexpr int Samples = 4;  // per axis, for smooth edges
    float before = 0;
    for (size_t i = 0; text[i]; ++i) {
        TitleGlyphShape glyph;
        bool found = FindTitleGlyph(text[i], &glyph);
        float originX = left + before * scale;
        before += (found ? glyph.width : 100) + GlyphSpacing;
        if (glyph.contours.empty()) continue;
        int x0 = static_cast<int>(std::floor(originX)) - 1;
        int x1 =
            static_cast<int>(std::ceil(originX + (glyph.width + GlyphUnitsHigh * Slant) * scale)) +
            1;
        int y0 = static_cast<int>(std::floor(top)) - 1;
        int y1 = static_cast<int>(std::ceil(top + height)) + 1;
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                if (x < 0 || y < 0 || x >= mask.Width() || y >= mask.Height()) continue;
                int hits = 0;
                for (int sy = 0; sy < Samples; ++sy) {
                    for (int sx = 0; sx < Samples; ++sx) {
                        float gy = (y + (sy + 0.5f) / Samples - top) / scale;
                        float gx = (x + (sx + 0.5f) / Samples - originX) / scale;
                        gx -= (GlyphUnitsHigh - gy) * Slant;  // undo the shear
                        if (Winding(glyph.contours, gx, gy) != 0) ++hits;
                    }
                }
                float coverage = hits / float(Samples * Samples);
                float& m = mask.At(x, y);
                m = m + coverage - m * coverage;
            }
        }
    }
    return TitleTextWidth(text, height);
}

bool HasPixelGlyph(char c) {
    return c == ' ' || FindPixelGlyph(c) != nullptr;
}

int PixelTextWidth(const char* text, int scale) {
    size_t n = strlen(text);
    return n == 0 ? 0 : static_cast<int>(n * 6 - 1) * scale;
}

int DrawPixelText(Mask& mask, const char* text, int left, int top, int scale) {
    for (size_t i = 0; text[i]; ++i) {
        const PixelGlyph* glyph = FindPixelGlyph(text[i]);
        if (!glyph) continue;
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                if (glyph->rows[row][column] != '#') continue;
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx) {
                        int x = left + (static_cast<int>(i) * 6 + column) * scale + dx;
                        int y = top + row * scale + dy;
                        if (x >= 0 && y >= 0 && x < mask.Width() && y < mask.Height())
                            mask.At(x, y) = 1;
                    }
            }
        }
    }
    return PixelTextWidth(text, scale);
}
