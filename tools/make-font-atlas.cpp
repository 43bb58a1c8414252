// Build-time tool: rasterises the printable ASCII characters of a monospaced font into
// a grid of equal cells and writes them as a C++ header for the engine's text renderer.
//
//   make-font-atlas FONT.ttf PIXEL_SIZE OUT.h
//
// Cell i of the grid (16 columns, left to right, top to bottom) holds character 32 + i,
// drawn with its baseline at the same height in every cell; pixels are 8-bit coverage,
// rows top first.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int firstChar = 32;
constexpr int lastChar = 126;
constexpr int columns = 16;

int fail(const std::string& message)
{
    std::fprintf(stderr, "make-font-atlas: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return fail("usage: make-font-atlas FONT.ttf PIXEL_SIZE OUT.h");
    const std::string fontPath = argv[1];
    const int pixelSize = std::atoi(argv[2]);
    if (pixelSize < 6 || pixelSize > 128)
        return fail("the pixel size must lie in 6..128");

    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library))
        return fail("FreeType does not initialise");
    FT_Face face = nullptr;
    if (FT_New_Face(library, fontPath.c_str(), 0, &face)) {
        FT_Done_FreeType(library);
        return fail("cannot read the font " + fontPath);
    }
    auto done = [&] {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    };
    if (!FT_IS_FIXED_WIDTH(face) || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize))) {
        done();
        return fail(fontPath + " is no monospaced scalable font");
    }

    const FT_Size_Metrics& m = face->size->metrics;
    const int ascender = static_cast<int>((m.ascender + 63) >> 6);
    const int descender = static_cast<int>((-m.descender + 63) >> 6);
    if (FT_Load_Char(face, 'M', FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT)) {
        done();
        return fail("the font has no 'M'");
    }
    const int cellWidth = static_cast<int>((face->glyph->advance.x + 32) >> 6);
    const int cellHeight = ascender + descender;
    const int rows = (lastChar - firstChar + 1 + columns - 1) / columns;
    const int width = columns * cellWidth, height = rows * cellHeight;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height, 0);

    for (int c = firstChar; c <= lastChar; ++c) {
        if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)) {
            done();
            return fail("cannot render character " + std::to_string(c));
        }
        const FT_GlyphSlot g = face->glyph;
        const int index = c - firstChar;
        const int cellX = index % columns * cellWidth, cellY = index / columns * cellHeight;
        for (int y = 0; y < static_cast<int>(g->bitmap.rows); ++y) {
            const int py = ascender - g->bitmap_top + y;
            if (py < 0 || py >= cellHeight)
                continue;
            for (int x = 0; x < static_cast<int>(g->bitmap.width); ++x) {
                const int px = g->bitmap_left + x;
                if (px < 0 || px >= cellWidth)
                    continue;
                const unsigned char v = g->bitmap.buffer[y * g->bitmap.pitch + x];
                unsigned char& out = pixels[static_cast<size_t>(cellY + py) * width + cellX + px];
                out = std::max(out, v);
            }
        }
    }
    done();

    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    if (!out)
        return fail(std::string("cannot write ") + argv[3]);
    std::string name = fontPath.substr(fontPath.find_last_of('/') + 1);
    out << "// Generated at build time by make-font-atlas from " << name << " at " << pixelSize
        << " px. Do not edit.\n#pragma once\n\nnamespace FontAtlasData {\n"
        << "constexpr int pixelSize = " << pixelSize << ";\n"
        << "constexpr int cellWidth = " << cellWidth << ";\n"
        << "constexpr int cellHeight = " << cellHeight << ";\n"
        << "constexpr int baseline = " << ascender << ";\n"
        << "constexpr int columns = " << columns << ";\n"
        << "constexpr int firstChar = " << firstChar << ";\n"
        << "constexpr int lastChar = " << lastChar << ";\n"
        << "constexpr int width = " << width << ";\n"
        << "constexpr int height = " << height << ";\n"
        << "// Coverage, rows top first.\nconstexpr unsigned char pixels[width * height] = {";
    for (size_t i = 0; i < pixels.size(); ++i)
        out << (i % 24 == 0 ? "\n    " : " ") << static_cast<int>(pixels[i]) << ",";
    out << "\n};\n} // namespace FontAtlasData\n";
    if (!out.good())
        return fail(std::string("cannot write ") + argv[3]);
    return 0;
}
