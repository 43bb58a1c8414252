#include "TextRenderer.h"

#include "FontAtlasData.h"
#include "Geometry.h"
#include "QuadRenderer.h"
#include "RenderState.h"
#include "Shader.h"
#include "Texture.h"

#include <GL/glew.h>

#include <algorithm>
#include <iostream>

namespace {

// Characters per draw: the fragment program holds them as 32 ivec4.
constexpr int maxRun = 128;

const char* const vertexSource = R"(#version 150
in vec3 in_Position;
uniform vec2 pos;
uniform vec2 scale;
void main()
{
    gl_Position = vec4(pos + in_Position.xy * scale, 0.0, 1.0);
}
)";

// gl_FragCoord gives each pixel's place in the run of text exactly, whatever the
// viewport, so glyphs are copied texel for texel (or by whole-pixel zoom).
const char* const fragmentSource = R"(#version 150
uniform sampler2D texture0;
uniform ivec4 chars[32];
uniform int count;
uniform int solid;
uniform int zoom;
uniform ivec2 cell;
uniform int columns;
uniform int firstChar;
// Window pixel of the text's left edge and of its top edge.
uniform vec2 origin;
uniform vec4 colour;
out vec4 fragColor;
void main()
{
    if (solid != 0) {
        fragColor = colour;
        return;
    }
    ivec2 raw = ivec2(floor(vec2(gl_FragCoord.x - origin.x, origin.y - gl_FragCoord.y)));
    if (raw.x < 0 || raw.y < 0)
        discard;
    ivec2 p = raw / zoom;
    int index = p.x / cell.x;
    if (p.y >= cell.y || index >= count)
        discard;
    int glyph = chars[index / 4][index % 4] - firstChar;
    ivec2 texel = ivec2(glyph % columns * cell.x + p.x % cell.x, glyph / columns * cell.y + p.y);
    float coverage = texelFetch(texture0, texel, 0).r;
    if (coverage <= 0.0)
        discard;
    fragColor = vec4(colour.rgb, colour.a * coverage);
}
)";

char printable(char c) { return c >= FontAtlasData::firstChar && c <= FontAtlasData::lastChar ? c : '?'; }

} // namespace

const glm::vec4 TextRenderer::white(1.0f, 1.0f, 1.0f, 1.0f);
const glm::vec4 TextRenderer::red(1.0f, 0.25f, 0.2f, 1.0f);
const glm::vec4 TextRenderer::backing(0.0f, 0.0f, 0.0f, 0.7f);

TextRenderer::TextRenderer()
{
    const unsigned int previous = RenderState::getCurrentProgram();
    std::unique_ptr<Shader> program(new Shader("TextRenderer"));
    program->setVertexCode(vertexSource);
    program->setFragmentCode(fragmentSource);
    if (!program->build())
        return;
    program->bind();
    glUniform1i(program->uniformLocation("texture0"), 0);
    glUniform2i(program->uniformLocation("cell"), FontAtlasData::cellWidth, FontAtlasData::cellHeight);
    glUniform1i(program->uniformLocation("columns"), FontAtlasData::columns);
    glUniform1i(program->uniformLocation("firstChar"), FontAtlasData::firstChar);
    RenderState::useProgram(previous);

    GLint boundTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    atlas.reset(new Texture(FontAtlasData::width, FontAtlasData::height, GL_R8, GL_RED, GL_UNSIGNED_BYTE,
                            FontAtlasData::pixels));
    atlas->setFilter(GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(boundTexture));
    shader = std::move(program);
}

TextRenderer::~TextRenderer()
{
    if (shader && RenderState::getCurrentProgram() == shader->getProgram())
        RenderState::useProgram(0); // deleting the current program would only flag it
}

void TextRenderer::setZoom(int z) { zoom = std::max(1, z); }

int TextRenderer::cellWidth() const { return FontAtlasData::cellWidth * zoom; }
int TextRenderer::lineHeight() const { return FontAtlasData::cellHeight * zoom; }

int TextRenderer::textWidth(const std::string& text) const
{
    size_t longest = 0, start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        longest = std::max(longest, end - start);
        start = end + 1;
    }
    return static_cast<int>(longest) * cellWidth();
}

int TextRenderer::textHeight(const std::string& text) const
{
    return static_cast<int>(1 + std::count(text.begin(), text.end(), '\n')) * lineHeight();
}

void TextRenderer::drawText(const std::string& text, int x, int y, const glm::vec4& colour)
{
    if (!shader)
        return;
    char run[maxRun];
    int lineY = y;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        int runX = x;
        for (size_t at = start; at < end;) {
            int count = 0;
            while (at < end && count < maxRun)
                run[count++] = printable(text[at++]);
            drawQuad(runX, lineY, count * cellWidth(), lineHeight(), colour, run, count);
            runX += count * cellWidth();
        }
        lineY += lineHeight();
        start = end + 1;
    }
}

void TextRenderer::drawBox(int x, int y, int width, int height, const glm::vec4& colour)
{
    if (shader && width > 0 && height > 0)
        drawQuad(x, y, width, height, colour, nullptr, 0);
}

void TextRenderer::drawLabel(const std::string& text, int x, int y, const glm::vec4& colour, const glm::vec4& box,
                             int padding)
{
    drawBox(x - padding, y - padding, textWidth(text) + 2 * padding, textHeight(text) + 2 * padding, box);
    drawText(text, x, y, colour);
}

void TextRenderer::drawQuad(int x, int y, int width, int height, const glm::vec4& colour, const char* text,
                            int count)
{
    GLint viewport[4] = {0, 0, 1, 1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0 || (text && count <= 0))
        return;
    const bool blend = glIsEnabled(GL_BLEND), depth = glIsEnabled(GL_DEPTH_TEST), cull = glIsEnabled(GL_CULL_FACE);
    GLint blendSrc = GL_ONE, blendDst = GL_ZERO, blendSrcAlpha = GL_ONE, blendDstAlpha = GL_ZERO;
    glGetIntegerv(GL_BLEND_SRC_RGB, &blendSrc);
    glGetIntegerv(GL_BLEND_DST_RGB, &blendDst);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &blendSrcAlpha);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &blendDstAlpha);
    GLint activeUnit = GL_TEXTURE0, boundTexture = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeUnit);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    glEnable(GL_BLEND);
    // Colour over what is there; alpha composed "over" too, so a framebuffer that is
    // drawn on later stays opaque where it was.
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);

    const unsigned int previous = RenderState::getCurrentProgram();
    shader->bind();
    GLint chars[maxRun] = {};
    for (int i = 0; i < count; ++i)
        chars[i] = static_cast<unsigned char>(text[i]);
    glUniform4iv(shader->uniformLocation("chars"), maxRun / 4, chars);
    glUniform1i(shader->uniformLocation("count"), count);
    glUniform1i(shader->uniformLocation("solid"), text ? 0 : 1);
    glUniform1i(shader->uniformLocation("zoom"), zoom);
    glUniform2f(shader->uniformLocation("origin"), static_cast<float>(viewport[0] + x),
                static_cast<float>(viewport[1] + viewport[3] - y));
    glUniform4f(shader->uniformLocation("colour"), colour.r, colour.g, colour.b, colour.a);
    const float w = static_cast<float>(viewport[2]), h = static_cast<float>(viewport[3]);
    QuadRenderer::drawWithShader(atlas.get(), shader.get(), -1.0f + 2.0f * x / w, 1.0f - 2.0f * y / h,
                                 2.0f * width / w, 2.0f * height / h);

    RenderState::useProgram(previous);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(boundTexture));
    glActiveTexture(static_cast<GLenum>(activeUnit));
    glBlendFuncSeparate(static_cast<GLenum>(blendSrc), static_cast<GLenum>(blendDst),
                        static_cast<GLenum>(blendSrcAlpha), static_cast<GLenum>(blendDstAlpha));
    if (!blend)
        glDisable(GL_BLEND);
    if (depth)
        glEnable(GL_DEPTH_TEST);
    if (cull)
        glEnable(GL_CULL_FACE);
}

int TextRenderer::fontCellWidth() { return FontAtlasData::cellWidth; }
int TextRenderer::fontCellHeight() { return FontAtlasData::cellHeight; }

int TextRenderer::glyphCoverage(char c, int x, int y)
{
    if (x < 0 || y < 0 || x >= FontAtlasData::cellWidth || y >= FontAtlasData::cellHeight)
        return 0;
    const int glyph = printable(c) - FontAtlasData::firstChar;
    const int px = glyph % FontAtlasData::columns * FontAtlasData::cellWidth + x;
    const int py = glyph / FontAtlasData::columns * FontAtlasData::cellHeight + y;
    return FontAtlasData::pixels[py * FontAtlasData::width + px];
}
