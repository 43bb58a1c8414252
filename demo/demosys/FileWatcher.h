#pragma once

#include "NonCopyable.h"
#include "Status.h"

#include <map>
#include <set>
#include <string>
#include <vector>

// Reports which of a set of files have new contents, for reloading them while the demo
// runs. It watches the files' directories with inotify rather than the files: editors
// commonly save by writing a temporary file and renaming it over the original, which
// leaves a watch on the original file watching a file that is gone.
//
// A file counts as changed when a writer closes it (a write in place, a new file) or
// when another file is renamed onto its name. A deletion alone is no change: the file
// has no new contents yet, and the one written in its place will be reported. Polling
// never blocks; call poll() once a frame.
class FileWatcher : NonCopyable {
public:
    FileWatcher();
    ~FileWatcher();

    // Starts watching; fails when inotify is not available.
    Status open();
    bool isValid() const { return fd >= 0; }

    // Watches path (relative paths are taken from the working directory). Its
    // directory must exist; the file itself need not. Watching a path twice is harmless.
    Status watch(const std::string& path);
    bool isWatched(const std::string& path) const;
    // Stops watching every path.
    void clear();

    // The watched paths, as given to watch(), that changed since the last poll, each
    // once and in sorted order; empty when nothing changed.
    std::vector<std::string> poll();

private:
    struct Directory {
        std::string path;
        // File name in the directory -> the watched paths that name it.
        std::map<std::string, std::set<std::string>> files;
    };

    int fd = -1;
    std::map<int, Directory> directories; // by watch descriptor
    std::set<std::string> watched;
};
