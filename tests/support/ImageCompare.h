#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An 8-bit RGBA image, rows bottom first (as glReadPixels returns them).
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    const uint8_t* at(int x, int y) const { return pixels.data() + (size_t(y) * width + x) * 4; }
};

// The colour buffer of the bound read framebuffer (x, y, w, h).
RgbaImage readPixels(int x, int y, int width, int height);

struct ImageDifference {
    double meanAbsolute = 0; // over all channels, 0..255
    double psnr = 0;         // in dB; infinite for identical images
    int maxChannel = 0;
};

ImageDifference compareImages(const RgbaImage& a, const RgbaImage& b);

// Compares actual with the reference PNG at referencePath. On failure (size mismatch,
// mean absolute difference above maxMean or PSNR below minPsnr, or a missing
// reference) writes NAME.actual.png and NAME.diff.png into the test output directory
// ($DEMOSYS_TEST_OUTPUT, else the working directory) and returns false with the
// figures in report. With DEMOSYS_UPDATE_REFERENCES=1 the reference is (re)written.
bool matchesReference(const RgbaImage& actual, const std::string& referencePath, const std::string& name,
                      double maxMean, double minPsnr, std::string& report);

bool writePng(const std::string& path, const RgbaImage& image);
bool readPng(const std::string& path, RgbaImage& image);
