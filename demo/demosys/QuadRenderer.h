#pragma once

#include <GL/glew.h>

class FBO;
class Shader;
class Texture;

// Textured screen quads for a core-profile context, in place of immediate-mode quads:
// the shared corner-anchored quad (Geometry::cornerQuad) drawn with a small built-in
// program that places it with the uniforms pos and scale and can discard texels whose
// alpha is not above 0 (what the alpha test GL_GREATER 0 did). Coordinates are
// normalised device units, with no projection, as the immediate quads were drawn.
//
// The built-in program is compiled on first use in the current context and kept; the
// shared quads are built then too if Demo::load has not built them. Both belong to
// that context: call release() (and Geometry::release()) while it is still current,
// before it is destroyed; the next draw builds them again in the context current then.
// Drawing in another context without release() stops the program.
//
// Every draw binds the texture on unit 0 (left active) and unbinds it afterwards, and
// rebinds the program that was current before, through the program cache, so the
// caches always match GL.
class QuadRenderer {
public:
    // Texture on the quad with corners (-w/2, h/2) and (w/2, -h/2).
    static void drawCentered(Texture* texture, float width, float height);
    // Texture over the whole viewport, blended with the given factors; texels with
    // alpha 0 are discarded. Blending is disabled afterwards.
    static void drawFullscreen(Texture* texture, GLenum srcFactor, GLenum dstFactor);
    // Texture on the quad with corners (x, y), (x, y - h), (x + w, y - h), (x + w, y).
    static void drawAt(Texture* texture, float x, float y, float width, float height);
    // The same, blended and with alpha discard as drawFullscreen.
    static void drawAt(Texture* texture, float x, float y, float width, float height, GLenum srcFactor,
                       GLenum dstFactor);
    // Through the caller's shader: texture on unit 0 as "texture0" (with no texture,
    // unit 0 is emptied and texture0 not set), vec2 "scale" and vec2 "pos" for the
    // corner-anchored quad, whose vertices are "in_Position" (xy) and "in_UV0". The shader stays bound with the texture,
    // as after any other draw through it.
    static void drawWithShader(Texture* texture, Shader* shader, float posX, float posY, float scaleX,
                               float scaleY);
    // Full screen through the caller's shader: scale (2, 2), pos (-1, 1).
    static void drawWithShader(Texture* texture, Shader* shader);
    // Colour texture 0 of a complete FBO (wraps set to clamp-to-edge) on the quad with
    // corners (-scale, scale) and (scale, -scale); nothing for an incomplete FBO or the
    // screen.
    static void drawFBOToScreen(FBO* fbo, float scale = 1.0f);

    // The built-in program, compiled on first use; null if it failed to build.
    static Shader* getShader();
    // Frees the built-in program.
    static void release();

private:
    static void drawTexture(Texture* texture, float x, float y, float width, float height, bool alphaDiscard);
};
