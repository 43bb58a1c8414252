#include "TrackStartStop.h"

#include <iterator>

namespace {

// Every key of a start/stop track is a StartStopKey: only insertKey() stores keys here.
const StartStopKey& asKey(const std::unique_ptr<TrackKey>& key) { return static_cast<const StartStopKey&>(*key); }

bool isStart(const std::unique_ptr<TrackKey>& key) { return key->type == StartStopKey::Start; }

} // namespace

TrackStartStop::TrackStartStop(int32_t priority) : priority(priority) {}

void TrackStartStop::insertKey(const StartStopKey& key) { putKey(std::make_unique<StartStopKey>(key)); }

void TrackStartStop::getKeys(std::vector<StartStopKey>& out) const
{
    for (const auto& entry : keys)
        out.push_back(asKey(entry.second));
}

bool TrackStartStop::isActive(uint32_t row) const
{
    auto it = keys.lower_bound(row);
    if (it == keys.end())
        return false;
    // A stop key ahead means row is inside its range; a start key only counts on its row.
    return !isStart(it->second) || it->first == row;
}

TrackStartStop::Iterator TrackStartStop::rangeStart(uint32_t row) const
{
    auto it = keys.lower_bound(row);
    if (it == keys.end())
        return keys.end();
    if (isStart(it->second))
        return it->first == row ? it : keys.end();
    if (it == keys.begin())
        return keys.end();
    auto start = std::prev(it);
    return isStart(start->second) ? start : keys.end();
}

FBO* TrackStartStop::getTarget(uint32_t row) const
{
    auto start = rangeStart(row);
    return start == keys.end() ? nullptr : asKey(start->second).targetFbo;
}

uint32_t TrackStartStop::getRangeStartRow(uint32_t row) const
{
    auto start = rangeStart(row);
    return start == keys.end() ? 0 : start->first;
}

Track::KeyRange TrackStartStop::window(uint32_t fromRow, uint32_t toRow) const
{
    if (fromRow > toRow)
        return {keys.end(), keys.end()};
    auto first = keys.lower_bound(fromRow);
    if (first == keys.end())
        return {first, first};
    // A stop key first: the window opens inside a range, so take its start key too.
    if (!isStart(first->second) && first != keys.begin())
        --first;
    auto last = keys.upper_bound(toRow);
    // A stop key next: the last range closes after the window.
    if (last != keys.end() && !isStart(last->second))
        ++last;
    return {first, last};
}

void TrackStartStop::insertPair(const StartStopKey& startKey, const StartStopKey& stopKey)
{
    StartStopKey start = startKey;
    start.type = StartStopKey::Start;
    StartStopKey stop = stopKey;
    stop.type = StartStopKey::Stop;
    // A stop carries no target.
    stop.target = "screen";
    stop.targetFbo = nullptr;
    insertKey(start);
    insertKey(stop);
}

void TrackStartStop::removeRange(uint32_t row)
{
    auto start = rangeStart(row);
    if (start == keys.end())
        return;
    auto stop = std::next(start);
    if (stop != keys.end() && !isStart(stop->second))
        keys.erase(stop);
    keys.erase(start);
}

const StartStopKey* TrackStartStop::getKey(uint32_t row) const
{
    auto it = keys.find(row);
    return it == keys.end() ? nullptr : &asKey(it->second);
}

bool TrackStartStop::isStartKey(uint32_t row) const
{
    auto it = keys.find(row);
    return it != keys.end() && isStart(it->second);
}
