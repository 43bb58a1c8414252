#pragma once

struct GLFWwindow;

// One hidden window with a GL 3.2 core, forward-compatible context for a GL test
// binary (Mesa's software rasteriser under Xvfb in CI). Made once, current for every
// test; the engine's binding caches are reset when it is made.
class GLContext {
public:
    // Creates the window on first use; false (with the reason on stderr) when no
    // display or no core context is available.
    static bool ensure(int width = 256, int height = 256);
    static GLFWwindow* window();
    static void destroy();
};
