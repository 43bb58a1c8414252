#include "FrameProfiler.h"

#include "ORVDemosys.h"

#include <GL/glew.h>

#include <cstdio>

FrameProfiler::Scope::Scope(const char* name) : profiler(ORVDemosys::frameProfiler.get())
{
    if (profiler)
        profiler->begin(name);
}

FrameProfiler::Scope::~Scope()
{
    if (profiler)
        profiler->end();
}

void FrameProfiler::begin(const char* name)
{
    std::string path = open.empty() ? std::string(name) : rows[open.back().row].name + " / " + name;
    auto found = rowByName.find(path);
    size_t row = 0;
    if (found == rowByName.end()) {
        row = rows.size();
        rows.push_back({path, 0.0, 0});
        rowByName.emplace(std::move(path), row);
    } else {
        row = found->second;
    }
    // The work queued before this stretch is not its own.
    glFinish();
    open.push_back({row, std::chrono::steady_clock::now()});
}

void FrameProfiler::end()
{
    if (open.empty())
        return;
    glFinish();
    const Open last = open.back();
    open.pop_back();
    Row& row = rows[last.row];
    row.totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - last.start).count();
    ++row.count;
}

double FrameProfiler::meanMs(const std::string& name) const
{
    auto found = rowByName.find(name);
    return found == rowByName.end() || rows[found->second].count == 0 ? -1.0 : rows[found->second].meanMs();
}

void FrameProfiler::reset()
{
    rows.clear();
    rowByName.clear();
    open.clear();
}

void FrameProfiler::report(std::ostream& out) const
{
    char line[64];
    for (const Row& row : rows) {
        std::snprintf(line, sizeof line, "%9.2f ms %7d x  ", row.meanMs(), row.count);
        out << line << row.name << "\n";
    }
    out.flush();
}
