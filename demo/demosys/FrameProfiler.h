#pragma once

#include <chrono>
#include <map>
#include <ostream>
#include <string>
#include <vector>

// Where a frame's time goes: the timeline times each effect's draw, the deferred
// renderer its geometry and light passes, nested under the effect ("scene_2_effect /
// lights"). Each stretch finishes the GL queue at its start and end, so its time is the
// time GL took for it; that serialises the frame, so a profiled frame is slower than an
// unprofiled one. Installed by the programs that report it (the capture tool's --profile,
// the benchmarks) as ORVDemosys::frameProfiler; without one, a Scope costs a pointer test.
class FrameProfiler {
public:
    struct Row {
        std::string name;
        double totalMs = 0.0;
        int count = 0;
        double meanMs() const { return count > 0 ? totalMs / count : 0.0; }
    };

    // Times its lifetime under name when a profiler is installed; name must outlive it.
    class Scope {
    public:
        explicit Scope(const char* name);
        explicit Scope(const std::string& name) : Scope(name.c_str()) {}
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        FrameProfiler* profiler;
    };

    void begin(const char* name);
    void end();
    // Every stretch timed so far, in the order each was first seen.
    const std::vector<Row>& getRows() const { return rows; }
    // The mean of one stretch by its full name; negative when it never ran.
    double meanMs(const std::string& name) const;
    void reset();
    // One line per stretch: mean ms, the number of times it ran, its name.
    void report(std::ostream& out) const;

private:
    struct Open {
        size_t row;
        std::chrono::steady_clock::time_point start;
    };
    std::vector<Row> rows;
    std::map<std::string, size_t> rowByName;
    std::vector<Open> open;
};
