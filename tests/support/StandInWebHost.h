#pragma once

#include "WebApi.h"

// A sync script for the API's tests: two effects, one curve, a start into a framebuffer.
inline const char* const standInWebScript = R"(rate 20
bpm 120

effect fade priority 0
  start 0
  stop 200 # the end
  curve level
    0 0
    bar 2 1 smooth   # the first rise

effect post priority 1
  start 40 post_fbo
  stop 300
)";

// The running program's side of the web API without a program: a transport that only
// remembers, no music, and the drawn values read from nowhere.
class StandInWebHost : public WebApi::Host {
public:
    uint32_t row = 0;
    bool playing = true;
    bool looping = false;
    uint32_t loopFirst = 0, loopLast = 0;
    int applied = 0;

    uint32_t currentRow() const override { return row; }
    bool isPlaying() const override { return playing; }
    bool loopRows(uint32_t& first, uint32_t& last) const override
    {
        first = loopFirst;
        last = loopLast;
        return looping;
    }
    void seek(uint32_t r) override { row = r; }
    void setPaused(bool paused) override { playing = !paused; }
    void setLoop(uint32_t first, uint32_t last) override
    {
        looping = true;
        loopFirst = first;
        loopLast = last;
    }
    void clearLoop() override { looping = false; }
    uint32_t startMs() const override { return 0; }
    uint32_t endMs() const override { return 16000; }
    void waveform(uint32_t width, std::vector<float>& low, std::vector<float>& high) override
    {
        low.assign(width, -0.5f);
        high.assign(width, 0.5f);
    }
    bool drawnValue(const std::string&, const std::string&, uint32_t, float&) override { return false; }
    void applyEdit() override { ++applied; }
};
