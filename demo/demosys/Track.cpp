#include "Track.h"

#include "Log.h"

#include <iterator>

using ORVDemosys::Log;

TrackKey::~TrackKey() = default;

Track::~Track() = default;

void Track::collectKeys(uint32_t fromRow, uint32_t toRow, std::vector<const TrackKey*>& out) const
{
    const KeyRange range = window(fromRow, toRow);
    for (auto it = range.first; it != range.second; ++it)
        out.push_back(it->second.get());
}

bool Track::validate() const
{
    bool expectStart = true;
    for (const auto& entry : keys) {
        const TrackKey& key = *entry.second;
        const bool ok = expectStart ? key.type == 1 : key.type == 0;
        if (!ok) {
            Log::error() << "--> row = " << entry.first << ", row=" << key.row << ", type = " << key.type << std::endl;
            if (expectStart)
                Log::error() << "--> PREVIOUS LINE IS CORRUPT BECAUSE IT'S NOT TAGGED AS A START KEYFRAME!"
                             << std::endl;
            else
                Log::error() << "--> PREVIOUS LINE IS CORRUPT BECAUSE IT'S NOT TAGGED AS A STOP KEYFRAME!" << std::endl;
            return false;
        }
        expectStart = !expectStart;
    }
    return true;
}

uint32_t Track::previousKeyRow(uint32_t row) const
{
    auto it = keys.lower_bound(row);
    if (it == keys.begin())
        return noRow;
    return std::prev(it)->first;
}

uint32_t Track::nextKeyRow(uint32_t row) const
{
    auto it = keys.upper_bound(row);
    return it == keys.end() ? noRow : it->first;
}

void Track::moveKey(uint32_t fromRow, uint32_t toRow)
{
    if (fromRow == toRow)
        return;
    auto it = keys.find(fromRow);
    if (it == keys.end())
        return;
    std::unique_ptr<TrackKey> key = std::move(it->second);
    keys.erase(it);
    key->row = toRow;
    putKey(std::move(key));
    Log::info() << "Moved row from " << fromRow << " to " << toRow << std::endl;
}

void Track::putKey(std::unique_ptr<TrackKey> key)
{
    const uint32_t row = key->row;
    keys[row] = std::move(key);
}
