#include "ImageCompare.h"
#include "RenderState.h"
#include "TextRenderer.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

const int size = 256;

// Test output goes where the image comparisons write theirs.
std::string outputPath(const std::string& name)
{
    const char* dir = std::getenv("DEMOSYS_TEST_OUTPUT");
    return (dir ? std::string(dir) + "/" : std::string()) + name;
}

void clearScreen()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    RenderState::invalidateFramebuffer();
    glViewport(0, 0, size, size);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The pixel (x, y) counted from the top-left corner of the window.
const uint8_t* pixelAt(const RgbaImage& image, int x, int y) { return image.at(x, size - 1 - y); }

} // namespace

// Every pixel of drawn text is the font's glyph coverage times the colour at the cell it
// falls in, and nothing is drawn anywhere else; state is left as it was.
TEST(TextRendererTest, DrawsGlyphCoverageExactlyWhereTheTextIs)
{
    TextRenderer text;
    ASSERT_TRUE(text.isReady());
    const int cw = TextRenderer::fontCellWidth(), ch = TextRenderer::fontCellHeight();
    ASSERT_GE(cw, 6);
    ASSERT_GE(ch, 12);

    clearScreen();
    glEnable(GL_DEPTH_TEST);
    const std::string line1 = "Hg|.@", line2 = "\x01x";
    text.drawText(line1 + "\n" + line2, 10, 20, TextRenderer::white);
    text.setZoom(2);
    text.drawText("A", 100, 100, glm::vec4(1, 0, 0, 1));
    text.setZoom(1);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(static_cast<unsigned>(program), RenderState::getCurrentProgram());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const RgbaImage image = readPixels(0, 0, size, size);
    writePng(outputPath("text_renderer.png"), image);
    // What each pixel should be: the character whose cell covers it, or none.
    auto expected = [&](int x, int y, int& r, int& g) {
        r = g = 0;
        if (y >= 20 && y < 20 + 2 * ch && x >= 10) {
            const std::string& s = y < 20 + ch ? line1 : line2;
            const size_t index = static_cast<size_t>((x - 10) / cw);
            if (index < s.size())
                r = g = TextRenderer::glyphCoverage(s[index], (x - 10) % cw, (y - 20) % ch);
        }
        if (x >= 100 && y >= 100 && x < 100 + 2 * cw && y < 100 + 2 * ch)
            r = TextRenderer::glyphCoverage('A', (x - 100) / 2, (y - 100) / 2);
    };
    int wrong = 0, inked = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int r = 0, g = 0;
            expected(x, y, r, g);
            const uint8_t* p = pixelAt(image, x, y);
            if (std::abs(p[0] - r) > 2 || std::abs(p[1] - g) > 2 || p[2] != p[1]) {
                if (++wrong <= 5)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << int(p[0]) << "," << int(p[1]) << ","
                                  << int(p[2]) << ", expected " << r << "," << g << "," << g;
            }
            inked += r > 0;
        }
    EXPECT_EQ(wrong, 0);
    // The glyphs are real ones: every visible character left ink, "." less than "@",
    // and a character outside ASCII drew as "?".
    auto ink = [&](char c) {
        int sum = 0;
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x)
                sum += TextRenderer::glyphCoverage(c, x, y);
        return sum;
    };
    for (char c : std::string("Hg|.@?xA"))
        EXPECT_GT(ink(c), 0) << c;
    EXPECT_EQ(ink(' '), 0);
    EXPECT_LT(ink('.') * 3, ink('@'));
    EXPECT_EQ(TextRenderer::glyphCoverage('\x01', 3, 8), TextRenderer::glyphCoverage('?', 3, 8));
    EXPECT_GT(inked, 200);
    glDisable(GL_DEPTH_TEST);

    // In a letterboxed viewport positions count from the viewport's top-left corner.
    clearScreen();
    glViewport(16, 40, 200, 150);
    text.drawText("@", 5, 5, TextRenderer::white);
    const RgbaImage boxed = readPixels(0, 0, size, size);
    glViewport(0, 0, size, size);
    const int left = 16 + 5, top = size - 40 - 150 + 5;
    int mismatched = 0, sum = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int want = TextRenderer::glyphCoverage('@', x - left, y - top);
            mismatched += std::abs(pixelAt(boxed, x, y)[1] - want) > 2;
            sum += want;
        }
    EXPECT_EQ(mismatched, 0);
    EXPECT_GT(sum, 0);
}

// A label is its text on a box reaching the padding beyond it, blended over the scene.
TEST(TextRendererTest, LabelsDrawTheirTextOnABackingBox)
{
    TextRenderer text;
    ASSERT_TRUE(text.isReady());
    const int cw = TextRenderer::fontCellWidth(), ch = TextRenderer::fontCellHeight();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    RenderState::invalidateFramebuffer();
    glViewport(0, 0, size, size);
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    text.drawLabel("Error", 20, 30, TextRenderer::red, glm::vec4(0, 0, 0, 0.5f), 3);
    const RgbaImage image = readPixels(0, 0, size, size);
    writePng(outputPath("text_renderer_label.png"), image);

    EXPECT_EQ(text.textWidth("Error"), 5 * cw);
    const int boxLeft = 17, boxTop = 27, boxRight = 20 + 5 * cw + 3, boxBottom = 30 + ch + 3;
    int reddest = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const uint8_t* p = pixelAt(image, x, y);
            const bool inBox = x >= boxLeft && x < boxRight && y >= boxTop && y < boxBottom;
            if (!inBox) {
                ASSERT_NEAR(p[0], 128, 2) << x << "," << y;
                ASSERT_NEAR(p[1], 128, 2) << x << "," << y;
                continue;
            }
            const int cover = y >= 30 && y < 30 + ch && x >= 20 && x < 20 + 5 * cw
                                  ? TextRenderer::glyphCoverage("Error"[(x - 20) / cw], (x - 20) % cw, y - 30)
                                  : 0;
            // Half-transparent black over grey is 64; the glyph goes over that.
            const double a = cover / 255.0;
            ASSERT_NEAR(p[0], 64 * (1 - a) + 255 * TextRenderer::red.r * a, 3) << x << "," << y;
            ASSERT_NEAR(p[1], 64 * (1 - a) + 255 * TextRenderer::red.g * a, 3) << x << "," << y;
            ASSERT_EQ(p[3], 255) << "the box leaves the framebuffer opaque";
            reddest = std::max(reddest, p[0] - p[1]);
        }
    EXPECT_GT(reddest, 120);
}
