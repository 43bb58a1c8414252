#pragma once

// Small sound files made by the tests themselves: RIFF WAV in any of the sample formats
// the sound layer reads, and MP3 made from such a WAV by the lame encoder.

#include "TempDir.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace soundtest {

// sample(frame, side) in -1..1; side 0 is left, 1 right (mono files ask for side 0).
using SampleFunction = std::function<double(size_t frame, int side)>;

enum class WavFormat { Int8, Int16, Int24, Int32, Float32 };

inline void put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(std::vector<uint8_t>& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline void putTag(std::vector<uint8_t>& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

inline std::vector<uint8_t> makeWav(int rate, int channels, size_t frames, const SampleFunction& sample,
                                    WavFormat format = WavFormat::Int16)
{
    int bits = format == WavFormat::Int8 ? 8 : format == WavFormat::Int16 ? 16 : format == WavFormat::Int24 ? 24 : 32;
    uint32_t block = static_cast<uint32_t>(channels * bits / 8);
    uint32_t dataSize = static_cast<uint32_t>(frames * block);
    std::vector<uint8_t> b;
    putTag(b, "RIFF");
    put32(b, 36 + dataSize);
    putTag(b, "WAVE");
    putTag(b, "fmt ");
    put32(b, 16);
    put16(b, format == WavFormat::Float32 ? 3 : 1);
    put16(b, static_cast<uint32_t>(channels));
    put32(b, static_cast<uint32_t>(rate));
    put32(b, static_cast<uint32_t>(rate) * block);
    put16(b, block);
    put16(b, static_cast<uint32_t>(bits));
    putTag(b, "data");
    put32(b, dataSize);
    for (size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            double v = std::max(-1.0, std::min(1.0, sample(f, c)));
            switch (format) {
            case WavFormat::Int8:
                b.push_back(static_cast<uint8_t>(std::lround(v * 127.0) + 128));
                break;
            case WavFormat::Int16:
                put16(b, static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 32767.0))));
                break;
            case WavFormat::Int24: {
                uint32_t s = static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 8388607.0)));
                b.push_back(static_cast<uint8_t>(s));
                b.push_back(static_cast<uint8_t>(s >> 8));
                b.push_back(static_cast<uint8_t>(s >> 16));
                break;
            }
            case WavFormat::Int32:
                put32(b, static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 2147483647.0))));
                break;
            case WavFormat::Float32: {
                float fv = static_cast<float>(v);
                uint32_t bitsOf;
                std::memcpy(&bitsOf, &fv, 4);
                put32(b, bitsOf);
                break;
            }
            }
        }
    return b;
}

inline SampleFunction silence()
{
    return [](size_t, int) { return 0.0; };
}

// A sine of the given frequency and amplitude on each side.
inline SampleFunction sines(int rate, double leftHz, double rightHz, double amplitude = 1.0)
{
    return [=](size_t f, int side) {
        const double pi = 3.14159265358979323846;
        return amplitude * std::sin(2.0 * pi * (side == 0 ? leftHz : rightHz) * static_cast<double>(f) / rate);
    };
}

inline bool haveLame() { return runCommand("command -v lame > /dev/null 2>&1") == 0; }

// Encodes wav (written into dir) to MP3 with lame; returns the MP3's path, "" on failure.
inline std::string encodeMp3(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& wav,
                             const std::string& options = "-V2")
{
    std::string in = dir.write(name + ".wav", wav);
    std::string out = dir.path() + "/" + name + ".mp3";
    if (runCommand("lame --quiet " + options + " '" + in + "' '" + out + "'") != 0)
        return "";
    return out;
}

} // namespace soundtest
