#include "GLContext.h"

#include "FBO.h"
#include "OffscreenContext.h"

#include <GL/glew.h>

#include <cstdio>
#include <memory>

namespace {
std::unique_ptr<OffscreenContext> shared;
} // namespace

bool GLContext::ensure(int width, int height)
{
    if (shared)
        return true;
    auto made = std::make_unique<OffscreenContext>();
    Status opened = made->open(width, height);
    if (!opened) {
        std::fprintf(stderr, "No GL 3.2 core context: %s\n", opened.reason().c_str());
        return false;
    }
    shared = std::move(made);
    return true;
}

OffscreenContext* GLContext::context() { return shared.get(); }

void GLContext::destroy() { shared.reset(); }

void GLContext::drawWithoutArrays(int count)
{
    GLuint vao = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glDrawArrays(GL_TRIANGLES, 0, count);
    glBindVertexArray(0);
    glDeleteVertexArrays(1, &vao);
}

void GLContext::restoreDefaults()
{
    FBO::bind(nullptr);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDepthFunc(GL_LESS);
}
