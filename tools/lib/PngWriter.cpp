#include "PngWriter.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The image description, or false when the arguments describe no image.
bool describe(png_image& image, int width, int height, int channels, const uint8_t* pixels)
{
    static const png_uint_32 formats[] = {PNG_FORMAT_GRAY, PNG_FORMAT_GA, PNG_FORMAT_RGB, PNG_FORMAT_RGBA};
    if (width < 1 || height < 1 || channels < 1 || channels > 4 || !pixels)
        return false;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = formats[channels - 1];
    return true;
}

// A negative stride walks the rows from the last in memory to the first.
png_int_32 stride(int width, int channels, bool bottomFirst) { return (bottomFirst ? -1 : 1) * width * channels; }

} // namespace

Status writePngFile(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
                    bool bottomFirst)
{
    png_image image;
    if (!describe(image, width, height, channels, pixels))
        return Status::failure("cannot write " + path + ": no image");
    const std::string partial = path + ".partial";
    if (!png_image_write_to_file(&image, partial.c_str(), 0, pixels, stride(width, channels, bottomFirst), nullptr)) {
        Status failed = Status::failure("cannot write " + path + ": " + image.message);
        std::remove(partial.c_str());
        return failed;
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        Status failed = Status::failure("cannot write " + path + ": " + std::strerror(errno));
        std::remove(partial.c_str());
        return failed;
    }
    return Status::success();
}

std::string encodePng(int width, int height, int channels, const std::vector<uint8_t>& pixels)
{
    png_image image;
    if (pixels.size() < size_t(width) * size_t(height) * size_t(channels) ||
        !describe(image, width, height, channels, pixels.data()))
        return std::string();
    // First the size, then the bytes.
    png_alloc_size_t size = 0;
    const png_int_32 rowStride = stride(width, channels, false);
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), rowStride, nullptr))
        return std::string();
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&image, &bytes[0], &size, 0, pixels.data(), rowStride, nullptr))
        return std::string();
    bytes.resize(size);
    return bytes;
}
