#include "ORVDemosys.h"
#include "Projection.h"
#include "ScreenMetrics.h"
#include "Window.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cmath>

TEST(ScreenMetrics, LetterboxAcrossTheWindowWidth)
{
    struct Case {
        int width, height, viewportY, viewportHeight;
    } cases[] = {
        {1280, 1024, 152, 720}, // taller than 16:9: centred with bars above and below
        {1920, 1080, 0, 1080},  // exactly 16:9
        {1280, 768, 24, 720},
        {2560, 1080, -180, 1440}, // wider than 16:9: the viewport overhangs the window
    };
    for (const Case& c : cases) {
        ScreenMetrics m;
        m.resize(c.width, c.height);
        EXPECT_EQ(m.getViewportX(), 0);
        EXPECT_EQ(m.getViewportY(), c.viewportY) << c.width << "x" << c.height;
        EXPECT_EQ(m.getViewportWidth(), c.width);
        EXPECT_EQ(m.getViewportHeight(), c.viewportHeight);
        EXPECT_FLOAT_EQ(m.getViewportAspect(), float(c.width) / float(c.viewportHeight));
        EXPECT_FLOAT_EQ(m.getScaleY(), 0.5625f);
        EXPECT_FLOAT_EQ(m.getFieldOfView(), 50.0f);
    }
    ScreenMetrics empty;
    empty.resize(0, 0);
    EXPECT_EQ(empty.getViewportAspect(), 0.0f);
}

TEST(Projection, PerspectiveMatrix)
{
    Projection p;
    p.set(50.0f, 16.0f / 9.0f, 1.0f, 200.0f);
    const glm::mat4& m = p.getMatrix();
    float f = std::tan(0.5f * 50.0f * 0.017453292f);
    EXPECT_FLOAT_EQ(m[0][0], 1.0f / (16.0f / 9.0f * f));
    EXPECT_FLOAT_EQ(m[1][1], 1.0f / f);
    EXPECT_FLOAT_EQ(m[2][2], -201.0f / 199.0f);
    EXPECT_FLOAT_EQ(m[2][3], -1.0f);
    EXPECT_FLOAT_EQ(m[3][2], -400.0f / 199.0f);
    EXPECT_FLOAT_EQ(m[3][3], 0.0f);
    EXPECT_FLOAT_EQ(m[1][0], 0.0f);
    // A point on the near plane maps to depth -1, on the far plane to +1.
    glm::vec4 nearPoint = m * glm::vec4(0, 0, -1.0f, 1);
    glm::vec4 farPoint = m * glm::vec4(0, 0, -200.0f, 1);
    EXPECT_NEAR(nearPoint.z / nearPoint.w, -1.0f, 1e-5);
    EXPECT_NEAR(farPoint.z / farPoint.w, 1.0f, 1e-5);
    p.setClipPlanes(2.0f, 100.0f);
    EXPECT_FLOAT_EQ(p.getMatrix()[2][2], -102.0f / 98.0f);
}

TEST(Input, OnlyAPressOfEscapeAsksToQuit)
{
    ORVDemosys::setQuitRequested(false);
    onInput(GLFW_KEY_ESCAPE, GLFW_RELEASE);
    onInput(GLFW_KEY_ESCAPE, GLFW_REPEAT);
    onInput(GLFW_KEY_SPACE, GLFW_PRESS);
    for (int button = 0; button < 8; ++button)
        onInput(button, GLFW_PRESS);
    EXPECT_FALSE(ORVDemosys::quitRequested());
    onInput(GLFW_KEY_ESCAPE, GLFW_PRESS);
    EXPECT_TRUE(ORVDemosys::quitRequested());
    ORVDemosys::setQuitRequested(false);
}
