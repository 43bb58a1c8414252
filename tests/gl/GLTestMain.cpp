// Entry point of the GL test binary: one hidden window and context for all its tests.
#include "GLContext.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class GLEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        if (!GLContext::ensure())
            std::fprintf(stderr, "No GL 3.2 core context (is a display set? the test command starts Xvfb)\n");
        ASSERT_NE(GLContext::window(), nullptr);
    }
    void TearDown() override { GLContext::destroy(); }
};

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new GLEnvironment);
    return RUN_ALL_TESTS();
}
