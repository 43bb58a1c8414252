#include "GLContext.h"

#include "RenderState.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>

namespace {
GLFWwindow* hidden = nullptr;

void reportError(int code, const char* text) { std::fprintf(stderr, "GLFW error %d: %s\n", code, text); }
} // namespace

bool GLContext::ensure(int width, int height)
{
    if (hidden)
        return true;
    glfwSetErrorCallback(reportError);
    if (!glfwInit())
        return false;
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 2);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    glfwWindowHint(GLFW_DEPTH_BITS, 24);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    hidden = glfwCreateWindow(width, height, "demosys gl test", nullptr, nullptr);
    if (!hidden) {
        glfwTerminate();
        return false;
    }
    glfwMakeContextCurrent(hidden);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) {
        std::fprintf(stderr, "glewInit failed\n");
        return false;
    }
    // GLEW's probing leaves an error behind on core contexts.
    while (glGetError() != GL_NO_ERROR) {
    }
    RenderState::reset();
    return true;
}

GLFWwindow* GLContext::window() { return hidden; }

void GLContext::destroy()
{
    if (hidden) {
        glfwDestroyWindow(hidden);
        hidden = nullptr;
    }
    glfwTerminate();
}
