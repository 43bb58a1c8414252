#include "TimelineSolo.h"

#include "TrackManager.h"

#include <algorithm>

TimelineSolo::TimelineSolo(TrackManager* timeline) : timeline(timeline)
{
    for (int i = 0; i < timeline->getEntryCount(); ++i) {
        EffectTracks* entry = timeline->getEntry(i);
        entry->startStop->getKeys(saved[entry->name]);
    }
}

void TimelineSolo::clear(TrackStartStop* track)
{
    std::vector<StartStopKey> keys;
    track->getKeys(keys);
    for (const StartStopKey& key : keys)
        if (key.isStart())
            track->removeRange(key.row);
}

void TimelineSolo::keepOnly(const std::vector<std::string>& effects)
{
    for (int i = 0; i < timeline->getEntryCount(); ++i) {
        EffectTracks* entry = timeline->getEntry(i);
        if (std::find(effects.begin(), effects.end(), entry->name) == effects.end())
            clear(entry->startStop.get());
    }
}

void TimelineSolo::restore()
{
    for (int i = 0; i < timeline->getEntryCount(); ++i) {
        EffectTracks* entry = timeline->getEntry(i);
        clear(entry->startStop.get());
        for (const StartStopKey& key : saved[entry->name])
            entry->startStop->insertKey(key);
    }
}
