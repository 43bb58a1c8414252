#pragma once

#include "IvfFile.h"
#include "Status.h"

#include <memory>
#include <string>
#include <vector>

struct vpx_codec_ctx;

// Decodes the frames of one IVF file with the VP8 decoder and keeps the last picture as
// bytes, ready for a texture: width x height texels of three bytes (Y, U, V; the
// sampling shader turns them into RGB), bottom row first as GL expects. Needs no GL, so
// tools can check a file without a window.
//
// VP8 inter frames build on the frames before them back to the last key frame, so a
// jump decodes from the nearest key frame at or before the target; stepping forward
// decodes one frame. Messages are kept, not printed.
class VideoStream {
public:
    explicit VideoStream(IvfFile file);
    ~VideoStream();
    VideoStream(const VideoStream&) = delete;
    VideoStream& operator=(const VideoStream&) = delete;

    // Starts the decoder; a failure carries the decoder's texts.
    Status init();
    // Stops the decoder; a failure carries its texts.
    Status close();
    bool isReady() const { return ready; }

    const IvfFile& file() const { return ivf; }
    int getWidth() const { return ivf.getWidth(); }
    int getHeight() const { return ivf.getHeight(); }
    int getFrameCount() const { return ivf.frameCount(); }

    // Makes frame n the picture, n clamped to the frames there are (a negative n is
    // frame 0); getCurrentFrame() tells whether the picture changed. On failure the
    // previous picture stays. A target that needs a frame that already failed is not
    // decoded again (it would fail the same way): it fails at once with the first
    // failure's reason and no decoding (getDecodeCount() stays).
    Status seek(int n);
    // The frame whose picture pixels() holds; -1 before the first.
    int getCurrentFrame() const { return current; }
    const std::vector<uint8_t>& pixels() const { return picture; }

    // With a header frame count below 2 the timestamps choose the frame; otherwise the
    // file is taken to run at a constant frame rate.
    bool isTimestampMode() const { return ivf.getHeaderFrameCount() < 2; }
    // The frame to show at a time in seconds: the last frame whose timestamp is at or
    // before seconds x rate / scale, in time-base ticks. A file in frame-rate mode whose
    // timestamps do not increase counts one tick per frame instead. -1 without frames.
    int frameAtTime(double seconds) const;

    // Frames handed to the decoder so far (what a seek costs).
    int getDecodeCount() const { return decodes; }

private:
    Status decode(int i);
    Status convert(int n);
    std::string decoderError(const std::string& what) const;

    IvfFile ivf;
    std::unique_ptr<vpx_codec_ctx> codec;
    bool ready = false;
    std::vector<uint8_t> picture;
    int current = -1;
    int decoded = -1; // the frame the decoder's state stands at; -1 when unknown
    int broken = -1;  // the last frame that failed to decode from a clean start
    int decodes = 0;
    std::string brokenReason; // why frame `broken` failed
};
