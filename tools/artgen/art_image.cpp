#include "art_image.h"

#include <algorithm>
#include <cmath>

Colour Mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour Scale(Colour c, float s) {
    return {c.r * s, c.g * s, c.b * s};
}

Colour Add(Colour a, Colour b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}

Colour Hex(uint32_t rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f};
}

Canvas::Canvas(int width, int height)
    : width(width), height(height), pixels(static_cast<size_t>(width) * height) {}

void Canvas::Blend(int x, int y, Colour colour, float alpha) {
    if (x < 0 || y < 0 || x >= width || y >= height || alpha <= 0) return;
    Colour& p = At(x, y);
    p = Mix(p, colour, std::min(alpha, 1.0f));
}

void Canvas::Glow(int x, int y, Colour colour, float amount) {
    if (x < 0 || y < 0 || x >= width || y >= height || amount <= 0) return;
    Colour& p = At(x, y);
    p = Add(p, Scale(colour, amount));
}

Mask::Mask(int width, int height)
    : width(width), height(height), values(static_cast<size_t>(width) * height, 0.0f) {}

float Mask::Get(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return values[y * width + x];
}

namespace {

// One horizontal or vertical box blur pass with zero outside the mask.
std::vector<float> BoxPass(const std::vector<float>& in, int width, int height, int radius,
                           bool horizontal) {
    std::vector<float> out(in.size());
    int lines = horizontal ? height : width;
    int length = horizontal ? width : height;
    float scale = 1.0f / (2 * radius + 1);
    for (int line = 0; line < lines; ++line) {
        auto index = [&](int i) { return horizontal ? line * width + i : i * width + line; };
        float sum = 0;
        for (int i = -radius; i <= radius; ++i)
            if (i >= 0 && i < length) sum += in[index(i)];
        for (int i = 0; i < length; ++i) {
            out[index(i)] = sum * scale;
            int leaving = i - radius;
            int entering = i + radius + 1;
            if (leaving >= 0) sum -= in[index(leaving)];
            if (entering < length) sum += in[index(entering)];
        }
    }
    return out;
}

}  // namespace

Mask Mask::Blurred(int radius) const {
    Mask result(width, height);
    std::vector<float> v = values;
    for (int pass = 0; pass < 3; ++pass) {
        v = BoxPass(v, width, height, radius, true);
        v = BoxPass(v, width, height, radius, false);
    }
    result.values = v;
    return result;
}

uint32_t Random::Next() {
    // xorshift32: small, fast and the same on every compiler.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

float Random::Unit() {
    return (Next() >> 8) / 16777216.0f;
}

namespace {

float Lattice(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / 16777215.0f;
}

float Fade(float t) {
    return t * t * (3 - 2 * t);
}

}  // namespace

float ValueNoise(float x, float y, uint32_t seed) {
    int xi = static_cast<int>(std::floor(x));
    int yi = static_cast<int>(std::floor(y));
    float tx = Fade(x - xi);
    float ty = Fade(y - yi);
    float a = Lattice(xi, yi, seed), b = Lattice(xi + 1, yi, seed);
    float c = Lattice(xi, yi + 1, seed), d = Lattice(xi + 1, yi + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float FractalNoise(float x, float y, int octaves, uint32_t seed) {
    float sum = 0, amplitude = 0.5f, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += ValueNoise(x, y, seed + i * 101) * amplitude;
        total += amplitude;
        x *= 2.03f;
        y *= 2.03f;
        amplitude *= 0.5f;
    }
    return sum / total;
}

float Clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

float SmoothStep(float edge0, float edge1, float x) {
    float t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}
