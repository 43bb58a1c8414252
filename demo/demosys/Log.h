#pragma once

#include <ostream>
#include <sstream>
#include <string>

namespace ORVDemosys {

// The engine's log: every line the engine prints goes through here, to one sink (standard
// output unless a program or test names another). Lines are written as they always were,
// plain text with no prefix, so what a user reads does not depend on the level; the level
// only decides whether a line is written at all.
class Log {
public:
    enum class Level { Debug, Info, Warning, Error, Off };

    // The stream for one line of that level: the sink, or a stream that drops the line
    // when the level is below the threshold.
    static std::ostream& at(Level level);
    static std::ostream& debug() { return at(Level::Debug); }
    static std::ostream& info() { return at(Level::Info); }
    static std::ostream& warning() { return at(Level::Warning); }
    static std::ostream& error() { return at(Level::Error); }

    // Where lines go (standard output by default); the sink must outlive its use.
    static void setSink(std::ostream& sink);
    static std::ostream& getSink();
    // Lines below this level are dropped (Debug: all are written; Off: none).
    static void setThreshold(Level level);
    static Level getThreshold();

    // Sends the log elsewhere for the lifetime of the object, then restores the sink and
    // threshold it found.
    class Redirect {
    public:
        explicit Redirect(std::ostream& sink, Level threshold = Level::Debug);
        ~Redirect();
        Redirect(const Redirect&) = delete;
        Redirect& operator=(const Redirect&) = delete;

    private:
        std::ostream& previousSink;
        Level previousThreshold;
    };

    // Collects the log into a string for the lifetime of the object.
    class Capture {
    public:
        Capture() : redirect(text) {}
        std::string str() const { return text.str(); }

    private:
        std::ostringstream text;
        Redirect redirect;
    };

    // Drops every line for the lifetime of the object.
    class Silence {
    public:
        Silence() : redirect(getSink(), Level::Off) {}

    private:
        Redirect redirect;
    };
};

} // namespace ORVDemosys
