#pragma once

class OffscreenContext;

// The GL 3.2 core, forward-compatible context of a GL test binary: the engine's offscreen
// context (EGL, no display needed; Mesa's software rasteriser in CI), with a 256 x 256
// default framebuffer unless asked otherwise. Made once, current for every test; the
// engine's binding caches are reset when it is made.
class GLContext {
public:
    // Creates the context on first use; false (with the reason on stderr) when no
    // platform gives a core context.
    static bool ensure(int width = 256, int height = 256);
    // Null until ensure() succeeded.
    static OffscreenContext* context();
    static void destroy();
    // Draws count vertices from an empty vertex array, for programs whose vertex stage
    // makes the positions itself (from gl_VertexID).
    static void drawWithoutArrays(int count);
    // The screen bound and GL's defaults back after the engine's passes (which leave
    // depth testing and culling on), so that later tests in the process start from them.
    static void restoreDefaults();
};
