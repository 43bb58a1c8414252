#pragma once

#include <cstdint>
#include <string>

// Writes 8-bit RGB (channels 3) or RGBA (channels 4) pixels as a PNG file. Rows are top
// first, or bottom first (as GL reads them back) with bottomFirst. The file is written
// under a temporary name and renamed, so a failed write leaves no partial image.
bool writePngFile(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
                  bool bottomFirst, std::string& error);
