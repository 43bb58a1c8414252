#include "QuadRenderer.h"

#include "Assert.h"
#include "FBO.h"
#include "Geometry.h"
#include "OffscreenContext.h"
#include "RenderState.h"
#include "Shader.h"
#include "Texture.h"
#include "VAO.h"


#include <iostream>

namespace {

Shader* builtIn = nullptr;
// The context the built-in program was made in.
const void* builtInContext = nullptr;

const char* const vertexSource = R"(#version 150
in vec3 in_Position;
in vec2 in_UV0;
uniform vec2 pos;
uniform vec2 scale;
out vec2 uv;
void main()
{
    uv = in_UV0;
    gl_Position = vec4(pos + in_Position.xy * scale, 0.0, 1.0);
}
)";

const char* const fragmentSource = R"(#version 150
uniform sampler2D texture0;
uniform float alphaDiscard;
in vec2 uv;
out vec4 fragColor;
void main()
{
    vec4 color = texture(texture0, uv);
    // The fixed-function alpha test GL_GREATER 0.
    if (alphaDiscard > 0.5 && !(color.a > 0.0))
        discard;
    fragColor = color;
}
)";

} // namespace

Shader* QuadRenderer::getShader()
{
    if (builtIn) {
        ORV_ASSERT_AT(builtInContext == OffscreenContext::currentHandle(),
                      "builtInContext == OffscreenContext::currentHandle()",
                      "demo/demosys/QuadRenderer", __LINE__, "static Shader* QuadRenderer::getShader()");
        return builtIn;
    }
    Shader* shader = new Shader("QuadRenderer");
    shader->setVertexCode(vertexSource);
    shader->setFragmentCode(fragmentSource);
    if (!shader->build()) {
        delete shader;
        return nullptr;
    }
    unsigned int previous = RenderState::getCurrentProgram();
    shader->bind();
    glUniform1i(shader->uniformLocation("texture0"), 0);
    RenderState::useProgram(previous);
    builtIn = shader;
    builtInContext = OffscreenContext::currentHandle();
    return builtIn;
}

void QuadRenderer::release()
{
    if (builtIn && RenderState::getCurrentProgram() == builtIn->getProgram()) {
        // Deleting the current program only flags it; unbinding frees it now and
        // keeps the cache true.
        RenderState::useProgram(0);
    }
    delete builtIn;
    builtIn = nullptr;
    builtInContext = nullptr;
}

void QuadRenderer::drawTexture(Texture* texture, float x, float y, float width, float height, bool alphaDiscard)
{
    if (!texture)
        return;
    Shader* shader = getShader();
    if (!shader)
        return;
    if (!Geometry::cornerQuad)
        Geometry::build();
    const unsigned int previous = RenderState::getCurrentProgram();
    Geometry::cornerQuad->bind(shader);
    shader->setVec2("pos", x, y);
    shader->setVec2("scale", width, height);
    shader->setFloat("alphaDiscard", alphaDiscard ? 1.0f : 0.0f);
    glActiveTexture(GL_TEXTURE0);
    texture->bind();
    Geometry::cornerQuad->draw();
    texture->unbind();
    RenderState::useProgram(previous);
}

void QuadRenderer::drawCentered(Texture* texture, float width, float height)
{
    drawTexture(texture, -width / 2, height / 2, width, height, false);
}

void QuadRenderer::drawFullscreen(Texture* texture, GLenum srcFactor, GLenum dstFactor)
{
    drawAt(texture, -1.0f, 1.0f, 2.0f, 2.0f, srcFactor, dstFactor);
}

void QuadRenderer::drawAt(Texture* texture, float x, float y, float width, float height)
{
    drawTexture(texture, x, y, width, height, false);
}

void QuadRenderer::drawAt(Texture* texture, float x, float y, float width, float height, GLenum srcFactor,
                          GLenum dstFactor)
{
    if (!texture)
        return;
    glEnable(GL_BLEND);
    glBlendFunc(srcFactor, dstFactor);
    drawTexture(texture, x, y, width, height, true);
    glDisable(GL_BLEND);
}

void QuadRenderer::drawWithShader(Texture* texture, Shader* shader, float posX, float posY, float scaleX,
                                  float scaleY)
{
    if (!shader)
        return;
    if (!Geometry::cornerQuad)
        Geometry::build();
    Geometry::cornerQuad->bind(shader);
    // Without a texture, unit 0 is left empty and a shader that samples none need not
    // declare texture0.
    if (texture) {
        shader->setTexture("texture0", 0, texture);
    } else {
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    shader->setVec2("scale", scaleX, scaleY);
    shader->setVec2("pos", posX, posY);
    Geometry::cornerQuad->draw();
}

void QuadRenderer::drawWithShader(Texture* texture, Shader* shader)
{
    drawWithShader(texture, shader, -1.0f, 1.0f, 2.0f, 2.0f);
}

void QuadRenderer::drawFBOToScreen(FBO* fbo, float scale)
{
    if (!FBO::isComplete(fbo))
        return;
    Texture* texture = FBO::getColorTexture(fbo, 0);
    if (!texture)
        return;
    texture->setWrap(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    drawTexture(texture, -scale, scale, 2 * scale, 2 * scale, false);
}
