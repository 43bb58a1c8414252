#include "TrackManager.h"

#include "Assert.h"
#include "Effect.h"
#include "FrameProfiler.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "ResourceFile.h"
#include "TrackInterpolate.h"
#include "TrackStartStop.h"

#include <iterator>
#include <utility>

using ORVDemosys::Log;

namespace {

// Smallest encodings, used to refuse counts the remaining bytes cannot hold before
// anything is allocated for them.
constexpr uint64_t minStartStopKeyBytes = 8; // row, type (a start adds at least its zero byte)
constexpr uint64_t curveKeyBytes = 12;       // row, type, value
constexpr uint64_t minNamedEntryBytes = 5;   // zero byte of an empty name, then an int32

// Joins with exactly one "/", so that paths also match archive entry names, which are
// compared byte for byte.
std::string joinPath(const std::string& directory, const std::string& file)
{
    if (directory.empty() || directory.back() == '/')
        return directory + file;
    return directory + "/" + file;
}

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

// The name of entry index of an index or properties file; on failure sets what.
bool readName(ResourceFile& file, int32_t index, std::string& name, std::string& what)
{
    if (file.remaining() == 0)
        what = "entry " + std::to_string(index) + " runs past the end";
    else if (!readText(file, name))
        what = "entry " + std::to_string(index) + " name has no terminating zero byte";
    return what.empty();
}

// Checks a count read at the cursor against the bytes that are left; on failure sets what.
bool checkCount(ResourceFile& file, int32_t count, uint64_t minBytesEach, const char* noun, std::string& what)
{
    if (count < 0) {
        what = std::string(noun) + " count " + std::to_string(count) + " is negative";
        return false;
    }
    if (!file.fits(static_cast<uint64_t>(count), minBytesEach)) {
        what = std::string(noun) + " count " + std::to_string(count) + " needs more than the " +
               std::to_string(file.remaining()) + " bytes left";
        return false;
    }
    return true;
}

std::string keyText(int32_t index, const char* problem) { return "key " + std::to_string(index) + " " + problem; }

// A start/stop body at the cursor: priority, key count, keys; start keys carry a target.
std::unique_ptr<TrackStartStop> readStartStop(ResourceFile& file, const std::string& label,
                                              const TargetResolver& resolver, bool verbose, std::string& what)
{
    const int32_t priority = file.readInt();
    if (file.readFailed()) {
        what = "priority runs past the end";
        return nullptr;
    }
    Log::info() << "Loading '" << label << "' (" << priority << ")" << std::endl;

    const int32_t count = file.readInt();
    if (file.readFailed()) {
        what = "key count runs past the end";
        return nullptr;
    }
    if (!checkCount(file, count, minStartStopKeyBytes, "key", what))
        return nullptr;

    auto track = std::make_unique<TrackStartStop>(priority);
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t row = static_cast<uint32_t>(file.readInt());
        const uint32_t type = static_cast<uint32_t>(file.readInt());
        if (file.readFailed()) {
            what = keyText(i, "runs past the end");
            return nullptr;
        }
        StartStopKey key(row, type);
        if (key.isStart()) {
            if (file.remaining() == 0) {
                what = keyText(i, "target runs past the end");
                return nullptr;
            }
            std::string raw;
            if (!readText(file, raw)) {
                what = keyText(i, "target has no terminating zero byte");
                return nullptr;
            }
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
    return track;
}

// A curve body at the cursor: key count, then row, type and value per key.
bool readCurve(ResourceFile& file, bool verbose, std::vector<InterpolateKey>& keys, std::string& what)
{
    const int32_t count = file.readInt();
    if (file.readFailed()) {
        what = "key count runs past the end";
        return false;
    }
    if (!checkCount(file, count, curveKeyBytes, "key", what))
        return false;
    keys.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t row = static_cast<uint32_t>(file.readInt());
        const uint32_t type = static_cast<uint32_t>(file.readInt());
        const float value = file.readFloat();
        if (file.readFailed()) {
            what = keyText(i, "runs past the end");
            return false;
        }
        keys.emplace_back(row, value, type);
        if (verbose)
            Log::info() << "keyframe " << row << " : " << type << ", " << value << std::endl;
    }
    return true;
}

void appendStartStop(ResourceFile& file, const TrackStartStop& track)
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

void appendCurve(ResourceFile& file, const TrackInterpolate& track)
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

bool saveOut(ResourceFile& file)
{
    if (file.isLoaded() && file.save())
        return true;
    Log::error() << "Cannot write track file '" << file.getName() << "'" << std::endl;
    return false;
}

std::string corruptText(const std::string& path, const std::string& what)
{
    return "Corrupt track file '" + path + "': " + what;
}

} // namespace

// Where the bodies of one load come from: offsets into track.data, or one file each.
struct TrackManager::BodySource {
    bool packed = false;
    std::string directory;
    // Packed form.
    std::string dataPath;
    std::map<std::string, int32_t> offsets;
    std::unique_ptr<ResourceFile> data;
    // One file per track.
    std::unique_ptr<ResourceFile> current;
    // Set when the index itself is unusable.
    std::string error;

    // A reader positioned at the start of the body of fileName, or null when it has none.
    // A packed body may run to the end of track.data, never beyond.
    ResourceFile* open(const std::string& fileName)
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

    std::string corrupt(const std::string& fileName, const std::string& what) const
    {
        if (packed)
            return corruptText(dataPath, "'" + fileName + "' " + what);
        return corruptText(current ? current->getName() : joinPath(directory, fileName), what);
    }

    // Reads index.list into offsets and checks every offset against track.data.
    void readIndex()
    {
        const std::string indexPath = joinPath(directory, "index.list");
        dataPath = joinPath(directory, "track.data");
        std::unique_ptr<ResourceFile> index(ORVIO::loadFile(indexPath));
        if (!index || !index->isLoaded()) {
            // Like a missing body, but for every effect at once: worth a line.
            Log::warning() << "Track index '" << indexPath << "' is missing: no effect has track data" << std::endl;
            return;
        }

        std::string what;
        const int32_t count = index->readInt();
        if (index->readFailed())
            what = "file count runs past the end";
        else
            checkCount(*index, count, minNamedEntryBytes, "file", what);
        for (int32_t i = 0; what.empty() && i < count; ++i) {
            std::string name;
            if (!readName(*index, i, name, what))
                break;
            const int32_t offset = index->readInt();
            if (index->readFailed()) {
                what = "entry " + std::to_string(i) + " ('" + name + "') offset runs past the end";
                break;
            }
            offsets[name] = offset;
        }
        if (!what.empty()) {
            offsets.clear();
            error = corruptText(indexPath, what);
            return;
        }
        if (offsets.empty())
            return;

        data.reset(ORVIO::loadFile(dataPath));
        if (!data || !data->isLoaded()) {
            data.reset();
            offsets.clear();
            error = "Track data '" + dataPath + "' is missing but '" + indexPath + "' lists " + std::to_string(count) +
                    " files";
            return;
        }
        for (const auto& entry : offsets) {
            // Every body holds at least one int32, so it must start inside track.data.
            if (entry.second < 0 || static_cast<uint64_t>(entry.second) >= data->byteSize()) {
                error = corruptText(indexPath, "'" + entry.first + "' offset " + std::to_string(entry.second) +
                                                   " lies outside '" + dataPath + "' (" +
                                                   std::to_string(data->byteSize()) + " bytes)");
                offsets.clear();
                return;
            }
        }
    }
};

EffectTracks::EffectTracks() = default;
EffectTracks::~EffectTracks() = default;

TrackManager::TrackManager() = default;

TrackManager::~TrackManager()
{
    // Curves fall back to the default rate instead of reading a deleted timeline; the
    // engine's slot gives up a timeline that someone else deletes (it deleted none here,
    // or it would no longer hold this one).
    if (ORVDemosys::tracks == this)
        ORVDemosys::tracks.release();
}

void TrackManager::detachEffects()
{
    for (auto& entry : entriesByName) {
        entry.second->effect = nullptr;
        entry.second->tracks.clear();
        entry.second->tracksByName.clear();
    }
    active.clear();
}

int32_t TrackManager::timelineRowsPerSecond()
{
    return ORVDemosys::tracks ? ORVDemosys::tracks->getRowsPerSecond() : defaultRowsPerSecond;
}

TargetResolver TrackManager::acceptAllTargets()
{
    return [](const std::string& name, FBO** fbo) {
        if (name.empty())
            return false;
        if (fbo)
            *fbo = nullptr;
        return true;
    };
}

std::unique_ptr<TrackManager> TrackManager::load(const std::string& trackDirectory,
                                                 const std::vector<std::string>& effectNames,
                                                 const std::vector<Effect*>& effects, const TargetResolver& resolver)
{
    BodySource source;
    source.packed = true;
    source.directory = trackDirectory;
    source.readIndex();
    return loadFrom(source, effectNames, effects, resolver);
}

std::unique_ptr<TrackManager> TrackManager::loadFromFiles(const std::string& trackDirectory,
                                                          const std::vector<std::string>& effectNames,
                                                          const std::vector<Effect*>& effects,
                                                          const TargetResolver& resolver)
{
    BodySource source;
    source.directory = trackDirectory;
    return loadFrom(source, effectNames, effects, resolver);
}

std::unique_ptr<TrackManager> TrackManager::loadFrom(BodySource& source, const std::vector<std::string>& effectNames,
                                                     const std::vector<Effect*>& effects,
                                                     const TargetResolver& resolver)
{
    ORV_ASSERT(effectNames.size() == effects.size());
    const bool verbose = ORVIO::isVerbose();
    auto manager = std::make_unique<TrackManager>();
    if (!source.error.empty())
        manager->fail(source.error);

    for (size_t i = 0; i < effectNames.size(); ++i) {
        const std::string& name = effectNames[i];
        if (manager->findEntry(name)) {
            Log::warning() << "Effect '" << name << "' is listed twice for the timeline; keeping the first"
                           << std::endl;
            continue;
        }

        const std::string startStopFile = name + ".track";
        std::unique_ptr<TrackStartStop> startStop;
        if (ResourceFile* body = source.open(startStopFile)) {
            std::string what;
            startStop = readStartStop(*body, startStopFile, resolver, verbose, what);
            if (!startStop)
                manager->fail(source.corrupt(startStopFile, what));
        } else if (verbose) {
            Log::warning() << "Track '" << name << "' do not exit. Creating dummy." << std::endl;
        }
        // A missing or corrupt body leaves the effect with a never-active dummy.
        EffectTracks* entry = manager->addEntry(name, effects[i], std::move(startStop));

        for (TrackInterpolate* curve : entry->tracks) {
            curve->clearKeys();
            const std::string curveFile = name + "." + curve->getName() + ".track";
            ResourceFile* body = source.open(curveFile);
            if (!body) {
                if (verbose)
                    Log::warning() << "-> '" << curveFile << "' do not exit. Keeping dummy." << std::endl;
                continue;
            }
            Log::info() << "Loading '" << name << "." << curve->getName() << "'" << std::endl;
            std::vector<InterpolateKey> keys;
            std::string what;
            if (!readCurve(*body, verbose, keys, what)) {
                manager->fail(source.corrupt(curveFile, what));
                continue;
            }
            for (const InterpolateKey& key : keys)
                curve->insertKey(key);
        }
    }
    manager->arrangeDrawOrder();
    return manager;
}

void TrackManager::fail(const std::string& message)
{
    Log::info() << message << std::endl;
    if (loadError.empty())
        loadError = message;
}

EffectTracks* TrackManager::addEntry(const std::string& name, Effect* effect, std::unique_ptr<TrackStartStop> startStop)
{
    if (entriesByName.count(name))
        return nullptr;
    auto entry = std::make_unique<EffectTracks>();
    entry->name = name;
    entry->effect = effect;
    entry->startStop = startStop ? std::move(startStop) : std::make_unique<TrackStartStop>(-1);
    if (effect) {
        for (int i = 0; i < effect->getTrackCount(); ++i) {
            TrackInterpolate* curve = effect->getTrack(i);
            entry->tracksByName[curve->getName()] = curve;
            entry->tracks.push_back(curve);
        }
    }
    EffectTracks* added = entry.get();
    entriesByName.emplace(name, std::move(entry));
    drawOrder.push_back(added);
    return added;
}

void TrackManager::arrangeDrawOrder()
{
    drawOrder.clear();
    for (const auto& entry : entriesByName)
        drawOrder.push_back(entry.second.get());
    // Selection sort: the earliest smallest priority moves to each position in turn.
    for (size_t i = 0; i < drawOrder.size(); ++i) {
        size_t smallest = i;
        for (size_t j = i + 1; j < drawOrder.size(); ++j) {
            if (drawOrder[j]->startStop->getPriority() < drawOrder[smallest]->startStop->getPriority())
                smallest = j;
        }
        std::swap(drawOrder[i], drawOrder[smallest]);
    }
    for (size_t i = 0; i < drawOrder.size(); ++i)
        drawOrder[i]->startStop->setPriority(static_cast<int32_t>(i));
    active.reserve(drawOrder.size());
}

bool TrackManager::validate() const
{
    Log::info() << "Validating StartStop track data." << std::endl;
    if (!loadError.empty()) {
        Log::error() << loadError << std::endl;
        return false;
    }
    for (const EffectTracks* entry : drawOrder) {
        if (!entry->startStop->validate()) {
            Log::warning() << "--> StartStop Track : " << entry->name << " has keyframe mismatch" << std::endl;
            return false;
        }
    }
    return true;
}

void TrackManager::setRowsPerSecond(int32_t n)
{
    ORV_ASSERT(n >= 1 && n <= 1000);
    rowsPerSecond = n;
}

EffectTracks* TrackManager::getEntry(int i) const
{
    if (i < 0 || i >= getEntryCount())
        return nullptr;
    return std::next(entriesByName.begin(), i)->second.get();
}

EffectTracks* TrackManager::findEntry(const std::string& name) const
{
    auto it = entriesByName.find(name);
    return it == entriesByName.end() ? nullptr : it->second.get();
}

int TrackManager::getTrackFileCount() const
{
    size_t count = entriesByName.size();
    for (const auto& entry : entriesByName)
        count += entry.second->tracks.size();
    return static_cast<int>(count);
}

bool TrackManager::swapPriorities(int i, int j)
{
    const int size = static_cast<int>(drawOrder.size());
    if (i < 0 || j < 0 || i >= size || j >= size)
        return false;
    std::swap(drawOrder[i], drawOrder[j]);
    TrackStartStop& a = *drawOrder[i]->startStop;
    TrackStartStop& b = *drawOrder[j]->startStop;
    const int32_t priority = a.getPriority();
    a.setPriority(b.getPriority());
    b.setPriority(priority);
    return true;
}

void TrackManager::drawFrame(uint32_t timeMs, uint32_t row, int32_t deltaMs)
{
    // Grows only when entries were added since the last frame.
    if (active.capacity() < drawOrder.size())
        active.reserve(drawOrder.size());
    active.clear();
    for (EffectTracks* entry : drawOrder)
        if (entry->startStop->isActive(row)) {
            active.push_back(entry);
            if (entry->effect) {
                const uint64_t startRow = entry->startStop->getRangeStartRow(row);
                entry->effect->setRangeStartMs(static_cast<uint32_t>(startRow * 1000u / uint64_t(rowsPerSecond)));
            }
        }
    drawing = true;
    // Each pass finishes for every active effect before the next begins: updates may
    // feed one another (the camera) before anything is drawn.
    for (EffectTracks* entry : active)
        if (entry->effect)
            entry->effect->update(timeMs);
    for (EffectTracks* entry : active)
        if (entry->effect) {
            FrameProfiler::Scope timed(entry->name);
            entry->effect->draw(timeMs, deltaMs, entry->startStop->getTarget(row));
        }
    for (EffectTracks* entry : active)
        if (entry->effect)
            entry->effect->postDraw(timeMs);
    drawing = false;
}

Effect* TrackManager::findActiveEffect(std::string_view name) const
{
    // Tens of effects at most: a scan of the frame's list beats keeping a second index.
    for (const EffectTracks* entry : active)
        if (entry->name == name)
            return entry->effect;
    return nullptr;
}

void TrackManager::printPriorities() const
{
    for (const EffectTracks* entry : drawOrder)
        Log::info() << "Priority " << entry->startStop->getPriority() << " = " << entry->name << std::endl;
}

bool TrackManager::saveFiles(const std::string& directory) const
{
    for (const auto& item : entriesByName) {
        const EffectTracks& entry = *item.second;
        ResourceFile file(joinPath(directory, entry.name + ".track"), ResourceFile::Truncate);
        appendStartStop(file, *entry.startStop);
        if (!saveOut(file))
            return false;
        for (const TrackInterpolate* curve : entry.tracks) {
            ResourceFile curveFile(joinPath(directory, entry.name + "." + curve->getName() + ".track"),
                                   ResourceFile::Truncate);
            appendCurve(curveFile, *curve);
            if (!saveOut(curveFile))
                return false;
        }
    }
    return true;
}

bool TrackManager::savePacked(const std::string& directory) const
{
    ResourceFile index(joinPath(directory, "index.list"), ResourceFile::Truncate);
    ResourceFile data(joinPath(directory, "track.data"), ResourceFile::Truncate);
    index.appendInt(getTrackFileCount());
    for (const auto& item : entriesByName) {
        const EffectTracks& entry = *item.second;
        index.appendString(entry.name + ".track");
        index.appendByte(0);
        index.appendInt(static_cast<int32_t>(data.byteSize()));
        appendStartStop(data, *entry.startStop);
        for (const TrackInterpolate* curve : entry.tracks) {
            index.appendString(entry.name + "." + curve->getName() + ".track");
            index.appendByte(0);
            index.appendInt(static_cast<int32_t>(data.byteSize()));
            appendCurve(data, *curve);
        }
    }
    const bool dataSaved = saveOut(data);
    const bool indexSaved = saveOut(index);
    return dataSaved && indexSaved;
}

bool TrackManager::saveProperties() const { return saveProperties(ORVDemosys::trackDirectory); }

bool TrackManager::saveProperties(const std::string& directory) const
{
    ResourceFile file(joinPath(directory, "track.properties"), ResourceFile::Truncate);
    file.appendInt(getEntryCount());
    for (const auto& item : entriesByName) {
        Log::info() << "Saving track property for " << item.first << std::endl;
        file.appendString(item.first);
        file.appendByte(0);
        file.appendInt(item.second->startStop->isEnabled() ? 0 : 1);
    }
    return saveOut(file);
}

bool TrackManager::loadProperties() { return loadProperties(ORVDemosys::trackDirectory); }

bool TrackManager::loadProperties(const std::string& directory)
{
    const std::string path = joinPath(directory, "track.properties");
    std::unique_ptr<ResourceFile> file(ORVIO::loadFile(path));
    if (!file || !file->isLoaded())
        return true;

    std::string what;
    const int32_t count = file->readInt();
    if (file->readFailed())
        what = "entry count runs past the end";
    else
        checkCount(*file, count, minNamedEntryBytes, "entry", what);
    for (int32_t i = 0; what.empty() && i < count; ++i) {
        std::string name;
        if (!readName(*file, i, name, what))
            break;
        Log::info() << "Loading track property for " << name << std::endl;
        const int32_t flag = file->readInt();
        if (file->readFailed()) {
            what = "entry " + std::to_string(i) + " flag runs past the end";
            break;
        }
        if (EffectTracks* entry = findEntry(name)) {
            entry->startStop->setEnabled(flag == 0);
            Log::info() << "Flag : " << flag << std::endl;
        }
    }
    if (what.empty())
        return true;
    Log::error() << corruptText(path, what) << std::endl;
    return false;
}

void TrackManager::adoptKeys(TrackManager& fresh, const TargetResolver& resolver, std::vector<std::string>& notes)
{
    for (const auto& named : entriesByName) {
        EffectTracks& entry = *named.second;
        EffectTracks* source = fresh.findEntry(entry.name);
        std::unique_ptr<TrackStartStop> startStop =
            source ? std::move(source->startStop) : std::unique_ptr<TrackStartStop>();
        if (source)
            source->startStop = std::make_unique<TrackStartStop>(-1);
        entry.startStop = std::make_unique<TrackStartStop>(startStop ? startStop->getPriority() : -1);
        if (startStop) {
            entry.startStop->setEnabled(startStop->isEnabled());
            std::vector<StartStopKey> keys;
            startStop->getKeys(keys);
            for (StartStopKey key : keys) {
                // fresh may have been built without the framebuffers: find them again.
                FBO* fbo = nullptr;
                if (key.isStart() && resolver && resolver(key.target, &fbo)) {
                    key.targetFbo = fbo;
                } else {
                    key.target = "screen";
                    key.targetFbo = nullptr;
                }
                entry.startStop->insertKey(key);
            }
        }
        for (TrackInterpolate* curve : entry.tracks) {
            curve->clearKeys();
            if (!source)
                continue;
            const auto from = source->tracksByName.find(curve->getName());
            if (from == source->tracksByName.end())
                continue;
            std::vector<InterpolateKey> keys;
            from->second->getKeys(keys);
            for (const InterpolateKey& key : keys)
                curve->insertKey(key);
        }
        if (source)
            for (const auto& curve : source->tracksByName)
                if (!entry.tracksByName.count(curve.first))
                    notes.push_back("effect '" + entry.name + "' has no curve '" + curve.first + "'");
    }
    for (const auto& named : fresh.entriesByName)
        if (!entriesByName.count(named.first))
            notes.push_back("no effect instance is named '" + named.first + "'");
    // The timer counts rows at the running rate, which a reload cannot change.
    if (fresh.rowsPerSecond != rowsPerSecond)
        notes.push_back("rows are counted at " + std::to_string(rowsPerSecond) + " a second, not " +
                        std::to_string(fresh.rowsPerSecond) + ", until the demo is restarted");
    arrangeDrawOrder();
    active.clear();
}
