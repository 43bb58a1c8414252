#include "Effect.h"
#include "FBO.h"
#include "GLContext.h"
#include "ImageCompare.h"
#include "LogCapture.h"
#include "ORVDemosys.h"
#include "RenderState.h"
#include "ScreenMetrics.h"
#include "Shader.h"
#include "Texture.h"
#include "TrackManager.h"
#include "TrackStartStop.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>


namespace {

GLint integer(GLenum name)
{
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

std::array<GLint, 4> viewport()
{
    std::array<GLint, 4> v{};
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
}

// The colour of one pixel of a colour attachment of fbo (null: the screen).
std::array<int, 4> pixel(FBO* fbo, int attachment, int x, int y)
{
    glBindFramebuffer(GL_READ_FRAMEBUFFER, FBO::getGlName(fbo));
    glReadBuffer(fbo ? GL_COLOR_ATTACHMENT0 + attachment : GL_BACK);
    RgbaImage image = readPixels(x, y, 1, 1);
    if (fbo)
        glReadBuffer(GL_COLOR_ATTACHMENT0);
    // Reads change the read binding behind the cache.
    RenderState::invalidateFramebuffer();
    const uint8_t* p = image.at(0, 0);
    return {p[0], p[1], p[2], p[3]};
}

// The depth of pixel (3, 3) of fbo.
GLfloat depthAt(FBO* fbo)
{
    GLfloat depth = -1.0f;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, FBO::getGlName(fbo));
    glReadPixels(3, 3, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    RenderState::invalidateFramebuffer();
    return depth;
}

void clearTo(float r, float g, float b)
{
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

const std::array<int, 4> red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255};

} // namespace

TEST(FBO, CreationStatusAndDescription)
{
    RenderState::invalidateFramebuffer();
    captureLog();
    FBO simple(256, 256, false, false, GL_RGBA8);
    FBO full(64, 32, true, true, GL_RGBA8);
    EXPECT_EQ(capturedLog(), "");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "depth texture storage is valid in a core context";
    EXPECT_TRUE(FBO::isComplete(&simple));
    EXPECT_EQ(FBO::getStatusText(&simple), "Framebuffer is complete.");
    EXPECT_EQ(FBO::describe(&simple), "FBO(256,256,COLOR_BUFFER)");
    EXPECT_EQ(FBO::describe(&full), "FBO(64,32,COLOR_BUFFER,DEPTH_BUFFER,STENCIL_BUFFER)");
    Texture* color = FBO::getColorTexture(&full, 0);
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(color->getWidth(), 64);
    ASSERT_NE(FBO::getDepthTexture(&full), nullptr);
    EXPECT_EQ(FBO::getColorTexture(&full, 1), nullptr);

    FBO bare(16, 16);
    captureLog();
    EXPECT_FALSE(bare.checkStatus());
    EXPECT_EQ(capturedLog(), "FBO Framebuffer missing attachment(36055) = false\n");
    EXPECT_EQ(FBO::getStatusText(&bare), "Framebuffer missing attachment");
    EXPECT_FALSE(FBO::isComplete(&bare));

    // The screen: null everywhere.
    EXPECT_EQ(FBO::describe(nullptr), "** screen or nullpointer**");
    EXPECT_EQ(FBO::getStatusText(nullptr), "unknown");
    EXPECT_EQ(FBO::getWidth(nullptr), 0u);
    EXPECT_EQ(FBO::getColorTexture(nullptr, 0), nullptr);
    EXPECT_FALSE(FBO::isDirty(nullptr));
    FBO::markDirty(nullptr);
    FBO::bindAndClear(nullptr);

    // Depth-stencil variants, from the FBO and from outside.
    FBO stencil(32, 32);
    stencil.addColorAttachment(GL_RGBA8, GL_RGBA);
    stencil.addDepthStencilAttachment();
    EXPECT_TRUE(FBO::isComplete(&stencil));
    EXPECT_TRUE(stencil.hasStencilBuffer());
    Texture shared(32, 32, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8);
    FBO outside(32, 32);
    outside.addColorAttachment(GL_RGBA8, GL_RGBA);
    outside.attachDepthStencilTexture(&shared);
    EXPECT_TRUE(FBO::isComplete(&outside));
    EXPECT_EQ(FBO::getDepthTexture(&outside), &shared);
    FBO depth(32, 32);
    depth.addColorAttachment(GL_RGBA8, GL_RGBA);
    depth.addDepthAttachment(GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT);
    EXPECT_TRUE(FBO::isComplete(&depth));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(FBO, BindCacheAndViewports)
{
    FBO a(64, 32, false, false, GL_RGBA8);
    RenderState::invalidateFramebuffer();
    FBO::bind(&a);
    EXPECT_EQ(GLuint(integer(GL_DRAW_FRAMEBUFFER_BINDING)), FBO::getGlName(&a));
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 64, 32}));
    EXPECT_TRUE(a.isBound());
    // A second bind is not issued: a viewport changed in between survives it.
    glViewport(1, 2, 3, 4);
    FBO::bind(&a);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{1, 2, 3, 4}));

    // Attachment changes on another FBO leave this one bound.
    FBO b(64, 32);
    b.addColorAttachment(GL_RGBA8, GL_RGBA);
    EXPECT_EQ(GLuint(integer(GL_DRAW_FRAMEBUFFER_BINDING)), FBO::getGlName(&a));
    glViewport(0, 0, 64, 32);
    clearTo(0, 1, 0);
    EXPECT_EQ(pixel(&a, 0, 5, 5), green);

    // The screen gets the letterbox viewport of the screen metrics.
    ScreenMetrics metrics;
    metrics.resize(256, 256);
    ORVDemosys::screenMetrics = &metrics;
    FBO::bind(nullptr);
    ORVDemosys::screenMetrics = nullptr;
    EXPECT_EQ(integer(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{metrics.getViewportX(), metrics.getViewportY(),
                                                metrics.getViewportWidth(), metrics.getViewportHeight()}));
    EXPECT_EQ(RenderState::getCurrentFramebuffer(), 0u);

    // Deleting the bound FBO drops GL back to the screen; the next screen bind must be issued.
    auto doomed = std::make_unique<FBO>(8, 8, false, false, GL_RGBA8);
    FBO::bind(doomed.get());
    doomed.reset();
    EXPECT_EQ(RenderState::getCurrentFramebuffer(), RenderState::invalidFramebuffer);
}

TEST(FBO, DrawBuffersFollowTheColourTextures)
{
    FBO one(16, 16, false, false, GL_RGBA8);
    FBO::bind(&one);
    EXPECT_EQ(integer(GL_DRAW_BUFFER0), GL_COLOR_ATTACHMENT0);
    EXPECT_EQ(integer(GL_DRAW_BUFFER1), GL_NONE);

    FBO three(16, 16);
    for (int i = 0; i < 3; ++i)
        three.addColorAttachment(GL_RGBA8, GL_RGBA);
    ASSERT_TRUE(FBO::isComplete(&three));
    FBO::bind(&three);
    EXPECT_EQ(integer(GL_DRAW_BUFFER0), GL_COLOR_ATTACHMENT0);
    EXPECT_EQ(integer(GL_DRAW_BUFFER1), GL_COLOR_ATTACHMENT1);
    EXPECT_EQ(integer(GL_DRAW_BUFFER2), GL_COLOR_ATTACHMENT2);
    EXPECT_EQ(three.getDrawBuffers().size(), 3u);

    // A simple FBO with one more attachment draws into both, not into the new one only.
    FBO extended(16, 16, false, false, GL_RGBA8);
    extended.addColorAttachment(GL_RGBA8, GL_RGBA);
    FBO::bind(&extended);
    EXPECT_EQ(integer(GL_DRAW_BUFFER0), GL_COLOR_ATTACHMENT0);
    EXPECT_EQ(integer(GL_DRAW_BUFFER1), GL_COLOR_ATTACHMENT1);

    // Each output of a shader lands in its attachment.
    Shader shader("mrt");
    shader.setVertexCode("#version 150\nvoid main() {\n"
                         "  gl_Position = vec4(vec2((gl_VertexID & 1) * 4 - 1, (gl_VertexID & 2) * 2 - 1), 0, 1);\n}\n");
    shader.setFragmentCode("#version 150\n#extension GL_ARB_explicit_attrib_location : require\n"
                           "layout(location = 0) out vec4 o0;\nlayout(location = 1) out vec4 o1;\n"
                           "layout(location = 2) out vec4 o2;\n"
                           "void main() { o0 = vec4(1, 0, 0, 1); o1 = vec4(0, 1, 0, 1); o2 = vec4(0, 0, 1, 1); }\n");
    captureLog();
    ASSERT_TRUE(shader.build()) << shader.getErrorLog();
    capturedLog();
    FBO::bind(&three);
    shader.bind();
    GLContext::drawWithoutArrays(3);
    EXPECT_EQ(pixel(&three, 0, 8, 8), red);
    EXPECT_EQ(pixel(&three, 1, 8, 8), green);
    EXPECT_EQ(pixel(&three, 2, 8, 8), blue);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(FBO, BindAndClearResetsTheDirtyFlag)
{
    FBO fbo(16, 16, true, false, GL_RGBA8);
    FBO::bind(&fbo);
    clearTo(1, 0, 0);
    FBO::markDirty(&fbo);
    EXPECT_TRUE(FBO::isDirty(&fbo));
    glClearColor(0, 0, 1, 1);
    FBO::bindScreen();
    FBO::bindAndClear(&fbo);
    EXPECT_FALSE(FBO::isDirty(&fbo));
    EXPECT_TRUE(fbo.isBound());
    EXPECT_EQ(pixel(&fbo, 0, 3, 3), blue);
}

TEST(FBO, ClearIfUsedLeavesOutOnlyTheClearOfAnUntouchedFBO)
{
    FBO fbo(16, 16, true, false, GL_RGBA8);
    // Never cleared: the first call clears.
    glClearColor(0, 0, 1, 1);
    FBO::bindAndClearIfUsed(&fbo);
    EXPECT_EQ(pixel(&fbo, 0, 3, 3), blue);
    // Drawn into and marked: cleared again.
    clearTo(1, 0, 0);
    FBO::markDirty(&fbo);
    glClearColor(0, 0, 1, 1);
    FBO::bindAndClearIfUsed(&fbo);
    EXPECT_EQ(pixel(&fbo, 0, 3, 3), blue);
    EXPECT_FALSE(FBO::isDirty(&fbo));
    // Untouched since: bound, not cleared (a clear to green would show).
    glClearColor(0, 1, 0, 1);
    FBO::bindScreen();
    FBO::bindAndClearIfUsed(&fbo);
    EXPECT_TRUE(fbo.isBound());
    EXPECT_EQ(pixel(&fbo, 0, 3, 3), blue);

    // A clear is whole whatever masks the last pass left, and leaves them as they were.
    glClearDepth(0.25);
    glClear(GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glDepthMask(GL_FALSE);
    glColorMask(GL_TRUE, GL_TRUE, GL_FALSE, GL_TRUE);
    FBO::bindAndClear(&fbo);
    EXPECT_EQ(pixel(&fbo, 0, 3, 3), green);
    GLfloat depth = 0.0f;
    glReadPixels(3, 3, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_EQ(depth, 1.0f);
    GLboolean depthMask = GL_TRUE, colourMask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
    EXPECT_EQ(depthMask, GL_FALSE);
    EXPECT_EQ(colourMask[2], GL_FALSE);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(FBO, BlitsCopyPixelsAndLeaveTheCacheInvalid)
{
    FBO a(32, 32, false, false, GL_RGBA8);
    FBO b(32, 32);
    b.addColorAttachment(GL_RGBA8, GL_RGBA);
    b.addColorAttachment(GL_RGBA8, GL_RGBA);
    FBO::bind(&a);
    clearTo(1, 0, 0);
    FBO::bind(&b);
    clearTo(0, 0, 1);

    FBO::bindScreen();
    FBO::blitColor(&a, 0, &b, 1, GL_NEAREST);
    EXPECT_EQ(RenderState::getCurrentFramebuffer(), RenderState::invalidFramebuffer);
    EXPECT_EQ(pixel(&b, 1, 20, 20), red);
    EXPECT_EQ(pixel(&b, 0, 20, 20), blue);
    // The screen bound after a blit really is the screen, and drawing lands there.
    FBO::bindScreen();
    EXPECT_EQ(integer(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    glViewport(0, 0, 256, 256);
    clearTo(0, 1, 0);
    EXPECT_EQ(pixel(nullptr, 0, 100, 100), green);
    EXPECT_EQ(pixel(&b, 1, 20, 20), red);

    // The blit chose one draw buffer of b; binding b for drawing gets both back.
    FBO::bind(&b);
    EXPECT_EQ(integer(GL_DRAW_BUFFER0), GL_COLOR_ATTACHMENT0);
    EXPECT_EQ(integer(GL_DRAW_BUFFER1), GL_COLOR_ATTACHMENT1);

    // A rectangle into the lower left quarter only.
    FBO::bind(&a);
    clearTo(0, 1, 0);
    FBO::blitColorRect(&a, 0, 0, 0, 32, 32, &b, 0, 0, 0, 16, 16, GL_NEAREST);
    EXPECT_EQ(pixel(&b, 0, 4, 4), green);
    EXPECT_EQ(pixel(&b, 0, 24, 24), blue);

    // To the screen, whose size comes from the context when there are no screen metrics.
    FBO::blitColor(&a, 0, nullptr, 0, GL_NEAREST);
    EXPECT_EQ(pixel(nullptr, 0, 250, 250), green);

    // A missing attachment is refused, with no GL error.
    captureLog();
    FBO::blitColor(&a, 3, &b, 0, GL_NEAREST);
    EXPECT_NE(capturedLog().find("no colour attachment 3"), std::string::npos);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// The G-buffer and its light buffers: "geometry" has its own colour, the shared "light"
// colour and the shared depth; "light" has the light colour and the depth; "second" a
// colour of its own and the depth.
TEST(FBO, SharedAttachmentsAreClearedOnceAndFollowedAcrossFBOs)
{
    FBO geometry(16, 16), light(16, 16), second(16, 16);
    geometry.addColorAttachment(GL_RGBA8, GL_RGBA);
    geometry.addDepthAttachment(GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT);
    light.addColorAttachment(GL_RGBA8, GL_RGBA);
    light.attachDepthTexture(FBO::getDepthTexture(&geometry));
    geometry.addColorTexture(FBO::getColorTexture(&light, 0));
    second.addColorAttachment(GL_RGBA8, GL_RGBA);
    second.attachDepthTexture(FBO::getDepthTexture(&geometry));
    ASSERT_TRUE(FBO::isComplete(&geometry) && FBO::isComplete(&light) && FBO::isComplete(&second));

    // A frame: all three drawn into.
    for (FBO* fbo : {&geometry, &light, &second}) {
        FBO::bind(fbo);
        glClearDepth(0.25);
        clearTo(1, 0, 0);
        FBO::markDirty(fbo);
    }
    // Its end: the geometry's clear takes in the light buffer's attachments, and the second
    // buffer's depth; a clear colour or depth of their own would show if they were cleared
    // again.
    glClearDepth(1.0);
    glClearColor(0, 0, 1, 1);
    FBO::bindAndClearIfUsed(&geometry);
    glClearColor(0, 1, 0, 1);
    glClearDepth(0.5);
    FBO::bindAndClearIfUsed(&light);
    FBO::bindAndClearIfUsed(&second);
    EXPECT_EQ(pixel(&geometry, 0, 3, 3), blue);
    EXPECT_EQ(pixel(&light, 0, 3, 3), blue);
    EXPECT_EQ(pixel(&second, 0, 3, 3), green);
    EXPECT_EQ(depthAt(&second), 1.0f);
    for (FBO* fbo : {&geometry, &light, &second})
        EXPECT_FALSE(FBO::isDirty(fbo));

    // Drawing through the light buffer leaves the geometry buffer needing a clear of
    // those attachments only, though nothing marked the geometry buffer itself.
    FBO::bind(&light);
    glClearDepth(0.25);
    clearTo(1, 0, 0);
    FBO::markDirty(&light);
    glClearDepth(1.0);
    glClearColor(1, 1, 1, 1);
    FBO::bindAndClearIfUsed(&geometry);
    EXPECT_TRUE(geometry.isBound());
    EXPECT_EQ(pixel(&geometry, 0, 3, 3), blue);
    EXPECT_EQ(pixel(&light, 0, 3, 3), (std::array<int, 4>{255, 255, 255, 255}));
    EXPECT_EQ(depthAt(&geometry), 1.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glClearColor(0, 0, 0, 0);
}

TEST(FBO, ClearOnBindOwesTheFramesClearToTheNextBindOrBlit)
{
    FBO geometry(16, 16), light(16, 16), plain(16, 16, false, false, GL_RGBA8);
    geometry.addColorAttachment(GL_RGBA8, GL_RGBA);
    geometry.addDepthAttachment(GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT);
    light.addColorAttachment(GL_RGBA8, GL_RGBA);
    light.attachDepthTexture(FBO::getDepthTexture(&geometry));
    geometry.setClearOnBind(true);
    light.setClearOnBind(true);
    // Setting it owes the first clear.
    EXPECT_TRUE(FBO::isClean(&geometry));
    glClearColor(0, 0, 1, 1);
    FBO::bind(&geometry);
    EXPECT_EQ(pixel(&geometry, 0, 3, 3), blue);

    // A frame draws both; its end owes the clear and leaves the pixels alone.
    for (FBO* fbo : {&geometry, &light}) {
        FBO::bind(fbo);
        glClearDepth(0.25);
        clearTo(1, 0, 0);
        FBO::markDirty(fbo);
    }
    glClearDepth(1.0);
    for (FBO* fbo : {&geometry, &light})
        FBO::endFrame(fbo);
    EXPECT_FALSE(FBO::isDirty(&geometry));
    EXPECT_TRUE(FBO::isClean(&light));
    EXPECT_EQ(pixel(&geometry, 0, 3, 3), red);

    // The next frame: the geometry's bind clears what it holds, the shared depth too;
    // then it draws the depth, which the light buffer's bind, owing only its colour,
    // keeps.
    glClearColor(0, 1, 0, 1);
    FBO::bindScreen();
    FBO::bind(&geometry);
    EXPECT_EQ(pixel(&geometry, 0, 3, 3), green);
    EXPECT_EQ(depthAt(&geometry), 1.0f);
    FBO::bind(&geometry);
    glClearDepth(0.25);
    glClear(GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    FBO::markDirty(&geometry);
    FBO::bind(&light);
    EXPECT_EQ(pixel(&light, 0, 3, 3), green);
    EXPECT_NEAR(depthAt(&light), 0.25f, 1e-6);

    // A blit reads an owed source as cleared.
    FBO::endFrame(&geometry);
    FBO::bind(&plain);
    clearTo(1, 0, 0);
    glClearColor(0, 0, 1, 1);
    FBO::blitColor(&geometry, 0, &plain, 0, GL_NEAREST);
    EXPECT_EQ(pixel(&plain, 0, 3, 3), blue);

    // So does a pass that reads its colour as a texture before anything binds it, and
    // the pass's own target and viewport stay bound.
    FBO::bind(&light);
    clearTo(1, 0, 0);
    FBO::markDirty(&light);
    FBO::endFrame(&light);
    FBO::bind(&plain);
    glViewport(1, 2, 3, 4);
    glClearColor(0, 1, 0, 1);
    FBO::getColorTexture(&light, 0)->bind();
    EXPECT_EQ(integer(GL_DRAW_FRAMEBUFFER_BINDING), GLint(FBO::getGlName(&plain)));
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{1, 2, 3, 4}));
    std::array<uint8_t, 16 * 16 * 4> texels{};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ((std::array<int, 4>{texels[0], texels[1], texels[2], texels[3]}), green);
    EXPECT_TRUE(FBO::isClean(&light));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glClearColor(0, 0, 0, 0);
}

TEST(FBO, DepthBlitAndSharedDepthTexture)
{
    auto depth = std::make_unique<Texture>(32, 32, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT);
    GLuint depthName = depth->getGlName();
    GLuint ownName = 0;
    {
        FBO first(32, 32, false, false, GL_RGBA8);
        FBO second(32, 32, false, false, GL_RGBA8);
        first.attachDepthTexture(depth.get());
        second.attachDepthTexture(depth.get());
        EXPECT_TRUE(first.hasDepthBuffer());
        EXPECT_TRUE(second.hasDepthBuffer());
        EXPECT_EQ(FBO::describe(&second), "FBO(32,32,COLOR_BUFFER,DEPTH_BUFFER)");
        EXPECT_TRUE(FBO::isComplete(&first));
        ownName = FBO::getColorTexture(&first, 0)->getGlName();

        FBO target(32, 32, true, false, GL_RGBA8);
        FBO::bind(&first);
        glClearDepth(0.25);
        glClear(GL_DEPTH_BUFFER_BIT);
        FBO::bind(&target);
        glClearDepth(1.0);
        glClear(GL_DEPTH_BUFFER_BIT);
        FBO::blitDepth(&first, &target);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_EQ(RenderState::getCurrentFramebuffer(), RenderState::invalidFramebuffer);
        float value = 0;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, FBO::getGlName(&target));
        glReadPixels(10, 10, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &value);
        EXPECT_NEAR(value, 0.25f, 1e-4);
    }
    // The FBOs delete what they made, and nothing attached from outside.
    EXPECT_FALSE(glIsTexture(ownName));
    EXPECT_TRUE(glIsTexture(depthName));
    depth.reset();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(FBO, BindColorTextureOnlyWhenComplete)
{
    FBO good(8, 8, false, false, GL_RGBA8);
    glBindTexture(GL_TEXTURE_2D, 0);
    good.bindColorTexture();
    EXPECT_EQ(GLuint(integer(GL_TEXTURE_BINDING_2D)), FBO::getColorTexture(&good, 0)->getGlName());

    FBO mismatched(8, 8, false, false, GL_RGBA8);
    captureLog();
    // A zero-sized colour texture makes the attachment incomplete.
    Texture none(0, 0, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE);
    mismatched.addColorTexture(&none);
    std::string out = capturedLog();
    EXPECT_FALSE(FBO::isComplete(&mismatched));
    EXPECT_EQ(out, "FBO Framebuffer incomplete attachment(36054) = false\n");
    glBindTexture(GL_TEXTURE_2D, 0);
    mismatched.bindColorTexture();
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

namespace {

// Binds a framebuffer at draw time and records the scissor GL has then.
class ScissorProbe : public Effect {
public:
    ScissorProbe(FBO* into, ScreenArea shows = ScreenArea()) : into(into), shows(shows) {}
    ScreenArea shownArea() const override { return shows; }
    void draw(uint32_t, int32_t, FBO*) override
    {
        FBO::bind(into);
        clipped = glIsEnabled(GL_SCISSOR_TEST);
        glGetIntegerv(GL_SCISSOR_BOX, box.data());
    }
    FBO* into;
    ScreenArea shows;
    bool clipped = false;
    std::array<GLint, 4> box{};
};

std::unique_ptr<TrackStartStop> screenRange(int32_t priority)
{
    std::unique_ptr<TrackStartStop> track(new TrackStartStop(priority));
    track->insertKey(StartStopKey(0, StartStopKey::Start, "screen"));
    track->insertKey(StartStopKey(100, StartStopKey::Stop));
    return track;
}

} // namespace

TEST(FBO, AShownAreaClipsDrawingIntoWhatFollowsTheScreenButNeitherClearsNorBlits)
{
    FBO follows(64, 64, false, false, GL_RGBA8), other(64, 64, false, false, GL_RGBA8);
    follows.setFollowsScreen(true);
    for (FBO* fbo : {&follows, &other}) {
        FBO::bind(fbo);
        clearTo(0, 0, 1);
    }
    // A plain glClear honours the scissor as a drawing does.
    FBO::setShownArea({0.0f, 0.25f, 1.0f, 0.75f});
    FBO::bind(&follows);
    clearTo(1, 0, 0);
    FBO::bind(&other);
    clearTo(1, 0, 0);
    EXPECT_EQ(pixel(&follows, 0, 5, 15), blue);
    EXPECT_EQ(pixel(&follows, 0, 5, 16), red);
    EXPECT_EQ(pixel(&follows, 0, 5, 47), red);
    EXPECT_EQ(pixel(&follows, 0, 5, 48), blue);
    EXPECT_EQ(pixel(&other, 0, 5, 5), red) << "an FBO that does not follow the screen is not clipped";
    // The FBO's own clears and blits reach every pixel, and the clip holds after them.
    glClearColor(0, 1, 0, 1);
    FBO::bindAndClear(&follows);
    EXPECT_EQ(pixel(&follows, 0, 5, 5), green);
    FBO::blitColor(&other, 0, &follows, 0, GL_NEAREST);
    EXPECT_EQ(pixel(&follows, 0, 5, 60), red);
    FBO::bind(&follows);
    clearTo(0, 0, 1);
    EXPECT_EQ(pixel(&follows, 0, 5, 60), red);
    EXPECT_EQ(pixel(&follows, 0, 5, 30), blue);

    FBO::showAll();
    FBO::bind(&follows);
    clearTo(0, 1, 0);
    EXPECT_EQ(pixel(&follows, 0, 5, 60), green);
    FBO::setClipping(false);
    FBO::setShownArea({0.0f, 0.25f, 1.0f, 0.75f});
    FBO::bind(&follows);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST)) << "clipping off";
    FBO::setClipping(true);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(FBO, TheTimelineClipsTheEffectsDrawnBeforeOneThatShowsPartOfTheScreen)
{
    FBO follows(40, 100, false, false, GL_RGBA8);
    follows.setFollowsScreen(true);
    ScissorProbe beneath(&follows), bars(&follows, {0.0f, 0.1f, 1.0f, 0.9f}), above(&follows);
    TrackManager timeline;
    timeline.addEntry("beneath", &beneath, screenRange(1));
    timeline.addEntry("bars", &bars, screenRange(2));
    timeline.addEntry("above", &above, screenRange(3));
    timeline.arrangeDrawOrder();
    timeline.drawFrame(1000, 20, 0);
    EXPECT_TRUE(beneath.clipped);
    EXPECT_EQ(beneath.box, (std::array<GLint, 4>{0, 10, 40, 80}));
    EXPECT_FALSE(bars.clipped) << "the effect with the bars draws whole";
    EXPECT_FALSE(above.clipped) << "what is drawn over the bars is not beneath them";

    // Off, nothing is clipped.
    FBO::setClipping(false);
    timeline.drawFrame(1000, 20, 0);
    FBO::setClipping(true);
    EXPECT_FALSE(beneath.clipped);
}
