#include "BuildShader.h"
#include "DeathTest.h"
#include "FBO.h"
#include "GLContext.h"
#include "Geometry.h"
#include "ImageCompare.h"
#include "LogCapture.h"
#include "OffscreenContext.h"
#include "QuadRenderer.h"
#include "RenderState.h"
#include "Shader.h"
#include "Texture.h"
#include "StatusCheck.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

const Rgba red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255}, white{255, 255, 255, 255},
    grey{64, 64, 64, 255};

// Nearest-filtered texels, rows bottom first.
std::unique_ptr<Texture> makeTexture(int width, int height, const std::vector<Rgba>& texels)
{
    std::unique_ptr<Texture> texture(new Texture(width, height, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, texels.data()));
    texture->setFilter(GL_NEAREST);
    return texture;
}

// Bottom red, green; top blue, and white with alpha 0.
std::unique_ptr<Texture> quadrants() { return makeTexture(2, 2, {red, green, blue, {255, 255, 255, 0}}); }

// texture0 inverted, placed by pos and scale.
std::unique_ptr<Shader> invertingShader()
{
    return buildShader("inverting",
                       "#version 150\nin vec3 in_Position;\nin vec2 in_UV0;\nuniform vec2 pos;\nuniform vec2 scale;\n"
                       "out vec2 uv;\n"
                       "void main() { uv = in_UV0; gl_Position = vec4(pos + in_Position.xy * scale, 0.0, 1.0); }\n",
                       "#version 150\nuniform sampler2D texture0;\nin vec2 uv;\nout vec4 c;\n"
                       "void main() { c = vec4(1.0 - texture(texture0, uv).rgb, 1.0); }\n");
}

// Checks pixels given as (x, y, colour) of the window, bottom row first.
void expectPixels(std::initializer_list<std::tuple<int, int, Rgba>> expected)
{
    RgbaImage image = readPixels(0, 0, 256, 256);
    for (const auto& e : expected) {
        const uint8_t* p = image.at(std::get<0>(e), std::get<1>(e));
        const Rgba want = std::get<2>(e);
        EXPECT_TRUE(std::abs(p[0] - want.r) <= 2 && std::abs(p[1] - want.g) <= 2 && std::abs(p[2] - want.b) <= 2)
            << "pixel (" << std::get<0>(e) << ", " << std::get<1>(e) << ") is " << int(p[0]) << "," << int(p[1])
            << "," << int(p[2]) << ", expected " << int(want.r) << "," << int(want.g) << "," << int(want.b);
    }
}

GLuint glInteger(GLenum name)
{
    GLint value = -1;
    glGetIntegerv(name, &value);
    return GLuint(value);
}

class QuadRendererTest : public testing::Test {
protected:
    void SetUp() override { screen(); }
    void TearDown() override
    {
        QuadRenderer::release();
        Geometry::release();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    static void screen()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        RenderState::invalidateFramebuffer();
        glViewport(0, 0, 256, 256);
        glClearColor(grey.r / 255.0f, grey.g / 255.0f, grey.b / 255.0f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    // One draw call; the program that was current is current again; the caches say what
    // GL has bound; the texture is unbound and blending off.
    template <typename Draw>
    static void drawKeepingState(GLuint program, Draw draw)
    {
        const uint64_t calls = RenderState::getDrawCalls();
        draw();
        EXPECT_EQ(RenderState::getDrawCalls(), calls + 1);
        EXPECT_EQ(RenderState::getCurrentProgram(), program);
        EXPECT_EQ(glInteger(GL_CURRENT_PROGRAM), RenderState::getCurrentProgram());
        EXPECT_EQ(glInteger(GL_VERTEX_ARRAY_BINDING), RenderState::getCurrentVertexArray());
        EXPECT_EQ(glInteger(GL_TEXTURE_BINDING_2D), 0u);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
    }
};

} // namespace

TEST_F(QuadRendererTest, CenteredAndPlacedQuadsFollowTheirCorners)
{
    auto texture = quadrants();
    auto other = invertingShader();
    other->bind();
    drawKeepingState(other->getProgram(), [&] { QuadRenderer::drawCentered(texture.get(), 1.0f, 1.0f); });
    drawKeepingState(other->getProgram(), [&] { QuadRenderer::drawAt(texture.get(), -1.0f, 1.0f, 0.5f, 0.5f); });
    expectPixels({// Centred, pixels 64..191; the alpha-0 texel is drawn, no discard here.
                  {70, 70, red}, {186, 70, green}, {70, 186, blue}, {186, 186, white}, {62, 128, grey},
                  {193, 128, grey},
                  // At (-1, 1), 0.5 by 0.5: the top-left 64 x 64 pixels.
                  {5, 250, blue}, {58, 197, green}, {5, 190, grey}, {66, 250, grey}});
}

TEST_F(QuadRendererTest, FullscreenBlendsAndDiscardsZeroAlpha)
{
    // Half-transparent red, then a green texel with alpha 0.
    auto texture = makeTexture(2, 1, {{255, 0, 0, 128}, {0, 255, 0, 0}});
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    drawKeepingState(0, [&] { QuadRenderer::drawFullscreen(texture.get(), GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); });
    expectPixels({{10, 128, {128, 0, 127, 255}}, {245, 128, blue}});
    // Replacing factors would write the green texel: the discard keeps it out.
    glClear(GL_COLOR_BUFFER_BIT);
    drawKeepingState(0, [&] { QuadRenderer::drawFullscreen(texture.get(), GL_ONE, GL_ZERO); });
    expectPixels({{10, 128, red}, {245, 128, blue}});

    const uint64_t calls = RenderState::getDrawCalls();
    QuadRenderer::drawFullscreen(nullptr, GL_ONE, GL_ZERO);
    EXPECT_EQ(RenderState::getDrawCalls(), calls);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(QuadRendererTest, ThroughAShaderWithTextureZeroPosAndScale)
{
    auto texture = quadrants();
    auto shader = invertingShader();
    auto decoy = makeTexture(1, 1, {{0, 0, 0, 255}});
    decoy->bind();
    QuadRenderer::drawWithShader(texture.get(), shader.get());
    expectPixels({{5, 5, {0, 255, 255, 255}}, {250, 5, {255, 0, 255, 255}}, {5, 250, {255, 255, 0, 255}},
                  {250, 250, {0, 0, 0, 255}}});
    // The caller's shader stays bound, and the caches say so.
    EXPECT_EQ(RenderState::getCurrentProgram(), shader->getProgram());
    EXPECT_EQ(glInteger(GL_CURRENT_PROGRAM), RenderState::getCurrentProgram());
    EXPECT_EQ(glInteger(GL_VERTEX_ARRAY_BINDING), RenderState::getCurrentVertexArray());

    // pos (0, 0), scale (1, 1): the corner-anchored quad fills the bottom-right quarter.
    screen();
    QuadRenderer::drawWithShader(texture.get(), shader.get(), 0.0f, 0.0f, 1.0f, 1.0f);
    expectPixels({{250, 5, {255, 0, 255, 255}}, {133, 122, {255, 255, 0, 255}}, {122, 122, grey}, {133, 133, grey}});
}

TEST_F(QuadRendererTest, FBOToScreenOnlyWhenComplete)
{
    FBO fbo(32, 32, false, false, GL_RGBA8);
    ASSERT_TRUE(FBO::isComplete(&fbo));
    FBO::bind(&fbo);
    glClearColor(1, 0.5f, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Texture* color = FBO::getColorTexture(&fbo, 0);
    color->setWrap(GL_REPEAT);
    screen();
    drawKeepingState(0, [&] { QuadRenderer::drawFBOToScreen(&fbo, 0.5f); });
    const Rgba orange{255, 128, 0, 255};
    expectPixels({{128, 128, orange}, {66, 189, orange}, {62, 128, grey}, {128, 193, grey}});
    GLint wrap[2] = {0, 0};
    color->bind();
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap[0]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap[1]);
    color->unbind();
    EXPECT_EQ(wrap[0], GL_CLAMP_TO_EDGE);
    EXPECT_EQ(wrap[1], GL_CLAMP_TO_EDGE);

    // An FBO without attachments and the screen draw nothing.
    captureLog();
    FBO empty(32, 32);
    capturedLog();
    const uint64_t calls = RenderState::getDrawCalls();
    QuadRenderer::drawFBOToScreen(&empty);
    QuadRenderer::drawFBOToScreen(nullptr);
    EXPECT_EQ(RenderState::getDrawCalls(), calls);
}

TEST_F(QuadRendererTest, ComposedFrameMatchesTheReference)
{
    std::vector<Rgba> gradient, checker;
    for (int i = 0; i < 64; ++i)
        gradient.push_back({uint8_t(i % 8 * 36), uint8_t(i / 8 * 36), uint8_t(255 - i % 8 * 18 - i / 8 * 18), 200});
    for (int i = 0; i < 16; ++i)
        checker.push_back((i % 4 + i / 4) % 2 ? Rgba{240, 240, 240, 255} : Rgba{20, 20, 20, 0});
    auto background = makeTexture(8, 8, gradient);
    background->setFilter(GL_LINEAR);
    auto board = makeTexture(4, 4, checker);

    glViewport(0, 0, 64, 64);
    glClearColor(0.1f, 0.1f, 0.3f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    QuadRenderer::drawFullscreen(background.get(), GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    QuadRenderer::drawFullscreen(board.get(), GL_ONE, GL_ONE);
    QuadRenderer::drawCentered(board.get(), 0.75f, 0.75f);
    QuadRenderer::drawAt(background.get(), 0.5f, 1.0f, 0.5f, 0.25f);
    std::string report;
    EXPECT_TRUE(matchesReference(readPixels(0, 0, 64, 64),
                                 std::string(DEMOSYS_SOURCE_DIR) + "/tests/data/reference/quad_renderer.png",
                                 "quad_renderer", 1.5, 35.0, report))
        << report;
}

TEST_F(QuadRendererTest, RebuiltAfterReleaseAndInANewContext)
{
    auto texture = quadrants();
    QuadRenderer::drawCentered(texture.get(), 2, 2);
    // Released and caches forgotten, as when a context is made: built again on demand.
    QuadRenderer::release();
    RenderState::reset();
    screen();
    QuadRenderer::drawCentered(texture.get(), 2, 2);
    expectPixels({{5, 5, red}});

    // A second context: made again there, released before it goes.
    QuadRenderer::release();
    Geometry::release();
    glUseProgram(0);
    glBindVertexArray(0);
    const void* first = OffscreenContext::currentHandle();
    {
        OffscreenContext second;
        ASSERT_TRUE(succeeds(second.open(256, 256)));
        ASSERT_NE(OffscreenContext::currentHandle(), first);
        auto local = quadrants();
        screen();
        QuadRenderer::drawFullscreen(local.get(), GL_ONE, GL_ZERO);
        expectPixels({{2, 2, red}, {2, 253, blue}, {253, 253, grey}});
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        QuadRenderer::release();
        Geometry::release();
    }
    ASSERT_TRUE(GLContext::context()->makeCurrent());
    ASSERT_EQ(OffscreenContext::currentHandle(), first);
    screen();
    QuadRenderer::drawCentered(texture.get(), 2, 2);
    expectPixels({{250, 250, white}});
}

namespace {

void drawInAContextWithoutRelease()
{
    auto texture = quadrants();
    QuadRenderer::drawCentered(texture.get(), 1, 1);
    // Left open on purpose: the process ends at the assertion.
    static_cast<void>((new OffscreenContext)->open(64, 64));
    auto local = quadrants();
    QuadRenderer::drawCentered(local.get(), 1, 1);
}

} // namespace

TEST(QuadRendererDeathTest, DrawingInAnotherContextWithoutReleaseStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(STDOUT_TO_STDERR(drawInAContextWithoutRelease()),
                 "demo/demosys/QuadRenderer:[0-9]+: static Shader\\* QuadRenderer::getShader\\(\\): Assertion "
                 "`builtInContext == OffscreenContext::currentHandle\\(\\)' failed");
}
