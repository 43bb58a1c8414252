// The IVF reader and its frame index on arbitrary bytes, then the decoder over whatever
// was accepted: seeks forward, backward, past the end and by time. Every indexed frame
// must lie inside the file, the key frame lookup must agree with the index, and nothing
// may be read or written out of bounds.
#include "IvfFile.h"
#include "VideoStream.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    IvfFile ivf(std::vector<uint8_t>(data, data + size));
    Status parsed = ivf.parse("movie");
    if (!parsed) {
        if (parsed.reason().empty() || ivf.frameCount() != 0)
            std::abort();
        return 0;
    }
    int lastKey = -1;
    for (int i = 0; i < ivf.frameCount(); ++i) {
        const IvfFrame& frame = ivf.frames()[i];
        if (frame.offset + IvfFile::FrameHeaderSize + frame.size > size)
            std::abort();
        if (frame.key)
            lastKey = i;
        if (ivf.keyFrameAtOrBefore(i) != lastKey)
            std::abort();
    }
    if (ivf.isComplete() != ivf.getWarnings().empty())
        std::abort();

    // Decoding allocates the whole picture up front; keep the fuzzer to small ones.
    if (static_cast<long>(ivf.getWidth()) * ivf.getHeight() > 256 * 256)
        return 0;
    VideoStream stream(std::move(ivf));
    if (!stream.init())
        return 0;
    const int count = stream.getFrameCount();
    for (int n : {0, 1, count - 1, count / 2, count + 5, -3, 1})
        if (stream.seek(n) && count > 0 && stream.getCurrentFrame() != (n < 0 ? 0 : n >= count ? count - 1 : n))
            std::abort();
    for (double seconds : {0.0, 0.5, 1e9, -1.0}) {
        int frame = stream.frameAtTime(seconds);
        if (frame < -1 || frame >= count || (count > 0 && frame < 0))
            std::abort();
        static_cast<void>(stream.seek(frame));
    }
    if (stream.pixels().size() != static_cast<size_t>(stream.getWidth()) * stream.getHeight() * 3)
        std::abort();
    return 0;
}
