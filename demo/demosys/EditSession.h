#pragma once

#include "EditOverlay.h"
#include "FileWatcher.h"
#include "Transport.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

class Timer;
class TrackManager;

// Live editing in one object for a program's frame loop: the transport on the demo
// clock, the overlay and the files being edited. A program installs it with three
// calls: handleKey() from its key callback, beforeFrame() after the timer's update and
// before the frame reads the time, afterFrame() once the timeline has drawn, before the
// buffers are swapped (it binds the screen and draws the overlay there).
//
// Each watched file names a source (the sync script, a shader program) and a reload
// function. When the file is saved, the function runs; error lines it returns show on
// the overlay under the source until one of its files reloads without errors. A file
// that several sources are built from (a shared shader include) reloads each of them.
class EditSession {
public:
    // Rebuilds what the file is part of; false with the lines to show on failure.
    using Reload = std::function<bool(const std::string& path, std::vector<std::string>& errors)>;

    // timer is not owned. Needs the GL context of the frame loop (the overlay draws).
    EditSession(Timer* timer, const BeatGrid& grid, uint32_t startMs, uint32_t endMs);

    // False (with the reason on standard output) when the file's directory cannot be
    // watched. A path watched again for the same source keeps only the newer reload.
    bool watchFile(const std::string& path, const std::string& source, Reload reload);
    // Shows errors under a source now (a load that failed before the session began).
    void showErrors(const std::string& source, const std::vector<std::string>& lines);

    // A GLFW key event: the transport's keys, and Tab to show or hide the overlay. True
    // when the key was one of them.
    bool handleKey(int key, int action, int mods);

    void beforeFrame();
    // Runs at the end of each beforeFrame(), after the transport's update: work a
    // program does once a frame while editing (a link to an editor).
    void setFrameHook(std::function<void()> hook) { frameHook = std::move(hook); }
    void afterFrame(const TrackManager* timeline);

    Transport& getTransport() { return transport; }
    EditOverlay& getOverlay() { return overlay; }

private:
    struct Watch {
        std::string source;
        Reload reload;
    };

    Transport transport;
    EditOverlay overlay;
    FileWatcher watcher;
    std::multimap<std::string, Watch> watches; // by path
    std::function<void()> frameHook;
};
