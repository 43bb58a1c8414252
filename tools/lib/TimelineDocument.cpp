#include "TimelineDocument.h"

#include "StandInEffect.h"
#include "ResourceFile.h"
#include "TrackManager.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Sends standard output into a string while it lives: the engine's loaders log there,
// and the tools' standard output is reserved for their own results.
class CaptureStdout {
public:
    explicit CaptureStdout(std::string& into) : into(into), previous(std::cout.rdbuf(buffer.rdbuf())) {}
    ~CaptureStdout()
    {
        std::cout.rdbuf(previous);
        into += buffer.str();
    }

private:
    std::string& into;
    std::ostringstream buffer;
    std::streambuf* previous;
};

const std::string trackSuffix = ".track";

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

bool TimelineDocument::namesFromFiles(const std::vector<std::string>& fileNames, Names& out, std::string& error)
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
        if (!endsWith(file, trackSuffix) || file.size() == trackSuffix.size()) {
            error = "'" + file + "' is not a track file name (N.track or N.T.track)";
            return false;
        }
        std::string stem = file.substr(0, file.size() - trackSuffix.size());
        size_t dot = stem.find('.');
        if (dot == 0 || dot + 1 == stem.size()) {
            error = "'" + file + "' has an empty effect or curve name";
            return false;
        }
        size_t e = effectIndex(dot == std::string::npos ? stem : stem.substr(0, dot));
        if (dot != std::string::npos) {
            std::vector<std::string>& curves = out.curves[e];
            std::string curve = stem.substr(dot + 1);
            if (std::find(curves.begin(), curves.end(), curve) == curves.end())
                curves.push_back(curve);
        }
    }
    return true;
}

bool TimelineDocument::listPacked(const std::string& directory, std::vector<std::string>& fileNames)
{
    std::string indexPath = joinPath(directory, "index.list");
    ResourceFile index(indexPath, ResourceFile::Read);
    if (!index.isLoaded()) {
        message = indexPath + ": cannot read the track index";
        return false;
    }
    int32_t count = index.readInt();
    // Each entry takes at least a one-byte name, its terminator and a 4-byte offset.
    if (index.readFailed() || count < 0 || static_cast<uint64_t>(count) > index.remaining() / 6) {
        message = indexPath + ": corrupt track index (file count " + std::to_string(count) + ")";
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        std::string name = index.readString();
        index.readInt();
        if (index.readFailed()) {
            message = indexPath + ": corrupt track index (entry " + std::to_string(i) + " runs past the end)";
            return false;
        }
        fileNames.push_back(name);
    }
    return true;
}

bool TimelineDocument::listFiles(const std::string& directory, std::vector<std::string>& fileNames)
{
    std::error_code ec;
    if (!fs::is_directory(directory, ec)) {
        message = directory + ": not a directory";
        return false;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, ec)) {
        std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && endsWith(name, trackSuffix))
            fileNames.push_back(name);
    }
    if (ec) {
        message = directory + ": " + ec.message();
        return false;
    }
    // A directory lists in no particular order; sorted names give a stable result.
    std::sort(fileNames.begin(), fileNames.end());
    return true;
}

bool TimelineDocument::load(const std::string& directory, Form form)
{
    std::vector<std::string> fileNames;
    if (!(form == Packed ? listPacked(directory, fileNames) : listFiles(directory, fileNames)))
        return false;
    Names names;
    std::string reason;
    if (!namesFromFiles(fileNames, names, reason)) {
        message = joinPath(directory, form == Packed ? "index.list" : "") + ": " + reason;
        return false;
    }

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

    CaptureStdout capture(log);
    std::string dir = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    if (form == Packed)
        timeline = TrackManager::load(dir, names.effects, effects, TrackManager::acceptAllTargets());
    else
        timeline = TrackManager::loadFromFiles(directory, names.effects, effects, TrackManager::acceptAllTargets());
    if (timeline->hasLoadError()) {
        message = timeline->getLoadError();
        return false;
    }
    if (!timeline->loadProperties(dir)) {
        message = joinPath(directory, "track.properties") + ": corrupt properties file";
        return false;
    }
    return true;
}

bool TimelineDocument::save(const std::string& directory, Form form)
{
    std::error_code ec;
    fs::create_directories(directory, ec);
    std::string dir = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    bool ok;
    {
        CaptureStdout capture(log);
        ok = (form == Packed ? timeline->savePacked(directory) : timeline->saveFiles(directory)) &&
             timeline->saveProperties(dir);
    }
    if (!ok)
        message = directory + ": cannot write the track files";
    return ok;
}

bool TimelineDocument::validate(std::string& reason) const
{
    std::string report;
    bool valid;
    {
        CaptureStdout capture(report);
        valid = timeline->validate();
    }
    report = report.substr(0, report.find_last_not_of('\n') + 1);
    reason = valid ? std::string() : report.substr(report.find_last_of('\n') + 1);
    return valid;
}

void TimelineDocument::adopt(std::vector<std::unique_ptr<Effect>> effects, std::unique_ptr<TrackManager> manager)
{
    // The timeline points into the effects' curves: drop it before the effects.
    timeline = std::move(manager);
    effectObjects = std::move(effects);
}
