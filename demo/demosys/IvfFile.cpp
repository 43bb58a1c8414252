#include "IvfFile.h"

#include "ResourceFile.h"

#include <algorithm>

namespace {

uint16_t read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t read32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t read64(const uint8_t* p) { return static_cast<uint64_t>(read32(p)) | (static_cast<uint64_t>(read32(p + 4)) << 32); }

std::string printable(const uint8_t* p, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += (p[i] >= 0x20 && p[i] < 0x7f) ? static_cast<char>(p[i]) : '.';
    return s;
}

// A VP8 key frame starts with a 3-byte tag, the start code 9d 01 2a and two 16-bit
// dimensions (14 bits of size, 2 of scaling).
constexpr size_t KeyFrameHeaderSize = 10;

bool keyFrameSize(const uint8_t* p, uint32_t size, int& width, int& height)
{
    if (size < KeyFrameHeaderSize || p[3] != 0x9d || p[4] != 0x01 || p[5] != 0x2a)
        return false;
    width = read16(p + 6) & 0x3fff;
    height = read16(p + 8) & 0x3fff;
    return true;
}

} // namespace

IvfFile::IvfFile(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}

Status IvfFile::fail(const std::string& message)
{
    frameList.clear();
    keyFrames.clear();
    return Status::failure(message);
}

Status IvfFile::parse(const std::string& label)
{
    warnings.clear();
    frameList.clear();
    keyFrames.clear();
    complete = false;

    if (data.size() < 4 || data[0] != 'D' || data[1] != 'K' || data[2] != 'I' || data[3] != 'F')
        return fail(label + " is not in IVF format");
    if (data.size() < static_cast<size_t>(HeaderSize))
        return fail(label + " is too short for an IVF header (" + std::to_string(data.size()) + " bytes)");

    const uint8_t* h = data.data();
    version = read16(h + 4);
    headerSize = read16(h + 6);
    fourcc = printable(h + 8, 4);
    width = read16(h + 12);
    height = read16(h + 14);
    rate = read32(h + 16);
    scale = read32(h + 20);
    headerFrameCount = read32(h + 24);

    if (version != 0)
        return fail(label + " has IVF version " + std::to_string(version) + ", expected 0");
    if (headerSize != HeaderSize)
        return fail(label + " has an IVF header of " + std::to_string(headerSize) + " bytes, expected 32");
    if (fourcc != "VP80")
        return fail(label + " holds '" + fourcc + "' frames, not VP8 ('VP80')");
    if (width < 1 || height < 1 || width > MaxDimension || height > MaxDimension)
        return fail(label + " has an invalid frame size " + std::to_string(width) + "x" + std::to_string(height) +
                    " (1 to 16383 each)");
    if (rate == 0 || scale == 0)
        return fail(label + " has an invalid time base: rate " + std::to_string(rate) + ", scale " +
                    std::to_string(scale));

    buildIndex(label);

    // A header whose size disagrees with the picture would make every frame unusable;
    // say so now rather than at the first decode.
    int keyWidth = 0, keyHeight = 0;
    if (!frameList.empty() && frameList[0].key && keyFrameSize(frameData(0), frameList[0].size, keyWidth, keyHeight) &&
        (keyWidth != width || keyHeight != height))
        return fail(label + " says " + std::to_string(width) + "x" + std::to_string(height) +
                    " but its first key frame is " + std::to_string(keyWidth) + "x" + std::to_string(keyHeight));
    return Status::success();
}

void IvfFile::buildIndex(const std::string& label)
{
    increasing = true;
    uint64_t pos = HeaderSize;
    const uint64_t end = data.size();
    while (pos < end) {
        std::string frameNumber = std::to_string(frameList.size());
        std::string cut = label + " is cut short: frame " + frameNumber;
        std::string kept = "; using " + frameNumber + " frames";
        if (!ResourceFile::fits(1, FrameHeaderSize, end - pos)) {
            warnings.push_back(cut + " has an incomplete header at offset " + std::to_string(pos) + " (" +
                               std::to_string(end - pos) + " of 12 bytes)" + kept);
            return;
        }
        IvfFrame frame;
        frame.offset = pos;
        frame.size = read32(data.data() + pos);
        frame.timestamp = read64(data.data() + pos + 4);
        uint64_t left = end - pos - FrameHeaderSize;
        if (!ResourceFile::fits(frame.size, 1, left)) {
            warnings.push_back(cut + " needs " + std::to_string(frame.size) + " bytes at offset " +
                               std::to_string(pos + FrameHeaderSize) + ", only " + std::to_string(left) +
                               " are left" + kept);
            return;
        }
        // Bit 0 of a VP8 frame's first byte is 0 for a key frame.
        frame.key = frame.size > 0 && (data[pos + FrameHeaderSize] & 1) == 0;
        if (!frameList.empty() && frame.timestamp <= frameList.back().timestamp)
            increasing = false;
        if (frame.key)
            keyFrames.push_back(static_cast<int>(frameList.size()));
        frameList.push_back(frame);
        pos += FrameHeaderSize + static_cast<uint64_t>(frame.size);
    }
    complete = true;
}

int IvfFile::keyFrameCount() const { return static_cast<int>(keyFrames.size()); }

int IvfFile::keyFrameAtOrBefore(int n) const
{
    auto it = std::upper_bound(keyFrames.begin(), keyFrames.end(), n);
    return it == keyFrames.begin() ? -1 : *(it - 1);
}
