#pragma once

#include "NonCopyable.h"
#include "ScreenArea.h"

#include <cstdint>
#include <memory>
#include <vector>

class Shader;
class Texture;
class VAO;

// The parts of a full-screen overlay picture that show: the picture is cut into cells,
// and only the cells where some texel has alpha (or is close enough to one for the
// filtered read to reach it) are drawn, as quads over the target. A frame drawn over
// with a border picture costs the border's pixels instead of the whole screen's.
class OverlayTiles : NonCopyable {
public:
    // A rectangle of cells that show, in texels: [x0, x1) x [y0, y1), row 0 the
    // picture's first (uv.y 0).
    struct Rect {
        int x0, y0, x1, y1;
        bool operator==(const Rect& o) const { return x0 == o.x0 && y0 == o.y0 && x1 == o.x1 && y1 == o.y1; }
    };

    OverlayTiles();
    ~OverlayTiles();

    // The rectangles of an RGBA picture (width x height, rows from uv.y 0) whose cells
    // of cellSize texels show, runs of neighbouring cells in a row merged. A cell shows
    // when a texel within one texel of it (across the edges, as the picture repeats)
    // has alpha above 0.
    static std::vector<Rect> coveredRects(const uint8_t* rgba, int width, int height, int cellSize);

    // What the picture, stretched over the screen and read filtered with its edges
    // repeating, lets show of the picture beneath: the screen less the bands of whole
    // rows at its bottom and top (uv.y 0 and 1) that are opaque (alpha 255) from the
    // edge in, less one row more for the filtered read. A band counts only where the
    // other edge's row is opaque too, as a read at the screen's edge mixes the two.
    // Only rows: a picture drawn beneath may be read sideways (the grade's aberration and
    // distortion), never up or down.
    static ScreenArea shownThrough(const uint8_t* rgba, int width, int height);

    // Reads the picture back and builds its quads; a picture without any alpha above 0
    // draws nothing.
    void build(Texture* picture);
    // Draws the quads with a program of the shared quad's layout ("in_Position" in
    // clip space, "in_UV0") whose uniforms the caller has set.
    void draw(Shader* shader);
    size_t rectCount() const { return rects.size(); }
    // shownThrough of the picture built.
    const ScreenArea& getShownArea() const { return shown; }

private:
    std::vector<Rect> rects;
    ScreenArea shown;
    std::unique_ptr<VAO> mesh;
};
