#pragma once

#include "Status.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Effect;
class TrackManager;

// A whole timeline held by a tool: stand-in effects that own the curves, and the
// engine's TrackManager over them. Read from a track directory by the engine's own
// loaders (tools have no production to ask which effects and curves exist, so the names
// come from the stored files: "N.track" is effect N's start/stop track and "N.T.track"
// its curve T; effect names hold no ".", curve names may), or built from a script, and
// written with the engine's own writers.
class TimelineDocument {
public:
    enum Form { Packed, Files };

    TimelineDocument();
    ~TimelineDocument();

    // Loads directory in the given form and its track.properties. Fails with a one-line
    // reason (naming the file) when the data cannot be read or is corrupt.
    // The engine's loader log is kept in loaderLog(), not printed.
    Status load(const std::string& directory, Form form);

    // Writes the timeline in the given form, with its track.properties, and removes the
    // track files (N.track, N.T.track) of an earlier timeline that this one does not
    // write, so the one-file form never picks up effects or curves that are gone. Fails
    // when a file cannot be written or removed.
    Status save(const std::string& directory, Form form);
    // The stale track files the last save removed.
    const std::vector<std::string>& removedFiles() const { return removed; }
    // Runs the engine's start/stop check; a failure's reason is the last line of its
    // report (the offending key and why).
    Status validate() const;

    // Takes over effects (owning the curves) and a timeline built on them.
    void adopt(std::vector<std::unique_ptr<Effect>> effects, std::unique_ptr<TrackManager> manager);

    // Settings of the text form that the engine keeps no field for: track.properties
    // holds them as entries named "timeline.KEY" (no effect name holds a "."), which the
    // engine's reader passes over. The rows per second is always written from the
    // timeline and read back into it; the beat grid is kept when the script gave one.
    struct BeatGrid {
        int32_t milliBpm = 0;    // beats per minute x 1000; 0: no grid
        int32_t rowsPerBeat = 0; // 0: rows per second x 60 / bpm
    };
    BeatGrid beatGrid;
    // Whether the loaded track.properties named the rows per second.
    bool storedRate() const { return rateStored; }

    TrackManager* manager() const { return timeline.get(); }
    const std::string& loaderLog() const { return log; }

    // Effects stand in for a production's instances; they own the curves.
    std::vector<std::unique_ptr<Effect>>& effects() { return effectObjects; }

    // The effect and curve names a list of stored file names describes, in first-seen
    // order; false (with a reason) for a name that is neither form.
    struct Names {
        std::vector<std::string> effects;
        std::vector<std::vector<std::string>> curves; // per effect
    };
    static Status namesFromFiles(const std::vector<std::string>& fileNames, Names& out);

private:
    Status listPacked(const std::string& directory, std::vector<std::string>& fileNames);
    Status listFiles(const std::string& directory, std::vector<std::string>& fileNames);

    void readSettings(const std::string& directory);
    bool writeSettings(const std::string& directory);
    Status removeStale(const std::string& directory, Form form);

    std::vector<std::unique_ptr<Effect>> effectObjects;
    std::unique_ptr<TrackManager> timeline;
    std::string log;
    std::vector<std::string> removed;
    bool rateStored = false;
};

// Joins a directory and a file name with exactly one "/" between them.
std::string joinPath(const std::string& directory, const std::string& name);
