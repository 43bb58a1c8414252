#pragma once

#include "HostClock.h"
#include "NonCopyable.h"

// Drives the engine's host clock by hand while it lives. Times are set in ms with a
// quarter-millisecond offset so that the truncation to whole ms lands on the intended
// value.
class FakeClock : NonCopyable {
public:
    explicit FakeClock(int startMs = 100000) : now(startMs)
    {
        setMs(now);
        HostClock::setSource([this] { return seconds; });
    }
    ~FakeClock() { HostClock::resetSource(); }

    void advanceMs(int ms) { setMs(now += ms); }
    void atMs(int ms) { setMs(now = ms); }

private:
    void setMs(int ms) { seconds = (ms + 0.25) / 1000.0; }
    double seconds = 0.0;
    int now;
};
