#include "EditSession.h"

#include "FBO.h"
#include "Log.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>

using ORVDemosys::Log;

namespace {

// Milliseconds since the file was last modified; -1 when it cannot be told.
long long msSinceModified(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return -1;
    const auto modified = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now() - modified).count();
}

} // namespace

EditSession::EditSession(Timer* timer, const BeatGrid& grid, uint32_t startMs, uint32_t endMs)
    : transport(timer, grid, startMs, endMs)
{
    Status opened = watcher.open();
    if (!opened)
        Log::error() << "Edit : files are not watched (" << opened.reason() << ")" << std::endl;
}

bool EditSession::watchFile(const std::string& path, const std::string& source, Reload reload)
{
    Status watched = watcher.watch(path);
    if (!watched) {
        Log::error() << "Edit : cannot watch " << path << " (" << watched.reason() << ")" << std::endl;
        return false;
    }
    // Watched again for the same source: the newer reload replaces the older one.
    auto range = watches.equal_range(path);
    for (auto it = range.first; it != range.second; ++it)
        if (it->second.source == source) {
            it->second.reload = std::move(reload);
            return true;
        }
    watches.emplace(path, Watch{source, std::move(reload)});
    return true;
}

void EditSession::showErrors(const std::string& source, const std::vector<std::string>& lines)
{
    overlay.setError(source, lines);
}

bool EditSession::handleKey(int key, int action, int mods)
{
    if (transport.handleKey(key, action, mods) == Transport::Action::ToggleOverlay)
        overlay.toggle();
    // Releases and repeats of these keys are theirs too, even when they do nothing.
    return Transport::actionForKey(key, mods) != Transport::Action::None;
}

void EditSession::beforeFrame()
{
    for (const std::string& path : watcher.poll()) {
        const long long sinceSave = msSinceModified(path);
        auto range = watches.equal_range(path);
        for (auto it = range.first; it != range.second; ++it) {
            std::vector<std::string> errors;
            const bool reloaded = it->second.reload && it->second.reload(path, errors);
            // One line per reload, at the level of its outcome, then the errors under it.
            std::ostream& line = reloaded ? Log::info() : Log::error();
            if (reloaded) {
                overlay.clearError(it->second.source);
                line << "Reloaded " << it->second.source << " from " << path;
            } else {
                if (errors.empty())
                    errors.push_back(path + ": reload failed");
                overlay.setError(it->second.source, errors);
                line << "Reload of " << it->second.source << " from " << path << " failed";
            }
            if (sinceSave >= 0)
                line << " (" << sinceSave << " ms after the save)";
            line << std::endl;
            for (const std::string& error : errors)
                line << "  " << error << std::endl;
        }
    }
    transport.update();
    if (frameHook)
        frameHook();
}

void EditSession::afterFrame(const TrackManager* timeline)
{
    // The last effect may have left its framebuffer bound; the overlay goes on the screen.
    FBO::bind(nullptr);
    overlay.draw(transport, timeline);
}
