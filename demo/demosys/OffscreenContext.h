#pragma once

#include "NonCopyable.h"
#include "Status.h"

#include <string>

struct GLFWwindow;

// A GL 3.2+ core, forward-compatible context that needs no window and no display, for
// offline rendering and GL tests. It is made through EGL, in this order:
//  1. the EGL device platform on a graphics card's driver (a server with a card but no
//     display); skipped when LIBGL_ALWAYS_SOFTWARE asks for the software rasteriser;
//  2. Mesa's surfaceless platform (Mesa's driver of a card, or llvmpipe without one);
//  3. only where EGL gives no context and an X display is set: a hidden GLFW window.
// EGL comes first even with a display: the same context on a desktop, a server and in CI,
// no dependence on an X server, and no window for a window manager to see.
//
// Its default framebuffer (a pbuffer, or the hidden window's) has the size asked for,
// 8-bit RGBA, 24-bit depth and 8-bit stencil, so code that draws to "the screen" works
// as it does in a window.
class OffscreenContext : NonCopyable {
public:
    enum class Kind { None, EglDevice, EglSurfaceless, HiddenWindow };

    OffscreenContext() = default;
    // Releases the context (nothing is current afterwards if it was).
    ~OffscreenContext();

    // Makes the context, makes it current, loads the GL entry points and resets the
    // engine's binding caches. A failure names every platform's reason.
    Status open(int width, int height);
    // Current again (after another context was); the binding caches are reset.
    bool makeCurrent();
    void close();

    Kind getKind() const { return kind; }
    // The platform and the GL renderer, for the log: "EGL surfaceless platform, llvmpipe ...".
    std::string describe() const;
    int getWidth() const { return width; }
    int getHeight() const { return height; }

    // The context current on this thread, EGL's or GLFW's; null when none. Code that keeps
    // GL names per context compares these.
    static const void* currentHandle();
    // The size of the current context's default framebuffer; false when none is current.
    static bool currentScreenSize(int& w, int& h);
    // Loads the GL entry points (GLEW) for the current context, whichever made it.
    static Status loadFunctions();

private:
    Status openEgl(void* platformDisplay, Kind as);
    Status openHiddenWindow();

    Kind kind = Kind::None;
    int width = 0;
    int height = 0;
    void* display = nullptr;
    void* context = nullptr;
    void* surface = nullptr;
    GLFWwindow* window = nullptr;
    std::string renderer;
};
