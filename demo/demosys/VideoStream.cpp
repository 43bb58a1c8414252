#include "VideoStream.h"

#include <vpx/vp8dx.h>
#include <vpx/vpx_decoder.h>

#include <cmath>

VideoStream::VideoStream(IvfFile file) : ivf(std::move(file)), codec(new vpx_codec_ctx_t()) {}

VideoStream::~VideoStream()
{
    // A decoder that fails to stop at destruction has no one left to tell.
    static_cast<void>(close());
}

std::string VideoStream::decoderError(const std::string& what) const
{
    const char* text = vpx_codec_error(codec.get());
    const char* detail = vpx_codec_error_detail(codec.get());
    return what + "\n" + (text ? text : "") + "\n" + (detail ? detail : "");
}

Status VideoStream::init()
{
    if (ready)
        return Status::success();
    if (vpx_codec_dec_init(codec.get(), vpx_codec_vp8_dx(), nullptr, 0) != VPX_CODEC_OK)
        return Status::failure(decoderError("failed to initialize VPX codec"));
    ready = true;
    picture.assign(static_cast<size_t>(getWidth()) * getHeight() * 3, 0);
    current = -1;
    decoded = -1;
    broken = -1;
    return Status::success();
}

Status VideoStream::close()
{
    if (!ready)
        return Status::success();
    ready = false;
    if (vpx_codec_destroy(codec.get()) != VPX_CODEC_OK)
        return Status::failure(decoderError("failed to destroy codec"));
    return Status::success();
}

Status VideoStream::decode(int i)
{
    ++decodes;
    const IvfFrame& frame = ivf.frames()[i];
    if (vpx_codec_decode(codec.get(), ivf.frameData(i), frame.size, nullptr, 0) != VPX_CODEC_OK)
        return Status::failure(decoderError("failed to decode frame " + std::to_string(i)));
    decoded = i;
    return Status::success();
}

Status VideoStream::convert(int n)
{
    vpx_codec_iter_t iterator = nullptr;
    vpx_image_t* image = vpx_codec_get_frame(codec.get(), &iterator);
    // A frame that is decoded but not shown (an alternate reference) leaves the picture.
    if (!image)
        return Status::success();
    const int width = getWidth(), height = getHeight();
    if (image->fmt != VPX_IMG_FMT_I420)
        return Status::failure("frame " + std::to_string(n) + " is not in I420");
    if (image->d_w != static_cast<unsigned>(width) || image->d_h != static_cast<unsigned>(height))
        return Status::failure("frame " + std::to_string(n) + " is " + std::to_string(image->d_w) + "x" +
                               std::to_string(image->d_h) + ", the header says " + std::to_string(width) + "x" +
                               std::to_string(height));
    // Bottom row first, so the picture is upright for GL.
    uint8_t* out = picture.data();
    for (int j = 0; j < height; ++j) {
        int row = height - 1 - j;
        const uint8_t* y = image->planes[VPX_PLANE_Y] + static_cast<ptrdiff_t>(row) * image->stride[VPX_PLANE_Y];
        const uint8_t* u = image->planes[VPX_PLANE_U] + static_cast<ptrdiff_t>(row / 2) * image->stride[VPX_PLANE_U];
        const uint8_t* v = image->planes[VPX_PLANE_V] + static_cast<ptrdiff_t>(row / 2) * image->stride[VPX_PLANE_V];
        for (int i = 0; i < width; ++i) {
            *out++ = y[i];
            *out++ = u[i / 2];
            *out++ = v[i / 2];
        }
    }
    return Status::success();
}

Status VideoStream::seek(int n)
{
    const int count = getFrameCount();
    if (!ready || count == 0)
        return Status::success();
    n = n < 0 ? 0 : (n >= count ? count - 1 : n);
    if (n == current)
        return Status::success();

    // Continue from where the decoder stands when the target builds on it; otherwise
    // start over at the target's key frame (frame 0 when the file has none before it).
    int key = ivf.keyFrameAtOrBefore(n);
    int start = (decoded >= 0 && decoded < n && key <= decoded) ? decoded + 1 : (key < 0 ? 0 : key);
    if (broken >= start && broken <= n)
        return Status::failure(brokenReason);
    for (int i = start; i <= n; ++i) {
        Status decodedFrame = decode(i);
        if (!decodedFrame) {
            decoded = -1;
            broken = i;
            brokenReason = decodedFrame.reason();
            return decodedFrame;
        }
    }
    Status converted = convert(n);
    if (!converted) {
        broken = n;
        brokenReason = converted.reason();
        return converted;
    }
    current = n;
    return Status::success();
}

int VideoStream::frameAtTime(double seconds) const
{
    const std::vector<IvfFrame>& frames = ivf.frames();
    const int count = static_cast<int>(frames.size());
    if (count == 0)
        return -1;
    double ticks = seconds * ivf.getRate() / ivf.getScale();
    if (!(ticks > 0)) // negative and NaN
        ticks = 0;
    // A float time meant to name a frame's start exactly must not round to the frame
    // before it; floats carry about 7 digits.
    ticks += ticks * 1e-6;

    if (!isTimestampMode() && !ivf.timestampsIncrease())
        return ticks >= count - 1 ? count - 1 : static_cast<int>(ticks);

    // The last frame whose timestamp is at or before ticks (frame 0 when none is).
    int low = 0, high = count; // frames [0, low) are at or before ticks
    while (low < high) {
        int middle = low + (high - low) / 2;
        if (static_cast<double>(frames[middle].timestamp) <= ticks)
            low = middle + 1;
        else
            high = middle;
    }
    return low == 0 ? 0 : low - 1;
}
