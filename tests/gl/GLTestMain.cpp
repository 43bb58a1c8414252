// Entry point of the GL test binary: one offscreen context for all its tests.
#include "GLContext.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

class GLEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        // A hidden window's busy X server now and then refuses once; a few tries ride that out.
        for (int attempt = 0; attempt < 5 && !GLContext::ensure(); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (!GLContext::context()) {
            // A failed environment would only mark the tests skipped: make it a failure.
            std::fprintf(stderr, "No GL 3.2 core context: the reasons are above\n");
            std::exit(1);
        }
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
