#include "Window.h"

#include "GLError.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "OffscreenContext.h"
#include "RenderState.h"
#include "ScreenMetrics.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <memory>

using ORVDemosys::Log;

namespace {

GLFWwindow* window = nullptr;
std::unique_ptr<OffscreenContext> offscreen;

Status open(ScreenMetrics* metrics, bool fullscreen, const std::string& title)
{
    ORVDemosys::screenMetrics = metrics;
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    glfwWindowHint(GLFW_DEPTH_BITS, 24);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    GLFWmonitor* monitor = fullscreen ? glfwGetPrimaryMonitor() : nullptr;
    window = glfwCreateWindow(metrics->getWidth(), metrics->getHeight(), title.c_str(), monitor, nullptr);
    if (!window)
        return Status::failure("Failed to open window");
    glfwMakeContextCurrent(window);
    glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
    glfwSwapInterval(1);
    // A new context: whatever the caches remember belongs to no context now.
    RenderState::reset();
    return Status::success();
}

} // namespace

Status openFullscreen(ScreenMetrics* metrics) { return open(metrics, true, "Demosys"); }

Status openWindow(ScreenMetrics* metrics, const std::string& title) { return open(metrics, false, title); }

Status openOffscreen(ScreenMetrics* metrics)
{
    ORVDemosys::screenMetrics = metrics;
    offscreen = std::make_unique<OffscreenContext>();
    // The context resets the binding caches itself.
    Status opened = offscreen->open(metrics->getWidth(), metrics->getHeight());
    if (!opened) {
        offscreen.reset();
        return Status::failure("no offscreen GL context: " + opened.reason());
    }
    return opened;
}

void closeWindow()
{
    if (window) {
        glfwDestroyWindow(window);
        window = nullptr;
    }
    offscreen.reset();
}

GLFWwindow* currentWindow() { return window; }

bool hasScreen() { return window || offscreen; }

std::string describeOffscreen() { return offscreen ? offscreen->describe() : std::string(); }

void pollWindowEvents()
{
    if (window)
        glfwPollEvents();
}

void onInput(int keyOrButton, int action)
{
    if (action == GLFW_PRESS && keyOrButton == GLFW_KEY_ESCAPE)
        ORVDemosys::setQuitRequested(true);
}

void onKey(GLFWwindow*, int key, int, int action, int) { onInput(key, action); }

void onMouseButton(GLFWwindow*, int button, int action, int) { onInput(button, action); }

bool checkGLError(const std::string& location)
{
    GLenum code = glGetError();
    if (code == GL_NO_ERROR)
        return false;
    const char* name = GLError::name(code);
    Log::error() << "[GL_ERROR [" << name << " (" << code << ")] LOCATION = ['" << location << "']" << std::endl;
    return true;
}
