#include "CubeMapRenderTarget.h"

#include "RenderState.h"
#include "Texture.h"

CubeMapRenderTarget::CubeMapRenderTarget(int faceSize) : size(faceSize > 0 ? faceSize : 1)
{
    glGenFramebuffers(1, &framebuffer);
}

CubeMapRenderTarget::~CubeMapRenderTarget()
{
    if (bound)
        unbind();
    if (depthBuffer)
        glDeleteRenderbuffers(1, &depthBuffer);
    if (framebuffer)
        glDeleteFramebuffers(1, &framebuffer);
}

void CubeMapRenderTarget::addColorCubeMap(GLint internalFormat, GLenum format)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    cubeMap.reset(new Texture("CubeMapRenderTarget", name));
    cubeMap->setTarget(GL_TEXTURE_CUBE_MAP);
    cubeMap->setInternalFormat(internalFormat);
    cubeMap->setFormat(format);
    cubeMap->setSize(size, size);
    cubeMap->setEnvMode(GL_REPLACE); // kept on the texture; no fixed-function state in a core profile
    glBindTexture(GL_TEXTURE_CUBE_MAP, name);
    for (int i = 0; i < 6; ++i)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + GLenum(i), 0, internalFormat, size, size, 0, format,
                     GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    cubeMap->recordWrap(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    for (int i = 0; i < 6; ++i)
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_CUBE_MAP_POSITIVE_X + GLenum(i), name, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    RenderState::invalidateFramebuffer();
}

void CubeMapRenderTarget::addDepthBuffer()
{
    glGenRenderbuffers(1, &depthBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, size, size);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    RenderState::invalidateFramebuffer();
}

void CubeMapRenderTarget::bindFace(int face)
{
    if (face < 0 || face > 5 || !cubeMap)
        return;
    if (!bound)
        glGetIntegerv(GL_VIEWPORT, savedViewport);
    bound = true;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_CUBE_MAP_POSITIVE_X + GLenum(face),
                           cubeMap->getGlName(), 0);
    const GLenum drawBuffer = GL_COLOR_ATTACHMENT0;
    glDrawBuffers(1, &drawBuffer);
    // Bound behind the engine's framebuffer cache: the next FBO bind must reach GL (and
    // sets the scissor again). A face is no picture of the screen: never clipped.
    RenderState::invalidateFramebuffer();
    glViewport(0, 0, size, size);
    glDisable(GL_SCISSOR_TEST);
}

void CubeMapRenderTarget::unbind()
{
    if (!bound)
        return;
    bound = false;
    glViewport(savedViewport[0], savedViewport[1], savedViewport[2], savedViewport[3]);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    RenderState::invalidateFramebuffer();
}

bool CubeMapRenderTarget::isComplete() const
{
    GLint current = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &current);
    if (GLuint(current) != framebuffer)
        return false;
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}
