#include "FBO.h"
#include "Geometry.h"
#include "GLContext.h"
#include "ImageCompare.h"
#include "QuadRenderer.h"
#include "RenderState.h"
#include "Shader.h"
#include "Texture.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#define STDOUT_TO_STDERR(statement) \
    do {                            \
        dup2(2, 1);                 \
        statement;                  \
    } while (0)

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

// A texture of nearest-filtered texels, rows bottom first.
std::unique_ptr<Texture> makeTexture(int width, int height, const std::vector<Rgba>& texels)
{
    std::unique_ptr<Texture> texture(new Texture(width, height, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, texels.data()));
    texture->setFilter(GL_NEAREST);
    return texture;
}

// Bottom row red, green; top row blue, and white with alpha 0.
std::unique_ptr<Texture> quadrants()
{
    return makeTexture(2, 2, {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 0}});
}

std::unique_ptr<Shader> makeShader(const std::string& name, const std::string& vertex, const std::string& fragment)
{
    std::unique_ptr<Shader> shader(new Shader(name));
    shader->setVertexCode(vertex);
    shader->setFragmentCode(fragment);
    EXPECT_TRUE(shader->build()) << shader->getErrorLog();
    return shader;
}

// Shows texture0 inverted, placed by pos and scale.
std::unique_ptr<Shader> invertingShader()
{
    return makeShader("inverting",
                      "#version 150\nin vec3 in_Position;\nin vec2 in_UV0;\nuniform vec2 pos;\nuniform vec2 scale;\n"
                      "out vec2 uv;\nvoid main() { uv = in_UV0; gl_Position = vec4(pos + in_Position.xy * scale, 0.0, 1.0); }\n",
                      "#version 150\nuniform sampler2D texture0;\nin vec2 uv;\nout vec4 c;\n"
                      "void main() { c = vec4(1.0 - texture(texture0, uv).rgb, 1.0); }\n");
}

::testing::AssertionResult pixelIs(const RgbaImage& image, int x, int y, Rgba expected, int tolerance = 2)
{
    const uint8_t* p = image.at(x, y);
    const int got[3] = {p[0], p[1], p[2]};
    const int want[3] = {expected.r, expected.g, expected.b};
    for (int i = 0; i < 3; ++i)
        if (std::abs(got[i] - want[i]) > tolerance)
            return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << got[0] << "," << got[1]
                                                 << "," << got[2] << ", expected " << want[0] << "," << want[1] << ","
                                                 << want[2];
    return ::testing::AssertionSuccess();
}

GLint glInteger(GLenum name)
{
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

const Rgba grey = {64, 64, 64, 255};

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

    // The caches say what GL has bound, the caller's program is current again, the
    // texture is unbound and the operation was one draw call.
    static void expectStateKept(GLuint program, uint64_t drawCallsBefore)
    {
        EXPECT_EQ(GLuint(glInteger(GL_CURRENT_PROGRAM)), RenderState::currentProgram);
        EXPECT_EQ(RenderState::currentProgram, program);
        EXPECT_EQ(GLuint(glInteger(GL_VERTEX_ARRAY_BINDING)), RenderState::currentVertexArray);
        EXPECT_EQ(glInteger(GL_TEXTURE_BINDING_2D), 0);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_EQ(RenderState::drawCalls, drawCallsBefore + 1);
    }
};

} // namespace

TEST_F(QuadRendererTest, CenteredAndPlacedQuadsPutTheTextureWhereTheCornersSay)
{
    auto texture = quadrants();
    auto other = invertingShader();
    other->bind();

    uint64_t calls = RenderState::drawCalls;
    QuadRenderer::drawCentered(texture.get(), 1.0f, 1.0f);
    expectStateKept(other->getProgram(), calls);

    calls = RenderState::drawCalls;
    QuadRenderer::drawAt(texture.get(), -1.0f, 1.0f, 0.5f, 0.5f);
    expectStateKept(other->getProgram(), calls);

    RgbaImage image = readPixels(0, 0, 256, 256);
    // Centred: pixels 64..191 both ways; the alpha-0 texel is drawn, no discard here.
    EXPECT_TRUE(pixelIs(image, 70, 70, {255, 0, 0, 255}));
    EXPECT_TRUE(pixelIs(image, 186, 70, {0, 255, 0, 255}));
    EXPECT_TRUE(pixelIs(image, 70, 186, {0, 0, 255, 255}));
    EXPECT_TRUE(pixelIs(image, 186, 186, {255, 255, 255, 255}));
    EXPECT_TRUE(pixelIs(image, 62, 128, grey));
    EXPECT_TRUE(pixelIs(image, 193, 128, grey));
    // At (-1, 1), 0.5 wide and high: the top-left 64 x 64 pixels.
    EXPECT_TRUE(pixelIs(image, 5, 250, {0, 0, 255, 255}));
    EXPECT_TRUE(pixelIs(image, 58, 197, {0, 255, 0, 255}));
    EXPECT_TRUE(pixelIs(image, 5, 190, grey));
    EXPECT_TRUE(pixelIs(image, 66, 250, grey));
}

TEST_F(QuadRendererTest, FullscreenBlendsDiscardsZeroAlphaAndDisablesBlending)
{
    // Half-transparent red, then a texel with alpha 0.
    auto texture = makeTexture(2, 1, {{255, 0, 0, 128}, {0, 255, 0, 0}});
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    uint64_t calls = RenderState::drawCalls;
    QuadRenderer::drawFullscreen(texture.get(), GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    expectStateKept(0, calls);
    RgbaImage image = readPixels(0, 0, 256, 256);
    EXPECT_TRUE(pixelIs(image, 10, 128, {128, 0, 127, 255}));
    EXPECT_TRUE(pixelIs(image, 245, 128, {0, 0, 255, 255}));

    // Replacing factors would write the green texel; the discard keeps it out.
    glClear(GL_COLOR_BUFFER_BIT);
    QuadRenderer::drawFullscreen(texture.get(), GL_ONE, GL_ZERO);
    image = readPixels(0, 0, 256, 256);
    EXPECT_TRUE(pixelIs(image, 10, 128, {255, 0, 0, 255}));
    EXPECT_TRUE(pixelIs(image, 245, 128, {0, 0, 255, 255}));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    // A null texture draws nothing and changes nothing.
    calls = RenderState::drawCalls;
    QuadRenderer::drawFullscreen(nullptr, GL_ONE, GL_ZERO);
    QuadRenderer::drawCentered(nullptr, 1, 1);
    EXPECT_EQ(RenderState::drawCalls, calls);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(QuadRendererTest, ThroughAShaderTextureZeroPosAndScale)
{
    auto texture = quadrants();
    auto shader = invertingShader();
    // Another texture on unit 0 before: the draw must use its own.
    auto decoy = makeTexture(1, 1, {{0, 0, 0, 255}});
    decoy->bind();

    QuadRenderer::drawWithShader(texture.get(), shader.get());
    RgbaImage image = readPixels(0, 0, 256, 256);
    EXPECT_TRUE(pixelIs(image, 5, 5, {0, 255, 255, 255}));
    EXPECT_TRUE(pixelIs(image, 250, 5, {255, 0, 255, 255}));
    EXPECT_TRUE(pixelIs(image, 5, 250, {255, 255, 0, 255}));
    EXPECT_TRUE(pixelIs(image, 250, 250, {0, 0, 0, 255}));
    // The caller's shader is left bound, and the caches say so.
    EXPECT_EQ(RenderState::currentProgram, shader->getProgram());
    EXPECT_EQ(GLuint(glInteger(GL_CURRENT_PROGRAM)), RenderState::currentProgram);
    EXPECT_EQ(GLuint(glInteger(GL_VERTEX_ARRAY_BINDING)), RenderState::currentVertexArray);

    // pos (0, 0), scale (1, 1): the corner-anchored quad fills the bottom-right quarter.
    screen();
    QuadRenderer::drawWithShader(texture.get(), shader.get(), 0.0f, 0.0f, 1.0f, 1.0f);
    image = readPixels(0, 0, 256, 256);
    EXPECT_TRUE(pixelIs(image, 250, 5, {255, 0, 255, 255}));
    EXPECT_TRUE(pixelIs(image, 133, 122, {255, 255, 0, 255}));
    EXPECT_TRUE(pixelIs(image, 122, 122, grey));
    EXPECT_TRUE(pixelIs(image, 133, 133, grey));
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

    uint64_t calls = RenderState::drawCalls;
    QuadRenderer::drawFBOToScreen(&fbo, 0.5f);
    expectStateKept(0, calls);
    RgbaImage image = readPixels(0, 0, 256, 256);
    EXPECT_TRUE(pixelIs(image, 128, 128, {255, 128, 0, 255}));
    EXPECT_TRUE(pixelIs(image, 66, 189, {255, 128, 0, 255}));
    EXPECT_TRUE(pixelIs(image, 62, 128, grey));
    EXPECT_TRUE(pixelIs(image, 128, 193, grey));
    EXPECT_EQ(color->getWrapS(), GL_CLAMP_TO_EDGE);
    color->bind();
    GLint wrapS = 0, wrapT = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    color->unbind();
    EXPECT_EQ(wrapS, GL_CLAMP_TO_EDGE);
    EXPECT_EQ(wrapT, GL_CLAMP_TO_EDGE);

    // Full screen by default; an FBO without attachments and the screen draw nothing.
    QuadRenderer::drawFBOToScreen(&fbo);
    EXPECT_TRUE(pixelIs(readPixels(2, 2, 1, 1), 0, 0, {255, 128, 0, 255}));
    testing::internal::CaptureStdout();
    FBO empty(32, 32);
    testing::internal::GetCapturedStdout();
    screen();
    calls = RenderState::drawCalls;
    QuadRenderer::drawFBOToScreen(&empty);
    QuadRenderer::drawFBOToScreen(nullptr);
    EXPECT_EQ(RenderState::drawCalls, calls);
    EXPECT_TRUE(pixelIs(readPixels(128, 128, 1, 1), 0, 0, grey));
}

TEST_F(QuadRendererTest, ComposedFrameMatchesTheReference)
{
    // A 64 x 64 frame: a blended gradient background, a centred checker and a corner
    // badge, with linear filtering.
    std::vector<Rgba> gradient;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            gradient.push_back({uint8_t(x * 36), uint8_t(y * 36), uint8_t(255 - x * 18 - y * 18), 200});
    auto background = makeTexture(8, 8, gradient);
    background->setFilter(GL_LINEAR);
    std::vector<Rgba> checker;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            checker.push_back((x + y) % 2 ? Rgba{240, 240, 240, 255} : Rgba{20, 20, 20, 0});
    auto board = makeTexture(4, 4, checker);

    glViewport(0, 0, 64, 64);
    glClearColor(0.1f, 0.1f, 0.3f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    QuadRenderer::drawFullscreen(background.get(), GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    QuadRenderer::drawFullscreen(board.get(), GL_ONE, GL_ONE);
    QuadRenderer::drawCentered(board.get(), 0.75f, 0.75f);
    QuadRenderer::drawAt(background.get(), 0.5f, 1.0f, 0.5f, 0.25f);
    RgbaImage frame = readPixels(0, 0, 64, 64);

    std::string report;
    EXPECT_TRUE(matchesReference(frame, std::string(DEMOSYS_SOURCE_DIR) + "/tests/data/reference/quad_renderer.png",
                                 "quad_renderer", 1.5, 35.0, report))
        << report;
}

TEST_F(QuadRendererTest, SurvivesReleaseCacheResetAndANewContext)
{
    auto texture = quadrants();
    QuadRenderer::drawCentered(texture.get(), 2, 2);
    ASSERT_NE(QuadRenderer::getShader(), nullptr);

    // Released and caches forgotten, as when a context is made: built again on demand.
    QuadRenderer::release();
    RenderState::reset();
    screen();
    QuadRenderer::drawCentered(texture.get(), 2, 2);
    EXPECT_TRUE(pixelIs(readPixels(5, 5, 1, 1), 0, 0, {255, 0, 0, 255}));
    EXPECT_EQ(GLuint(glInteger(GL_VERTEX_ARRAY_BINDING)), RenderState::currentVertexArray);

    // A second context: everything is made again there and released before it goes.
    QuadRenderer::release();
    Geometry::release();
    glUseProgram(0);
    glBindVertexArray(0);
    GLFWwindow* first = glfwGetCurrentContext();
    GLFWwindow* second = glfwCreateWindow(64, 64, "second context", nullptr, nullptr);
    ASSERT_NE(second, nullptr);
    glfwMakeContextCurrent(second);
    RenderState::reset();
    {
        auto local = quadrants();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, 64, 64);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        QuadRenderer::drawFullscreen(local.get(), GL_ONE, GL_ZERO);
        RgbaImage image = readPixels(0, 0, 64, 64);
        EXPECT_TRUE(pixelIs(image, 2, 2, {255, 0, 0, 255}));
        EXPECT_TRUE(pixelIs(image, 2, 61, {0, 0, 255, 255}));
        EXPECT_TRUE(pixelIs(image, 61, 61, {0, 0, 0, 255}));
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        QuadRenderer::release();
        Geometry::release();
    }
    glfwDestroyWindow(second);
    glfwMakeContextCurrent(first);
    RenderState::reset();

    screen();
    QuadRenderer::drawCentered(texture.get(), 2, 2);
    EXPECT_TRUE(pixelIs(readPixels(250, 250, 1, 1), 0, 0, {255, 255, 255, 255}));
}

namespace {

void drawInAContextWithoutRelease()
{
    auto texture = quadrants();
    QuadRenderer::drawCentered(texture.get(), 1, 1);
    GLFWwindow* second = glfwCreateWindow(64, 64, "second context", nullptr, nullptr);
    glfwMakeContextCurrent(second);
    RenderState::reset();
    auto local = quadrants();
    QuadRenderer::drawCentered(local.get(), 1, 1);
}

} // namespace

TEST(QuadRendererDeathTest, DrawingInAnotherContextWithoutReleaseStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(STDOUT_TO_STDERR(drawInAContextWithoutRelease()),
                 "demo/demosys/QuadRenderer:[0-9]+: static Shader\\* QuadRenderer::getShader\\(\\): Assertion "
                 "`builtInContext == glfwGetCurrentContext\\(\\)' failed");
}
