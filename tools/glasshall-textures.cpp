// glasshall-textures: generates every picture Glass Hall loads, deterministically.
//
//   glasshall-textures OUTDIR          writes the PNG set into OUTDIR
//   glasshall-textures --gui-logo FILE writes the setup dialog's 390 x 95 logo as XPM
//                                      data (a C array, two characters per pixel)
//
// Everything is computed from fixed seeds with our own hash and noise functions, so the
// same build gives byte-identical files. Text is rendered with FreeType from the DejaVu
// fonts. Images are held as floats, rows top first, and written as 8-bit PNG; the
// engine's decoder flips them bottom-up, so texture t = 0 is the last row written.
//
// What the shaders can rely on:
// - Noise.png: independent uniform noise per channel; SmoothNoise.png: three
//   independent tileable fractal noises (R, G, B), stretched to 0..1.
// - DistortNoise.png: 512 x 1, a tileable 1D offset curve around 0.5 (R fine wobble,
//   G slow sway, B sparse glitch spikes); sampled with nearest filtering.
// - Overlays: 1024 x 576 (16:9) RGBA, alpha 0 in the centre, borders/frames opaque.
// - Title frames: the title built up letter by letter over frames 1..5, light on black
//   (frame 5 complete), meant to be added over the image.
// - Warp-speed textures: streaks run along t (the rows), tileable both ways.
// - Normal maps: tangent space, RGB = n * 0.5 + 0.5, +y pointing to increasing t.
// - Loader1.png / Loader2.png: the same layout dark and lit; the bar's segments span
//   s = 0.045 .. 0.945 in ten steps of 0.09, the positions the loading screen's
//   progress value takes, so showing Loader2 where s < progress lights whole segments.
#include "PngWriter.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const char* const FontDir = "/usr/share/fonts/truetype/dejavu/";
const float Pi = 3.14159265358979f;

// ---------------------------------------------------------------- images and PNG

struct Image {
    int w = 0, h = 0, c = 0;
    std::vector<float> d;
    Image() = default;
    Image(int width, int height, int channels) : w(width), h(height), c(channels), d(size_t(width) * height * channels, 0.0f) {}
    float& at(int x, int y, int ch = 0) { return d[(size_t(y) * w + x) * c + ch]; }
    float at(int x, int y, int ch = 0) const { return d[(size_t(y) * w + x) * c + ch]; }
    // Wrapping read, for tileable work.
    float wrap(int x, int y, int ch = 0) const { return at(((x % w) + w) % w, ((y % h) + h) % h, ch); }
};

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
float smoothstep(float e0, float e1, float x)
{
    float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}
float mix(float a, float b, float t) { return a + (b - a) * t; }

// 8-bit PNG of 1 (grey), 2 (grey + alpha), 3 (RGB) or 4 (RGBA) channels.
bool writePng(const std::string& path, const Image& img)
{
    std::vector<uint8_t> bytes(img.d.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(std::lround(clamp01(img.d[i]) * 255.0f));
    return writePngFile(path, img.w, img.h, img.c, bytes.data(), false).ok();
}

// ---------------------------------------------------------------- hashing and noise

uint32_t hash3(uint32_t a, uint32_t b, uint32_t seed)
{
    uint32_t h = seed * 0x9E3779B9u ^ a * 0x85EBCA6Bu ^ b * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}
float hashUnit(uint32_t a, uint32_t b, uint32_t seed) { return float(hash3(a, b, seed) >> 8) / 16777216.0f; }

// A small deterministic generator for scattering things.
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return uint32_t(s >> 16);
    }
    float unit() { return float(next() >> 8) / 16777216.0f; }
    float range(float a, float b) { return a + (b - a) * unit(); }
};

int wrapIndex(int i, int period) { return ((i % period) + period) % period; }

// Gradient noise on a lattice that repeats every period cells; about -0.7 .. 0.7.
float gradientNoise(float x, float y, int period, uint32_t seed)
{
    int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    float fx = x - x0, fy = y - y0;
    auto corner = [&](int ix, int iy, float dx, float dy) {
        float a = hashUnit(uint32_t(wrapIndex(ix, period)), uint32_t(wrapIndex(iy, period)), seed) * 2 * Pi;
        return std::cos(a) * dx + std::sin(a) * dy;
    };
    float u = fx * fx * fx * (fx * (fx * 6 - 15) + 10), v = fy * fy * fy * (fy * (fy * 6 - 15) + 10);
    float n00 = corner(x0, y0, fx, fy), n10 = corner(x0 + 1, y0, fx - 1, fy);
    float n01 = corner(x0, y0 + 1, fx, fy - 1), n11 = corner(x0 + 1, y0 + 1, fx - 1, fy - 1);
    return mix(mix(n00, n10, u), mix(n01, n11, u), v);
}

// Tileable fractal noise over u, v in [0, 1): octaves of doubling frequency.
float fbm(float u, float v, int basePeriod, int octaves, float gain, uint32_t seed)
{
    float sum = 0, amp = 1;
    int period = basePeriod;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * gradientNoise(u * period, v * period, period, seed + uint32_t(o) * 7919u);
        amp *= gain;
        period *= 2;
    }
    return sum;
}

// 1D tileable value noise with smooth interpolation.
float valueNoise1(float x, int period, uint32_t seed)
{
    int x0 = int(std::floor(x));
    float f = x - x0;
    float a = hashUnit(uint32_t(wrapIndex(x0, period)), 0, seed);
    float b = hashUnit(uint32_t(wrapIndex(x0 + 1, period)), 0, seed);
    return mix(a, b, f * f * (3 - 2 * f));
}

// Tileable cellular noise: distances to the nearest and second-nearest feature point
// (one per cell of a cells x cells grid), in cell units, and the nearest cell's id.
struct Cell {
    float f1, f2;
    uint32_t id;
};
Cell cellular(float u, float v, int cells, uint32_t seed)
{
    float x = u * cells, y = v * cells;
    int cx = int(std::floor(x)), cy = int(std::floor(y));
    Cell result{1e9f, 1e9f, 0};
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            int gx = cx + i, gy = cy + j;
            uint32_t wx = uint32_t(wrapIndex(gx, cells)), wy = uint32_t(wrapIndex(gy, cells));
            float px = gx + 0.15f + 0.7f * hashUnit(wx, wy, seed);
            float py = gy + 0.15f + 0.7f * hashUnit(wx, wy, seed + 1);
            float d = std::hypot(px - x, py - y);
            if (d < result.f1) {
                result.f2 = result.f1;
                result.f1 = d;
                result.id = wy * uint32_t(cells) + wx;
            } else if (d < result.f2) {
                result.f2 = d;
            }
        }
    return result;
}

// Stretches one channel to 0..1.
void normalizeChannel(Image& img, int ch)
{
    float lo = 1e30f, hi = -1e30f;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            lo = std::min(lo, img.at(x, y, ch));
            hi = std::max(hi, img.at(x, y, ch));
        }
    float scale = hi > lo ? 1.0f / (hi - lo) : 0.0f;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            img.at(x, y, ch) = (img.at(x, y, ch) - lo) * scale;
}

// ---------------------------------------------------------------- blur

// Box blur of one channel along one axis, radius r; wrapping or zero outside.
void boxBlurAxis(Image& img, int ch, int r, bool horizontal, bool wrap)
{
    int n = horizontal ? img.w : img.h, lines = horizontal ? img.h : img.w;
    std::vector<float> line(n), out(n);
    for (int l = 0; l < lines; ++l) {
        for (int i = 0; i < n; ++i)
            line[i] = horizontal ? img.at(i, l, ch) : img.at(l, i, ch);
        auto get = [&](int i) { return wrap ? line[wrapIndex(i, n)] : (i < 0 || i >= n ? 0.0f : line[i]); };
        float sum = 0;
        for (int i = -r; i <= r; ++i)
            sum += get(i);
        for (int i = 0; i < n; ++i) {
            out[i] = sum / float(2 * r + 1);
            sum += get(i + r + 1) - get(i - r);
        }
        for (int i = 0; i < n; ++i)
            (horizontal ? img.at(i, l, ch) : img.at(l, i, ch)) = out[i];
    }
}

// Approximately Gaussian (three box passes each way).
Image blurred(const Image& src, int radius, bool wrap = false)
{
    Image img = src;
    if (radius <= 0)
        return img;
    for (int ch = 0; ch < img.c; ++ch)
        for (int pass = 0; pass < 3; ++pass) {
            boxBlurAxis(img, ch, radius, true, wrap);
            boxBlurAxis(img, ch, radius, false, wrap);
        }
    return img;
}

// ---------------------------------------------------------------- text

class Fonts {
public:
    Fonts() { ok = FT_Init_FreeType(&library) == 0; }
    ~Fonts()
    {
        for (auto& entry : faces)
            FT_Done_Face(entry.second);
        if (ok)
            FT_Done_FreeType(library);
    }
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    FT_Face face(const std::string& file)
    {
        auto found = faces.find(file);
        if (found != faces.end())
            return found->second;
        FT_Face f = nullptr;
        if (!ok || FT_New_Face(library, (std::string(FontDir) + file).c_str(), 0, &f) != 0) {
            std::fprintf(stderr, "glasshall-textures: cannot open font %s%s\n", FontDir, file.c_str());
            std::exit(1);
        }
        faces[file] = f;
        return f;
    }

    // One line of text as a coverage mask cropped to its ink, tracking in pixels
    // added after every glyph.
    Image line(const std::string& file, int pixels, const std::string& text, float tracking = 0)
    {
        FT_Face f = face(file);
        FT_Set_Pixel_Sizes(f, 0, FT_UInt(pixels));
        int pad = 2;
        int width = pad * 2, ascent = int(f->size->metrics.ascender >> 6), descent = int(-(f->size->metrics.descender >> 6));
        for (char ch : text) {
            FT_Load_Char(f, FT_ULong(uint8_t(ch)), FT_LOAD_DEFAULT);
            width += int(f->glyph->advance.x >> 6) + int(std::ceil(tracking)) + 2;
        }
        Image canvas(width, ascent + descent + pad * 2, 1);
        float penX = pad;
        FT_UInt previous = 0;
        for (char ch : text) {
            FT_UInt glyph = FT_Get_Char_Index(f, FT_ULong(uint8_t(ch)));
            if (previous && glyph && FT_HAS_KERNING(f)) {
                FT_Vector kern;
                FT_Get_Kerning(f, previous, glyph, FT_KERNING_DEFAULT, &kern);
                penX += kern.x / 64.0f;
            }
            FT_Load_Glyph(f, glyph, FT_LOAD_RENDER);
            FT_GlyphSlot g = f->glyph;
            int ox = int(std::lround(penX)) + g->bitmap_left, oy = pad + ascent - g->bitmap_top;
            for (unsigned row = 0; row < g->bitmap.rows; ++row)
                for (unsigned col = 0; col < g->bitmap.width; ++col) {
                    int x = ox + int(col), y = oy + int(row);
                    if (x < 0 || y < 0 || x >= canvas.w || y >= canvas.h)
                        continue;
                    float v = g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.0f;
                    canvas.at(x, y) = std::max(canvas.at(x, y), v);
                }
            penX += g->advance.x / 64.0f + tracking;
            previous = glyph;
        }
        return crop(canvas);
    }

private:
    static Image crop(const Image& m)
    {
        int x0 = m.w, y0 = m.h, x1 = -1, y1 = -1;
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x)
                if (m.at(x, y) > 0) {
                    x0 = std::min(x0, x);
                    y0 = std::min(y0, y);
                    x1 = std::max(x1, x);
                    y1 = std::max(y1, y);
                }
        if (x1 < 0)
            return Image(1, 1, 1);
        Image out(x1 - x0 + 1, y1 - y0 + 1, 1);
        for (int y = 0; y < out.h; ++y)
            for (int x = 0; x < out.w; ++x)
                out.at(x, y) = m.at(x0 + x, y0 + y);
        return out;
    }

    FT_Library library = nullptr;
    bool ok = false;
    std::map<std::string, FT_Face> faces;
};

// Puts mask src (1 channel) into dst's channel 0 at (x, y), keeping the maximum.
void stamp(Image& dst, const Image& src, int x, int y, float gain = 1.0f)
{
    for (int j = 0; j < src.h; ++j)
        for (int i = 0; i < src.w; ++i) {
            int tx = x + i, ty = y + j;
            if (tx < 0 || ty < 0 || tx >= dst.w || ty >= dst.h)
                continue;
            dst.at(tx, ty) = std::max(dst.at(tx, ty), src.at(i, j) * gain);
        }
}
// Centred horizontally on cx with its ink's vertical centre at cy.
void stampCentred(Image& dst, const Image& src, float cx, float cy, float gain = 1.0f)
{
    stamp(dst, src, int(std::lround(cx - src.w / 2.0f)), int(std::lround(cy - src.h / 2.0f)), gain);
}

// Adds mask * colour into an RGB(A) image's colour channels.
void addColour(Image& dst, const Image& mask, float r, float g, float b)
{
    for (int y = 0; y < dst.h; ++y)
        for (int x = 0; x < dst.w; ++x) {
            float m = mask.at(x, y);
            dst.at(x, y, 0) += m * r;
            dst.at(x, y, 1) += m * g;
            dst.at(x, y, 2) += m * b;
        }
}

// Soft clipping, so bright glows saturate gracefully instead of banding at white.
void toneMap(Image& img, int channels = 3)
{
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            for (int ch = 0; ch < channels; ++ch) {
                float& v = img.at(x, y, ch);
                v = v <= 0.8f ? std::max(v, 0.0f) : 0.8f + 0.2f * (1.0f - std::exp(-(v - 0.8f) / 0.2f));
            }
}

Image maskOf(int w, int h) { return Image(w, h, 1); }

// A filled axis-aligned rectangle with antialiased edges (coordinates in pixels).
void fillRect(Image& mask, float x0, float y0, float x1, float y1, float value = 1.0f)
{
    for (int y = std::max(0, int(y0) - 1); y < std::min(mask.h, int(y1) + 2); ++y)
        for (int x = std::max(0, int(x0) - 1); x < std::min(mask.w, int(x1) + 2); ++x) {
            float cx = clamp01(std::min(x + 1 - x0, x1 - x)), cy = clamp01(std::min(y + 1 - y0, y1 - y));
            mask.at(x, y) = std::max(mask.at(x, y), cx * cy * value);
        }
}

// A ring of radius r and half-width hw around (cx, cy).
void ring(Image& mask, float cx, float cy, float r, float hw, float value = 1.0f)
{
    for (int y = 0; y < mask.h; ++y)
        for (int x = 0; x < mask.w; ++x) {
            float d = std::fabs(std::hypot(x + 0.5f - cx, y + 0.5f - cy) - r);
            float v = clamp01(hw + 0.5f - d) * value;
            mask.at(x, y) = std::max(mask.at(x, y), v);
        }
}

// ---------------------------------------------------------------- the pictures

Image colourNoise()
{
    Image img(256, 256, 3);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            for (int ch = 0; ch < 3; ++ch)
                img.at(x, y, ch) = hashUnit(uint32_t(x), uint32_t(y), 101u + uint32_t(ch));
    return img;
}

Image smoothNoise()
{
    Image img(256, 256, 3);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            for (int ch = 0; ch < 3; ++ch)
                img.at(x, y, ch) = fbm(x / 256.0f, y / 256.0f, 4, 5, 0.5f, 200u + uint32_t(ch) * 31u);
    for (int ch = 0; ch < 3; ++ch)
        normalizeChannel(img, ch);
    return img;
}

Image distortNoise()
{
    const int n = 512;
    Image img(n, 1, 3);
    Rng rng(7);
    std::vector<float> spikes(n, 0.0f);
    for (int k = 0; k < 14; ++k) {
        int start = int(rng.unit() * n), length = 2 + int(rng.unit() * 12);
        float offset = rng.range(-0.45f, 0.45f);
        for (int i = 0; i < length; ++i)
            spikes[(start + i) % n] = offset;
    }
    for (int x = 0; x < n; ++x) {
        float u = x / float(n);
        float fine = 0;
        for (int o = 0; o < 4; ++o)
            fine += (valueNoise1(u * (32 << o), 32 << o, 300u + uint32_t(o)) - 0.5f) / float(1 << o);
        float slow = valueNoise1(u * 6, 6, 310u) - 0.5f;
        img.at(x, 0, 0) = clamp01(0.5f + 0.5f * fine);
        img.at(x, 0, 1) = clamp01(0.5f + 0.8f * slow);
        img.at(x, 0, 2) = clamp01(0.5f + spikes[x]);
    }
    return img;
}

// Overlays: RGBA over the whole 16:9 frame, transparent centre.
const int OverlayW = 1024, OverlayH = 576;

void paintOverlay(Image& img, const Image& mask, float r, float g, float b, float alpha)
{
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            float a = mask.at(x, y) * alpha;
            if (a <= 0)
                continue;
            // "over" compositing in straight alpha
            float outA = a + img.at(x, y, 3) * (1 - a);
            for (int ch = 0; ch < 3; ++ch) {
                float src = ch == 0 ? r : ch == 1 ? g : b;
                img.at(x, y, ch) = (src * a + img.at(x, y, ch) * img.at(x, y, 3) * (1 - a)) / outA;
            }
            img.at(x, y, 3) = outA;
        }
}

Image overlayWide()
{
    Image img(OverlayW, OverlayH, 4);
    Image bars = maskOf(OverlayW, OverlayH), lines = maskOf(OverlayW, OverlayH);
    float bar = 72; // 1024 x 432 remains: about 2.37:1
    fillRect(bars, 0, 0, OverlayW, bar);
    fillRect(bars, 0, OverlayH - bar, OverlayW, OverlayH);
    fillRect(lines, 24, bar + 6, OverlayW - 24, bar + 7.5f);
    fillRect(lines, 24, OverlayH - bar - 7.5f, OverlayW - 24, OverlayH - bar - 6);
    // corner ticks of a viewfinder frame
    for (int side = 0; side < 2; ++side) {
        float x = side ? OverlayW - 24 - 1.5f : 24;
        fillRect(lines, x, bar + 6, x + 1.5f, bar + 30);
        fillRect(lines, x, OverlayH - bar - 30, x + 1.5f, OverlayH - bar - 6);
    }
    paintOverlay(img, bars, 0, 0, 0, 1.0f);
    paintOverlay(img, lines, 0.9f, 0.95f, 1.0f, 0.7f);
    return img;
}

Image overlayTall()
{
    Image img(OverlayW, OverlayH, 4);
    Image bars = maskOf(OverlayW, OverlayH), lines = maskOf(OverlayW, OverlayH);
    float bar = (OverlayW - OverlayH) / 2.0f; // a square window between pillars
    fillRect(bars, 0, 0, bar, OverlayH);
    fillRect(bars, OverlayW - bar, 0, OverlayW, OverlayH);
    fillRect(lines, bar + 6, 16, bar + 7.5f, OverlayH - 16);
    fillRect(lines, OverlayW - bar - 7.5f, 16, OverlayW - bar - 6, OverlayH - 16);
    for (int i = 0; i < 12; ++i) {
        float y = 16 + i * (OverlayH - 32) / 11.0f;
        fillRect(lines, bar - 18, y - 0.75f, bar - 6, y + 0.75f);
        fillRect(lines, OverlayW - bar + 6, y - 0.75f, OverlayW - bar + 18, y + 0.75f);
    }
    paintOverlay(img, bars, 0, 0, 0, 1.0f);
    paintOverlay(img, lines, 0.9f, 0.95f, 1.0f, 0.6f);
    return img;
}

Image overlayWhiteLeftBorder()
{
    Image img(OverlayW, OverlayH, 4);
    Image border = maskOf(OverlayW, OverlayH), ticks = maskOf(OverlayW, OverlayH);
    fillRect(border, 0, 0, 40, OverlayH);
    fillRect(border, 48, 0, 51, OverlayH);
    // a ruler along the border's inner edge, every 24 px, longer every 96 px
    for (int y = 12; y < OverlayH; y += 24)
        fillRect(ticks, 51, y - 0.75f, 51 + ((y - 12) % 96 == 0 ? 22.0f : 10.0f), y + 0.75f);
    paintOverlay(img, border, 1, 1, 1, 0.92f);
    paintOverlay(img, ticks, 1, 1, 1, 0.75f);
    return img;
}

Image overlayRedSideBorders()
{
    Image img(OverlayW, OverlayH, 4);
    Image border = maskOf(OverlayW, OverlayH), stripes = maskOf(OverlayW, OverlayH);
    const float width = 56;
    fillRect(border, 0, 0, width, OverlayH);
    fillRect(border, OverlayW - width, 0, OverlayW, OverlayH);
    fillRect(border, width + 5, 0, width + 7, OverlayH);
    fillRect(border, OverlayW - width - 7, 0, OverlayW - width - 5, OverlayH);
    // darker diagonal hazard stripes inside the bars
    for (int y = 0; y < OverlayH; ++y)
        for (int x = 0; x < OverlayW; ++x) {
            if (x >= width && x < OverlayW - width)
                continue;
            float s = std::fmod(float(x + y) + 1000.0f, 32.0f);
            stripes.at(x, y) = smoothstep(0, 1.5f, s) * (1 - smoothstep(14, 15.5f, s));
        }
    paintOverlay(img, border, 0.85f, 0.06f, 0.05f, 0.9f);
    paintOverlay(img, stripes, 0.35f, 0.0f, 0.02f, 0.8f);
    return img;
}

Image overlayWhiteBottomBorder(Fonts& fonts)
{
    Image img(OverlayW, OverlayH, 4);
    Image border = maskOf(OverlayW, OverlayH), line = maskOf(OverlayW, OverlayH);
    const float top = OverlayH - 44;
    fillRect(border, 0, top, OverlayW, OverlayH);
    fillRect(line, 0, top - 8, OverlayW, top - 6);
    paintOverlay(img, border, 1, 1, 1, 0.92f);
    paintOverlay(img, line, 1, 1, 1, 0.7f);
    // the production's name cut into the bar in dark letters
    Image text = maskOf(OverlayW, OverlayH);
    stampCentred(text, fonts.line("DejaVuSans-Bold.ttf", 22, "GLASS HALL", 6), OverlayW - 130, top + 22);
    stampCentred(text, fonts.line("DejaVuSans.ttf", 16, "ORVANE  2026", 3), 110, top + 22);
    paintOverlay(img, text, 0.05f, 0.05f, 0.07f, 1.0f);
    return img;
}

// The title "GLASS HALL" built up over five frames: frame k shows the first letters up
// to the build-up point, the newest ones still glowing hot; frame 5 is complete with a
// light streak across.
Image titleFrame(Fonts& fonts, int frame)
{
    // 2:1 like the other pictures the title quad shows, so a 16:9 screen barely squeezes it
    const int W = 1024, H = 512;
    const std::string title = "GLASS HALL";
    const int letters = 9; // spaces do not count
    int shown = (letters * frame + 4) / 5; // 2, 4, 6, 8, 9
    Image img(W, H, 3);

    // Lay the letters out once for the whole title so every frame puts them in the same place.
    const int px = 100;
    const float tracking = 14;
    Image full = fonts.line("DejaVuSans-Bold.ttf", px, title, tracking);
    float left = (W - full.w) / 2.0f, top = (H - full.h) / 2.0f;
    // Each letter's slice of the full line, from the advance of the prefix.
    std::vector<float> cut;
    {
        std::string prefix;
        for (size_t i = 0; i < title.size(); ++i) {
            prefix += title[i];
            if (title[i] == ' ')
                continue;
            Image partial = fonts.line("DejaVuSans-Bold.ttf", px, prefix, tracking);
            cut.push_back(partial.w + tracking * 0.5f);
        }
    }
    float edge = cut[size_t(shown - 1)];
    float newestStart = shown >= 2 ? cut[size_t(std::max(0, shown - 3))] : 0;
    Image lit = maskOf(W, H), hot = maskOf(W, H);
    for (int y = 0; y < full.h; ++y)
        for (int x = 0; x < full.w; ++x) {
            if (x > edge)
                continue;
            float v = full.at(x, y);
            int tx = int(left) + x, ty = int(top) + y;
            if (tx < 0 || ty < 0 || tx >= W || ty >= H)
                continue;
            lit.at(tx, ty) = v;
            if (frame < 5 && x >= newestStart)
                hot.at(tx, ty) = v;
        }
    Image glow = blurred(lit, 6), wide = blurred(lit, 18), hotGlow = blurred(hot, 10);
    addColour(img, lit, 0.80f, 0.90f, 1.00f);
    addColour(img, glow, 0.25f, 0.45f, 0.80f);
    addColour(img, wide, 0.10f, 0.20f, 0.45f);
    addColour(img, hotGlow, 0.9f, 0.7f, 0.5f);
    addColour(img, hot, 0.3f, 0.2f, 0.1f);

    // The build-up front: a thin vertical light line; in the last frame a horizontal streak.
    Image streak = maskOf(W, H);
    if (frame < 5) {
        float x = left + edge + 6;
        for (int y = 0; y < H; ++y) {
            float fall = std::exp(-std::pow((y - H / 2.0f) / (H * 0.28f), 2.0f));
            for (int dx = -3; dx <= 3; ++dx) {
                int tx = int(x) + dx;
                if (tx >= 0 && tx < W)
                    streak.at(tx, y) = std::max(streak.at(tx, y), fall * std::exp(-dx * dx / 2.0f));
            }
        }
    } else {
        for (int x = 0; x < W; ++x) {
            float fall = std::exp(-std::pow((x - W / 2.0f) / (W * 0.33f), 2.0f));
            for (int dy = -3; dy <= 3; ++dy) {
                int ty = int(top + full.h + 14) + dy;
                if (ty >= 0 && ty < H)
                    streak.at(x, ty) = std::max(streak.at(x, ty), fall * std::exp(-dy * dy / 1.5f));
            }
        }
    }
    addColour(img, streak, 0.6f, 0.8f, 1.0f);
    addColour(img, blurred(streak, 5), 0.3f, 0.5f, 0.9f);
    toneMap(img);
    return img;
}

// A wordmark with a glow, centred: used by the logo and the credits.
void glowText(Image& img, const Image& mask, float r, float g, float b, int radius, float glowGain)
{
    addColour(img, mask, r, g, b);
    addColour(img, blurred(mask, radius), r * glowGain, g * glowGain, b * glowGain);
}

Image orvaneLogo(Fonts& fonts)
{
    const int W = 512, H = 256;
    Image img(W, H, 3);
    Image word = maskOf(W, H), caption = maskOf(W, H), orbit = maskOf(W, H);
    stampCentred(word, fonts.line("DejaVuSans-Bold.ttf", 78, "ORVANE", 10), W / 2.0f, H / 2.0f - 8);
    stampCentred(caption, fonts.line("DejaVuSans.ttf", 22, "presents", 9), W / 2.0f, H / 2.0f + 60);
    // a tilted elliptical orbit around the wordmark, broken where it passes behind it
    for (int i = 0; i < 4000; ++i) {
        float a = i / 4000.0f * 2 * Pi;
        float ex = std::cos(a) * 230, ey = std::sin(a) * 54;
        float x = W / 2.0f + ex * 0.995f - ey * 0.10f, y = H / 2.0f - 8 + ey + ex * 0.05f;
        if (std::sin(a) < 0 && std::fabs(ex) < 190)
            continue;
        int ix = int(x), iy = int(y);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int tx = ix + dx, ty = iy + dy;
                if (tx < 0 || ty < 0 || tx >= W || ty >= H)
                    continue;
                float d = std::hypot(tx + 0.5f - x, ty + 0.5f - y);
                orbit.at(tx, ty) = std::max(orbit.at(tx, ty), clamp01(1.2f - d) * 0.9f);
            }
    }
    glowText(img, word, 0.95f, 0.97f, 1.0f, 8, 0.6f);
    glowText(img, orbit, 1.0f, 0.55f, 0.25f, 4, 0.9f);
    glowText(img, caption, 0.6f, 0.65f, 0.7f, 3, 0.3f);
    toneMap(img);
    return img;
}

struct Credit {
    const char* file;
    const char* name;
    const char* role;
};
const Credit Credits[] = {
    {"Vesk.png", "VESK", "code"},
    {"Quil.png", "QUIL", "music"},
    {"Ozzo.png", "OZZO", "graphics"},
    {"Pramble.png", "PRAMBLE", "direction"},
    {"Surrent.png", "SURRENT", "models"},
};

Image creditPicture(Fonts& fonts, const Credit& credit)
{
    const int W = 512, H = 256;
    Image img(W, H, 3);
    Image name = maskOf(W, H), role = maskOf(W, H), rule = maskOf(W, H);
    Image nameLine = fonts.line("DejaVuSans-Bold.ttf", 76, credit.name, 6);
    if (nameLine.w > W - 40) // the longest names are narrowed to fit
        nameLine = fonts.line("DejaVuSansCondensed-Bold.ttf", 72, credit.name, 2);
    stampCentred(name, nameLine, W / 2.0f, H / 2.0f - 18);
    stampCentred(role, fonts.line("DejaVuSans.ttf", 26, credit.role, 8), W / 2.0f, H / 2.0f + 62);
    for (int x = 0; x < W; ++x) {
        float fall = std::exp(-std::pow((x - W / 2.0f) / 110.0f, 2.0f));
        for (int y = H / 2 + 34; y < H / 2 + 36; ++y)
            rule.at(x, y) = fall;
    }
    glowText(img, name, 0.95f, 0.95f, 1.0f, 7, 0.55f);
    glowText(img, rule, 0.5f, 0.7f, 1.0f, 3, 0.6f);
    glowText(img, role, 0.65f, 0.8f, 1.0f, 3, 0.3f);
    toneMap(img);
    return img;
}

struct Greeting {
    const char* file;
    const char* name;
    float r, g, b;
};
const Greeting Greetings[] = {
    {"ZAV.png", "ZAV", 1.00f, 0.95f, 0.85f}, {"ZEB.png", "ZEB", 0.85f, 0.95f, 1.00f},
    {"ZIK.png", "ZIK", 0.95f, 1.00f, 0.88f}, {"ZOL.png", "ZOL", 1.00f, 0.88f, 0.92f},
    {"ZUM.png", "ZUM", 0.90f, 0.92f, 1.00f}, {"ZYR.png", "ZYR", 1.00f, 1.00f, 0.90f},
};

// Gobos for the greeting spots: a ring frame, "greetings to" and the name, light on
// black (the spot's cone fades the edges).
Image greetingPicture(Fonts& fonts, const Greeting& greet, int index)
{
    const int S = 512;
    Image img(S, S, 3);
    Image name = maskOf(S, S), small = maskOf(S, S), frame = maskOf(S, S);
    stampCentred(name, fonts.line("DejaVuSans-Bold.ttf", 150, greet.name, 8), S / 2.0f, S / 2.0f + 10);
    stampCentred(small, fonts.line("DejaVuSans.ttf", 30, "greetings to", 4), S / 2.0f, S / 2.0f - 110);
    ring(frame, S / 2.0f, S / 2.0f, 228, 3.5f);
    ring(frame, S / 2.0f, S / 2.0f, 212, 1.2f, 0.8f);
    // a few dashes on the outer ring that differ per picture, so each wall spot looks its own
    Rng rng(900 + uint64_t(index));
    for (int k = 0; k < 10; ++k) {
        float a0 = rng.range(0, 2 * Pi), len = rng.range(0.08f, 0.35f);
        for (int i = 0; i < 400; ++i) {
            float a = a0 + len * i / 400.0f;
            for (float rr = 238; rr < 246; rr += 0.5f) {
                int x = int(S / 2.0f + std::cos(a) * rr), y = int(S / 2.0f + std::sin(a) * rr);
                if (x >= 0 && y >= 0 && x < S && y < S)
                    frame.at(x, y) = 1.0f;
            }
        }
    }
    glowText(img, name, greet.r, greet.g, greet.b, 6, 0.35f);
    glowText(img, small, greet.r * 0.8f, greet.g * 0.8f, greet.b * 0.8f, 2, 0.2f);
    glowText(img, frame, greet.r * 0.85f, greet.g * 0.85f, greet.b * 0.85f, 3, 0.3f);
    toneMap(img);
    return img;
}

Image lightSprite()
{
    const int S = 128;
    Image img(S, S, 4);
    for (int y = 0; y < S; ++y)
        for (int x = 0; x < S; ++x) {
            float d = std::hypot(x + 0.5f - S / 2.0f, y + 0.5f - S / 2.0f) / (S / 2.0f); // 0 centre, 1 edge
            float core = std::exp(-d * d / 0.012f);
            float halo = std::exp(-d * d / 0.12f) * 0.6f;
            float skirt = std::pow(std::max(0.0f, 1 - d), 2.0f) * 0.25f;
            float a = clamp01(core + halo + skirt) * (1 - smoothstep(0.85f, 1.0f, d));
            img.at(x, y, 0) = 1.0f;
            img.at(x, y, 1) = clamp01(0.9f + 0.1f * core);
            img.at(x, y, 2) = clamp01(0.8f + 0.2f * core);
            img.at(x, y, 3) = a;
        }
    return img;
}

// One round dot per tile; repeated, the tiles make a volume meter's LED grid.
Image dotMask()
{
    const int S = 32;
    Image img(S, S, 4);
    for (int y = 0; y < S; ++y)
        for (int x = 0; x < S; ++x) {
            float d = std::hypot(x + 0.5f - S / 2.0f, y + 0.5f - S / 2.0f);
            float v = clamp01(11.5f - d) * (0.85f + 0.15f * (1 - d / 12.0f));
            for (int ch = 0; ch < 3; ++ch)
                img.at(x, y, ch) = v;
            img.at(x, y, 3) = clamp01(11.5f - d);
        }
    return img;
}

// Star streaks running along the rows' direction (t), wrapping in both directions.
Image warpspeed(uint64_t seed, int count, float minLen, float maxLen, float minWidth, float maxWidth,
                float r, float g, float b, float haze)
{
    const int S = 512;
    Image img(S, S, 3);
    Image lum = maskOf(S, S);
    Rng rng(seed);
    for (int k = 0; k < count; ++k) {
        float u = rng.unit() * S, v0 = rng.unit() * S, len = rng.range(minLen, maxLen) * S;
        float sigma = rng.range(minWidth, maxWidth), bright = rng.range(0.25f, 1.0f);
        bright *= bright;
        int reach = int(std::ceil(sigma * 3));
        for (int i = 0; i < int(len); ++i) {
            float t = i / len;
            float env = std::pow(std::sin(Pi * t), 0.7f) * (0.3f + 0.7f * t); // brighter towards the head
            int y = wrapIndex(int(v0) + i, S);
            for (int dx = -reach; dx <= reach; ++dx) {
                int x = wrapIndex(int(u) + dx, S);
                float off = (int(u) + dx + 0.5f) - u;
                lum.at(x, y) += bright * env * std::exp(-off * off / (2 * sigma * sigma));
            }
        }
    }
    addColour(img, lum, r, g, b);
    addColour(img, blurred(lum, 3, true), r * 0.5f, g * 0.6f, b * 0.9f);
    if (haze > 0)
        for (int y = 0; y < S; ++y)
            for (int x = 0; x < S; ++x) {
                float n = fbm(x / float(S), y / float(S), 3, 4, 0.5f, uint32_t(seed) + 77u);
                float m = std::max(0.0f, n + 0.1f) * haze;
                img.at(x, y, 0) += m * 0.35f;
                img.at(x, y, 1) += m * 0.2f;
                img.at(x, y, 2) += m * 0.6f;
            }
    toneMap(img);
    return img;
}

// Tangent-space normals from a tileable height field (heights in texels of the
// given strength); +y points to increasing t, that is up the image.
Image normalMap(const Image& height, float strength)
{
    Image img(height.w, height.h, 3);
    for (int y = 0; y < height.h; ++y)
        for (int x = 0; x < height.w; ++x) {
            float dx = (height.wrap(x + 1, y) - height.wrap(x - 1, y)) * 0.5f * strength;
            float drow = (height.wrap(x, y + 1) - height.wrap(x, y - 1)) * 0.5f * strength;
            float nx = -dx, ny = drow, nz = 1.0f;
            float len = std::sqrt(nx * nx + ny * ny + nz * nz);
            img.at(x, y, 0) = nx / len * 0.5f + 0.5f;
            img.at(x, y, 1) = ny / len * 0.5f + 0.5f;
            img.at(x, y, 2) = nz / len * 0.5f + 0.5f;
        }
    return img;
}

Image concreteNormals()
{
    const int S = 1024;
    Image h(S, S, 1);
    for (int y = 0; y < S; ++y)
        for (int x = 0; x < S; ++x) {
            float u = x / float(S), v = y / float(S);
            float broad = fbm(u, v, 4, 4, 0.5f, 500u) * 6.0f;
            float grain = fbm(u, v, 64, 3, 0.5f, 510u) * 0.9f;
            // air pockets: small round pits where the cellular distance is short
            Cell c = cellular(u, v, 48, 520u);
            float pocket = hashUnit(c.id, 0, 530u) < 0.35f ? -2.5f * (1 - smoothstep(0.05f, 0.22f, c.f1)) : 0.0f;
            h.at(x, y) = broad + grain + pocket;
        }
    return normalMap(h, 1.0f);
}

Image asphaltNormals()
{
    const int S = 512;
    Image h(S, S, 1);
    for (int y = 0; y < S; ++y)
        for (int x = 0; x < S; ++x) {
            float u = x / float(S), v = y / float(S);
            // aggregate: round stones of different sizes and heights sunk in a rough
            // binder, smaller gravel filling the gaps
            auto pebbles = [&](int cells, uint32_t seed) {
                Cell c = cellular(u, v, cells, seed);
                float radius = 0.3f + 0.25f * hashUnit(c.id, 1, seed + 10);
                float d = c.f1 / radius;
                return d < 1 ? std::sqrt(1 - d * d) * (0.6f + 0.6f * hashUnit(c.id, 2, seed + 11)) : 0.0f;
            };
            float stone = pebbles(28, 600u);
            float gravel = pebbles(90, 620u) * 0.45f;
            float grain = fbm(u, v, 128, 2, 0.5f, 630u) * 0.35f;
            h.at(x, y) = std::max(stone * 3.0f, gravel * 2.0f) + grain;
        }
    return normalMap(h, 1.2f);
}

Image floorTileNormals()
{
    const int S = 512, tiles = 4, tile = S / tiles;
    Image h(S, S, 1);
    for (int y = 0; y < S; ++y)
        for (int x = 0; x < S; ++x) {
            int tx = x / tile, ty = y / tile;
            float lx = (x % tile) + 0.5f, ly = (y % tile) + 0.5f;
            float edge = std::min(std::min(lx, tile - lx), std::min(ly, tile - ly)); // px to the tile border
            float bevel = smoothstep(3.0f, 9.0f, edge);                                 // grout at 3 px, bevel to 9
            // every tile lies a little askew
            float tiltX = (hashUnit(uint32_t(tx), uint32_t(ty), 700u) - 0.5f) * 0.02f;
            float tiltY = (hashUnit(uint32_t(tx), uint32_t(ty), 701u) - 0.5f) * 0.02f;
            float surface = fbm(x / float(S), y / float(S), 32, 3, 0.5f, 710u) * 0.35f;
            h.at(x, y) = bevel * (4.0f + (lx - tile / 2.0f) * tiltX + (ly - tile / 2.0f) * tiltY + surface) +
                         (1 - bevel) * fbm(x / float(S), y / float(S), 128, 1, 0.5f, 720u) * 0.3f;
        }
    return normalMap(h, 1.0f);
}

// The loading screen's two layers: dark (Loader1) and lit (Loader2), same layout.
Image loader(Fonts& fonts, bool lit)
{
    const int W = 1024, H = 576;
    Image img(W, H, 3);
    Image title = maskOf(W, H), caption = maskOf(W, H), frame = maskOf(W, H), segments = maskOf(W, H);
    stampCentred(title, fonts.line("DejaVuSans-Bold.ttf", 64, "GLASS HALL", 12), W / 2.0f, H * 0.42f);
    stampCentred(caption, fonts.line("DejaVuSans.ttf", 22, "loading", 8), W / 2.0f, H * 0.76f);
    const float barTop = H * 0.6f, barBottom = barTop + 22;
    const float x0 = W * 0.045f, step = W * 0.09f;
    // the frame around the whole bar
    fillRect(frame, x0 - 7, barTop - 7, W * 0.945f + 7, barTop - 5.5f);
    fillRect(frame, x0 - 7, barBottom + 5.5f, W * 0.945f + 7, barBottom + 7);
    fillRect(frame, x0 - 7, barTop - 7, x0 - 5.5f, barBottom + 7);
    fillRect(frame, W * 0.945f + 5.5f, barTop - 7, W * 0.945f + 7, barBottom + 7);
    for (int i = 0; i < 10; ++i)
        fillRect(segments, x0 + i * step + 2, barTop, x0 + (i + 1) * step - 2, barBottom);
    if (!lit) {
        addColour(img, title, 0.16f, 0.17f, 0.20f);
        addColour(img, caption, 0.25f, 0.26f, 0.30f);
        addColour(img, frame, 0.45f, 0.47f, 0.52f);
        addColour(img, segments, 0.07f, 0.075f, 0.09f);
    } else {
        glowText(img, title, 0.9f, 0.95f, 1.0f, 6, 0.5f);
        glowText(img, caption, 0.7f, 0.8f, 1.0f, 2, 0.3f);
        addColour(img, frame, 0.6f, 0.65f, 0.75f);
        glowText(img, segments, 0.55f, 0.8f, 1.0f, 5, 0.6f);
    }
    toneMap(img);
    return img;
}

// ---------------------------------------------------------------- the dialog's logo

// The window behind the logo is this colour (ORVGui uses the same), so the picture's
// edges vanish into it.
const float GuiBackground[3] = {16 / 255.0f, 20 / 255.0f, 28 / 255.0f};

Image guiLogo(Fonts& fonts)
{
    const int W = 390, H = 95;
    Image img(W, H, 3);
    Image word = maskOf(W, H), caption = maskOf(W, H), rule = maskOf(W, H), halo = maskOf(W, H);
    stampCentred(word, fonts.line("DejaVuSans-Bold.ttf", 44, "ORVANE", 8), W / 2.0f, 38);
    stampCentred(caption, fonts.line("DejaVuSans.ttf", 12, "DEMOSYS  v.2.0   -   GLASS HALL", 3), W / 2.0f, 78);
    for (int x = 0; x < W; ++x)
        rule.at(x, 64) = std::exp(-std::pow((x - W / 2.0f) / 90.0f, 2.0f));
    // a faint blue light behind the lettering that is gone well before the edges
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            float dx = (x - W / 2.0f) / 170.0f, dy = (y - 40.0f) / 40.0f;
            halo.at(x, y) = std::max(0.0f, 1 - std::sqrt(dx * dx + dy * dy));
            halo.at(x, y) *= halo.at(x, y);
            for (int ch = 0; ch < 3; ++ch)
                img.at(x, y, ch) = GuiBackground[ch];
        }
    addColour(img, halo, 0.02f, 0.05f, 0.10f);
    glowText(img, word, 0.92f, 0.95f, 1.0f, 5, 0.5f);
    glowText(img, rule, 1.0f, 0.55f, 0.25f, 2, 0.8f);
    addColour(img, caption, 0.55f, 0.6f, 0.68f);
    toneMap(img);
    return img;
}

// XPM data as a C array with two characters per pixel; channels are rounded to
// multiples of 4 first (the background colour is one), which keeps the table to a few
// hundred colours.
bool writeXpm(const std::string& path, const Image& img, const char* name)
{
    static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.#";
    const int base = 64;
    std::map<uint32_t, int> palette;
    std::vector<uint32_t> keys(size_t(img.w) * img.h);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            uint32_t key = 0;
            for (int ch = 0; ch < 3; ++ch)
                key = key << 8 | uint32_t(std::min(252L, std::lround(clamp01(img.at(x, y, ch)) * 63.75f) * 4));
            keys[size_t(y) * img.w + x] = key;
            palette.emplace(key, 0);
        }
    if (palette.size() > size_t(base * base))
        return false;
    int index = 0;
    for (auto& entry : palette)
        entry.second = index++;
    auto code = [&](int i) { return std::string(1, chars[i / base]) + chars[i % base]; };

    std::string out = "/* generated by glasshall-textures: the setup dialog's logo */\n";
    out += std::string("static const char* const ") + name + "[] = {\n";
    out += "\"" + std::to_string(img.w) + " " + std::to_string(img.h) + " " + std::to_string(palette.size()) + " 2\",\n";
    char colour[16];
    for (auto& entry : palette) {
        std::snprintf(colour, sizeof colour, "#%06X", unsigned(entry.first));
        out += "\"" + code(entry.second) + " c " + colour + "\",\n";
    }
    for (int y = 0; y < img.h; ++y) {
        out += "\"";
        for (int x = 0; x < img.w; ++x)
            out += code(palette[keys[size_t(y) * img.w + x]]);
        out += y + 1 < img.h ? "\",\n" : "\"\n";
    }
    out += "};\n";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok;
}

bool save(const std::string& dir, const std::string& name, const Image& img)
{
    std::string path = dir + "/" + name;
    if (!writePng(path, img)) {
        std::fprintf(stderr, "glasshall-textures: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

int writeAll(const std::string& dir)
{
    Fonts fonts;
    bool ok = true;
    ok &= save(dir, "Noise.png", colourNoise());
    ok &= save(dir, "SmoothNoise.png", smoothNoise());
    ok &= save(dir, "DistortNoise.png", distortNoise());
    ok &= save(dir, "OverlayWide.png", overlayWide());
    ok &= save(dir, "OverlayTall.png", overlayTall());
    ok &= save(dir, "OverlayWhiteLeftBorder.png", overlayWhiteLeftBorder());
    ok &= save(dir, "OverlayRedSideBorders.png", overlayRedSideBorders());
    ok &= save(dir, "OverlayWhiteBottomBorder.png", overlayWhiteBottomBorder(fonts));
    for (int k = 1; k <= 5; ++k)
        ok &= save(dir, "GlassHallFrame" + std::to_string(k) + ".png", titleFrame(fonts, k));
    ok &= save(dir, "OrvaneLogo.png", orvaneLogo(fonts));
    for (const Credit& credit : Credits)
        ok &= save(dir, credit.file, creditPicture(fonts, credit));
    int index = 0;
    for (const Greeting& greet : Greetings)
        ok &= save(dir, greet.file, greetingPicture(fonts, greet, index++));
    ok &= save(dir, "LightSprite.png", lightSprite());
    ok &= save(dir, "dot.png", dotMask());
    ok &= save(dir, "WarpspeedTexture.png", warpspeed(11, 700, 0.04f, 0.35f, 0.5f, 1.3f, 0.85f, 0.92f, 1.0f, 0.0f));
    ok &= save(dir, "WarpspeedTexture2.png", warpspeed(12, 90, 0.2f, 0.7f, 2.0f, 5.0f, 0.55f, 0.5f, 1.0f, 0.35f));
    ok &= save(dir, "Concrete2048NormalMap.png", concreteNormals());
    ok &= save(dir, "asphaltNormalMap.png", asphaltNormals());
    ok &= save(dir, "FloorTileNormals.png", floorTileNormals());
    ok &= save(dir, "Loader1.png", loader(fonts, false));
    ok &= save(dir, "Loader2.png", loader(fonts, true));
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--gui-logo") == 0) {
        Fonts fonts;
        if (!writeXpm(argv[2], guiLogo(fonts), "orvane_gui_logo_xpm")) {
            std::fprintf(stderr, "glasshall-textures: cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    if (argc == 2 && argv[1][0] != '-')
        return writeAll(argv[1]);
    std::fprintf(stderr, "usage: glasshall-textures OUTDIR\n       glasshall-textures --gui-logo FILE.xpm\n");
    return 2;
}
