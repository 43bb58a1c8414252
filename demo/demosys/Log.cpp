#include "Log.h"

#include <iostream>

namespace ORVDemosys {

namespace {

// A stream with no buffer: whatever is written to it goes nowhere.
struct NullStream : std::ostream {
    NullStream() : std::ostream(nullptr) {}
};

std::ostream* sink = &std::cout;
Log::Level threshold = Log::Level::Debug;

std::ostream& dropped()
{
    static NullStream stream;
    stream.clear(); // writing to a stream without a buffer sets badbit
    return stream;
}

} // namespace

std::ostream& Log::at(Level level)
{
    if (level < threshold || level == Level::Off)
        return dropped();
    return *sink;
}

void Log::setSink(std::ostream& to) { sink = &to; }
std::ostream& Log::getSink() { return *sink; }
void Log::setThreshold(Level level) { threshold = level; }
Log::Level Log::getThreshold() { return threshold; }

Log::Redirect::Redirect(std::ostream& to, Level level) : previousSink(getSink()), previousThreshold(getThreshold())
{
    setSink(to);
    setThreshold(level);
}

Log::Redirect::~Redirect()
{
    setSink(previousSink);
    setThreshold(previousThreshold);
}

} // namespace ORVDemosys
