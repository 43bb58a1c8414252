#include "SpectrumHistory.h"

#include "Assert.h"
#include "Timer.h"

#include <algorithm>
#include <cmath>

SpectrumHistory::SpectrumHistory(int bands, int stepsPerSecond, int depth)
    : bands(bands), stepsPerSecond(stepsPerSecond), depth(depth),
      ring(size_t(std::max(bands, 1)) * size_t(std::max(depth, 1)), 0.0f)
{
    ORV_ASSERT(bands >= 1 && bands <= 8192 && stepsPerSecond >= 1 && stepsPerSecond <= 1000 && depth >= 1);
}

void SpectrumHistory::clear()
{
    filled = false;
    newest = -1;
}

void SpectrumHistory::update(Timer* timer, uint32_t timeMs)
{
    // Whole numbers: a time on a step is that step, never the one before.
    const int64_t target = int64_t(timeMs) * stepsPerSecond / 1000;
    // Another clock may read other music: start over.
    if (timer != source) {
        source = timer;
        filled = false;
    }
    int64_t from = target - depth + 1;
    if (filled && target >= newest && target - newest < depth)
        from = newest + 1;
    for (int64_t step = from; step <= target; ++step)
        readStep(timer, step);
    newest = target;
    filled = true;
}

void SpectrumHistory::readStep(Timer* timer, int64_t step)
{
    const size_t row = size_t(((step % depth) + depth) % depth);
    float* out = ring.data() + row * size_t(bands);
    std::fill(out, out + bands, 0.0f);
    if (!timer || step < 0)
        return;
    timer->getSpectrumAt(double(step) * 1000.0 / stepsPerSecond, 3, bands, out);
    for (int i = 0; i < bands; ++i)
        if (!std::isfinite(out[i]) || out[i] < 0.0f)
            out[i] = 0.0f;
}

const float* SpectrumHistory::getStep(int age) const
{
    ORV_ASSERT(age >= 0 && age < depth);
    const int64_t step = newest - age;
    const size_t row = size_t(((step % depth) + depth) % depth);
    return ring.data() + row * size_t(bands);
}
