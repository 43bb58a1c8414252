#include "TrackInterpolate.h"

#include "Assert.h"
#include "TrackManager.h"

#include <cmath>
#include <iterator>

namespace {

constexpr double pi = 3.141592653589793;

// Every key of a curve is an InterpolateKey: only insertKey() stores keys here.
const InterpolateKey& asKey(const std::unique_ptr<TrackKey>& key) { return static_cast<const InterpolateKey&>(*key); }

} // namespace

TrackInterpolate::TrackInterpolate(const std::string& name) : name(name) {}

float TrackInterpolate::getValue(uint32_t timeMs) const { return getValue(timeMs, TrackManager::timelineRowsPerSecond()); }

float TrackInterpolate::getValue(uint32_t timeMs, int32_t rowsPerSecond) const
{
    ORV_ASSERT(rowsPerSecond > 0);
    if (keys.empty())
        return 0.0f;

    // The row wraps like the timer's unsigned row arithmetic does.
    const uint32_t row = timeMs * static_cast<uint32_t>(rowsPerSecond) / 1000u;

    if (keys.size() == 1) {
        const InterpolateKey& only = asKey(keys.begin()->second);
        return row >= only.row ? only.value : 0.0f;
    }

    auto next = keys.upper_bound(row);
    if (next == keys.begin())
        return 0.0f;
    if (next == keys.end())
        return asKey(std::prev(next)->second).value;

    const InterpolateKey& later = asKey(next->second);
    const InterpolateKey& earlier = asKey(std::prev(next)->second);
    if (earlier.type == InterpolateKey::Hold)
        return earlier.value;

    // The fractional row places the time inside the segment.
    const float x = static_cast<float>(timeMs / (1000.0 / rowsPerSecond));
    float c = (x - static_cast<float>(earlier.row)) / static_cast<float>(later.row - earlier.row);
    // Only a wrapped row (days into the clock) can leave the segment; never extrapolate.
    if (c < 0.0f)
        c = 0.0f;
    else if (c > 1.0f)
        c = 1.0f;

    float w;
    switch (earlier.type) {
    case InterpolateKey::SineOut: w = static_cast<float>(std::cos((1.0 - static_cast<double>(c)) * pi * 0.5)); break;
    case InterpolateKey::CosineIn: w = 1.0f - static_cast<float>(std::cos(static_cast<double>(c) * pi * 0.5)); break;
    case InterpolateKey::Quadratic: w = c * c; break;
    case InterpolateKey::Smooth: w = c * c * (3.0f - 2.0f * c); break;
    default: w = c; break;
    }
    return earlier.value + (later.value - earlier.value) * w;
}

void TrackInterpolate::insertKey(const InterpolateKey& key) { putKey(std::make_unique<InterpolateKey>(key)); }

void TrackInterpolate::getKeys(std::vector<InterpolateKey>& out) const
{
    for (const auto& entry : keys)
        out.push_back(asKey(entry.second));
}

Track::KeyRange TrackInterpolate::window(uint32_t fromRow, uint32_t toRow) const
{
    if (fromRow > toRow)
        return {keys.end(), keys.end()};
    auto first = keys.lower_bound(fromRow);
    // The earlier key of the segment that the window opens in.
    if (first != keys.begin() && first != keys.end() && first->first != fromRow)
        --first;
    auto last = keys.upper_bound(toRow);
    // The later key of the segment that the window closes in.
    if (last != keys.end())
        ++last;
    return {first, last};
}

void TrackInterpolate::removeKey(uint32_t row)
{
    auto it = keys.find(row);
    if (it != keys.end()) {
        keys.erase(it);
        return;
    }
    auto later = keys.upper_bound(row);
    if (later != keys.end() && later != keys.begin())
        keys.erase(std::prev(later));
}
