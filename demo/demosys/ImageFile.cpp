#include "ImageFile.h"

#include "ResourceArchive.h"
#include "ResourceFile.h"

#include <IL/il.h>

#include <cstring>

namespace {

void initDecoder()
{
    static bool done = false;
    if (done)
        return;
    ilInit();
    // Decode every image top row first, whatever the file's own row order, so the
    // bottom-up copy below is right for every format.
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    done = true;
}

} // namespace

ImageFile::ImageFile() { initDecoder(); }

ImageFile::ImageFile(const std::string& path) : name(path)
{
    initDecoder();
    // Files go through the same checked memory path as archive entries.
    ResourceFile file(path, ResourceFile::Read);
    if (file.isLoaded())
        loadFromMemory(file.bytes().data(), file.byteSize());
}

ImageFile::~ImageFile() = default;

bool ImageFile::isSupportedType(unsigned int type)
{
    // The decoder's own readers (BMP, PNM, TGA and others) corrupt memory on damaged
    // files; PNG and JPEG are decoded by their reference libraries, which check what
    // they read, so only these are handed to it.
    return type == IL_PNG || type == IL_JPG;
}

bool ImageFile::loadFromArchive()
{
    int size = ResourceArchive::entrySize(name.c_str());
    if (size < 0)
        return false;
    std::vector<uint8_t> encoded(static_cast<size_t>(size));
    if (ResourceArchive::extract(name.c_str(), encoded.data()) != 0)
        return false;
    return loadFromMemory(encoded.data(), encoded.size());
}

bool ImageFile::loadFromMemory(const uint8_t* bytes, size_t count)
{
    loaded = false;
    pixels.clear();
    if (!bytes || count == 0 || count > 0x7fffffffu)
        return false;
    ILenum type = ilDetermineTypeL(bytes, static_cast<ILuint>(count));
    if (!isSupportedType(type))
        return false;
    ILuint image = ilGenImage();
    ilBindImage(image);
    if (ilLoadL(type, bytes, static_cast<ILuint>(count)))
        loaded = copyBoundImage();
    // The decoded pixels live in our copy; the decoder's image is not needed again.
    ilDeleteImage(image);
    return loaded;
}

bool ImageFile::copyBoundImage()
{
    ILint format = ilGetInteger(IL_IMAGE_FORMAT);
    bool alpha = format == IL_RGBA || format == IL_BGRA || format == IL_LUMINANCE_ALPHA ||
                 (format == IL_COLOUR_INDEX && (ilGetInteger(IL_PALETTE_TYPE) == IL_PAL_RGBA32 ||
                                                ilGetInteger(IL_PALETTE_TYPE) == IL_PAL_BGRA32));
    if (!ilConvertImage(alpha ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE))
        return false;

    width = ilGetInteger(IL_IMAGE_WIDTH);
    height = ilGetInteger(IL_IMAGE_HEIGHT);
    bitsPerPixel = ilGetInteger(IL_IMAGE_BITS_PER_PIXEL);
    bytesPerPixel = ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL);
    const ILubyte* source = ilGetData();
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0 || !source)
        return false;
    // ilGetInteger(IL_IMAGE_SIZE_OF_DATA) bounds what we may copy out of the decoder.
    size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bytesPerPixel);
    size_t total = rowBytes * static_cast<size_t>(height);
    if (static_cast<size_t>(ilGetInteger(IL_IMAGE_SIZE_OF_DATA)) < total)
        return false;
    pixels.resize(total);
    for (int row = 0; row < height; ++row)
        std::memcpy(pixels.data() + static_cast<size_t>(row) * rowBytes,
                    source + static_cast<size_t>(height - 1 - row) * rowBytes, rowBytes);
    return true;
}
