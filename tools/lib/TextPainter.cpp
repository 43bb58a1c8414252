#include "TextPainter.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

TextPainter::~TextPainter()
{
    if (face)
        FT_Done_Face(face);
    if (library)
        FT_Done_FreeType(library);
}

Status TextPainter::open(const std::string& fontPath, int pixelHeight)
{
    if (!library && FT_Init_FreeType(&library) != 0) {
        library = nullptr;
        return Status::failure("FreeType does not start");
    }
    if (face) {
        FT_Done_Face(face);
        face = nullptr;
    }
    if (FT_New_Face(library, fontPath.c_str(), 0, &face) != 0) {
        face = nullptr;
        return Status::failure("cannot read the font " + fontPath + " (Debian package \"fonts-dejavu-core\")");
    }
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::max(4, pixelHeight)));
    return Status::success();
}

int TextPainter::measure(const std::string& text) const
{
    if (!face)
        return 0;
    long advance = 0;
    for (unsigned char c : text)
        if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0)
            advance += face->glyph->advance.x;
    return static_cast<int>(advance >> 6);
}

int TextPainter::capHeight() const
{
    if (!face || FT_Load_Char(face, 'H', FT_LOAD_DEFAULT) != 0)
        return 0;
    return static_cast<int>(face->glyph->metrics.horiBearingY >> 6);
}

void TextPainter::draw(std::vector<uint8_t>& rgb, int width, int height, int x, int baseline, const std::string& text,
                       const uint8_t colour[3]) const
{
    if (!face)
        return;
    long penX = static_cast<long>(x) << 6;
    for (unsigned char c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot g = face->glyph;
        const int left = static_cast<int>(penX >> 6) + g->bitmap_left;
        const int top = baseline - g->bitmap_top;
        for (unsigned row = 0; row < g->bitmap.rows; ++row) {
            const int y = top + static_cast<int>(row);
            if (y < 0 || y >= height)
                continue;
            for (unsigned col = 0; col < g->bitmap.width; ++col) {
                const int px = left + static_cast<int>(col);
                if (px < 0 || px >= width)
                    continue;
                const int a = g->bitmap.buffer[row * static_cast<unsigned>(g->bitmap.pitch) + col];
                const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(px);
                uint8_t* p = rgb.data() + at * 3;
                for (int k = 0; k < 3; ++k)
                    p[k] = static_cast<uint8_t>((p[k] * (255 - a) + colour[k] * a + 127) / 255);
            }
        }
        penX += g->advance.x;
    }
}
