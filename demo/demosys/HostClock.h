#pragma once

#include <cstdint>
#include <functional>

// The host's high-resolution time that every clock of the engine is based on. It reads
// GLFW's timer unless another source is installed; tests install a fake source so that
// time moves exactly when they say.
class HostClock {
public:
    using Source = std::function<double()>;

    // Seconds from the current source.
    static double seconds();
    // Whole milliseconds: int(seconds() * 1000.0), truncated toward zero. Values beyond
    // the 32-bit range are clamped rather than converted with undefined behaviour.
    static int32_t milliseconds();

    // Installs a source of seconds; an empty function restores the default.
    static void setSource(Source source);
    // The source now installed, so that a caller that installs its own can put it back.
    static Source getSource();
    // Back to GLFW's timer.
    static void resetSource();
};
