#pragma once

#include <cstdint>
#include <vector>

class Timer;

// The music's spectrum at fixed steps of music time: stepsPerSecond steps a second,
// step k the spectrum at k * 1000 / stepsPerSecond ms, and the newest `depth` steps up to a time are kept. What an effect builds
// up from the music (a level that jumps up and sinks, a waterfall that scrolls) is
// computed from these steps, never from frame to frame, so it is a function of the time
// alone: the same whatever the frame rate, the pauses or where the run started.
//
// Going forward only the new steps are read; a jump back, or further ahead than the
// window, reads the window again. Steps before the music's start are silence.
class SpectrumHistory {
public:
    // bands 1..8192 (the timer's limit), stepsPerSecond 1..1000, depth >= 1.
    SpectrumHistory(int bands, int stepsPerSecond, int depth);

    // Brings the newest step to the last one at or before timeMs, read from timer (mode 3: the
    // mean of both sides); silence without a timer. Negative and non-finite values read
    // as 0, so nothing odd travels into light radii and matrices.
    void update(Timer* timer, uint32_t timeMs);
    // Forgets every step (the next update reads the whole window).
    void clear();

    int64_t getNewestStep() const { return newest; }
    // The bands values of step getNewestStep() - age; age is 0..depth-1.
    const float* getStep(int age) const;

    int getBands() const { return bands; }
    int getDepth() const { return depth; }
    int getStepsPerSecond() const { return stepsPerSecond; }

private:
    void readStep(Timer* timer, int64_t step);

    int bands;
    int stepsPerSecond;
    int depth;
    std::vector<float> ring; // depth rows of bands values; step k in row k mod depth
    int64_t newest = -1;
    bool filled = false;
    const Timer* source = nullptr;
};
