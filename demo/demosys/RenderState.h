#pragma once

#include <cstdint>
#include <string>

// The engine's process-wide GL binding caches and draw counters, in one place so that
// they can all be reset when a context is created. Each cache is written through the
// functions here by the class that binds through it (Shader for programs, FBO for
// framebuffers, VAOCombo for vertex arrays); anything that changes a binding behind a
// cache's back calls invalidate..() so that the next bind reaches GL.
class RenderState {
public:
    // Program currently in use (0: none) and how often it changed.
    static unsigned int getCurrentProgram() { return currentProgram; }
    static uint64_t getProgramSwitches() { return programSwitches; }
    // Makes program current through the cache: GL is called and the switch counted only
    // when it is not current already. True when it switched.
    static bool useProgram(unsigned int program);
    // Before program is deleted: when it is current, none is (no switch is counted).
    static void releaseProgram(unsigned int program);

    // Framebuffer bound for drawing (0: the screen). invalidFramebuffer means unknown:
    // the next bind of any framebuffer, the screen included, is issued.
    static constexpr unsigned int invalidFramebuffer = 0xFFFFFFFFu;
    static unsigned int getCurrentFramebuffer() { return currentFramebuffer; }
    // Records the framebuffer FBO has just bound (0: the screen).
    static void setCurrentFramebuffer(unsigned int framebuffer) { currentFramebuffer = framebuffer; }
    static void invalidateFramebuffer() { currentFramebuffer = invalidFramebuffer; }
    // The framebuffer that "the screen" means: 0, the window, unless the offline
    // renderer sends the screen into a framebuffer of its own.
    static unsigned int getScreenFramebuffer() { return screenFramebuffer; }
    static void setScreenFramebuffer(unsigned int framebuffer) { screenFramebuffer = framebuffer; }

    // Vertex array bound last, with the attribute key of its layout.
    static unsigned int getCurrentVertexArray() { return currentVertexArray; }
    static const std::string& getCurrentVertexArrayKey() { return currentVertexArrayKey; }
    static uint64_t getVertexArraySwitches() { return vertexArraySwitches; }
    // Binds the vertex array through the cache; true when it switched.
    static bool bindVertexArray(unsigned int vertexArray, const std::string& key);
    // After vertex array is deleted: GL has 0 bound in its place, and a new array that
    // reuses the name must not skip its bind.
    static void releaseVertexArray(unsigned int vertexArray);

    // Draw calls issued through the engine's meshes.
    static uint64_t getDrawCalls() { return drawCalls; }
    static void countDrawCall() { ++drawCalls; }

    // Forgets every binding and zeroes the counters; called whenever a context is made.
    static void reset();
    static void resetCounters();

private:
    static unsigned int currentProgram;
    static uint64_t programSwitches;
    static unsigned int currentFramebuffer;
    static unsigned int screenFramebuffer;
    static unsigned int currentVertexArray;
    static std::string currentVertexArrayKey;
    static uint64_t vertexArraySwitches;
    static uint64_t drawCalls;
};
