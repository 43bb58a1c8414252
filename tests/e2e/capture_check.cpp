// Checks on what glasshall-capture writes, for its end-to-end tests.
//
//   capture_check compare ACTUAL.png REFERENCE.png NAME MAX_MEAN MIN_PSNR
//       the two images within the tolerance (mean absolute difference at most MAX_MEAN,
//       PSNR at least MIN_PSNR dB); on failure NAME.actual.png and NAME.diff.png go to
//       $DEMOSYS_TEST_OUTPUT. Prints "NAME: ok" or "NAME: FAILED: ..." with the figures.
//   capture_check differ A.png B.png
//       succeeds when the images are not the same.
//   capture_check correlate A.s16 B.s16 B_START MIN_CORRELATION MAX_OFFSET_MS
//       A and B are raw 16-bit stereo at 44.1 kHz. Finds where A lies in B around sample
//       B_START (within 100 ms either way) by normalised cross-correlation, prints the
//       best correlation and its offset, and succeeds when the correlation reaches
//       MIN_CORRELATION within MAX_OFFSET_MS of B_START.
#include "ImageCompare.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int sampleRate = 44100;

bool readImage(const std::string& path, RgbaImage& image)
{
    if (readPng(path, image))
        return true;
    std::cout << "cannot read " << path << std::endl;
    return false;
}

// Left and right summed, as floats.
bool readMono(const std::string& path, std::vector<float>& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cout << "cannot read " << path << std::endl;
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    out.resize(bytes.size() / 4);
    for (size_t i = 0; i < out.size(); ++i) {
        const int16_t l = int16_t(uint16_t(uint8_t(bytes[i * 4])) | uint16_t(uint8_t(bytes[i * 4 + 1])) << 8);
        const int16_t r = int16_t(uint16_t(uint8_t(bytes[i * 4 + 2])) | uint16_t(uint8_t(bytes[i * 4 + 3])) << 8);
        out[i] = float(l) + float(r);
    }
    return true;
}

int correlate(const std::string& aPath, const std::string& bPath, long bStart, double minCorrelation,
              double maxOffsetMs)
{
    std::vector<float> a, b;
    if (!readMono(aPath, a) || !readMono(bPath, b))
        return 1;
    const long maxLag = sampleRate / 10;
    // The encoder's first and last blocks are left out: they fade in and out.
    const long edge = 2048;
    const long n = long(a.size()) - 2 * edge;
    if (n < sampleRate / 2) {
        std::cout << "FAILED: " << aPath << " holds " << a.size() << " samples, too few to compare" << std::endl;
        return 1;
    }
    double energyA = 0;
    for (long i = edge; i < edge + n; ++i)
        energyA += double(a[size_t(i)]) * a[size_t(i)];
    double best = -2;
    long bestLag = 0;
    double atZero = 0;
    for (long lag = -maxLag; lag <= maxLag; ++lag) {
        const long first = bStart + edge + lag;
        if (first < 0 || first + n > long(b.size()))
            continue;
        double dot = 0, energyB = 0;
        for (long i = 0; i < n; ++i) {
            const double x = a[size_t(edge + i)], y = b[size_t(first + i)];
            dot += x * y;
            energyB += y * y;
        }
        const double c = energyA > 0 && energyB > 0 ? dot / std::sqrt(energyA * energyB) : 0;
        if (lag == 0)
            atZero = c;
        if (c > best) {
            best = c;
            bestLag = lag;
        }
    }
    const double offsetMs = 1000.0 * double(bestLag) / sampleRate;
    std::printf("audio: correlation %.4f at an offset of %ld samples (%.2f ms); %.4f at 0; %ld samples compared\n",
                best, bestLag, offsetMs, atZero, n);
    if (best < minCorrelation || std::fabs(offsetMs) > maxOffsetMs) {
        std::printf("FAILED: the sound is not the music of the range (at least %.2f within %.1f ms wanted)\n",
                    minCorrelation, maxOffsetMs);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "compare" && argc == 7) {
        RgbaImage actual;
        if (!readImage(argv[2], actual))
            return 1;
        std::string report;
        const bool ok = matchesReference(actual, argv[3], argv[4], std::atof(argv[5]), std::atof(argv[6]), report);
        std::cout << argv[4] << ": " << (ok ? "ok (" + report + ")" : "FAILED: " + report) << std::endl;
        return ok ? 0 : 1;
    }
    if (command == "differ" && argc == 4) {
        RgbaImage a, b;
        if (!readImage(argv[2], a) || !readImage(argv[3], b))
            return 1;
        return a.width == b.width && a.height == b.height && a.pixels == b.pixels ? 1 : 0;
    }
    if (command == "correlate" && argc == 7)
        return correlate(argv[2], argv[3], std::atol(argv[4]), std::atof(argv[5]), std::atof(argv[6]));
    std::cerr << "usage: capture_check compare ACTUAL REFERENCE NAME MAX_MEAN MIN_PSNR\n"
                 "       capture_check differ A.png B.png\n"
                 "       capture_check correlate A.s16 B.s16 B_START MIN_CORRELATION MAX_OFFSET_MS"
              << std::endl;
    return 2;
}
