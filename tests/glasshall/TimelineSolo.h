#pragma once

#include "TrackStartStop.h"

#include <map>
#include <string>
#include <vector>

class TrackManager;

// Lets a loaded timeline play only some of its effects: keepOnly empties every other
// effect's start/stop track, restore puts every range back as it was loaded.
class TimelineSolo {
public:
    explicit TimelineSolo(TrackManager* timeline);

    void keepOnly(const std::vector<std::string>& effects);
    void restore();

private:
    static void clear(TrackStartStop* track);

    TrackManager* timeline;
    std::map<std::string, std::vector<StartStopKey>> saved;
};
