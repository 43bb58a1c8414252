#pragma once

#include "NonCopyable.h"
#include "Status.h"

#include <GL/glew.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Renders a loaded production frame by frame into an image of its own size instead of
// the window. The timeline runs on a plain timer whose clock the renderer moves by a
// fixed frame interval, so frame k is drawn at start + k * 1000 / fps ms (whole ms) and
// every effect sees the times and deltas of a real run at exactly that frame rate: two
// renders of the same range give the same pixels. A production with music renders on a
// music timer that plays nothing but stands at each frame's time, so the spectrum the
// effects read is the music's at that time. The end position does not stop the render.
//
// Everything the effects draw to the screen goes to the renderer's framebuffer, with the
// letterbox viewport a window of that size would have.
class OfflineRenderer : NonCopyable {
public:
    struct Frame {
        int index;
        int timeMs;
        int width;
        int height;
        // RGBA bytes, bottom row first.
        const std::vector<uint8_t>& pixels;
    };
    // Returns false to stop the render after this frame.
    using Sink = std::function<bool(const Frame&)>;

    // Needs a current GL context.
    OfflineRenderer(int width, int height);
    ~OfflineRenderer();

    // Fails when nothing is loaded, the arguments are out of range or the framebuffer
    // cannot be made; the engine's timer, screen settings and clock are as before
    // afterwards.
    Status render(int startMs, int framesPerSecond, int frameCount, const Sink& sink);
    // Frame k drawn at timesMs[k], in any order, repeats (a pause) and jumps (a seek)
    // included, as a viewer moving the transport would see them; every time at or after
    // 0 ms. Fails as render() does.
    Status renderTimes(const std::vector<int>& timesMs, const Sink& sink);

    int getWidth() const { return width; }
    int getHeight() const { return height; }

private:
    Status makeTarget();
    // Sets the host clock (ms since the render began) for frame k.
    using Clocking = std::function<void(int k, int64_t& hostMs)>;
    Status run(int startMs, int frameCount, const Clocking& clocking, const Sink& sink);

    int width;
    int height;
    GLuint framebuffer = 0;
    GLuint colorBuffer = 0;
    GLuint depthBuffer = 0;
};
