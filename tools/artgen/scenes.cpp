#include "scenes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "glyphs.h"

namespace {

constexpr float Pi = 3.14159265f;

// The game's colours.
const Colour SpaceTop = Hex(0x040214);
const Colour SpaceMiddle = Hex(0x170a45);
const Colour SpaceLow = Hex(0x4a1670);
const Colour HorizonPink = Hex(0xd0407a);
const Colour NebulaTeal = Hex(0x1c9cc4);
const Colour NebulaMagenta = Hex(0xb8287c);
const Colour GlowCyan = Hex(0x38d0ff);
const Colour GridMagenta = Hex(0xff3ca0);
const Colour Sunrise = Hex(0xff8a3c);

void PaintSky(Canvas& canvas, int horizon) {
    for (int y = 0; y < canvas.Height(); ++y) {
        float t = float(y) / horizon;
        Colour c = t < 0.55f ? Mix(SpaceTop, SpaceMiddle, SmoothStep(0, 0.55f, t))
                             : Mix(SpaceMiddle, SpaceLow, SmoothStep(0.55f, 1.0f, t));
        if (t > 0.8f) c = Mix(c, HorizonPink, SmoothStep(0.8f, 1.0f, t) * 0.55f);
        for (int x = 0; x < canvas.Width(); ++x)
            canvas.At(x, y) = c;
    }
}

void PaintNebula(Canvas& canvas, int horizon, float scale, uint32_t seed) {
    for (int y = 0; y < horizon; ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            float fx = x / scale, fy = y / scale;
            float cloud = FractalNoise(fx, fy, 5, seed);
            float veins = FractalNoise(fx * 1.7f + 3.1f, fy * 1.7f, 4, seed + 7);
            float teal = SmoothStep(0.52f, 0.8f, cloud) * 0.55f;
            float magenta = SmoothStep(0.5f, 0.78f, veins) * 0.5f;
            canvas.Glow(x, y, NebulaTeal, teal * teal * 1.4f);
            canvas.Glow(x, y, NebulaMagenta, magenta * magenta * 1.6f);
        }
}

void PaintStars(Canvas& canvas, int horizon, int count, uint32_t seed) {
    Random random(seed);
    for (int i = 0; i < count; ++i) {
        int x = static_cast<int>(random.Unit() * canvas.Width());
        int y = static_cast<int>(random.Unit() * horizon);
        float brightness = random.Unit();
        brightness = 0.25f + brightness * brightness * 0.9f;
        float tint = random.Unit();
        Colour c = tint < 0.3f ? Hex(0xa8d8ff) : (tint < 0.45f ? Hex(0xffe0b0) : Hex(0xffffff));
        canvas.Glow(x, y, c, brightness);
        if (brightness > 0.95f) {
            // A bright star: soft halo and a four-point flare.
            for (int d = 1; d < 7; ++d) {
                float fall = brightness * 0.5f / (d * 0.9f);
                canvas.Glow(x + d, y, c, fall);
                canvas.Glow(x - d, y, c, fall);
                canvas.Glow(x, y + d, c, fall);
                canvas.Glow(x, y - d, c, fall);
            }
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    canvas.Glow(x + dx, y + dy, c, 0.12f / (1 + dx * dx + dy * dy));
        }
    }
}

// A banded gas giant lit from the upper right, with a tilted ring.
void PaintRingedPlanet(Canvas& canvas, float cx, float cy, float radius, uint32_t seed) {
    const float tilt = -0.33f;
    const float ringOuter = 2.05f * radius, ringThin = 0.40f;
    auto ringAt = [&](float dx, float dy, float& alpha, bool& front) {
        float u = dx * std::cos(tilt) + dy * std::sin(tilt);
        float v = -dx * std::sin(tilt) + dy * std::cos(tilt);
        float e = std::sqrt((u / ringOuter) * (u / ringOuter) +
                            (v / (ringOuter * ringThin)) * (v / (ringOuter * ringThin)));
        front = v > 0;
        alpha = 0;
        if (e < 0.66f || e > 1.0f) return;
        float bands = 0.55f + 0.45f * std::sin(e * 70.0f) * std::sin(e * 23.0f + 1.0f);
        float edge = SmoothStep(0.66f, 0.69f, e) * (1 - SmoothStep(0.97f, 1.0f, e));
        float gap = 1 - 0.85f * (SmoothStep(0.83f, 0.845f, e) - SmoothStep(0.86f, 0.875f, e));
        alpha = edge * gap * (0.35f + 0.5f * bands);
    };
    const Colour ringColour = Hex(0xf2d7a8);
    const float lx = 0.62f, ly = -0.52f, lz = 0.58f;
    int x0 = static_cast<int>(cx - ringOuter - 2), x1 = static_cast<int>(cx + ringOuter + 2);
    int y0 = static_cast<int>(cy - ringOuter - 2), y1 = static_cast<int>(cy + ringOuter + 2);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
            float distance = std::sqrt(dx * dx + dy * dy);
            float ringAlpha;
            bool ringFront;
            ringAt(dx, dy, ringAlpha, ringFront);
            if (!ringFront) canvas.Blend(x, y, ringColour, ringAlpha * 0.8f);

            float cover = Clamp01(radius - distance + 0.5f);
            if (cover > 0) {
                float nx = dx / radius, ny = dy / radius;
                float nz = std::sqrt(std::max(0.0f, 1 - nx * nx - ny * ny));
                float light = std::max(0.0f, nx * lx + ny * ly + nz * lz);
                float band = FractalNoise(ny * 9.0f + nx * 0.8f, nx * 1.5f, 4, seed);
                float storm = FractalNoise(nx * 4.0f + 11, ny * 12.0f, 3, seed + 3);
                Colour base = Mix(Hex(0x6e2412), Hex(0xf0a25a), band);
                base = Mix(base, Hex(0xffe2b0), SmoothStep(0.62f, 0.8f, storm) * 0.6f);
                Colour lit = Scale(base, 0.06f + 1.05f * light);
                // The atmosphere catches the light along the rim.
                float rim = std::pow(1 - nz, 3.0f) * (0.3f + light);
                lit = Add(lit, Scale(Hex(0x6ad8ff), rim * 0.9f));
                canvas.Blend(x, y, lit, cover);
            } else if (distance < radius + 10) {
                // Thin halo outside the disc.
                float halo = 1 - (distance - radius) / 10;
                canvas.Glow(x, y, Hex(0x3aa8e0), halo * halo * 0.35f);
            }
            if (ringFront) canvas.Blend(x, y, ringColour, ringAlpha);
        }
}

// Light rising behind the horizon.
void PaintHorizonGlow(Canvas& canvas, float cx, int horizon, float radius) {
    for (int y = 0; y < horizon; ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            float dx = (x - cx) / radius, dy = (horizon - y) / (radius * 0.55f);
            float d = std::sqrt(dx * dx + dy * dy);
            if (d >= 1) continue;
            float g = (1 - d) * (1 - d);
            canvas.Glow(x, y, Sunrise, g * 0.75f);
            canvas.Glow(x, y, Hex(0xffe0a0), g * g * g * 0.8f);
        }
}

// Jagged ridges in front of the glow.
void PaintMountains(Canvas& canvas, int horizon, float height, uint32_t seed) {
    const Colour far = Hex(0x2a0f4a), near = Hex(0x12062a);
    for (int layer = 0; layer < 2; ++layer) {
        float h = height * (layer == 0 ? 1.0f : 0.6f);
        Colour c = layer == 0 ? far : near;
        for (int x = 0; x < canvas.Width(); ++x) {
            float n =
                FractalNoise(x / (layer == 0 ? 70.0f : 45.0f), 5.0f + layer * 9, 4, seed + layer);
            float ridge = 1 - std::fabs(n * 2 - 1);
            float top = horizon - h * ridge * ridge * 1.3f;
            for (int y = static_cast<int>(top); y < horizon; ++y) {
                float cover = Clamp01(y + 1 - top);
                // Lit edge toward the glow.
                Colour shaded = Mix(c, Hex(0x7a2a70), Clamp01(1 - (y - top) / 3) * 0.6f);
                canvas.Blend(x, y, shaded, cover);
            }
        }
    }
}

// A glowing perspective grid on the ground below the horizon.
void PaintGrid(Canvas& canvas, int horizon, float cx) {
    for (int y = horizon; y < canvas.Height(); ++y) {
        float depth = y - horizon + 3.0f;
        float fade = SmoothStep(0, 50, depth);
        Colour ground = Mix(Hex(0x1a0630), Hex(0x0a0318), Clamp01(depth / 80));
        for (int x = 0; x < canvas.Width(); ++x) {
            canvas.At(x, y) = ground;
            float gx = (x - cx) / depth * 1.6f;
            float dgx = 1.6f / depth;
            float vertical = Clamp01(1 - std::fabs(gx - std::round(gx)) / dgx / 1.1f);
            float gz = 260.0f / depth;
            float dgz = 260.0f / (depth * depth);
            float horizontal = Clamp01(1 - std::fabs(gz - std::round(gz)) / dgz / 1.1f);
            float line = std::max(vertical, horizontal);
            canvas.Glow(x, y, GridMagenta, line * (0.35f + 0.65f * fade));
            canvas.Glow(x, y, Hex(0x6020a0), 0.25f * (1 - fade));
        }
    }
    // The bright seam of the horizon.
    for (int x = 0; x < canvas.Width(); ++x) {
        float centre = 1 - std::fabs(x - cx) / canvas.Width();
        canvas.Glow(x, horizon, Hex(0xffd0e8), 0.7f * centre);
        canvas.Glow(x, horizon - 1, HorizonPink, 0.4f * centre);
        canvas.Glow(x, horizon + 1, HorizonPink, 0.3f * centre);
    }
}

void PaintComet(Canvas& canvas, float x0, float y0, float x1, float y1) {
    int steps = static_cast<int>(std::hypot(x1 - x0, y1 - y0));
    for (int i = 0; i <= steps; ++i) {
        float t = float(i) / steps;
        float x = x0 + (x1 - x0) * t, y = y0 + (y1 - y0) * t;
        float strength = t * t;
        for (int d = -2; d <= 2; ++d) {
            float w = strength * (d == 0 ? 0.9f : (std::abs(d) == 1 ? 0.3f : 0.08f));
            canvas.Glow(static_cast<int>(x), static_cast<int>(y) + d, Hex(0xc8f0ff), w);
        }
    }
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx)
            canvas.Glow(static_cast<int>(x1) + dx, static_cast<int>(y1) + dy, Hex(0xffffff),
                        0.9f / (1 + dx * dx + dy * dy));
}

// Chrome title: shadow, outer glow, a hot metal gradient with a bright
// horizon line, and bevelled edges.
void PaintTitle(Canvas& canvas, const TitlePlacement& place, int glowRadius) {
    const float height = place.height;
    Mask mask(canvas.Width(), canvas.Height());
    for (const TitleLine& line : place.lines)
        DrawTitleText(mask, line.text.c_str(), line.left, line.top, height);
    int offset = std::max(1, static_cast<int>(height / 22));
    Mask shadow = mask.Blurred(std::max(1, glowRadius / 3));
    Mask glow = mask.Blurred(glowRadius);
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            canvas.Blend(x, y, Hex(0x000000), shadow.Get(x - offset, y - offset * 2) * 0.75f);
            canvas.Glow(x, y, GlowCyan, glow.Get(x, y) * 1.1f);
        }
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            float m = mask.Get(x, y);
            if (m <= 0) continue;
            // The gradient runs down each line: the one whose middle is nearest.
            float top = place.lines[0].top;
            for (const TitleLine& line : place.lines)
                if (std::fabs(y - line.top - height / 2) < std::fabs(y - top - height / 2))
                    top = line.top;
            float t = (y + 0.5f - top) / height;
            Colour fill;
            if (t < 0.5f)
                fill = Mix(Hex(0xfffbe8), Hex(0xffc23c), SmoothStep(0.0f, 0.5f, t));
            else
                fill = Mix(Hex(0xff6a18), Hex(0xa0104c), SmoothStep(0.5f, 1.0f, t));
            float seam = 1 - std::fabs(t - 0.5f) * height / 1.5f;
            if (seam > 0) fill = Mix(fill, Hex(0xffffff), seam * 0.8f);
            float lightEdge = m - mask.Get(x - offset, y - offset);
            float darkEdge = m - mask.Get(x + offset, y + offset);
            if (lightEdge > 0) fill = Mix(fill, Hex(0xffffff), lightEdge * 0.7f);
            if (darkEdge > 0) fill = Mix(fill, Hex(0x3a0828), darkEdge * 0.6f);
            canvas.Blend(x, y, fill, m);
        }
}

void PaintPixelText(Canvas& canvas, const char* text, int left, int top, int scale, Colour colour,
                    Colour glowColour) {
    Mask mask(canvas.Width(), canvas.Height());
    DrawPixelText(mask, text, left, top, scale);
    Mask glow = mask.Blurred(std::max(1, scale));
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            canvas.Glow(x, y, glowColour, glow.Get(x, y) * 0.9f);
            canvas.Blend(x, y, colour, mask.Get(x, y));
        }
}

float RoundedBoxDistance(float x, float y, float x0, float y0, float x1, float y1, float r) {
    float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    float hx = (x1 - x0) / 2 - r, hy = (y1 - y0) / 2 - r;
    float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - r;
}

// Smoked glass behind the two buttons, edged with light.
void PaintButtonPanel(Canvas& canvas, int x0, int y0, int x1, int y1) {
    for (int y = y0 - 14; y < y1 + 14; ++y)
        for (int x = x0 - 14; x < x1 + 14; ++x) {
            float d = RoundedBoxDistance(x + 0.5f, y + 0.5f, x0, y0, x1, y1, 9);
            float inside = Clamp01(0.5f - d);
            float t = float(y - y0) / (y1 - y0);
            canvas.Blend(x, y, Mix(Hex(0x10082c), Hex(0x04020e), t), inside * 0.72f);
            float edge = Clamp01(1 - std::fabs(d) / 1.2f);
            canvas.Blend(x, y, Mix(GlowCyan, GridMagenta, Clamp01(t)), edge * 0.9f);
            if (d > 0 && d < 12) canvas.Glow(x, y, GlowCyan, (1 - d / 12) * (1 - d / 12) * 0.3f);
        }
}

// Where a picture has room for its title.
struct TitleRoom {
    int pictureWidth;
    float margin;               // left and right
    float fullHeight;           // cap height of a title that fits
    float top;                  // of a full-height title; a smaller one is centred on it
    float bandTop, bandBottom;  // where two lines may go
    float least;                // below this a title is split in two lines where it can
};

constexpr float LineGap = 0.25f;  // between two lines, in cap heights

TitleLine CentredLine(const std::string& text, int pictureWidth, float height, float top) {
    return {text, (pictureWidth - TitleTextWidth(text.c_str(), height)) / 2, top};
}

// Full size where the title fits between the margins, else as large as fits;
// a title that would be drawn smaller than the least size goes on two lines,
// split at the space that lets them be largest, when that is larger.
TitlePlacement PlaceTitle(const std::string& title, const TitleRoom& room) {
    float across = room.pictureWidth - 2 * room.margin;
    TitlePlacement place;
    float width = TitleTextWidth(title.c_str(), room.fullHeight);
    place.height = width <= across ? room.fullHeight : room.fullHeight * across / width;
    // Centred on the full-size band.
    place.lines = {CentredLine(title, room.pictureWidth, place.height,
                               room.top + (room.fullHeight - place.height) / 2)};
    if (place.height >= room.least) return place;

    float bandHeight = room.bandBottom - room.bandTop;
    float bestHeight = place.height;
    size_t bestSplit = std::string::npos;
    for (size_t i = 0; i < title.size(); ++i) {
        if (title[i] != ' ') continue;
        std::string first = title.substr(0, i), second = title.substr(i + 1);
        if (first.find_first_not_of(' ') == std::string::npos ||
            second.find_first_not_of(' ') == std::string::npos)
            continue;
        float widest = std::max(TitleTextWidth(first.c_str(), room.fullHeight),
                                TitleTextWidth(second.c_str(), room.fullHeight));
        float height = std::min(
            {room.fullHeight, room.fullHeight * across / widest, bandHeight / (2 + LineGap)});
        if (height > bestHeight) {
            bestHeight = height;
            bestSplit = i;
        }
    }
    if (bestSplit == std::string::npos) return place;
    float top = room.bandTop + (bandHeight - bestHeight * (2 + LineGap)) / 2;
    place.height = bestHeight;
    place.lines = {
        CentredLine(title.substr(0, bestSplit), room.pictureWidth, bestHeight, top),
        CentredLine(title.substr(bestSplit + 1), room.pictureWidth, bestHeight,
                    top + bestHeight * (1 + LineGap)),
    };
    return place;
}

// The tagline's pixel scale: 2 where it fits, else 1; 0 when not even that fits.
int TaglineScale(const std::string& tagline) {
    for (int scale = 2; scale >= 1; --scale)
        if (PixelTextWidth(tagline.c_str(), scale) <= LauncherWidth - 2 * 10) return scale;
    return 0;
}

std::string IconLetter(const std::string& title) {
    for (char c : title)
        if (c != ' ') return std::string(1, c);
    return "";
}

}  // namespace

TitlePlacement PlaceLauncherTitle(const std::string& title) {
    // Two lines may take the sky from above the title down to the tagline.
    return PlaceTitle(title, {LauncherWidth, 20, 104, 30, 12, 136, LauncherTitleLeast});
}

TitlePlacement PlaceWizardTitle(const std::string& title) {
    // Two lines may take the sky from the top down to "SETUP".
    return PlaceTitle(title, {WizardWidth, 4, 22, 16, 6, 46, WizardTitleLeast});
}

bool CheckArtTexts(const ArtTexts& texts, std::string* problem) {
    char text[200];
    if (IconLetter(texts.title).empty()) {
        *problem = "the title is empty";
        return false;
    }
    for (char c : texts.title)
        if (!HasTitleGlyph(c)) {
            snprintf(text, sizeof text,
                     "the title has a character the title face lacks: '%c' (it has A-Z, 0-9, "
                     "space and - . , ! ? : ' /)",
                     c);
            *problem = text;
            return false;
        }
    for (char c : texts.tagline)
        if (!HasPixelGlyph(c)) {
            snprintf(text, sizeof text,
                     "the tagline has a character the small face lacks: '%c' (it has A-Z, "
                     "0-9, space and - . / : ')",
                     c);
            *problem = text;
            return false;
        }
    const struct {
        const char* picture;
        TitlePlacement place;
        float least;
    } fits[] = {
        {"launcher", PlaceLauncherTitle(texts.title), LauncherTitleLeast},
        {"wizard", PlaceWizardTitle(texts.title), WizardTitleLeast},
    };
    for (const auto& fit : fits)
        if (fit.place.height < fit.least) {
            snprintf(text, sizeof text,
                     "the title is too long for the %s picture: it would be %.1f pixels high "
                     "to fit, and at least %.0f are needed; shorten it",
                     fit.picture, fit.place.height, fit.least);
            *problem = text;
            return false;
        }
    if (!texts.tagline.empty() && TaglineScale(texts.tagline) == 0) {
        snprintf(text, sizeof text, "the tagline is too long: at most %d characters fit",
                 (LauncherWidth - 2 * 10 + 1) / 6);
        *problem = text;
        return false;
    }
    return true;
}

Canvas PaintLauncherScene(const ArtTexts& texts) {
    Canvas canvas(600, 450);
    const int horizon = 384;
    PaintSky(canvas, horizon);
    PaintNebula(canvas, horizon, 150.0f, 17);
    PaintStars(canvas, horizon, 520, 0x5eed1997);
    PaintHorizonGlow(canvas, 420, horizon, 300);
    PaintMountains(canvas, horizon, 34, 41);
    PaintGrid(canvas, horizon, 300);
    PaintComet(canvas, 585, 40, 500, 98);
    PaintRingedPlanet(canvas, 138, 272, 74, 5);

    PaintTitle(canvas, PlaceLauncherTitle(texts.title), 9);
    if (int scale = TaglineScale(texts.tagline); !texts.tagline.empty() && scale > 0) {
        const char* tagline = texts.tagline.c_str();
        int taglineWidth = PixelTextWidth(tagline, scale);
        PaintPixelText(canvas, tagline, (600 - taglineWidth) / 2, 150, scale, Hex(0xd8f4ff),
                       GlowCyan);
    }

    PaintButtonPanel(canvas, ButtonLeft - 16, PlayButtonTopLeast - 38,
                     ButtonLeft + ButtonWidth + 16, InstallButtonBottomMost + 12);
    const char* demo = "PLAYABLE DEMO";
    int demoWidth = PixelTextWidth(demo, 2);
    PaintPixelText(canvas, demo, ButtonLeft + (ButtonWidth - demoWidth) / 2,
                   PlayButtonTopLeast - 28, 2, Hex(0xffd27a), Sunrise);

    const char* footer = "CD-ROM FOR WINDOWS 95 AND WINDOWS NT 4.0";
    int footerWidth = PixelTextWidth(footer, 1);
    PaintPixelText(canvas, footer, (600 - footerWidth) / 2, ShortestClientHeight - 14, 1,
                   Hex(0xf0c8ff), GridMagenta);
    return canvas;
}

Canvas PaintWizardScene(const ArtTexts& texts) {
    Canvas canvas(123, 263);
    const int horizon = 226;
    PaintSky(canvas, horizon);
    PaintNebula(canvas, horizon, 60.0f, 23);
    PaintStars(canvas, horizon, 110, 0xa11ce5);
    PaintHorizonGlow(canvas, 80, horizon, 90);
    PaintMountains(canvas, horizon, 14, 77);
    PaintGrid(canvas, horizon, 61);
    PaintRingedPlanet(canvas, 60, 142, 30, 9);

    PaintTitle(canvas, PlaceWizardTitle(texts.title), 3);
    const char* setup = "SETUP";
    PaintPixelText(canvas, setup, (123 - PixelTextWidth(setup, 2)) / 2, 50, 2, Hex(0xd8f4ff),
                   GlowCyan);
    return canvas;
}

Canvas PaintIconScene(int size, const ArtTexts& texts, std::vector<uint8_t>& opaque) {
    Canvas canvas(size, size);
    opaque.assign(static_cast<size_t>(size) * size, 0);
    float centre = size / 2.0f, radius = size / 2.0f - 0.5f;
    // The title's first letter, glowing on a disc of space.
    std::string initial = IconLetter(texts.title);
    Mask letter(size, size);
    float height = size * 0.62f;
    float width = TitleTextWidth(initial.c_str(), height);
    DrawTitleText(letter, initial.c_str(), centre - width / 2, centre - height / 2 + size * 0.02f,
                  height);
    Mask glow = letter.Blurred(std::max(1, size / 16));
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float dx = x + 0.5f - centre, dy = y + 0.5f - centre;
            float d = std::sqrt(dx * dx + dy * dy);
            if (d > radius + 0.25f) continue;  // the mask keeps edges crisp at icon size
            opaque[y * size + x] = 1;
            float t = (y + 0.5f) / size;
            Colour c = Mix(Hex(0x1a0c50), Hex(0x6a1870), t);
            float rim = SmoothStep(radius - 2.5f, radius, d);
            c = Mix(c, GlowCyan, rim * 0.9f);
            c = Add(c, Scale(GlowCyan, glow.Get(x, y) * 1.2f));
            float m = letter.Get(x, y);
            Colour fill = Mix(Hex(0xfff4c0), Hex(0xff6a18), SmoothStep(0.2f, 0.85f, t));
            c = Mix(c, fill, m);
            canvas.At(x, y) = c;
        }
    return canvas;
}
