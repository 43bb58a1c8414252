#pragma once

#include "NonCopyable.h"

#include <GL/glew.h>

#include <cstdint>
#include <string>

// One GL texture object with the parameters it was made with. The Texture owns its GL
// name and deletes it when destroyed; whoever creates the Texture owns the object.
// Uploads take tightly packed rows (any width, RGB included).
class Texture : NonCopyable {
public:
    // Wraps a GL texture that the caller made (the image loader); takes ownership of it.
    Texture(const std::string& fileName, GLuint glName);
    // Generates a texture of the target, sets linear filters and clamp-to-edge wraps and
    // uploads pixels (null: storage only).
    Texture(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLsizei depth,
            GLint border, GLenum format, GLenum type, const void* pixels);
    // An empty 2D texture, level 0.
    Texture(GLsizei width, GLsizei height, GLint internalFormat, GLenum format, GLenum type);
    // A 2D texture filled from pixels, level 0.
    Texture(GLsizei width, GLsizei height, GLint internalFormat, GLenum format, GLenum type, const void* pixels);
    ~Texture();

    void bind() const;
    void unbind() const;

    // Replaces the contents of the stored level with pixels, at the stored size and
    // formats (1D: max(width, height) texels).
    void upload(const void* pixels);

    // When set, builds the mipmap chain from level 0 (the min filter decides whether it
    // is sampled).
    void setMipmapped(bool mipmapped);
    void setWrap(GLint s, GLint t, GLint r);
    void setWrap(GLint s, GLint t);
    void setWrap(GLint all);
    void setFilter(GLint minFilter, GLint magFilter);
    void setFilter(GLint both);
    // Stored only: a core context has no texture environment; the built-in quad shader
    // is what decides how a texture is combined.
    void setEnvMode(GLint mode) { envMode = mode; }
    void setSize(int width, int height);

    GLuint getGlName() const { return glName; }
    const std::string& getName() const { return name; }
    void setName(const std::string& fileName) { name = fileName; }
    int getBitsPerPixel() const { return bitsPerPixel; }
    void setBitsPerPixel(int bits) { bitsPerPixel = bits; }
    int getBytesPerPixel() const { return bytesPerPixel; }
    void setBytesPerPixel(int bytes) { bytesPerPixel = bytes; }
    GLenum getTarget() const { return target; }
    void setTarget(GLenum t) { target = t; }
    GLint getLevel() const { return level; }
    GLint getInternalFormat() const { return internalFormat; }
    void setInternalFormat(GLint f) { internalFormat = f; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    int getDepth() const { return depth; }
    void setDepth(int d) { depth = d; }
    GLint getBorder() const { return border; }
    GLenum getFormat() const { return format; }
    void setFormat(GLenum f) { format = f; }
    GLenum getType() const { return type; }
    void setType(GLenum t) { type = t; }
    GLint getMinFilter() const { return minFilter; }
    GLint getMagFilter() const { return magFilter; }
    GLint getWrapS() const { return wrapS; }
    GLint getWrapT() const { return wrapT; }
    GLint getWrapR() const { return wrapR; }
    // Records wrap modes that were set on the GL object by other means (the loader
    // keeps GL's defaults).
    void recordWrap(GLint s, GLint t, GLint r);
    GLint getEnvMode() const { return envMode; }
    bool isMipmapped() const { return mipmapped; }
    bool isUploading() const { return uploading; }

    // width x height x bits per pixel / 8.
    int64_t byteSize() const;
    // GPU bytes: every slice of level 0 plus, when mipmapped, the whole mipmap chain.
    int64_t memorySize() const;
    // Bytes of the image file the texture was decoded from; 0 when not from a file.
    int64_t fileSize() const { return encodedSize; }
    void setFileSize(int64_t bytes) { encodedSize = bytes; }

    // As a render target: whether the texture still holds what the last FBO clear left
    // (FBO keeps it; several FBOs may share one attachment, and a clear through one of
    // them serves them all).
    bool isCleared() const { return cleared; }
    void setCleared(bool value) { cleared = value; }
    // A clear owed to the texture, made at the next bind of an FBO it is attached to.
    bool isClearPending() const { return clearPending; }
    void setClearPending(bool value) { clearPending = value; }

    // "Texture {file='NAME',id=ID',size='W,H,D',bpp='BPP'[ mipmapped ]dimtype=TARGET }\n"
    std::string describe() const;

private:
    void applyParameters();

    GLuint glName = 0;
    std::string name;
    int bitsPerPixel = 32;
    int bytesPerPixel = 0;
    GLenum target = GL_TEXTURE_2D;
    GLint level = 0;
    GLint internalFormat = GL_RGBA;
    int width = 0;
    int height = 0;
    int depth = 0;
    GLint border = 0;
    GLenum format = GL_RGBA;
    GLenum type = GL_UNSIGNED_BYTE;
    GLint minFilter = GL_LINEAR;
    GLint magFilter = GL_LINEAR;
    GLint wrapS = GL_CLAMP_TO_EDGE;
    GLint wrapT = GL_CLAMP_TO_EDGE;
    GLint wrapR = GL_CLAMP_TO_EDGE;
    GLint envMode = GL_REPLACE;
    bool mipmapped = false;
    bool uploading = false;
    bool cleared = false;
    bool clearPending = false;
    int64_t encodedSize = 0;
};
