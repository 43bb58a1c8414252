#include "TimelineDocument.h"

#include "Log.h"
#include "ResourceFile.h"
#include "StandInEffect.h"
#include "TrackInterpolate.h"
#include "TrackManager.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Appends the engine's log to a string while it lives: the loaders log, and the tools'
// standard output is reserved for their own results.
class CaptureLog {
public:
    explicit CaptureLog(std::string& into) : into(into) {}
    ~CaptureLog() { into += capture.str(); }

private:
    std::string& into;
    ORVDemosys::Log::Capture capture;
};

const std::string trackSuffix = ".track";

// Names of the settings entries in track.properties.
const std::string rateKey = "timeline.rate";
const std::string bpmKey = "timeline.millibpm";
const std::string rowsPerBeatKey = "timeline.rows-per-beat";

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

std::string joinPath(const std::string& directory, const std::string& name)
{
    if (directory.empty())
        return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

TimelineDocument::TimelineDocument() = default;

TimelineDocument::~TimelineDocument()
{
    // The timeline points into the effects' curves: it goes first.
    timeline.reset();
}

Status TimelineDocument::namesFromFiles(const std::vector<std::string>& fileNames, Names& out)
{
    std::map<std::string, size_t> index;
    auto effectIndex = [&](const std::string& effect) {
        auto it = index.find(effect);
        if (it != index.end())
            return it->second;
        index[effect] = out.effects.size();
        out.effects.push_back(effect);
        out.curves.emplace_back();
        return out.effects.size() - 1;
    };
    for (const std::string& file : fileNames) {
        if (!endsWith(file, trackSuffix) || file.size() == trackSuffix.size())
            return Status::failure("'" + file + "' is not a track file name (N.track or N.T.track)");
        std::string stem = file.substr(0, file.size() - trackSuffix.size());
        size_t dot = stem.find('.');
        if (dot == 0 || dot + 1 == stem.size())
            return Status::failure("'" + file + "' has an empty effect or curve name");
        size_t e = effectIndex(dot == std::string::npos ? stem : stem.substr(0, dot));
        if (dot != std::string::npos) {
            std::vector<std::string>& curves = out.curves[e];
            std::string curve = stem.substr(dot + 1);
            if (std::find(curves.begin(), curves.end(), curve) == curves.end())
                curves.push_back(curve);
        }
    }
    return Status::success();
}

Status TimelineDocument::listPacked(const std::string& directory, std::vector<std::string>& fileNames)
{
    std::string indexPath = joinPath(directory, "index.list");
    ResourceFile index(indexPath, ResourceFile::Read);
    if (!index.isLoaded())
        return Status::failure(indexPath + ": cannot read the track index");
    int32_t count = index.readInt();
    // Each entry takes at least a one-byte name, its terminator and a 4-byte offset.
    if (index.readFailed() || count < 0 || static_cast<uint64_t>(count) > index.remaining() / 6)
        return Status::failure(indexPath + ": corrupt track index (file count " + std::to_string(count) + ")");
    for (int32_t i = 0; i < count; ++i) {
        std::string name = index.readString();
        index.readInt();
        if (index.readFailed())
            return Status::failure(indexPath + ": corrupt track index (entry " + std::to_string(i) +
                                   " runs past the end)");
        fileNames.push_back(name);
    }
    return Status::success();
}

Status TimelineDocument::listFiles(const std::string& directory, std::vector<std::string>& fileNames)
{
    std::error_code ec;
    if (!fs::is_directory(directory, ec))
        return Status::failure(directory + ": not a directory");
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, ec)) {
        std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && endsWith(name, trackSuffix))
            fileNames.push_back(name);
    }
    if (ec)
        return Status::failure(directory + ": " + ec.message());
    // A directory lists in no particular order; sorted names give a stable result.
    std::sort(fileNames.begin(), fileNames.end());
    return Status::success();
}

Status TimelineDocument::load(const std::string& directory, Form form)
{
    std::vector<std::string> fileNames;
    Status listed = form == Packed ? listPacked(directory, fileNames) : listFiles(directory, fileNames);
    if (!listed)
        return listed;
    Names names;
    Status named = namesFromFiles(fileNames, names);
    if (!named)
        return Status::failure(joinPath(directory, form == Packed ? "index.list" : "") + ": " + named.reason());

    timeline.reset();
    effectObjects.clear();
    std::vector<Effect*> effects;
    for (size_t i = 0; i < names.effects.size(); ++i) {
        effectObjects.push_back(std::make_unique<StandInEffect>());
        for (const std::string& curve : names.curves[i])
            effectObjects.back()->addTrack(curve, nullptr);
        effectObjects.back()->setOnTimeline(true);
        effects.push_back(effectObjects.back().get());
    }

    CaptureLog capture(log);
    std::string dir = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    if (form == Packed)
        timeline = TrackManager::load(dir, names.effects, effects, TrackManager::acceptAllTargets());
    else
        timeline = TrackManager::loadFromFiles(directory, names.effects, effects, TrackManager::acceptAllTargets());
    Status loaded = timeline->loadStatus();
    if (!loaded)
        return loaded;
    Status properties = timeline->loadProperties(dir);
    if (!properties) {
        ORVDemosys::Log::error() << properties.reason() << std::endl;
        return Status::failure(joinPath(directory, "track.properties") + ": corrupt properties file");
    }
    readSettings(directory);
    return Status::success();
}

void TimelineDocument::readSettings(const std::string& directory)
{
    rateStored = false;
    beatGrid = BeatGrid();
    // The engine's reader has checked the file's layout already; a missing file holds
    // no settings.
    ResourceFile file(joinPath(directory, "track.properties"), ResourceFile::Read);
    if (!file.isLoaded())
        return;
    const int32_t count = file.readInt();
    for (int32_t i = 0; i < count && !file.readFailed(); ++i) {
        const std::string name = file.readString();
        const int32_t value = file.readInt();
        if (file.readFailed())
            break;
        if (name == rateKey && value >= 1 && value <= 1000) {
            timeline->setRowsPerSecond(value);
            rateStored = true;
        } else if (name == bpmKey && value > 0) {
            beatGrid.milliBpm = value;
        } else if (name == rowsPerBeatKey && value > 0) {
            beatGrid.rowsPerBeat = value;
        }
    }
}

bool TimelineDocument::writeSettings(const std::string& directory)
{
    const std::string path = joinPath(directory, "track.properties");
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    if (bytes.size() < 4)
        return false;
    std::vector<std::pair<std::string, int32_t>> settings = {{rateKey, timeline->getRowsPerSecond()}};
    if (beatGrid.milliBpm > 0)
        settings.emplace_back(bpmKey, beatGrid.milliBpm);
    if (beatGrid.rowsPerBeat > 0)
        settings.emplace_back(rowsPerBeatKey, beatGrid.rowsPerBeat);
    auto putInt = [](std::string& out, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            out += static_cast<char>((v >> (8 * k)) & 0xFF);
    };
    uint32_t count = 0;
    for (int k = 0; k < 4; ++k)
        count |= uint32_t(static_cast<unsigned char>(bytes[k])) << (8 * k);
    std::string patched;
    putInt(patched, count + static_cast<uint32_t>(settings.size()));
    patched += bytes.substr(4);
    for (const auto& setting : settings) {
        patched += setting.first;
        patched += '\0';
        putInt(patched, static_cast<uint32_t>(setting.second));
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << patched;
    out.close();
    return static_cast<bool>(out);
}

Status TimelineDocument::removeStale(const std::string& directory, Form form)
{
    removed.clear();
    std::set<std::string> written;
    if (form == Files) {
        for (int i = 0; i < timeline->getEntryCount(); ++i) {
            const EffectTracks* entry = timeline->getEntry(i);
            written.insert(entry->name + trackSuffix);
            for (const TrackInterpolate* curve : entry->tracks)
                written.insert(entry->name + "." + curve->getName() + trackSuffix);
        }
    }
    std::vector<std::string> present;
    Status listed = listFiles(directory, present);
    if (!listed)
        return listed;
    for (const std::string& name : present) {
        Names names;
        // Only names of the track naming scheme go; nothing else in the folder is touched.
        if (written.count(name) || !namesFromFiles({name}, names))
            continue;
        std::error_code ec;
        if (!fs::remove(fs::path(directory) / name, ec) || ec)
            return Status::failure(joinPath(directory, name) + ": cannot remove a track file of the earlier timeline (" +
                      (ec ? ec.message() : std::string("gone")) + ")");
        removed.push_back(name);
    }
    return Status::success();
}

Status TimelineDocument::save(const std::string& directory, Form form)
{
    std::error_code ec;
    fs::create_directories(directory, ec);
    std::string dir = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    bool ok;
    {
        CaptureLog capture(log);
        Status saved = form == Packed ? timeline->savePacked(directory) : timeline->saveFiles(directory);
        if (saved)
            saved = timeline->saveProperties(dir);
        if (!saved)
            ORVDemosys::Log::error() << saved.reason() << std::endl;
        ok = saved.ok();
    }
    if (!ok || !writeSettings(directory))
        return Status::failure(directory + ": cannot write the track files");
    return removeStale(directory, form);
}

Status TimelineDocument::validate() const
{
    std::string report;
    bool valid;
    {
        CaptureLog capture(report);
        valid = timeline->validate();
    }
    if (valid)
        return Status::success();
    report = report.substr(0, report.find_last_not_of('\n') + 1);
    return Status::failure(report.substr(report.find_last_of('\n') + 1));
}

void TimelineDocument::adopt(std::vector<std::unique_ptr<Effect>> effects, std::unique_ptr<TrackManager> manager)
{
    // The timeline points into the effects' curves: drop it before the effects.
    timeline = std::move(manager);
    effectObjects = std::move(effects);
}
