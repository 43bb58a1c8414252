#pragma once

#include "Status.h"
#include "TrackManager.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct InterpolateKey;
class ResourceFile;
class TrackInterpolate;
class TrackStartStop;

// The track files of one directory and their binary format: the packed pair index.list
// (names and offsets) and track.data (the bodies), or one file per track (N.track for
// an effect's start/stop track, N.T.track for its curve T). Every count and length is
// checked against the bytes that are left before anything is read or allocated; a
// corrupt file gives a line naming the file and what is wrong.
class TrackStorage {
public:
    // Smallest encoding of an index or properties entry: the zero byte of an empty name,
    // then an int32.
    static constexpr uint64_t minNamedEntryBytes = 5;

    TrackStorage(const std::string& directory, bool packed);
    ~TrackStorage();
    TrackStorage(const TrackStorage&) = delete;
    TrackStorage& operator=(const TrackStorage&) = delete;

    // Packed: reads and checks index.list (a missing one is no error: no effect then has
    // track data) and fails when the index is unusable; loose: nothing to do, each file
    // is opened when asked.
    Status prepare();

    // A reader positioned at the start of the body of fileName, or null when it has none.
    // A packed body may run to the end of track.data, never beyond. Valid until the next
    // open.
    ResourceFile* open(const std::string& fileName);
    // The corruption line for what is wrong in fileName's body.
    std::string corrupt(const std::string& fileName, const std::string& what) const;

    // Joins with exactly one "/", so that paths also match archive entry names, which are
    // compared byte for byte.
    static std::string joinPath(const std::string& directory, const std::string& file);
    static std::string corruptText(const std::string& path, const std::string& what);
    // The readers below fail with what is wrong at the cursor ("key 3 runs past the
    // end"); corrupt() or corruptText() make the line that names the file.
    // The name of entry index of an index or properties file.
    static Status readName(ResourceFile& file, int32_t index, std::string& name);
    // Reads a count at the cursor and checks it against the bytes that are left.
    static Status readCount(ResourceFile& file, uint64_t minBytesEach, const char* noun, int32_t& count);

    // A start/stop body at the cursor: priority, key count, keys; start keys carry a
    // target, which the resolver turns into a framebuffer. Empty when corrupt.
    static Status readStartStop(ResourceFile& file, const std::string& label, const TargetResolver& resolver,
                                bool verbose, std::unique_ptr<TrackStartStop>& track);
    // A curve body at the cursor: key count, then row, type and value per key.
    static Status readCurve(ResourceFile& file, bool verbose, std::vector<InterpolateKey>& keys);
    static void appendStartStop(ResourceFile& file, const TrackStartStop& track);
    static void appendCurve(ResourceFile& file, const TrackInterpolate& track);
    // Writes the file; fails with a line naming it when it cannot be written.
    static Status saveOut(ResourceFile& file);

private:
    // Reads index.list into offsets and checks every offset against track.data.
    Status readIndex();

    bool packed = false;
    std::string directory;
    // Packed form.
    std::string dataPath;
    std::map<std::string, int32_t> offsets;
    std::unique_ptr<ResourceFile> data;
    // One file per track.
    std::unique_ptr<ResourceFile> current;
};
