#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes 8-bit pixels (rows top first, 3 or 4 channels) as a PNG file's bytes, so
// tests can make images without shipping binaries.
std::string encodePng(int width, int height, int channels, const std::vector<uint8_t>& pixels);
