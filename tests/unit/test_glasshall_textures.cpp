// Glass Hall's generated pictures, decoded the way the engine loads them: sizes, channel
// counts and the properties the effects rely on (transparent overlay centres, unit
// normals, seamless tiles, light pictures on black).
#include "ImageFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

struct Expected {
    const char* file;
    int width, height, bytes; // bytes per decoded pixel: 3 RGB, 4 RGBA
    bool mipmapped;
    bool tileable;
};

const Expected Textures[] = {
    {"Noise.png", 256, 256, 3, false, true},
    {"SmoothNoise.png", 256, 256, 3, true, true},
    {"DistortNoise.png", 512, 1, 3, false, true},
    {"OverlayWide.png", 1024, 576, 4, false, false},
    {"OverlayTall.png", 1024, 576, 4, false, false},
    {"OverlayWhiteLeftBorder.png", 1024, 576, 4, false, false},
    {"OverlayRedSideBorders.png", 1024, 576, 4, false, false},
    {"OverlayWhiteBottomBorder.png", 1024, 576, 4, false, false},
    {"GlassHallFrame1.png", 1024, 512, 3, true, false},
    {"GlassHallFrame2.png", 1024, 512, 3, true, false},
    {"GlassHallFrame3.png", 1024, 512, 3, true, false},
    {"GlassHallFrame4.png", 1024, 512, 3, true, false},
    {"GlassHallFrame5.png", 1024, 512, 3, true, false},
    {"OrvaneLogo.png", 512, 256, 3, true, false},
    {"Vesk.png", 512, 256, 3, true, false},
    {"Quil.png", 512, 256, 3, true, false},
    {"Ozzo.png", 512, 256, 3, true, false},
    {"Pramble.png", 512, 256, 3, true, false},
    {"Surrent.png", 512, 256, 3, true, false},
    {"LightSprite.png", 128, 128, 4, false, false},
    {"Concrete2048NormalMap.png", 1024, 1024, 3, true, true},
    {"asphaltNormalMap.png", 512, 512, 3, true, true},
    {"FloorTileNormals.png", 512, 512, 3, true, true},
    {"dot.png", 32, 32, 4, false, true},
    {"WarpspeedTexture.png", 512, 512, 3, true, true},
    {"WarpspeedTexture2.png", 512, 512, 3, true, true},
    {"ZAV.png", 512, 512, 3, true, false},
    {"ZEB.png", 512, 512, 3, true, false},
    {"ZIK.png", 512, 512, 3, true, false},
    {"ZOL.png", 512, 512, 3, true, false},
    {"ZUM.png", 512, 512, 3, true, false},
    {"ZYR.png", 512, 512, 3, true, false},
    {"Loader1.png", 1024, 576, 3, false, false},
    {"Loader2.png", 1024, 576, 3, false, false},
};

std::string graphicsPath(const std::string& file)
{
    return std::string(DEMOSYS_BINARY_DIR) + "/resources/graphics/" + file;
}

std::unique_ptr<ImageFile> load(const std::string& file)
{
    auto image = std::make_unique<ImageFile>();
    // A missing or damaged texture shows as an unloaded image in the checks.
    static_cast<void>(image->loadFromFile(graphicsPath(file)));
    return image;
}

// Channel ch of pixel (x, y), y counted from the bottom as the decoder stores rows.
int at(const ImageFile& image, int x, int y, int ch)
{
    return image.getPixels()[(size_t(y) * image.getWidth() + x) * image.getBytesPerPixel() + ch];
}

// Mean absolute difference between columns a and b (or rows, when !columns).
double lineDifference(const ImageFile& image, int a, int b, bool columns)
{
    int n = columns ? image.getHeight() : image.getWidth();
    double sum = 0;
    for (int i = 0; i < n; ++i)
        for (int ch = 0; ch < image.getBytesPerPixel(); ++ch)
            sum += std::abs(columns ? at(image, a, i, ch) - at(image, b, i, ch) : at(image, i, a, ch) - at(image, i, b, ch));
    return sum / (n * image.getBytesPerPixel());
}

// A seam shows as a jump across the wrap much larger than between neighbours inside.
void expectSeamless(const ImageFile& image, bool columns, const char* file)
{
    int n = columns ? image.getWidth() : image.getHeight();
    if (n < 2)
        return;
    double inside = 0;
    for (int i = 0; i + 1 < n; ++i)
        inside += lineDifference(image, i, i + 1, columns);
    inside /= n - 1;
    EXPECT_LE(lineDifference(image, n - 1, 0, columns), 2.0 * inside + 1.0)
        << file << (columns ? ": left and right edges" : ": top and bottom edges") << " do not meet";
}

bool isPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

int brightPixels(const ImageFile& image, int threshold)
{
    int count = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            count += std::max({at(image, x, y, 0), at(image, x, y, 1), at(image, x, y, 2)}) > threshold;
    return count;
}

} // namespace

TEST(GlassHallTextures, EveryFileDecodesAtTheSizeAndDepthTheProductionLoads)
{
    for (const Expected& expected : Textures) {
        SCOPED_TRACE(expected.file);
        auto image = load(expected.file);
        ASSERT_TRUE(image->isLoaded()) << graphicsPath(expected.file) << " (the build makes it: target 'glasshall_textures')";
        EXPECT_EQ(image->getWidth(), expected.width);
        EXPECT_EQ(image->getHeight(), expected.height);
        EXPECT_EQ(image->getBytesPerPixel(), expected.bytes);
        if (expected.mipmapped) {
            EXPECT_TRUE(isPowerOfTwo(image->getWidth()) && isPowerOfTwo(image->getHeight()));
        }
        if (expected.tileable) {
            expectSeamless(*image, true, expected.file);
            expectSeamless(*image, false, expected.file);
        }
    }
}

TEST(GlassHallTextures, PicturesHoldWhatTheEffectsDrawWithThem)
{
    // Overlays: clear in the middle, a visible border.
    for (const char* file : {"OverlayWide.png", "OverlayTall.png", "OverlayWhiteLeftBorder.png",
                             "OverlayRedSideBorders.png", "OverlayWhiteBottomBorder.png"}) {
        SCOPED_TRACE(file);
        auto image = load(file);
        ASSERT_TRUE(image->isLoaded() && image->getBytesPerPixel() == 4);
        int covered = 0, total = image->getWidth() * image->getHeight();
        for (int y = 0; y < image->getHeight(); ++y)
            for (int x = 0; x < image->getWidth(); ++x)
                covered += at(*image, x, y, 3) > 128;
        EXPECT_EQ(at(*image, image->getWidth() / 2, image->getHeight() / 2, 3), 0);
        EXPECT_GT(covered, total / 50);
        EXPECT_LT(covered, total / 2);
    }

    // Normal maps: unit normals facing out of the surface, no overall tilt.
    for (const char* file : {"Concrete2048NormalMap.png", "asphaltNormalMap.png", "FloorTileNormals.png"}) {
        SCOPED_TRACE(file);
        auto image = load(file);
        ASSERT_TRUE(image->isLoaded());
        double meanX = 0, meanY = 0, worstLength = 0, bumps = 0;
        int n = image->getWidth() * image->getHeight();
        for (int y = 0; y < image->getHeight(); ++y)
            for (int x = 0; x < image->getWidth(); ++x) {
                double v[3];
                for (int ch = 0; ch < 3; ++ch)
                    v[ch] = at(*image, x, y, ch) / 255.0 * 2 - 1;
                double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
                worstLength = std::max(worstLength, std::fabs(length - 1));
                EXPECT_GT(v[2], 0.0);
                meanX += v[0] / n;
                meanY += v[1] / n;
                bumps += (1 - v[2]) / n;
                if (HasFailure())
                    return;
            }
        EXPECT_LT(worstLength, 0.03);
        EXPECT_LT(std::fabs(meanX), 0.02);
        EXPECT_LT(std::fabs(meanY), 0.02);
        EXPECT_GT(bumps, 0.002) << "a flat normal map";
    }

    // Pictures added over the image or projected by spots: light on a black ground.
    for (const char* file : {"GlassHallFrame5.png", "OrvaneLogo.png", "Vesk.png", "Quil.png", "Ozzo.png",
                             "Pramble.png", "Surrent.png", "ZAV.png", "ZEB.png", "ZIK.png", "ZOL.png", "ZUM.png",
                             "ZYR.png"}) {
        SCOPED_TRACE(file);
        auto image = load(file);
        ASSERT_TRUE(image->isLoaded());
        int w = image->getWidth(), h = image->getHeight();
        for (int ch = 0; ch < 3; ++ch)
            EXPECT_LT(at(*image, 0, 0, ch) + at(*image, w - 1, 0, ch) + at(*image, 0, h - 1, ch) +
                          at(*image, w - 1, h - 1, ch),
                      40);
        EXPECT_GT(brightPixels(*image, 200), w * h / 100);
    }

    // The title builds up: every frame lights more than the one before.
    int previous = 0;
    for (int k = 1; k <= 5; ++k) {
        auto image = load("GlassHallFrame" + std::to_string(k) + ".png");
        ASSERT_TRUE(image->isLoaded());
        int lit = brightPixels(*image, 160);
        EXPECT_GT(lit, previous) << "frame " << k;
        previous = lit;
    }

    // The loading bar: the lit layer is brighter than the dark one in every segment.
    auto dark = load("Loader1.png"), lit = load("Loader2.png");
    ASSERT_TRUE(dark->isLoaded() && lit->isLoaded());
    int barY = dark->getHeight() - 1 - int(dark->getHeight() * 0.6f) - 11; // rows count from the bottom
    for (int segment = 0; segment < 10; ++segment) {
        int x = int(dark->getWidth() * (0.045f + 0.09f * segment + 0.045f));
        EXPECT_GT(at(*lit, x, barY, 2), at(*dark, x, barY, 2) + 100) << "segment " << segment;
    }
}
