#pragma once

#include "Status.h"

#include <cstdint>
#include <string>
#include <vector>

struct FT_LibraryRec_;
struct FT_FaceRec_;

// Writes short lines of text (ASCII) into RGB images with a TrueType font through
// FreeType, anti-aliased, for the labels of generated pictures.
class TextPainter {
public:
    static constexpr const char* defaultFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

    TextPainter() = default;
    ~TextPainter();
    TextPainter(const TextPainter&) = delete;
    TextPainter& operator=(const TextPainter&) = delete;

    // False with the reason when the font cannot be read.
    Status open(const std::string& fontPath, int pixelHeight);

    // Width of text in pixels.
    int measure(const std::string& text) const;
    // Height of capital letters above the baseline, for centring a line.
    int capHeight() const;
    // Blends text in colour into an RGB image (top row first) with its baseline at y.
    void draw(std::vector<uint8_t>& rgb, int width, int height, int x, int baseline, const std::string& text,
              const uint8_t colour[3]) const;

private:
    FT_LibraryRec_* library = nullptr;
    FT_FaceRec_* face = nullptr;
};
