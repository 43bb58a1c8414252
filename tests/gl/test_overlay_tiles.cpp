#include "BuildShader.h"
#include "GLContext.h"
#include "Geometry.h"
#include "ImageCompare.h"
#include "OverlayTiles.h"
#include "RenderState.h"
#include "Texture.h"
#include "VAO.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Rect = OverlayTiles::Rect;

std::vector<uint8_t> transparent(int width, int height) { return std::vector<uint8_t>(size_t(width * height) * 4, 0); }

void setAlpha(std::vector<uint8_t>& rgba, int width, int x, int y, uint8_t alpha)
{
    rgba[(size_t(y) * size_t(width) + size_t(x)) * 4 + 3] = alpha;
}

// The graded picture stand-in and the overlay program: the picture at the quad's uv.
const char* vertexSource = "#version 150\nin vec3 in_Position;\nin vec2 in_UV0;\nout vec2 uv;\n"
                           "void main() { uv = in_UV0; gl_Position = vec4(in_Position.xy, 0.0, 1.0); }\n";
const char* fragmentSource = "#version 150\nuniform sampler2D image;\nin vec2 uv;\nout vec4 c;\n"
                             "void main() { c = texture(image, uv); }\n";

} // namespace

TEST(OverlayTiles, CellsShowWhereAlphaIsWithinOneTexelAcrossTheEdges)
{
    const int w = 128, h = 64, cell = 32;
    std::vector<uint8_t> picture = transparent(w, h);
    EXPECT_TRUE(OverlayTiles::coveredRects(picture.data(), w, h, cell).empty());

    // Inside one cell: that cell alone.
    setAlpha(picture, w, 40, 10, 1);
    EXPECT_EQ(OverlayTiles::coveredRects(picture.data(), w, h, cell), (std::vector<Rect>{{32, 0, 64, 32}}));
    // On a cell's last column: the filtered read of the next cell reaches it, and the
    // two neighbours merge into one run.
    picture = transparent(w, h);
    setAlpha(picture, w, 63, 10, 255);
    EXPECT_EQ(OverlayTiles::coveredRects(picture.data(), w, h, cell), (std::vector<Rect>{{32, 0, 96, 32}}));
    // At the corner: the picture repeats, so the cells of the opposite edges read it.
    picture = transparent(w, h);
    setAlpha(picture, w, 0, 0, 255);
    EXPECT_EQ(OverlayTiles::coveredRects(picture.data(), w, h, cell),
              (std::vector<Rect>{{0, 0, 32, 32}, {96, 0, 128, 32}, {0, 32, 32, 64}, {96, 32, 128, 64}}));
    // A size that is no multiple of the cell: the last cells end at the picture's edge.
    std::vector<uint8_t> odd = transparent(40, 20);
    setAlpha(odd, 40, 39, 19, 255);
    EXPECT_EQ(OverlayTiles::coveredRects(odd.data(), 40, 20, cell),
              (std::vector<Rect>{{0, 0, 40, 20}}));
    EXPECT_TRUE(OverlayTiles::coveredRects(nullptr, w, h, cell).empty());
}

// The tiles blended over a picture give the picture a full-screen blend of the overlay
// gives, and leave the rest untouched.
TEST(OverlayTiles, BlendedTilesMatchTheWholeOverlayBlended)
{
    ASSERT_TRUE(GLContext::ensure());
    Geometry::build();
    const int w = 64, h = 64;
    // A soft-edged bar near the bottom-left corner and a dot near the top-right.
    std::vector<uint8_t> rgba = transparent(w, h);
    for (int y = 2; y < 10; ++y)
        for (int x = 3; x < 30; ++x) {
            uint8_t* p = &rgba[(size_t(y) * w + size_t(x)) * 4];
            p[0] = 255;
            p[1] = uint8_t(x * 8);
            p[3] = uint8_t(x == 3 || x == 29 ? 100 : 230);
        }
    rgba[(size_t(50) * w + 60) * 4 + 2] = 255;
    setAlpha(rgba, w, 60, 50, 255);
    Texture overlay(w, h, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    overlay.setFilter(GL_LINEAR);
    OverlayTiles tiles;
    tiles.build(&overlay);
    EXPECT_EQ(tiles.rectCount(), 2u);

    auto shader = buildShader("overlay", vertexSource, fragmentSource);
    auto frame = [&](bool whole) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        RenderState::invalidateFramebuffer();
        glViewport(0, 0, 256, 256);
        glDisable(GL_DEPTH_TEST);
        glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_BLEND);
        glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
        shader->bind();
        shader->setTexture("image", 0, &overlay);
        if (whole) {
            Geometry::quad->bind(shader.get());
            Geometry::quad->draw(GL_TRIANGLES);
        } else {
            tiles.draw(shader.get());
        }
        glDisable(GL_BLEND);
        return readPixels(0, 0, 256, 256);
    };
    const RgbaImage expected = frame(true), actual = frame(false);
    const ImageDifference difference = compareImages(expected, actual);
    EXPECT_EQ(difference.maxChannel, 0);
    // The bar is there (x 3..29 of 64 -> pixels 12..119, y 2..9 -> 8..39), and so is the
    // untouched background.
    EXPECT_GT(actual.at(60, 20)[0], 230);
    EXPECT_EQ(actual.at(200, 100)[2], 191);
    Geometry::release();
    GLContext::restoreDefaults();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(OverlayTiles, ShownThroughLeavesOutOpaqueRowsAtBothEdgesLessOneForTheFilter)
{
    const int w = 8, h = 20;
    auto opaqueRows = [&](std::vector<uint8_t>& rgba, int from, int to) {
        for (int y = from; y < to; ++y)
            for (int x = 0; x < w; ++x)
                setAlpha(rgba, w, x, y, 255);
    };
    // Letterbox bars: 4 rows at the bottom, 5 at the top.
    std::vector<uint8_t> bars = transparent(w, h);
    opaqueRows(bars, 0, 4);
    opaqueRows(bars, 15, 20);
    ScreenArea area = OverlayTiles::shownThrough(bars.data(), w, h);
    EXPECT_FLOAT_EQ(area.y0, 3.0f / 20.0f);
    EXPECT_FLOAT_EQ(area.y1, 1.0f - 4.0f / 20.0f);
    EXPECT_EQ(area.x0, 0.0f);
    EXPECT_EQ(area.x1, 1.0f);
    // One texel short of opaque in a bar's row: that row shows what is beneath.
    setAlpha(bars, w, 7, 2, 254);
    EXPECT_FLOAT_EQ(OverlayTiles::shownThrough(bars.data(), w, h).y0, 1.0f / 20.0f);
    // A bar at one edge only: the read at that edge mixes in the other edge's row.
    std::vector<uint8_t> bottomOnly = transparent(w, h);
    opaqueRows(bottomOnly, 0, 6);
    EXPECT_TRUE(OverlayTiles::shownThrough(bottomOnly.data(), w, h).isWhole());
    // Opaque columns (pillarbox) are not left out: the grade reads sideways.
    std::vector<uint8_t> columns = transparent(w, h);
    for (int y = 0; y < h; ++y)
        setAlpha(columns, w, 0, y, 255);
    EXPECT_TRUE(OverlayTiles::shownThrough(columns.data(), w, h).isWhole());
    // Opaque everywhere: nothing beneath shows.
    std::vector<uint8_t> full = transparent(w, h);
    opaqueRows(full, 0, h);
    area = OverlayTiles::shownThrough(full.data(), w, h);
    EXPECT_FALSE(area.isWhole());
    EXPECT_EQ(area.y1, area.y0);
}
