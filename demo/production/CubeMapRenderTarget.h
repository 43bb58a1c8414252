#pragma once

#include "NonCopyable.h"

#include <GL/glew.h>

#include <memory>

class Texture;

// A framebuffer that renders into the six faces of a cube map, one face at a time. It
// owns its framebuffer, its depth renderbuffer and the cube map texture (a Texture of
// target GL_TEXTURE_CUBE_MAP that lights can take as their cube map). Binding a face
// saves the viewport (glGetIntegerv, so it works in a core profile) and sets it to the
// face's size; unbinding restores it and binds framebuffer 0. Create and delete with the
// GL context current.
class CubeMapRenderTarget : NonCopyable {
public:
    explicit CubeMapRenderTarget(int size);
    ~CubeMapRenderTarget();

    // Six faces of size x size bytes, linear filtering, clamped to the edge in S, T, R.
    void addColorCubeMap(GLint internalFormat, GLenum format);
    // A GL_DEPTH_COMPONENT24 renderbuffer of the size.
    void addDepthBuffer();
    // face 0..5: GL_TEXTURE_CUBE_MAP_POSITIVE_X + face.
    void bindFace(int face);
    void unbind();

    // The framebuffer is complete with the face bound (call between bindFace and unbind).
    bool isComplete() const;
    int getSize() const { return size; }
    Texture* getCubeMap() const { return cubeMap.get(); }
    GLuint getFramebuffer() const { return framebuffer; }

private:
    int size;
    GLuint framebuffer = 0;
    GLuint depthBuffer = 0;
    std::unique_ptr<Texture> cubeMap;
    GLint savedViewport[4] = {0, 0, 0, 0};
    bool bound = false;
};
