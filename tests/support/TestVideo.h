#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Test videos made at test time with vpxenc: a moving gradient with the frame number
// drawn as eight code blocks (bit b is the 16x16 block at column b % 4, block row b / 4
// from the top; bright is 1), so every decoded picture says which frame it is.
struct TestVideoOptions {
    int width = 64;   // at least 64
    int height = 64;  // at least 32
    int frames = 30;  // at most 256
    int keyInterval = 8;
    std::string fps = "30/1";
    std::string timebase; // vpxenc's --timebase; empty for its default
};

// The raw I420 frames vpxenc reads.
std::vector<uint8_t> makeTestFrames(const TestVideoOptions& options);
// Encodes the frames into an IVF file at path. False with the reason in error when
// vpxenc is missing or fails.
bool encodeTestVideo(const TestVideoOptions& options, const std::string& path, std::string& error);
// The frame number shown by a picture of packed Y, U, V texels, bottom row first.
int frameCode(const uint8_t* yuv, int width, int height);

// Field edits of an IVF file's header (little-endian, in place).
void setIvf16(std::vector<uint8_t>& ivf, size_t offset, uint16_t value);
void setIvf32(std::vector<uint8_t>& ivf, size_t offset, uint32_t value);
// Rewrites the time base, the header's frame count and every frame's timestamp (one
// per frame, in file order; as many as there are frames).
std::vector<uint8_t> retimeIvf(std::vector<uint8_t> ivf, uint32_t rate, uint32_t scale, uint32_t headerFrameCount,
                               const std::vector<uint64_t>& timestamps);
// Frame offsets of a well-formed IVF file, read without the engine.
std::vector<size_t> ivfFrameOffsets(const std::vector<uint8_t>& ivf);

std::vector<uint8_t> readBytes(const std::string& path);
bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
