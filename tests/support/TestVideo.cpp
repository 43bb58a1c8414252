#include "TestVideo.h"

#include "TempDir.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

bool bitSet(int frame, int x, int y)
{
    int bit = (y / 16) * 4 + x / 16;
    return y < 32 && x < 64 && ((frame >> bit) & 1) != 0;
}

} // namespace

std::vector<uint8_t> makeTestFrames(const TestVideoOptions& o)
{
    const int cw = (o.width + 1) / 2, ch = (o.height + 1) / 2;
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(o.frames) * (o.width * o.height + 2 * cw * ch));
    for (int k = 0; k < o.frames; ++k) {
        for (int y = 0; y < o.height; ++y)
            for (int x = 0; x < o.width; ++x)
                out.push_back(y < 32 && x < 64 ? (bitSet(k, x, y) ? 210 : 45)
                                               : static_cast<uint8_t>(16 + (x * 4 + y * 3 + k * 7) % 200));
        for (int plane = 0; plane < 2; ++plane)
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < cw; ++x)
                    out.push_back(y < 16 && x < 32 ? 128
                                                   : static_cast<uint8_t>(60 + ((plane ? y : x) * 5 + k * 3) % 150));
    }
    return out;
}

bool encodeTestVideo(const TestVideoOptions& o, const std::string& path, std::string& error)
{
    if (runCommand("command -v vpxenc > /dev/null 2>&1") != 0) {
        error = "vpxenc is not installed (package vpx-tools, see scripts/install-deps.sh); the video tests need it";
        return false;
    }
    std::string raw = path + ".yuv";
    if (!writeBytes(raw, makeTestFrames(o))) {
        error = "cannot write " + raw;
        return false;
    }
    std::string command = "vpxenc --codec=vp8 --ivf --i420 -w " + std::to_string(o.width) + " -h " +
                          std::to_string(o.height) + " --fps=" + o.fps +
                          (o.timebase.empty() ? "" : " --timebase=" + o.timebase) +
                          " --limit=" + std::to_string(o.frames) + " --kf-min-dist=" + std::to_string(o.keyInterval) +
                          " --kf-max-dist=" + std::to_string(o.keyInterval) +
                          " --auto-alt-ref=0 --lag-in-frames=0 --end-usage=q --cq-level=4 --min-q=0 --max-q=16"
                          " --good --cpu-used=4 --threads=1 --quiet -o '" +
                          path + "' '" + raw + "' > '" + path + ".log' 2>&1";
    int status = runCommand(command);
    std::remove(raw.c_str());
    if (status != 0 || readBytes(path).size() <= 32) {
        error = "vpxenc failed (" + std::to_string(status) + "): " + readWholeFile(path + ".log");
        return false;
    }
    std::remove((path + ".log").c_str());
    return true;
}

int frameCode(const uint8_t* yuv, int width, int height)
{
    int code = 0;
    for (int bit = 0; bit < 8; ++bit) {
        int x0 = (bit % 4) * 16 + 4, top = (bit / 4) * 16 + 4;
        int sum = 0;
        for (int y = top; y < top + 8; ++y)
            for (int x = x0; x < x0 + 8; ++x)
                sum += yuv[(static_cast<size_t>(height - 1 - y) * width + x) * 3];
        int mean = sum / 64;
        if (mean > 160)
            code |= 1 << bit;
        else if (mean > 95)
            return -1; // neither bright nor dark: not one of our pictures
    }
    return code;
}

void setIvf16(std::vector<uint8_t>& ivf, size_t offset, uint16_t value)
{
    ivf[offset] = value & 0xff;
    ivf[offset + 1] = value >> 8;
}

void setIvf32(std::vector<uint8_t>& ivf, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        ivf[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<size_t> ivfFrameOffsets(const std::vector<uint8_t>& ivf)
{
    std::vector<size_t> offsets;
    size_t pos = 32;
    while (pos + 12 <= ivf.size()) {
        uint32_t size = ivf[pos] | (ivf[pos + 1] << 8) | (ivf[pos + 2] << 16) | (uint32_t(ivf[pos + 3]) << 24);
        if (pos + 12 + size > ivf.size())
            break;
        offsets.push_back(pos);
        pos += 12 + size;
    }
    return offsets;
}

std::vector<uint8_t> retimeIvf(std::vector<uint8_t> ivf, uint32_t rate, uint32_t scale, uint32_t headerFrameCount,
                               const std::vector<uint64_t>& timestamps)
{
    setIvf32(ivf, 16, rate);
    setIvf32(ivf, 20, scale);
    setIvf32(ivf, 24, headerFrameCount);
    std::vector<size_t> offsets = ivfFrameOffsets(ivf);
    for (size_t i = 0; i < offsets.size() && i < timestamps.size(); ++i) {
        setIvf32(ivf, offsets[i] + 4, static_cast<uint32_t>(timestamps[i]));
        setIvf32(ivf, offsets[i] + 8, static_cast<uint32_t>(timestamps[i] >> 32));
    }
    return ivf;
}

std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
