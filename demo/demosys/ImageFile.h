#pragma once

#include "Status.h"

#include <cstdint>
#include <string>
#include <vector>

// One decoded image, as 8-bit RGB or RGBA pixels with the rows stored bottom-up (the
// order OpenGL expects for texture uploads). Whatever the file holds (palette, BGR,
// 16-bit channels, greyscale) is converted on decoding, so uploads never see a layout
// they do not expect. Formats: PNG and JPEG (through their reference libraries), TGA
// and BMP (through a decoder that checks every read against the input). The type is
// told from the bytes, never from the file name.
class ImageFile {
public:
    enum class Type { Unknown, Png, Jpeg, Tga, Bmp };

    // The type the bytes look like; Unknown for everything that is none of the four.
    static Type detectType(const uint8_t* bytes, size_t count);
    // "png", "jpeg", "tga", "bmp"; "unknown".
    static const char* typeName(Type type);

    // An empty image; loadFromFile(), loadFromArchive() or loadFromMemory() fill it.
    ImageFile();
    ~ImageFile();

    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // Each load fails with the reason "not found", "unsupported image type", "damaged",
    // "too large" (or, for an archive entry, the archive's reason) and leaves the image
    // unloaded.
    // Decodes the image file at path; the name becomes the path.
    Status loadFromFile(const std::string& path);
    // Decodes the archive entry named by getName().
    Status loadFromArchive();
    // Decodes encoded image bytes of one of the four types.
    Status loadFromMemory(const uint8_t* bytes, size_t count);

    void setName(const std::string& n) { name = n; }
    const std::string& getName() const { return name; }
    bool isLoaded() const { return loaded; }
    // The type detected in the bytes (also when they then fail to decode).
    Type getType() const { return type; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    int getBitsPerPixel() const { return bitsPerPixel; }
    int getBytesPerPixel() const { return bytesPerPixel; }
    // width x height x bytes-per-pixel bytes, bottom row first.
    const uint8_t* getPixels() const { return pixels.empty() ? nullptr : pixels.data(); }
    size_t getPixelByteCount() const { return pixels.size(); }

    // The most pixels a decoded image may have (64 Mi: 256 MB as RGBA).
    static const uint64_t maxPixels = uint64_t(1) << 26;

private:
    // Reads the bound decoder image into pixels; false if it has no usable size.
    bool copyBoundImage();
    bool decodeWithLibraries(const uint8_t* bytes, size_t count);
    bool decodeChecked(const uint8_t* bytes, size_t count);
    // Leaves the image unloaded with the reason kept for the load that called it.
    bool reject(const char* reason);
    Status refuse(const char* reason);

    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int bytesPerPixel = 0;
    bool loaded = false;
    Type type = Type::Unknown;
    std::string name;
    std::string error;
    std::vector<uint8_t> pixels;
};
