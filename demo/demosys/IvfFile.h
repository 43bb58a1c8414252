#pragma once

#include "Status.h"

#include <cstdint>
#include <string>
#include <vector>

// One compressed frame of an IVF file: where its 12-byte frame header sits, how many
// bytes of VP8 data follow it, its timestamp in time-base ticks, and whether it is a key
// frame (one the decoder can start from).
struct IvfFrame {
    uint64_t offset = 0;
    uint32_t size = 0;
    uint64_t timestamp = 0;
    bool key = false;
};

// A whole IVF file held in memory, its header checked field by field and its frames
// indexed once, so a frame is found by number without parsing. Nothing here trusts the
// file: every size is checked against the bytes that are really there. Messages are kept,
// not printed; the caller decides where they go.
class IvfFile {
public:
    static constexpr int HeaderSize = 32;
    static constexpr int FrameHeaderSize = 12;
    // VP8 stores each dimension in 14 bits.
    static constexpr int MaxDimension = 16383;

    IvfFile() = default;
    explicit IvfFile(std::vector<uint8_t> bytes);

    // Checks the header and builds the frame index. label names the source in messages
    // ("'resources/video/a.ivf'", "movie"). Fails when the file cannot be played, naming
    // the reason; a frame list cut short by the end of the file is not an
    // error: the index ends there and getWarnings() says so.
    Status parse(const std::string& label);

    const std::vector<uint8_t>& bytes() const { return data; }
    const std::vector<std::string>& getWarnings() const { return warnings; }
    bool isComplete() const { return complete; }

    int getVersion() const { return version; }
    int getHeaderSize() const { return headerSize; }
    // The codec's four characters, non-printable bytes shown as '.'.
    const std::string& getFourcc() const { return fourcc; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    // The time base: one timestamp tick lasts scale / rate seconds.
    uint32_t getRate() const { return rate; }
    uint32_t getScale() const { return scale; }
    // The frame count the header claims; the index decides how many there really are.
    uint32_t getHeaderFrameCount() const { return headerFrameCount; }

    const std::vector<IvfFrame>& frames() const { return frameList; }
    int frameCount() const { return static_cast<int>(frameList.size()); }
    // The compressed bytes of frame i (i must be a valid index).
    const uint8_t* frameData(int i) const { return data.data() + frameList[i].offset + FrameHeaderSize; }
    int keyFrameCount() const;
    // The last key frame at or before frame n; -1 when there is none.
    int keyFrameAtOrBefore(int n) const;
    // True when every timestamp is greater than the one before it.
    bool timestampsIncrease() const { return increasing; }

private:
    Status fail(const std::string& message);
    void buildIndex(const std::string& label);

    std::vector<uint8_t> data;
    std::vector<std::string> warnings;
    bool complete = false;

    int version = 0;
    int headerSize = 0;
    std::string fourcc;
    int width = 0;
    int height = 0;
    uint32_t rate = 0;
    uint32_t scale = 0;
    uint32_t headerFrameCount = 0;

    std::vector<IvfFrame> frameList;
    std::vector<int> keyFrames; // ascending frame numbers
    bool increasing = true;
};
