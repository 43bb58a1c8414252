#include "GLContext.h"
#include "ImageCompare.h"
#include "OffscreenContext.h"
#include "StatusCheck.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

// The harness itself: a core context of at least 3.2 whose default framebuffer reads back
// what was cleared into it.
TEST(GLContext, CoreProfileReadsBackAClear)
{
    GLint major = 0, minor = 0, mask = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
    EXPECT_GE(major * 10 + minor, 32);
    EXPECT_TRUE(mask & GL_CONTEXT_CORE_PROFILE_BIT);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, 256, 256);
    glClearColor(1.0f, 0.5f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    RgbaImage image = readPixels(0, 0, 4, 4);
    EXPECT_EQ(image.at(2, 2)[0], 255);
    EXPECT_NEAR(image.at(2, 2)[1], 128, 1);
    EXPECT_EQ(image.at(2, 2)[2], 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // Fixed-function calls do not exist here: the reason the engine draws every quad
    // through a shader.
    EXPECT_FALSE(std::strstr(reinterpret_cast<const char*>(glGetString(GL_VERSION)), "Compatibility"));
}

// The engine's offscreen context: its default framebuffer has the size asked for (what
// FBO::screenSize reads when no demo screen is set), and a refused one says why and
// leaves the current context as it was.
TEST(GLContext, OffscreenDefaultFramebufferHasItsSize)
{
    OffscreenContext* shared = GLContext::context();
    ASSERT_NE(shared, nullptr);
    std::printf("context: %s\n", shared->describe().c_str());
    EXPECT_NE(shared->getKind(), OffscreenContext::Kind::None);
    int w = 0, h = 0;
    ASSERT_TRUE(OffscreenContext::currentScreenSize(w, h));
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 256);

    const void* before = OffscreenContext::currentHandle();
    OffscreenContext empty;
    Status opened = empty.open(0, 10);
    EXPECT_FALSE(opened);
    EXPECT_NE(opened.reason().find("0x10"), std::string::npos) << opened.reason();
    EXPECT_EQ(OffscreenContext::currentHandle(), before);

    {
        OffscreenContext small;
        ASSERT_TRUE(succeeds(small.open(40, 30)));
        EXPECT_EQ(small.getKind(), shared->getKind());
        ASSERT_TRUE(OffscreenContext::currentScreenSize(w, h));
        EXPECT_EQ(w, 40);
        EXPECT_EQ(h, 30);
    }
    EXPECT_EQ(OffscreenContext::currentHandle(), nullptr);
    ASSERT_TRUE(shared->makeCurrent());
    ASSERT_TRUE(OffscreenContext::currentScreenSize(w, h));
    EXPECT_EQ(w, 256);
}
