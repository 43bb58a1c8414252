#pragma once

#include "Status.h"

#include <string>

class ScreenMetrics;
struct GLFWwindow;

// The demo's one window. The GL context hints (3.2 core, forward-compatible) are given
// before by the demo's start-up; both openers make an 8/8/8/8 colour, 24-bit depth
// window, show the cursor and set a swap interval of 1. They fail with "Failed to open
// window".
Status openFullscreen(ScreenMetrics* metrics);
Status openWindow(ScreenMetrics* metrics, const std::string& title);
// Instead of a window, an offscreen context (OffscreenContext) of the metrics' size, for
// offline rendering with or without a display; currentWindow() stays null. A failure
// says why each platform gave none ("no offscreen GL context: ...").
Status openOffscreen(ScreenMetrics* metrics);
// Destroys the window or the offscreen context if one is open.
void closeWindow();
GLFWwindow* currentWindow();
// Whether the window or the offscreen context is open: the demo has a GL context.
bool hasScreen();
// The offscreen context's platform and renderer; "" without one.
std::string describeOffscreen();
// Reads the window's pending events (nothing without a window). Before the input
// callbacks are installed this only keeps the window responsive: keys have no effect.
void pollWindowEvents();

// The one input callback, for keys and mouse buttons alike: a press of Escape asks the
// demo to quit; nothing else reacts.
void onInput(int keyOrButton, int action);
// GLFW's key and mouse-button callbacks, which forward to onInput.
void onKey(GLFWwindow* window, int key, int scancode, int action, int mods);
void onMouseButton(GLFWwindow* window, int button, int action, int mods);

// Reads one queued GL error; prints "[GL_ERROR [NAME (CODE)] LOCATION = ['location']"
// and returns true when there was one.
bool checkGLError(const std::string& location);
