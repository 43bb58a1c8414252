#include "HostClock.h"

#include <GLFW/glfw3.h>

#include <cmath>
#include <limits>
#include <utility>

namespace {

double glfwSeconds() { return glfwGetTime(); }

// Function-local so that timers created during static initialisation still find it.
HostClock::Source& currentSource()
{
    static HostClock::Source source = glfwSeconds;
    return source;
}

} // namespace

double HostClock::seconds() { return currentSource()(); }

int32_t HostClock::milliseconds()
{
    double ms = seconds() * 1000.0;
    if (std::isnan(ms))
        return 0;
    if (ms >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (ms <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(ms);
}

void HostClock::setSource(Source source)
{
    if (source)
        currentSource() = std::move(source);
    else
        resetSource();
}

void HostClock::resetSource() { currentSource() = glfwSeconds; }

HostClock::Source HostClock::getSource() { return currentSource(); }
