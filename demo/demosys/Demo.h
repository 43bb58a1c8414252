#pragma once

#include "NonCopyable.h"
#include "Status.h"

#include <memory>
#include <string>

class ScreenMetrics;

// The engine's front object: brings up the window and GL, drives the loading stages,
// runs the frame loop, and (through ORVDemosys::shutdown) releases everything in order.
class Demo : NonCopyable {
public:
    Demo(int argc = 0, char** argv = nullptr);
    ~Demo();

    void setTitle(const std::string& t) { title = t; }
    // Loads onto an offscreen context (no window, no display needed) for offline
    // rendering; run() has no window to show frames in then. Set before load().
    void setOffscreen(bool on) { offscreen = on; }
    const std::string& getTitle() const { return title; }
    // mode selects where resources come from: 0 loose files, 1 the archive. A failure
    // carries the stage's reason, which shutdown prints again.
    Status load(ScreenMetrics* metrics, int mode);
    // Installs the input callback (keys and mouse buttons); nothing after a failed load.
    void setCallbacks();
    // The frame loop until Escape or the end position, then the run's statistics.
    void run();

    bool hasFailed() const { return failed; }
    // The failed stage's reason; empty when the stage has logged it itself.
    const std::string& getMessage() const { return message; }
    // What the window layer said when no screen opened; empty otherwise.
    const std::string& getScreenMessage() const { return screenMessage; }

    // The demo constructed last (null once it is destroyed).
    static Demo* current();

private:
    Status fail(const Status& failure);

    std::string message;
    std::string screenMessage;
    bool loaded = false;
    std::string title = "Orvane Demosystem 3.0";
    bool failed = false;
    bool offscreen = false;
};

namespace ORVDemosys {
// Prints the failure texts of a failed load, frees the engine's objects and closes the
// window. Always true.
bool shutdown();
} // namespace ORVDemosys
