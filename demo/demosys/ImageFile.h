#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One decoded image, as 8-bit RGB or RGBA pixels with the rows stored bottom-up (the
// order OpenGL expects for texture uploads). Whatever the file holds (palette, BGR,
// 16-bit channels, greyscale) is converted on decoding, so uploads never see a layout
// they do not expect. Formats: PNG and JPEG.
class ImageFile {
public:
    // The decoder's type codes of the formats ImageFile reads: PNG and JPEG.
    static bool isSupportedType(unsigned int type);

    // An empty image; loadFromArchive() or loadFromMemory() fill it.
    ImageFile();
    // Decodes the image file at path; the name becomes the path.
    explicit ImageFile(const std::string& path);
    ~ImageFile();

    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // Decodes the archive entry named by getName(); a missing entry leaves it unloaded.
    bool loadFromArchive();
    // Decodes encoded image bytes (any format the decoder recognises).
    bool loadFromMemory(const uint8_t* bytes, size_t count);

    void setName(const std::string& n) { name = n; }
    const std::string& getName() const { return name; }
    bool isLoaded() const { return loaded; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    int getBitsPerPixel() const { return bitsPerPixel; }
    int getBytesPerPixel() const { return bytesPerPixel; }
    // width x height x bytes-per-pixel bytes, bottom row first.
    const uint8_t* getPixels() const { return pixels.empty() ? nullptr : pixels.data(); }
    size_t getPixelByteCount() const { return pixels.size(); }

private:
    // Reads the bound decoder image into pixels; false if it has no usable size.
    bool copyBoundImage();

    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int bytesPerPixel = 0;
    bool loaded = false;
    std::string name;
    std::vector<uint8_t> pixels;
};
