#include "PngWriter.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool writePngFile(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
                  bool bottomFirst, std::string& error)
{
    if (width < 1 || height < 1 || (channels != 3 && channels != 4) || !pixels) {
        error = "cannot write " + path + ": no image";
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    // A negative stride walks the rows from the last in memory to the first.
    const png_int_32 stride = (bottomFirst ? -1 : 1) * width * channels;
    const std::string partial = path + ".partial";
    if (!png_image_write_to_file(&image, partial.c_str(), 0, pixels, stride, nullptr)) {
        error = "cannot write " + path + ": " + image.message;
        std::remove(partial.c_str());
        return false;
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        std::remove(partial.c_str());
        return false;
    }
    return true;
}
