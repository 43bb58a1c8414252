#include "Timer.h"

#include "HostClock.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {
constexpr uint32_t freeRunningLengthMs = 600000;
}

Timer::Timer(uint32_t rate) : rate(std::min(std::max(rate, minRate), maxRate)) {}

Timer::~Timer() = default;

bool Timer::init()
{
    lengthMs = freeRunningLengthMs;
    lengthRows = rowsForLength(lengthMs);
    base = pauseTime = lastTime = HostClock::milliseconds();
    return true;
}

bool Timer::shutdown() { return true; }

void Timer::pause()
{
    paused = true;
    pauseTime = HostClock::milliseconds();
}

void Timer::play()
{
    // Read while still paused, so the clock resumes where it stood.
    int t = getTimeMs();
    paused = false;
    lastTime = t;
    base = HostClock::milliseconds() - t;
}

int Timer::getTimeMs()
{
    if (paused)
        return pauseTime - base;
    return HostClock::milliseconds() - base;
}

// The row conversions widen to 64 bits so that long times at high rates do not wrap;
// every result fits 32 bits again. A clock before 0 (a seek to a negative time) is row 0
// rather than a wrapped, huge row.
uint32_t Timer::getRow()
{
    int t = getTimeMs();
    if (t <= 0)
        return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(t) * rate / 1000u);
}

uint32_t Timer::getRowTimeMs() { return static_cast<uint32_t>(static_cast<uint64_t>(getRow()) * 1000u / rate); }

void Timer::setRow(uint32_t row)
{
    uint64_t ms = static_cast<uint64_t>(row) * 1000u / rate;
    setTimeMs(static_cast<int>(std::min<uint64_t>(ms, std::numeric_limits<int32_t>::max())));
}

void Timer::setTimeMs(int ms)
{
    int32_t now = HostClock::milliseconds();
    lastTime = ms;
    pauseTime = now;
    base = now - ms;
}

bool Timer::isPaused() { return paused; }
uint32_t Timer::getLengthMs() { return lengthMs; }
uint32_t Timer::getLengthRows() { return lengthRows; }

int Timer::getDeltaMs(int currentMs)
{
    if (paused)
        return 0;
    int delta = currentMs - lastTime;
    lastTime = currentMs;
    return delta;
}

void Timer::update() {}

std::string Timer::getMessage() { return message; }

void Timer::getSpectrum(int mode, int count, float* out) { getSpectrumAt(getTimeMs(), mode, count, out); }

void Timer::getSpectrumAt(double timeMs, int /*mode*/, int count, float* out)
{
    // A hash of the millisecond and the band: values 1/1 .. 1/9999 (the divisor never
    // reaches 0), the same at the same time.
    const uint64_t ms = static_cast<uint64_t>(static_cast<int64_t>(std::floor(timeMs)));
    for (int i = 0; i < count; ++i) {
        uint64_t h = ms * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(i) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
        h *= 0x94D049BB133111EBull;
        h ^= h >> 29;
        out[i] = static_cast<float>(1.0 / (1 + h % 9999));
    }
}

uint32_t Timer::rowsForLength(uint32_t ms) const
{
    // Same conversion as getRow, so the last row of the piece is the row at its end.
    return static_cast<uint32_t>(static_cast<uint64_t>(ms) * rate / 1000u);
}
