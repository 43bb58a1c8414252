#pragma once

#include <cstdint>
#include <string>

// The engine's process-wide GL binding caches and draw counters, in one place so that
// they can all be reset when a context is created. Each cache is owned by the class
// that binds through it (Shader for programs, FBO for framebuffers, VAO for vertex
// arrays); anything that changes a binding behind a cache's back calls invalidate..()
// so that the next bind reaches GL.
class RenderState {
public:
    // Program currently in use (0: none) and how often it changed.
    static unsigned int currentProgram;
    static uint64_t programSwitches;

    // Framebuffer bound for drawing (0: the screen). invalidFramebuffer means unknown:
    // the next bind of any framebuffer, the screen included, is issued.
    static constexpr unsigned int invalidFramebuffer = 0xFFFFFFFFu;
    static unsigned int currentFramebuffer;
    // The framebuffer that "the screen" means: 0, the window, unless the offline
    // renderer sends the screen into a framebuffer of its own.
    static unsigned int screenFramebuffer;

    // Vertex array bound last, with the attribute key of its layout.
    static unsigned int currentVertexArray;
    static std::string currentVertexArrayKey;
    static uint64_t vertexArraySwitches;

    // Draw calls issued through the engine's meshes.
    static uint64_t drawCalls;

    // Makes program current through the cache: GL is called and the switch counted only
    // when it is not current already. True when it switched.
    static bool useProgram(unsigned int program);

    // Forgets every binding and zeroes the counters; called whenever a context is made.
    static void reset();
    static void invalidateFramebuffer() { currentFramebuffer = invalidFramebuffer; }
    static void resetCounters();
};
