#include "OverlayTiles.h"

#include "Texture.h"
#include "VAO.h"

#include <GL/glew.h>

#include <algorithm>

namespace {

constexpr int cellSize = 32;

int wrapped(int i, int n) { return ((i % n) + n) % n; }

} // namespace

OverlayTiles::OverlayTiles() = default;
OverlayTiles::~OverlayTiles() = default;

std::vector<OverlayTiles::Rect> OverlayTiles::coveredRects(const uint8_t* rgba, int width, int height, int size)
{
    std::vector<Rect> result;
    if (!rgba || width <= 0 || height <= 0 || size <= 0)
        return result;
    const int cellsX = (width + size - 1) / size, cellsY = (height + size - 1) / size;
    auto shows = [&](int cx, int cy) {
        // One texel around the cell: a filtered read at its edge reaches that far, and
        // around the picture's edges it reads the other side.
        for (int y = cy * size - 1; y <= std::min(height, (cy + 1) * size); ++y)
            for (int x = cx * size - 1; x <= std::min(width, (cx + 1) * size); ++x)
                if (rgba[(size_t(wrapped(y, height)) * size_t(width) + size_t(wrapped(x, width))) * 4 + 3] != 0)
                    return true;
        return false;
    };
    for (int cy = 0; cy < cellsY; ++cy) {
        int runStart = -1;
        for (int cx = 0; cx <= cellsX; ++cx) {
            const bool on = cx < cellsX && shows(cx, cy);
            if (on && runStart < 0)
                runStart = cx;
            if (!on && runStart >= 0) {
                result.push_back({runStart * size, cy * size, std::min(width, cx * size), std::min(height, (cy + 1) * size)});
                runStart = -1;
            }
        }
    }
    return result;
}

ScreenArea OverlayTiles::shownThrough(const uint8_t* rgba, int width, int height)
{
    ScreenArea area;
    if (!rgba || width <= 0 || height <= 0)
        return area;
    auto opaqueRow = [&](int y) {
        const uint8_t* row = rgba + size_t(y) * size_t(width) * 4;
        for (int x = 0; x < width; ++x)
            if (row[size_t(x) * 4 + 3] != 255)
                return false;
        return true;
    };
    int bottom = 0, top = 0;
    while (bottom < height && opaqueRow(bottom))
        ++bottom;
    if (bottom == height)
        return {0.0f, 0.0f, 1.0f, 0.0f};
    while (top < height && opaqueRow(height - 1 - top))
        ++top;
    if (bottom > 1 && top > 0)
        area.y0 = float(bottom - 1) / float(height);
    if (top > 1 && bottom > 0)
        area.y1 = 1.0f - float(top - 1) / float(height);
    return area;
}

void OverlayTiles::build(Texture* picture)
{
    rects.clear();
    mesh.reset();
    shown = ScreenArea();
    if (!picture || picture->getWidth() <= 0 || picture->getHeight() <= 0)
        return;
    const int w = picture->getWidth(), h = picture->getHeight();
    std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 4);
    picture->bind();
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    picture->unbind();
    rects = coveredRects(pixels.data(), w, h, cellSize);
    shown = shownThrough(pixels.data(), w, h);
    if (rects.empty())
        return;

    // Two triangles a rectangle, in the shared quad's corner order; the quad's uv runs
    // 0..1 where its position runs -1..1.
    std::vector<GLfloat> position, uv;
    for (const Rect& r : rects) {
        const float u0 = float(r.x0) / float(w), u1 = float(r.x1) / float(w);
        const float v0 = float(r.y0) / float(h), v1 = float(r.y1) / float(h);
        const float corners[6][2] = {{u0, v1}, {u0, v0}, {u1, v0}, {u0, v1}, {u1, v0}, {u1, v1}};
        for (const auto& c : corners) {
            position.insert(position.end(), {c[0] * 2.0f - 1.0f, c[1] * 2.0f - 1.0f, 0.0f});
            uv.insert(uv.end(), {c[0], c[1]});
        }
    }
    mesh.reset(new VAO("OverlayTiles"));
    mesh->createArrayBuffer(GLsizei(position.size()), position.data());
    mesh->mapArray(position.data(), "in_Position", 3);
    mesh->createArrayBuffer(GLsizei(uv.size()), uv.data());
    mesh->mapArray(uv.data(), "in_UV0", 2);
    mesh->upload();
}

void OverlayTiles::draw(Shader* shader)
{
    if (!mesh || !shader)
        return;
    mesh->bind(shader);
    mesh->draw(GL_TRIANGLES);
}
