#pragma once

#include "NonCopyable.h"

#include <glm/glm.hpp>

#include <memory>
#include <string>

class Shader;
class Texture;

// Small text on screen for tools and productions: a monospaced bitmap font (DejaVu Sans
// Mono, rasterised at build time into a glyph atlas) drawn through the shared corner
// quad with a built-in core-profile program. One quad per line of text: the program
// finds the character under each pixel and reads its coverage from the atlas, so a
// line costs one draw whatever its length.
//
// Positions are whole pixels from the top-left corner of the current viewport (the
// letterboxed screen, or a framebuffer); a glyph cell's top-left pixel lands exactly
// there, magnified by a whole factor. Text is blended over what is drawn (alpha is the
// glyph's coverage times the colour's alpha); characters outside printable ASCII draw
// as "?". Drawing leaves blending, depth test, face culling, the program (through the
// cache) and texture unit 0 as they were.
//
// The program, the atlas texture and the shared quads belong to the GL context current
// at construction; destroy the renderer while it is still current.
class TextRenderer : NonCopyable {
public:
    static const glm::vec4 white;
    static const glm::vec4 red;
    // The dark, slightly transparent backing of drawLabel.
    static const glm::vec4 backing;

    TextRenderer();
    ~TextRenderer();

    // False when the program could not be built (its log went to standard output);
    // drawing then does nothing.
    bool isReady() const { return shader != nullptr; }

    // Whole-pixel magnification, 1 or more.
    void setZoom(int zoom);
    int getZoom() const { return zoom; }
    // One character cell and one line, in pixels at the current zoom.
    int cellWidth() const;
    int lineHeight() const;
    // The size of text in pixels: its longest line times the cell width, its lines
    // times the line height.
    int textWidth(const std::string& text) const;
    int textHeight(const std::string& text) const;

    // text with its top-left corner at (x, y); "\n" starts a new line below.
    void drawText(const std::string& text, int x, int y, const glm::vec4& colour);
    // A rectangle of one colour (blended by its alpha), same coordinates.
    void drawBox(int x, int y, int width, int height, const glm::vec4& colour);
    // text on a box that reaches padding pixels beyond it on every side.
    void drawLabel(const std::string& text, int x, int y, const glm::vec4& colour, const glm::vec4& box = backing,
                   int padding = 2);

    // The font's own cell size in pixels (zoom 1) and a glyph's coverage (0..255) at
    // (x, y) of its cell, from the top-left; 0 outside the cell. For layout and tests.
    static int fontCellWidth();
    static int fontCellHeight();
    static int glyphCoverage(char c, int x, int y);

private:
    // One quad over the pixel rectangle, in glyph or solid mode; text has at most
    // maxRun characters.
    void drawQuad(int x, int y, int width, int height, const glm::vec4& colour, const char* text, int count);

    std::unique_ptr<Shader> shader;
    std::unique_ptr<Texture> atlas;
    int zoom = 1;
};
