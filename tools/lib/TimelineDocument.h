#pragma once

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

    // Loads directory in the given form and its track.properties. False with a one-line
    // reason in error() (naming the file) when the data cannot be read or is corrupt.
    // The engine's loader log is kept in loaderLog(), not printed.
    bool load(const std::string& directory, Form form);

    // Writes the timeline in the given form, with its track.properties. False with a
    // reason in error() when a file cannot be written.
    bool save(const std::string& directory, Form form);
    // Runs the engine's start/stop check; on failure reason holds the last line of its
    // report (the offending key and why).
    bool validate(std::string& reason) const;

    // Takes over effects (owning the curves) and a timeline built on them.
    void adopt(std::vector<std::unique_ptr<Effect>> effects, std::unique_ptr<TrackManager> manager);

    TrackManager* manager() const { return timeline.get(); }
    const std::string& error() const { return message; }
    const std::string& loaderLog() const { return log; }

    // Effects stand in for a production's instances; they own the curves.
    std::vector<std::unique_ptr<Effect>>& effects() { return effectObjects; }

    // The effect and curve names a list of stored file names describes, in first-seen
    // order; false (with a reason) for a name that is neither form.
    struct Names {
        std::vector<std::string> effects;
        std::vector<std::vector<std::string>> curves; // per effect
    };
    static bool namesFromFiles(const std::vector<std::string>& fileNames, Names& out, std::string& error);

private:
    bool listPacked(const std::string& directory, std::vector<std::string>& fileNames);
    bool listFiles(const std::string& directory, std::vector<std::string>& fileNames);

    std::vector<std::unique_ptr<Effect>> effectObjects;
    std::unique_ptr<TrackManager> timeline;
    std::string message;
    std::string log;
};

// Joins a directory and a file name with exactly one "/" between them.
std::string joinPath(const std::string& directory, const std::string& name);
