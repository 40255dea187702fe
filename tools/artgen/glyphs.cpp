#include "glyphs.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Title glyphs live on a grid 100 units wide and 140 high, y growing down.
constexpr float GlyphUnitsHigh = 140;
constexpr float GlyphAdvance = 122;  // width plus spacing
constexpr float Slant = 0.22f;       // italic shear, units of x per unit of y

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

std::vector<Contour> TitleGlyph(char letter) {
    switch (letter) {
        case 'V':
            return {{{{0, 0}, {30, 0}, {50, 96}, {70, 0}, {100, 0}, {64, 140}, {36, 140}}}};
        case 'E':
            return {Box(0, 0, 100, 28), Box(0, 0, 30, 140), Box(0, 56, 82, 84),
                    Box(0, 112, 100, 140)};
        case 'X':
            return {{{{0, 0}, {32, 0}, {100, 140}, {68, 140}}},
                    {{{68, 0}, {100, 0}, {32, 140}, {0, 140}}}};
        case 'L':
            return {Box(0, 0, 30, 140), Box(0, 112, 100, 140)};
        case 'O':
            return {Chamfered(0, 0, 100, 140, 26), Reversed(Chamfered(30, 28, 70, 112, 8))};
        case 'D':
            return {{{{0, 0}, {74, 0}, {100, 26}, {100, 114}, {74, 140}, {0, 140}}},
                    Reversed(Chamfered(30, 28, 70, 112, 8))};
        case 'M':
            return {Box(0, 0, 28, 140),
                    Box(72, 0, 100, 140),
                    {{{0, 0}, {26, 0}, {50, 62}, {74, 0}, {100, 0}, {62, 96}, {38, 96}}}};
    }
    return {};
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

float TitleTextWidth(const char* text, float height) {
    size_t n = strlen(text);
    if (n == 0) return 0;
    float units = (n - 1) * GlyphAdvance + 100 + GlyphUnitsHigh * Slant;
    return units * height / GlyphUnitsHigh;
}

float DrawTitleText(Mask& mask, const char* text, float left, float top, float height) {
    float scale = height / GlyphUnitsHigh;
    constexpr int Samples = 4;  // per axis, for smooth edges
    for (size_t i = 0; text[i]; ++i) {
        std::vector<Contour> glyph = TitleGlyph(text[i]);
        if (glyph.empty()) continue;
        float originX = left + i * GlyphAdvance * scale;
        int x0 = static_cast<int>(std::floor(originX)) - 1;
        int x1 = static_cast<int>(std::ceil(originX + (100 + GlyphUnitsHigh * Slant) * scale)) + 1;
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
                        if (Winding(glyph, gx, gy) != 0) ++hits;
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
