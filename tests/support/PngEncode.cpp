#include "PngEncode.h"

#include <zlib.h>

namespace {

void put32(std::string& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xff);
}

void chunk(std::string& out, const char* type, const std::string& data)
{
    put32(out, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    put32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

} // namespace

std::string encodePng(int width, int height, int channels, const std::vector<uint8_t>& pixels)
{
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // no filter
        raw.append(reinterpret_cast<const char*>(pixels.data()) + size_t(y) * width * channels, size_t(width) * channels);
    }
    uLongf packedSize = compressBound(raw.size());
    std::string packed(packedSize, '\0');
    compress(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(raw.data()), raw.size());
    packed.resize(packedSize);

    std::string header;
    put32(header, static_cast<uint32_t>(width));
    put32(header, static_cast<uint32_t>(height));
    header += static_cast<char>(8);                      // bit depth
    header += static_cast<char>(channels == 4 ? 6 : 2); // RGBA or RGB
    header += std::string(3, '\0');

    std::string out("\x89PNG\r\n\x1a\n", 8);
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", packed);
    chunk(out, "IEND", "");
    return out;
}
