// The texture loader's image decoding on arbitrary bytes: type detection, then PNG and
// JPEG through their libraries and TGA and BMP through the checked decoder. Nothing may
// be read or written out of bounds, no input may hang, and an accepted image holds
// exactly width x height x channels bytes of 3 or 4 channels.
#include "ImageFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ImageFile image;
    Status decoded = image.loadFromMemory(data, size);
    if (decoded) {
        const int channels = image.getBytesPerPixel();
        if ((channels != 3 && channels != 4) || image.getWidth() <= 0 || image.getHeight() <= 0 ||
            image.getPixelByteCount() != size_t(image.getWidth()) * size_t(image.getHeight()) * size_t(channels) ||
            !image.isLoaded())
            std::abort();
    } else if (decoded.reason().empty() || image.isLoaded() || image.getPixels() != nullptr) {
        std::abort();
    }
    return 0;
}
