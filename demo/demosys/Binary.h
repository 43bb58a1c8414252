#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A blob of bytes a production declared (lookup tables, sampled curves). Effects read it
// as bytes or as floats of one byte each, scaled by 1/256.
class Binary {
public:
    explicit Binary(std::vector<uint8_t> bytes);

    size_t byteCount() const { return bytes.size(); }
    // The byte at index; 0 past the end.
    uint8_t byteAt(size_t index) const { return index < bytes.size() ? bytes[index] : 0; }
    const std::vector<uint8_t>& getBytes() const { return bytes; }
    // One float per byte, byte / 256, made on first use and kept.
    const std::vector<float>& floats();
    // Floats for bytes index .. index + count - 1; empty when that range is not all there.
    std::vector<float> floats(size_t index, size_t count) const;

    // "Binary { size = N }\n"
    std::string describe() const;

private:
    std::vector<uint8_t> bytes;
    std::vector<float> asFloats;
    bool floatsMade = false;
};
