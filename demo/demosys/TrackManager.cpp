#include "TrackManager.h"

#include "Assert.h"
#include "Effect.h"
#include "FBO.h"
#include "FrameProfiler.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "ResourceFile.h"
#include "TrackStorage.h"
#include "TrackInterpolate.h"
#include "TrackStartStop.h"

#include <iterator>
#include <utility>

using ORVDemosys::Log;

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
    TrackStorage source(trackDirectory, true);
    return loadFrom(source, effectNames, effects, resolver);
}

std::unique_ptr<TrackManager> TrackManager::loadFromFiles(const std::string& trackDirectory,
                                                          const std::vector<std::string>& effectNames,
                                                          const std::vector<Effect*>& effects,
                                                          const TargetResolver& resolver)
{
    TrackStorage source(trackDirectory, false);
    return loadFrom(source, effectNames, effects, resolver);
}

std::unique_ptr<TrackManager> TrackManager::loadFrom(TrackStorage& source, const std::vector<std::string>& effectNames,
                                                     const std::vector<Effect*>& effects,
                                                     const TargetResolver& resolver)
{
    ORV_ASSERT(effectNames.size() == effects.size());
    const bool verbose = ORVIO::isVerbose();
    auto manager = std::make_unique<TrackManager>();
    Status indexed = source.prepare();
    if (!indexed)
        manager->fail(indexed.reason());

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
            Status read = TrackStorage::readStartStop(*body, startStopFile, resolver, verbose, startStop);
            if (!read)
                manager->fail(source.corrupt(startStopFile, read.reason()));
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
            Status read = TrackStorage::readCurve(*body, verbose, keys);
            if (!read) {
                manager->fail(source.corrupt(curveFile, read.reason()));
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
    Log::error() << message << std::endl;
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
    // An effect that paints over part of the screen whatever lies beneath (opaque bars)
    // shows the effects before it only through the rest: they draw nothing else.
    size_t coverAt = 0;
    ScreenArea shown;
    for (size_t i = active.size(); i-- > 0;) {
        const EffectTracks* entry = active[i];
        if (!entry->effect || entry->startStop->getTarget(row))
            continue;
        shown = entry->effect->shownArea();
        if (!shown.isWhole()) {
            coverAt = i;
            break;
        }
    }
    if (coverAt > 0)
        FBO::setShownArea(shown);
    for (size_t i = 0; i < active.size(); ++i) {
        EffectTracks* entry = active[i];
        if (i == coverAt && coverAt > 0)
            FBO::showAll();
        if (entry->effect) {
            FrameProfiler::Scope timed(entry->name);
            entry->effect->draw(timeMs, deltaMs, entry->startStop->getTarget(row));
        }
    }
    for (EffectTracks* entry : active)
        if (entry->effect)
            entry->effect->postDraw(timeMs);
    drawing = false;
}

bool TrackManager::coversScreen(uint32_t row) const
{
    for (const EffectTracks* entry : drawOrder)
        if (entry->effect && entry->startStop->isActive(row) && !entry->startStop->getTarget(row) &&
            entry->effect->coversTarget())
            return true;
    return false;
}

Effect* TrackManager::findActiveEffect(std::string_view name) const
{
    // Tens of effects at most: a scan of the frame's list beats keeping a second index.
    for (const EffectTracks* entry : active)
        if (entry->name == name)
            return entry->effect;
    return nullptr;
}

Effect* TrackManager::nextActiveEffect(const Effect* effect) const
{
    for (size_t i = 0; effect && i + 1 < active.size(); ++i)
        if (active[i]->effect == effect)
            return active[i + 1]->effect;
    return nullptr;
}

void TrackManager::printPriorities() const
{
    for (const EffectTracks* entry : drawOrder)
        Log::info() << "Priority " << entry->startStop->getPriority() << " = " << entry->name << std::endl;
}

Status TrackManager::saveFiles(const std::string& directory) const
{
    for (const auto& item : entriesByName) {
        const EffectTracks& entry = *item.second;
        ResourceFile file(TrackStorage::joinPath(directory, entry.name + ".track"), ResourceFile::Truncate);
        TrackStorage::appendStartStop(file, *entry.startStop);
        Status saved = TrackStorage::saveOut(file);
        if (!saved)
            return saved;
        for (const TrackInterpolate* curve : entry.tracks) {
            ResourceFile curveFile(TrackStorage::joinPath(directory, entry.name + "." + curve->getName() + ".track"),
                                   ResourceFile::Truncate);
            TrackStorage::appendCurve(curveFile, *curve);
            saved = TrackStorage::saveOut(curveFile);
            if (!saved)
                return saved;
        }
    }
    return Status::success();
}

Status TrackManager::savePacked(const std::string& directory) const
{
    ResourceFile index(TrackStorage::joinPath(directory, "index.list"), ResourceFile::Truncate);
    ResourceFile data(TrackStorage::joinPath(directory, "track.data"), ResourceFile::Truncate);
    index.appendInt(getTrackFileCount());
    for (const auto& item : entriesByName) {
        const EffectTracks& entry = *item.second;
        index.appendString(entry.name + ".track");
        index.appendByte(0);
        index.appendInt(static_cast<int32_t>(data.byteSize()));
        TrackStorage::appendStartStop(data, *entry.startStop);
        for (const TrackInterpolate* curve : entry.tracks) {
            index.appendString(entry.name + "." + curve->getName() + ".track");
            index.appendByte(0);
            index.appendInt(static_cast<int32_t>(data.byteSize()));
            TrackStorage::appendCurve(data, *curve);
        }
    }
    // Both are written whatever becomes of the other; the first failure is the answer.
    Status dataSaved = TrackStorage::saveOut(data);
    Status indexSaved = TrackStorage::saveOut(index);
    return dataSaved ? indexSaved : dataSaved;
}

Status TrackManager::saveProperties() const { return saveProperties(ORVDemosys::trackDirectory); }

Status TrackManager::saveProperties(const std::string& directory) const
{
    ResourceFile file(TrackStorage::joinPath(directory, "track.properties"), ResourceFile::Truncate);
    file.appendInt(getEntryCount());
    for (const auto& item : entriesByName) {
        Log::info() << "Saving track property for " << item.first << std::endl;
        file.appendString(item.first);
        file.appendByte(0);
        file.appendInt(item.second->startStop->isEnabled() ? 0 : 1);
    }
    return TrackStorage::saveOut(file);
}

Status TrackManager::loadProperties() { return loadProperties(ORVDemosys::trackDirectory); }

Status TrackManager::loadProperties(const std::string& directory)
{
    const std::string path = TrackStorage::joinPath(directory, "track.properties");
    std::unique_ptr<ResourceFile> file(ORVIO::loadFile(path));
    if (!file || !file->isLoaded())
        return Status::success();

    int32_t count = 0;
    Status entries = TrackStorage::readCount(*file, TrackStorage::minNamedEntryBytes, "entry", count);
    for (int32_t i = 0; entries && i < count; ++i) {
        std::string name;
        entries = TrackStorage::readName(*file, i, name);
        if (!entries)
            break;
        Log::info() << "Loading track property for " << name << std::endl;
        const int32_t flag = file->readInt();
        if (file->readFailed()) {
            entries = Status::failure("entry " + std::to_string(i) + " flag runs past the end");
            break;
        }
        if (EffectTracks* entry = findEntry(name)) {
            entry->startStop->setEnabled(flag == 0);
            Log::info() << "Flag : " << flag << std::endl;
        }
    }
    if (entries)
        return entries;
    return Status::failure(TrackStorage::corruptText(path, entries.reason()));
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
