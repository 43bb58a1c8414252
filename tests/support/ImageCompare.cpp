#include "ImageCompare.h"

#include "ImageFile.h"
#include "PngWriter.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

RgbaImage readPixels(int x, int y, int width, int height)
{
    RgbaImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels.data());
    return image;
}

ImageDifference compareImages(const RgbaImage& a, const RgbaImage& b)
{
    ImageDifference d;
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) {
        d.meanAbsolute = 255;
        d.maxChannel = 255;
        return d;
    }
    double sum = 0, squares = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        int diff = std::abs(int(a.pixels[i]) - int(b.pixels[i]));
        sum += diff;
        squares += double(diff) * diff;
        if (diff > d.maxChannel)
            d.maxChannel = diff;
    }
    double n = double(a.pixels.size());
    d.meanAbsolute = sum / n;
    double mse = squares / n;
    d.psnr = mse == 0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / mse);
    return d;
}

bool writePng(const std::string& path, const RgbaImage& image)
{
    // PNG rows run top first.
    std::vector<uint8_t> topDown(image.pixels.size());
    size_t row = size_t(image.width) * 4;
    for (int y = 0; y < image.height; ++y)
        std::copy(image.pixels.begin() + (image.height - 1 - y) * row, image.pixels.begin() + (image.height - y) * row,
                  topDown.begin() + y * row);
    std::ofstream out(path, std::ios::binary);
    std::string png = encodePng(image.width, image.height, 4, topDown);
    out.write(png.data(), std::streamsize(png.size()));
    return bool(out);
}

bool readPng(const std::string& path, RgbaImage& image)
{
    ImageFile file;
    if (!file.loadFromFile(path))
        return false;
    image.width = file.getWidth();
    image.height = file.getHeight();
    image.pixels.assign(size_t(image.width) * image.height * 4, 255);
    int bpp = file.getBytesPerPixel();
    const uint8_t* p = file.getPixels(); // already bottom row first
    for (size_t i = 0; i < size_t(image.width) * image.height; ++i) {
        if (bpp <= 2) {
            // Grey (and alpha): the grey level in all three colour channels.
            std::fill(image.pixels.begin() + i * 4, image.pixels.begin() + i * 4 + 3, p[i * bpp]);
            if (bpp == 2)
                image.pixels[i * 4 + 3] = p[i * bpp + 1];
            continue;
        }
        for (int c = 0; c < bpp && c < 4; ++c)
            image.pixels[i * 4 + c] = p[i * bpp + c];
    }
    return true;
}

bool matchesReference(const RgbaImage& actual, const std::string& referencePath, const std::string& name,
                      double maxMean, double minPsnr, std::string& report)
{
    const char* update = std::getenv("DEMOSYS_UPDATE_REFERENCES");
    if (update && std::string(update) == "1") {
        writePng(referencePath, actual);
        report = "reference written: " + referencePath;
        return true;
    }
    const char* outDir = std::getenv("DEMOSYS_TEST_OUTPUT");
    std::string prefix = std::string(outDir ? outDir : ".") + "/" + name;
    RgbaImage reference;
    std::ostringstream r;
    bool ok;
    ImageDifference d;
    if (!readPng(referencePath, reference)) {
        r << "reference image " << referencePath << " cannot be read";
        ok = false;
    } else if (reference.width != actual.width || reference.height != actual.height) {
        r << "size " << actual.width << "x" << actual.height << " differs from the reference's " << reference.width
          << "x" << reference.height;
        ok = false;
    } else {
        d = compareImages(actual, reference);
        r << "mean absolute difference " << d.meanAbsolute << " (at most " << maxMean << "), PSNR " << d.psnr
          << " dB (at least " << minPsnr << "), largest channel difference " << d.maxChannel;
        ok = d.meanAbsolute <= maxMean && d.psnr >= minPsnr;
    }
    if (!ok) {
        writePng(prefix + ".actual.png", actual);
        if (reference.width == actual.width && reference.height == actual.height) {
            RgbaImage diff = actual;
            for (size_t i = 0; i < diff.pixels.size(); ++i)
                diff.pixels[i] = (i % 4 == 3) ? 255 : uint8_t(std::min(255, 4 * std::abs(int(actual.pixels[i]) - int(reference.pixels[i]))));
            writePng(prefix + ".diff.png", diff);
        }
        r << "; wrote " << prefix << ".actual.png";
    }
    report = r.str();
    return ok;
}
