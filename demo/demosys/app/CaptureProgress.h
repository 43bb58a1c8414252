#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// The capture program's progress (CaptureApp): frames done, frames per second and the
// time left, on one line of standard error that redraws itself on a terminal; elsewhere
// (logs) a line every tenth of the way.
class CaptureProgress {
public:
    // what names the work at the start of the line ("capture", "sheet"); total is the
    // number of frames.
    CaptureProgress(std::string what, int64_t total);
    ~CaptureProgress();

    // done of the total frames are finished: drawn at most five times a second on a
    // terminal, once a tenth of the way elsewhere, and always at the last frame.
    void step(int64_t done);
    // Ends the bar's line, so later messages start on their own.
    void close();

private:
    std::string what;
    int64_t total;
    bool terminal = false;
    bool open = false;
    int lastTenth = -1;
    double lastDraw = -1;
    std::chrono::steady_clock::time_point begin;
};
