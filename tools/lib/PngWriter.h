#pragma once

#include "Status.h"

#include <cstdint>
#include <string>
#include <vector>

// PNG files through libpng: 8-bit grey (channels 1), grey and alpha (2), RGB (3) or RGBA
// (4). Rows are top first, or bottom first (as GL reads them back) with bottomFirst.

// Writes the image as a file. The file is written under a temporary name and renamed, so
// a failed write leaves no partial image.
Status writePngFile(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
                    bool bottomFirst);

// The image as a PNG file's bytes, rows top first; empty when it cannot be encoded.
std::string encodePng(int width, int height, int channels, const std::vector<uint8_t>& pixels);
