#include "RenderState.h"

#include <GL/glew.h>

unsigned int RenderState::currentProgram = 0;
uint64_t RenderState::programSwitches = 0;
unsigned int RenderState::currentFramebuffer = 0;
unsigned int RenderState::screenFramebuffer = 0;
unsigned int RenderState::currentVertexArray = 0;
std::string RenderState::currentVertexArrayKey;
uint64_t RenderState::vertexArraySwitches = 0;
uint64_t RenderState::drawCalls = 0;

void RenderState::reset()
{
    currentProgram = 0;
    // A fresh context has framebuffer 0 bound, but its viewport is not the letterbox
    // one yet: the first bind of the screen must be issued.
    currentFramebuffer = invalidFramebuffer;
    // A redirection names a framebuffer of the context that is gone.
    screenFramebuffer = 0;
    currentVertexArray = 0;
    currentVertexArrayKey.clear();
    resetCounters();
}

void RenderState::resetCounters()
{
    programSwitches = 0;
    vertexArraySwitches = 0;
    drawCalls = 0;
}

bool RenderState::useProgram(unsigned int program)
{
    if (currentProgram == program)
        return false;
    glUseProgram(program);
    ++programSwitches;
    currentProgram = program;
    return true;
}

void RenderState::releaseProgram(unsigned int program)
{
    if (program == 0 || currentProgram != program)
        return;
    // Leave no deleted program current, and no stale name in the cache.
    glUseProgram(0);
    currentProgram = 0;
}

bool RenderState::bindVertexArray(unsigned int vertexArray, const std::string& key)
{
    if (currentVertexArray == vertexArray && currentVertexArrayKey == key)
        return false;
    glBindVertexArray(vertexArray);
    ++vertexArraySwitches;
    currentVertexArray = vertexArray;
    currentVertexArrayKey = key;
    return true;
}

void RenderState::releaseVertexArray(unsigned int vertexArray)
{
    if (currentVertexArray != vertexArray)
        return;
    currentVertexArray = 0;
    currentVertexArrayKey.clear();
}
