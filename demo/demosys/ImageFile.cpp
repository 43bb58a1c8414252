#include "ImageFile.h"

#include "ResourceArchive.h"
#include "ResourceFile.h"

#include <IL/il.h>

// TGA and BMP: the DevIL readers of these formats write out of bounds on damaged files,
// so they go through stb_image, compiled here with only those two readers and kept
// private to this file.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_TGA
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cstring>
#include <memory>

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

uint16_t little16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

// TGA has no signature: a header whose colour-map, image-type, size and depth fields
// all hold values the format defines is taken for one.
bool looksLikeTga(const uint8_t* b, size_t count)
{
    if (count < 18)
        return false;
    const int mapType = b[1], imageType = b[2], depth = b[16];
    if (mapType > 1 || little16(b + 12) == 0 || little16(b + 14) == 0)
        return false;
    if (mapType == 1) {
        const int entryBits = b[7];
        return (imageType == 1 || imageType == 9) && (depth == 8 || depth == 16) &&
               (entryBits == 15 || entryBits == 16 || entryBits == 24 || entryBits == 32);
    }
    return (imageType == 2 || imageType == 3 || imageType == 10 || imageType == 11) &&
           (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32);
}

// The bytes as a stream for the checked decoder. It fills whatever the input lacks with
// zeros, so a cut file would decode; a read asked for at the end marks the file cut.
struct CheckedInput {
    const uint8_t* data;
    size_t size;
    size_t position = 0;
    bool overrun = false;

    CheckedInput(const uint8_t* bytes, size_t count) : data(bytes), size(count) {}

    static int read(void* user, char* out, int wanted)
    {
        CheckedInput& in = *static_cast<CheckedInput*>(user);
        const size_t left = in.size - in.position;
        if (left == 0 || wanted <= 0) {
            in.overrun = in.overrun || wanted > 0;
            return 0;
        }
        const size_t n = std::min(left, static_cast<size_t>(wanted));
        std::memcpy(out, in.data + in.position, n);
        in.position += n;
        return static_cast<int>(n);
    }
    static void skip(void* user, int n)
    {
        CheckedInput& in = *static_cast<CheckedInput*>(user);
        if (n < 0) {
            const size_t back = static_cast<size_t>(-static_cast<long long>(n));
            in.position = back > in.position ? 0 : in.position - back;
        } else if (static_cast<size_t>(n) > in.size - in.position) {
            in.overrun = true;
            in.position = in.size;
        } else {
            in.position += static_cast<size_t>(n);
        }
    }
    static int eof(void* user)
    {
        const CheckedInput& in = *static_cast<const CheckedInput*>(user);
        return in.position >= in.size;
    }
    static const stbi_io_callbacks callbacks;
};

const stbi_io_callbacks CheckedInput::callbacks = {&CheckedInput::read, &CheckedInput::skip, &CheckedInput::eof};

uint32_t big32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }

// Every chunk of a PNG lies inside the bytes, up to its end chunk. The decoder's reader
// does not stop the PNG library at the end of the input, which then goes on skipping a
// chunk that claims gigabytes for minutes: such files are refused before decoding.
bool pngChunksFit(const uint8_t* b, size_t count)
{
    size_t at = 8;
    while (count - at >= 12) {
        const uint32_t length = big32(b + at);
        if (length > 0x7fffffffu || length > count - at - 12)
            return false;
        if (std::memcmp(b + at + 4, "IEND", 4) == 0)
            return true;
        at += 12 + size_t(length);
    }
    return false;
}

// Every marker segment of a JPEG lies inside the bytes, and an end-of-image marker ends
// them (entropy-coded data runs from a start-of-scan segment to the next marker). At the
// end of the input the decoder's reader makes the JPEG library wait for a marker for
// ever, so a file whose structure would take it there is refused before decoding.
bool jpegSegmentsFit(const uint8_t* b, size_t count)
{
    size_t at = 2;
    while (at < count) {
        if (b[at] != 0xff)
            return false;
        while (at < count && b[at] == 0xff)
            ++at;
        if (at >= count)
            return false;
        const uint8_t marker = b[at++];
        if (marker == 0xd9)
            return true;
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7))
            continue;
        if (marker == 0x00 || marker == 0xd8 || count - at < 2)
            return false;
        const size_t length = size_t(b[at]) << 8 | b[at + 1];
        if (length < 2 || length > count - at)
            return false;
        at += length;
        if (marker != 0xda)
            continue;
        // Stuffed zeros, restart markers and fill bytes belong to the scan.
        for (;; ++at) {
            if (count - at < 2)
                return false;
            const uint8_t next = b[at + 1];
            if (b[at] == 0xff && next != 0x00 && next != 0xff && !(next >= 0xd0 && next <= 0xd7))
                break;
        }
    }
    return false;
}

} // namespace

ImageFile::ImageFile() { initDecoder(); }

ImageFile::~ImageFile() = default;

Status ImageFile::loadFromFile(const std::string& path)
{
    name = path;
    // Files go through the same memory path as archive entries.
    ResourceFile file(path, ResourceFile::Read);
    if (!file.isLoaded())
        return refuse("not found");
    return loadFromMemory(file.bytes().data(), file.byteSize());
}

ImageFile::Type ImageFile::detectType(const uint8_t* b, size_t count)
{
    if (!b)
        return Type::Unknown;
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (count >= 8 && std::memcmp(b, png, 8) == 0)
        return Type::Png;
    if (count >= 3 && b[0] == 0xff && b[1] == 0xd8 && b[2] == 0xff)
        return Type::Jpeg;
    if (count >= 2 && b[0] == 'B' && b[1] == 'M')
        return Type::Bmp;
    if (looksLikeTga(b, count))
        return Type::Tga;
    return Type::Unknown;
}

const char* ImageFile::typeName(Type t)
{
    switch (t) {
    case Type::Png:
        return "png";
    case Type::Jpeg:
        return "jpeg";
    case Type::Tga:
        return "tga";
    case Type::Bmp:
        return "bmp";
    case Type::Unknown:
        break;
    }
    return "unknown";
}

bool ImageFile::reject(const char* reason)
{
    loaded = false;
    pixels.clear();
    width = height = bitsPerPixel = bytesPerPixel = 0;
    error = reason;
    return false;
}

Status ImageFile::refuse(const char* reason)
{
    reject(reason);
    return Status::failure(reason);
}

Status ImageFile::loadFromArchive()
{
    type = Type::Unknown;
    int size = ResourceArchive::entrySize(name.c_str());
    if (size < 0)
        return refuse("not found");
    std::vector<uint8_t> encoded(static_cast<size_t>(size));
    if (!ResourceArchive::extract(name.c_str(), encoded.data()))
        return refuse("cannot be read from the archive");
    return loadFromMemory(encoded.data(), encoded.size());
}

Status ImageFile::loadFromMemory(const uint8_t* bytes, size_t count)
{
    loaded = false;
    pixels.clear();
    error.clear();
    type = detectType(bytes, count);
    if (count > 0x7fffffffu)
        return refuse("too large");
    switch (type) {
    case Type::Png:
    case Type::Jpeg:
        loaded = decodeWithLibraries(bytes, count);
        break;
    case Type::Tga:
    case Type::Bmp:
        loaded = decodeChecked(bytes, count);
        break;
    case Type::Unknown:
        return refuse("unsupported image type");
    }
    if (loaded)
        return Status::success();
    if (error.empty())
        reject("damaged");
    return Status::failure(error);
}

bool ImageFile::decodeWithLibraries(const uint8_t* bytes, size_t count)
{
    if (type == Type::Png ? !pngChunksFit(bytes, count) : !jpegSegmentsFit(bytes, count))
        return false;
    ILuint image = ilGenImage();
    ilBindImage(image);
    bool ok = ilLoadL(type == Type::Png ? IL_PNG : IL_JPG, bytes, static_cast<ILuint>(count)) && copyBoundImage();
    // The decoded pixels live in our copy; the decoder's image is not needed again.
    ilDeleteImage(image);
    return ok;
}

bool ImageFile::decodeChecked(const uint8_t* bytes, size_t count)
{
    // Run-length (1, 2) and embedded JPEG or PNG (4, 5) bitmaps are sound files that the
    // decoder does not read.
    if (type == Type::Bmp && count >= 34 && little16(bytes + 14) >= 40) {
        const uint32_t compression = little16(bytes + 30) | (uint32_t(little16(bytes + 32)) << 16);
        if (compression == 1 || compression == 2 || compression == 4 || compression == 5)
            return reject("unsupported image type");
    }
    int w = 0, h = 0, channels = 0;
    CheckedInput header(bytes, count);
    if (!stbi_info_from_callbacks(&CheckedInput::callbacks, &header, &w, &h, &channels) || w <= 0 || h <= 0)
        return false;
    const uint64_t pixelCount = uint64_t(w) * uint64_t(h);
    if (pixelCount > maxPixels)
        return reject("too large");
    // Neither format packs more than 64 pixels into a byte (a run of 128 one-byte pixels
    // in a 2-byte TGA packet): a header that claims more is damaged, and is refused
    // before the decoder sets out to fill a large image with zeros.
    if (pixelCount > uint64_t(count) * 64)
        return false;
    // Grey becomes RGB, grey with alpha RGBA, as for the other formats.
    const int wanted = channels == 2 || channels == 4 ? 4 : 3;
    CheckedInput input(bytes, count);
    std::unique_ptr<stbi_uc, void (*)(void*)> decoded(
        stbi_load_from_callbacks(&CheckedInput::callbacks, &input, &w, &h, &channels, wanted), stbi_image_free);
    if (!decoded || input.overrun || w <= 0 || h <= 0)
        return false;
    width = w;
    height = h;
    bytesPerPixel = wanted;
    bitsPerPixel = wanted * 8;
    const size_t rowBytes = static_cast<size_t>(w) * static_cast<size_t>(wanted);
    pixels.resize(rowBytes * static_cast<size_t>(h));
    for (int row = 0; row < h; ++row)
        std::memcpy(pixels.data() + static_cast<size_t>(row) * rowBytes,
                    decoded.get() + static_cast<size_t>(h - 1 - row) * rowBytes, rowBytes);
    return true;
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
