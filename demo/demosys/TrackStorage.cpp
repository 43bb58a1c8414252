#include "TrackStorage.h"

#include "Log.h"
#include "ORVIO.h"
#include "ResourceFile.h"
#include "TrackInterpolate.h"
#include "TrackStartStop.h"

using ORVDemosys::Log;

namespace {

// Smallest encodings, used to refuse counts the remaining bytes cannot hold before
// anything is allocated for them.
constexpr uint64_t minStartStopKeyBytes = 8; // row, type (a start adds at least its zero byte)
constexpr uint64_t curveKeyBytes = 12;       // row, type, value

// A zero-ended string. ResourceFile reads an empty one as "Object"; here it stays empty,
// so an empty target is the screen and never a name. False when no zero byte ends it.
bool readText(ResourceFile& file, std::string& out)
{
    const uint64_t before = file.getPosition();
    std::string text = file.readString();
    if (file.readFailed())
        return false;
    out = file.getPosition() - before == 1 ? std::string() : text;
    return true;
}

std::string keyText(int32_t index, const char* problem) { return "key " + std::to_string(index) + " " + problem; }

} // namespace

TrackStorage::TrackStorage(const std::string& directory, bool packed) : packed(packed), directory(directory) {}

Status TrackStorage::prepare() { return packed ? readIndex() : Status::success(); }

TrackStorage::~TrackStorage() = default;

ResourceFile* TrackStorage::open(const std::string& fileName)
{
    if (packed) {
        auto it = offsets.find(fileName);
        if (it == offsets.end() || !data)
            return nullptr;
        data->clearReadFailed();
        data->setPosition(static_cast<uint64_t>(it->second));
        return data.get();
    }
    current.reset(ORVIO::loadFile(joinPath(directory, fileName)));
    if (!current || !current->isLoaded())
        return nullptr;
    return current.get();
}

std::string TrackStorage::corrupt(const std::string& fileName, const std::string& what) const
{
    if (packed)
        return corruptText(dataPath, "'" + fileName + "' " + what);
    return corruptText(current ? current->getName() : joinPath(directory, fileName), what);
}

Status TrackStorage::readIndex()
{
    const std::string indexPath = joinPath(directory, "index.list");
    dataPath = joinPath(directory, "track.data");
    std::unique_ptr<ResourceFile> index(ORVIO::loadFile(indexPath));
    if (!index || !index->isLoaded()) {
        // Like a missing body, but for every effect at once: worth a line.
        Log::warning() << "Track index '" << indexPath << "' is missing: no effect has track data" << std::endl;
        return Status::success();
    }

    int32_t count = 0;
    Status entries = readCount(*index, minNamedEntryBytes, "file", count);
    for (int32_t i = 0; entries && i < count; ++i) {
        std::string name;
        entries = readName(*index, i, name);
        if (!entries)
            break;
        const int32_t offset = index->readInt();
        if (index->readFailed()) {
            entries = Status::failure("entry " + std::to_string(i) + " ('" + name + "') offset runs past the end");
            break;
        }
        offsets[name] = offset;
    }
    if (!entries) {
        offsets.clear();
        return Status::failure(corruptText(indexPath, entries.reason()));
    }
    if (offsets.empty())
        return Status::success();

    data.reset(ORVIO::loadFile(dataPath));
    if (!data || !data->isLoaded()) {
        data.reset();
        offsets.clear();
        return Status::failure("Track data '" + dataPath + "' is missing but '" + indexPath + "' lists " +
                               std::to_string(count) + " files");
    }
    for (const auto& entry : offsets) {
        // Every body holds at least one int32, so it must start inside track.data.
        if (entry.second < 0 || static_cast<uint64_t>(entry.second) >= data->byteSize()) {
            Status outside = Status::failure(corruptText(indexPath, "'" + entry.first + "' offset " +
                                                                        std::to_string(entry.second) + " lies outside '" +
                                                                        dataPath + "' (" +
                                                                        std::to_string(data->byteSize()) + " bytes)"));
            offsets.clear();
            return outside;
        }
    }
    return Status::success();
}

// Joins with exactly one "/", so that paths also match archive entry names, which are
// compared byte for byte.
std::string TrackStorage::joinPath(const std::string& directory, const std::string& file)
{
    if (directory.empty() || directory.back() == '/')
        return directory + file;
    return directory + "/" + file;
}

Status TrackStorage::readName(ResourceFile& file, int32_t index, std::string& name)
{
    if (file.remaining() == 0)
        return Status::failure("entry " + std::to_string(index) + " runs past the end");
    if (!readText(file, name))
        return Status::failure("entry " + std::to_string(index) + " name has no terminating zero byte");
    return Status::success();
}

Status TrackStorage::readCount(ResourceFile& file, uint64_t minBytesEach, const char* noun, int32_t& count)
{
    count = file.readInt();
    if (file.readFailed())
        return Status::failure(std::string(noun) + " count runs past the end");
    if (count < 0)
        return Status::failure(std::string(noun) + " count " + std::to_string(count) + " is negative");
    if (!file.fits(static_cast<uint64_t>(count), minBytesEach))
        return Status::failure(std::string(noun) + " count " + std::to_string(count) + " needs more than the " +
                               std::to_string(file.remaining()) + " bytes left");
    return Status::success();
}

// A start/stop body at the cursor: priority, key count, keys; start keys carry a target.
Status TrackStorage::readStartStop(ResourceFile& file, const std::string& label, const TargetResolver& resolver,
                                   bool verbose, std::unique_ptr<TrackStartStop>& result)
{
    result.reset();
    const int32_t priority = file.readInt();
    if (file.readFailed())
        return Status::failure("priority runs past the end");
    Log::info() << "Loading '" << label << "' (" << priority << ")" << std::endl;

    int32_t count = 0;
    Status counted = readCount(file, minStartStopKeyBytes, "key", count);
    if (!counted)
        return counted;

    auto track = std::make_unique<TrackStartStop>(priority);
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t row = static_cast<uint32_t>(file.readInt());
        const uint32_t type = static_cast<uint32_t>(file.readInt());
        if (file.readFailed())
            return Status::failure(keyText(i, "runs past the end"));
        StartStopKey key(row, type);
        if (key.isStart()) {
            if (file.remaining() == 0)
                return Status::failure(keyText(i, "target runs past the end"));
            std::string raw;
            if (!readText(file, raw))
                return Status::failure(keyText(i, "target has no terminating zero byte"));
            if (verbose)
                Log::info() << "Raw string = '" << raw << "'" << std::endl;
            FBO* fbo = nullptr;
            if (!raw.empty() && resolver && resolver(raw, &fbo)) {
                key.target = raw;
                key.targetFbo = fbo;
            }
        }
        track->insertKey(key);
        if (verbose)
            Log::info() << "keyframe " << row << " : " << type << ", " << key.target << std::endl;
    }
    result = std::move(track);
    return Status::success();
}

// A curve body at the cursor: key count, then row, type and value per key.
Status TrackStorage::readCurve(ResourceFile& file, bool verbose, std::vector<InterpolateKey>& keys)
{
    int32_t count = 0;
    Status counted = readCount(file, curveKeyBytes, "key", count);
    if (!counted)
        return counted;
    keys.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t row = static_cast<uint32_t>(file.readInt());
        const uint32_t type = static_cast<uint32_t>(file.readInt());
        const float value = file.readFloat();
        if (file.readFailed())
            return Status::failure(keyText(i, "runs past the end"));
        keys.emplace_back(row, value, type);
        if (verbose)
            Log::info() << "keyframe " << row << " : " << type << ", " << value << std::endl;
    }
    return Status::success();
}

void TrackStorage::appendStartStop(ResourceFile& file, const TrackStartStop& track)
{
    std::vector<StartStopKey> keys;
    track.getKeys(keys);
    file.appendInt(track.getPriority());
    file.appendInt(static_cast<int32_t>(keys.size()));
    for (const StartStopKey& key : keys) {
        file.appendInt(static_cast<int32_t>(key.row));
        file.appendInt(static_cast<int32_t>(key.type));
        if (key.isStart()) {
            // The screen is stored as the empty name.
            if (!key.target.empty() && key.target != "screen")
                file.appendString(key.target);
            file.appendByte(0);
        }
    }
}

void TrackStorage::appendCurve(ResourceFile& file, const TrackInterpolate& track)
{
    std::vector<InterpolateKey> keys;
    track.getKeys(keys);
    file.appendInt(static_cast<int32_t>(keys.size()));
    for (const InterpolateKey& key : keys) {
        file.appendInt(static_cast<int32_t>(key.row));
        file.appendInt(static_cast<int32_t>(key.type));
        file.appendFloat(key.value);
    }
}

Status TrackStorage::saveOut(ResourceFile& file)
{
    if (file.isLoaded() && file.save())
        return Status::success();
    return Status::failure("Cannot write track file '" + file.getName() + "'");
}

std::string TrackStorage::corruptText(const std::string& path, const std::string& what)
{
    return "Corrupt track file '" + path + "': " + what;
}
