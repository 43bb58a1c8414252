#include "Texture.h"

#include "FBO.h"

#include <algorithm>

namespace {

// Uploads read tightly packed rows; GL's default of 4-byte rows would read past the
// end of an RGB buffer whose width is not a multiple of 4.
class UnpackAlignment {
public:
    UnpackAlignment()
    {
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &previous);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    ~UnpackAlignment() { glPixelStorei(GL_UNPACK_ALIGNMENT, previous); }

private:
    GLint previous = 4;
};

} // namespace

Texture::Texture(const std::string& fileName, GLuint name_) : glName(name_), name(fileName) {}

Texture::Texture(GLenum target_, GLint level_, GLint internalFormat_, GLsizei width_, GLsizei height_,
                 GLsizei depth_, GLint border_, GLenum format_, GLenum type_, const void* pixels)
    : target(target_), level(level_), internalFormat(internalFormat_), width(width_), height(height_),
      depth(depth_), border(border_), format(format_), type(type_)
{
    glGenTextures(1, &glName);
    bind();
    applyParameters();
    upload(pixels);
}

Texture::Texture(GLsizei width_, GLsizei height_, GLint internalFormat_, GLenum format_, GLenum type_)
    : Texture(GL_TEXTURE_2D, 0, internalFormat_, width_, height_, 0, 0, format_, type_, nullptr)
{
}

Texture::Texture(GLsizei width_, GLsizei height_, GLint internalFormat_, GLenum format_, GLenum type_,
                 const void* pixels)
    : Texture(GL_TEXTURE_2D, 0, internalFormat_, width_, height_, 0, 0, format_, type_, pixels)
{
}

Texture::~Texture()
{
    if (glName != 0)
        glDeleteTextures(1, &glName);
}

void Texture::applyParameters()
{
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, wrapS);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, wrapT);
    glTexParameteri(target, GL_TEXTURE_WRAP_R, wrapR);
}

void Texture::bind() const
{
    // A render target read before the bind its clear waits for is cleared first.
    if (clearPending)
        FBO::payOwedClear(this);
    glBindTexture(target, glName);
}
void Texture::unbind() const { glBindTexture(target, 0); }

void Texture::upload(const void* pixels)
{
    bind();
    uploading = true;
    {
        UnpackAlignment packed;
        switch (target) {
        case GL_TEXTURE_1D:
            glTexImage1D(target, level, internalFormat, std::max(width, height), border, format, type, pixels);
            break;
        case GL_TEXTURE_2D:
            glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
            break;
        case GL_TEXTURE_3D:
            glTexImage3D(target, level, internalFormat, width, height, depth, border, format, type, pixels);
            break;
        default:
            break;
        }
    }
    glBindTexture(target, 0);
    uploading = false;
}

void Texture::setMipmapped(bool flag)
{
    bind();
    if (flag)
        glGenerateMipmap(target);
    unbind();
    mipmapped = flag;
}

void Texture::setWrap(GLint s, GLint t, GLint r)
{
    wrapS = s;
    wrapT = t;
    wrapR = r;
    bind();
    glTexParameteri(target, GL_TEXTURE_WRAP_S, s);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, t);
    glTexParameteri(target, GL_TEXTURE_WRAP_R, r);
    unbind();
}

void Texture::setWrap(GLint s, GLint t) { setWrap(s, t, wrapR); }
void Texture::setWrap(GLint all) { setWrap(all, all, all); }

void Texture::recordWrap(GLint s, GLint t, GLint r)
{
    wrapS = s;
    wrapT = t;
    wrapR = r;
}

void Texture::setFilter(GLint min, GLint mag)
{
    minFilter = min;
    magFilter = mag;
    bind();
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, min);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, mag);
    unbind();
}

void Texture::setFilter(GLint both) { setFilter(both, both); }

void Texture::setSize(int w, int h)
{
    width = w;
    height = h;
}

int64_t Texture::byteSize() const { return int64_t(width) * height * bitsPerPixel / 8; }

int64_t Texture::memorySize() const
{
    int64_t w = std::max(width, 0), h = std::max(height, 0);
    int64_t d = target == GL_TEXTURE_3D ? std::max(depth, 1) : 1;
    if (target == GL_TEXTURE_1D) {
        w = std::max(w, h);
        h = 1;
    }
    if (w == 0 || h == 0)
        return 0;
    int64_t total = 0;
    for (;;) {
        total += w * h * d * bitsPerPixel / 8;
        if (!mipmapped || (w == 1 && h == 1 && d == 1))
            break;
        w = std::max<int64_t>(w / 2, 1);
        h = std::max<int64_t>(h / 2, 1);
        if (target == GL_TEXTURE_3D)
            d = std::max<int64_t>(d / 2, 1);
    }
    return total;
}

std::string Texture::describe() const
{
    std::string text = "Texture {file='" + name + "',id=" + std::to_string(glName) + "',size='" +
                       std::to_string(width) + "," + std::to_string(height) + "," + std::to_string(depth) +
                       "',bpp='" + std::to_string(bitsPerPixel) + "'";
    if (mipmapped)
        text += " mipmapped ";
    text += "dimtype=";
    switch (target) {
    case GL_TEXTURE_1D:
        text += "GL_TEXTURE_1D ";
        break;
    case GL_TEXTURE_2D:
        text += "GL_TEXTURE_2D ";
        break;
    case GL_TEXTURE_3D:
        text += "GL_TEXTURE_3D ";
        break;
    default:
        break;
    }
    return text + "}\n";
}
