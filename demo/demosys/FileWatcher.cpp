#include "FileWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t contentEvents = IN_CLOSE_WRITE | IN_MOVED_TO;

// The directory part and the file name of path; "." for a bare name.
void splitPath(const std::string& path, std::string& directory, std::string& name)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        directory = ".";
        name = path;
    } else {
        directory = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

} // namespace

FileWatcher::FileWatcher() = default;

Status FileWatcher::open()
{
    if (fd >= 0)
        return Status::success();
    fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return Status::failure(std::string("inotify: ") + std::strerror(errno));
    return Status::success();
}

FileWatcher::~FileWatcher()
{
    if (fd >= 0)
        close(fd);
}

Status FileWatcher::watch(const std::string& path)
{
    if (fd < 0)
        return Status::failure("the watcher is not open");
    std::string directory, name;
    splitPath(path, directory, name);
    if (name.empty() || name == "." || name == "..")
        return Status::failure("'" + path + "' names no file");
    // One watch per directory however it is spelt: inotify gives the same descriptor
    // for the same directory, and that is the key.
    char resolved[PATH_MAX];
    if (!realpath(directory.c_str(), resolved))
        return Status::failure("'" + directory + "': " + std::strerror(errno));
    const int wd = inotify_add_watch(fd, resolved, contentEvents | IN_ONLYDIR);
    if (wd < 0)
        return Status::failure("'" + directory + "': " + std::strerror(errno));
    Directory& d = directories[wd];
    d.path = resolved;
    d.files[name].insert(path);
    watched.insert(path);
    return Status::success();
}

bool FileWatcher::isWatched(const std::string& path) const { return watched.count(path) != 0; }

void FileWatcher::clear()
{
    for (const auto& d : directories)
        inotify_rm_watch(fd, d.first);
    directories.clear();
    watched.clear();
    // Events already queued for the old watches are read and dropped.
    poll();
}

std::vector<std::string> FileWatcher::poll()
{
    std::set<std::string> changed;
    if (fd < 0)
        return {};
    alignas(struct inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t length = read(fd, buffer, sizeof buffer);
        if (length <= 0)
            break; // EAGAIN: nothing more queued
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: any file may have changed.
                changed.insert(watched.begin(), watched.end());
                continue;
            }
            if (!(event->mask & contentEvents) || event->len == 0)
                continue;
            const auto d = directories.find(event->wd);
            if (d == directories.end())
                continue;
            const auto file = d->second.files.find(event->name);
            if (file != d->second.files.end())
                changed.insert(file->second.begin(), file->second.end());
        }
    }
    return std::vector<std::string>(changed.begin(), changed.end());
}
