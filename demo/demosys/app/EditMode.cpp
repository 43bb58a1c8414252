#include "EditMode.h"

#include "BeatGrid.h"
#include "DataFBOPool.h"
#include "DataShaderPool.h"
#include "EditSession.h"
#include "FMODTimer.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "RocketLink.h"
#include "Shader.h"
#include "ShaderDeclaration.h"
#include "ShaderPreprocessor.h"
#include "ShaderSourceMap.h"
#include "SoundSystem.h"
#include "TimelineDocument.h"
#include "TrackManager.h"
#include "TrackScript.h"
#include "WebApi.h"
#include "WebEditor.h"
#include "Window.h"

#include <GLFW/glfw3.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using ORVDemosys::Log;

namespace fs = std::filesystem;

namespace {

GLFWkeyfun programKeys = nullptr;

// The transport's keys and Tab go to the edit session; every other key (Escape) to the
// callback the program had.
void editKey(GLFWwindow* window, int key, int scancode, int action, int mods)
{
    if (ORVDemosys::editSession && ORVDemosys::editSession->handleKey(key, action, mods))
        return;
    if (programKeys)
        programKeys(window, key, scancode, action, mods);
}

int64_t nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Start keys draw into the framebuffer of the pool that they name, as at the load.
bool resolveTarget(const std::string& name, FBO** fbo)
{
    FBO* found = ORVDemosys::fboPool->exists(name) ? ORVDemosys::fboPool->get(name) : nullptr;
    *fbo = found;
    return found != nullptr;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

// The log of the last build only: a shader's log grows with every failure.
std::string lastBuildLog(const std::string& log)
{
    const size_t compiling = log.rfind("Error while compiling");
    const size_t linking = log.rfind("Error while linking");
    size_t from = std::string::npos;
    if (compiling != std::string::npos)
        from = compiling;
    if (linking != std::string::npos && (from == std::string::npos || linking > from))
        from = linking;
    return from == std::string::npos ? log : log.substr(from);
}

// The source checkout a build's resource tree came from: the build directory's CMake
// cache names it.
std::string checkoutOfBuild(const fs::path& buildDirectory)
{
    std::ifstream cache(buildDirectory / "CMakeCache.txt");
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    std::string line;
    while (std::getline(cache, line))
        if (line.compare(0, key.size(), key) == 0)
            return line.substr(key.size());
    return std::string();
}

// relative in the first of the roots that has it; empty when none does.
std::string findIn(const std::vector<fs::path>& roots, const std::string& relative)
{
    std::error_code ec;
    for (const fs::path& root : roots)
        if (!root.empty() && fs::is_regular_file(root / relative, ec))
            return (root / relative).lexically_normal().string();
    return std::string();
}

std::string absolute(const std::string& path)
{
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

} // namespace

// The running program as the web API sees it: the transport, the music and the running
// timeline, all on the frame loop.
class EditMode::WebHost : public WebApi::Host {
public:
    explicit WebHost(EditMode& mode) : mode(mode) {}

    static uint32_t rate() { return static_cast<uint32_t>(ORVDemosys::tracks->getRowsPerSecond()); }
    // The first ms of a row, which the timer counts as that row.
    static uint32_t msOfRow(uint32_t row) { return static_cast<uint32_t>((uint64_t(row) * 1000 + rate() - 1) / rate()); }
    static uint32_t rowOfMs(uint32_t ms) { return static_cast<uint32_t>(uint64_t(ms) * rate() / 1000); }
    static Transport& transport() { return ORVDemosys::editSession->getTransport(); }

    uint32_t currentRow() const override { return rowOfMs(transport().getTimeMs()); }
    bool isPlaying() const override { return !transport().isPaused(); }
    bool loopRows(uint32_t& first, uint32_t& last) const override
    {
        if (!transport().isLooping())
            return false;
        first = rowOfMs(transport().getLoopStartMs());
        last = rowOfMs(transport().getLoopEndMs());
        return true;
    }
    void seek(uint32_t row) override { transport().seek(msOfRow(row)); }
    void setPaused(bool paused) override
    {
        if (paused)
            transport().pause();
        else
            transport().resume();
    }
    void setLoop(uint32_t first, uint32_t last) override { transport().setLoop(msOfRow(first), msOfRow(last)); }
    void clearLoop() override { transport().clearLoop(); }
    uint32_t startMs() const override { return ORVDemosys::startTime.getTotal(); }
    uint32_t endMs() const override { return ORVDemosys::endTime.getTotal(); }

    void waveform(uint32_t width, std::vector<float>& low, std::vector<float>& high) override
    {
        if (width == cachedWidth) {
            low = cachedLow;
            high = cachedHigh;
            return;
        }
        low.assign(width, 0.0f);
        high.assign(width, 0.0f);
        const FMODTimer* music = dynamic_cast<const FMODTimer*>(static_cast<Timer*>(ORVDemosys::timer));
        const Sound* sound = music ? music->getSound() : nullptr;
        if (sound && sound->getSampleRate() > 0 && endMs() > startMs()) {
            const std::vector<int16_t>& pcm = sound->pcm();
            const uint64_t frames = sound->frameCount();
            const double framesPerMs = sound->getSampleRate() / 1000.0;
            const double msPerColumn = double(endMs() - startMs()) / width;
            for (uint32_t c = 0; c < width; ++c) {
                const uint64_t from = std::min<uint64_t>(frames, uint64_t((startMs() + c * msPerColumn) * framesPerMs));
                const uint64_t to = std::min<uint64_t>(frames, uint64_t((startMs() + (c + 1) * msPerColumn) * framesPerMs));
                int lo = 0, hi = 0;
                for (uint64_t f = from; f < to; ++f) {
                    // Both channels in one envelope.
                    const int a = pcm[2 * f], b = pcm[2 * f + 1];
                    lo = std::min(lo, std::min(a, b));
                    hi = std::max(hi, std::max(a, b));
                }
                low[c] = lo / 32768.0f;
                high[c] = hi / 32767.0f;
            }
        }
        cachedWidth = width;
        cachedLow = low;
        cachedHigh = high;
    }

    bool drawnValue(const std::string& effect, const std::string& curve, uint32_t row, float& value) override
    {
        const EffectTracks* entry = ORVDemosys::tracks->findEntry(effect);
        if (!entry)
            return false;
        if (curve.empty()) {
            value = entry->startStop->isActive(row) ? 1.0f : 0.0f;
            return true;
        }
        const auto c = entry->tracksByName.find(curve);
        if (c == entry->tracksByName.end())
            return false;
        value = c->second->getValue(msOfRow(row));
        return true;
    }

    void applyEdit() override { mode.applyEdit(); }

private:
    EditMode& mode;
    uint32_t cachedWidth = 0;
    std::vector<float> cachedLow, cachedHigh;
};

EditMode::EditMode() = default;

EditMode::~EditMode()
{
    if (ORVDemosys::editSession)
        ORVDemosys::editSession->setFrameHook(nullptr);
    web.reset();
    link.reset();
    if (linkDirectory.empty())
        return;
    std::error_code ec;
    fs::remove(fs::path(linkDirectory) / "resources", ec);
    fs::remove(linkDirectory, ec);
}

const char* EditMode::usage()
{
    return "[--edit [--size WxH] [--quality N] [--resources DIR] [--sync FILE] [--score FILE] "
           "[--rocket [HOST:PORT]] [--web [PORT]]]";
}

Status EditMode::takeOption(int argc, char** argv, int& i)
{
    const std::string arg = argv[i];
    if (arg == "--edit") {
        enabled = true;
        return Status::success();
    }
    if (arg == "--web") {
        // The port is optional; 0 takes any free one.
        if (i + 1 < argc && argv[i + 1][0] != '-') {
            const std::string digits = argv[++i];
            if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos ||
                std::stoul(digits) > 65535)
                return Status::failure("--web takes a port from 0 to 65535 (default 7331), not '" + digits + "'");
            webPort = static_cast<uint16_t>(std::stoul(digits));
        }
        webEnabled = true;
        return Status::success();
    }
    if (arg == "--rocket") {
        // The address is optional: a following option is not one.
        std::string address;
        if (i + 1 < argc && argv[i + 1][0] != '-')
            address = argv[++i];
        if (!RocketLink::parseAddress(address, rocketHost, rocketPort))
            return Status::failure("--rocket takes HOST:PORT (default 127.0.0.1:1338), not '" + address + "'");
        rocketEnabled = true;
        return Status::success();
    }
    const bool hasValue = i + 1 < argc;
    std::string* text = arg == "--resources" ? &resourcesOption
                        : arg == "--sync"    ? &syncOption
                        : arg == "--score"   ? &scoreOption
                                             : nullptr;
    if (!text && arg != "--size" && arg != "--quality")
        return Status::failure("unknown argument '" + arg + "'");
    if (!hasValue)
        return Status::failure(arg + " needs a value");
    const std::string value = argv[++i];
    if (text) {
        *text = value;
        return Status::success();
    }
    char rest = 0;
    if (arg == "--size") {
        int w = 0, h = 0;
        if (std::sscanf(value.c_str(), "%dx%d%c", &w, &h, &rest) != 2 || w < 1 || h < 1)
            return Status::failure("--size takes WIDTHxHEIGHT, not '" + value + "'");
        width = w;
        height = h;
        sizeGiven = true;
        return Status::success();
    }
    int q = 0;
    if (std::sscanf(value.c_str(), "%d%c", &q, &rest) != 1 || q < 0 || q > 3)
        return Status::failure("--quality takes 0 (low) to 3 (ultra), not '" + value + "'");
    quality = q;
    return Status::success();
}

Status EditMode::prepare(const std::string& defaultSync, const std::string& defaultScore)
{
    const fs::path resources = absolute(resourcesOption.empty() ? std::string("resources") : resourcesOption);
    std::error_code ec;
    if (!fs::is_directory(resources, ec))
        return Status::failure(resourcesOption.empty()
                                   ? "no resources/ in the working directory (--resources DIR names a resource tree)"
                                   : "no resource tree '" + resourcesOption + "'");
    // The defaults are looked for in the working directory, then in the checkout the
    // resource tree belongs to: the source of the build it lies in, or the directory
    // that holds it.
    const fs::path above = resources.parent_path();
    const std::vector<fs::path> roots = {fs::current_path(ec), checkoutOfBuild(above), above};
    syncPath = !syncOption.empty() ? absolute(syncOption) : defaultSync.empty() ? std::string() : findIn(roots, defaultSync);
    scorePath = !scoreOption.empty() ? absolute(scoreOption)
                : defaultScore.empty() ? std::string()
                                       : findIn(roots, defaultScore);
    if (syncPath.empty() && !defaultSync.empty())
        Log::warning() << "Edit : no " << defaultSync << " found: the sync script is not watched (--sync FILE names it)"
                  << std::endl;

    // The engine reads resources/ of the working directory.
    fs::path directory = above;
    if (resources.filename() != "resources") {
        char pattern[] = "/tmp/demosys-edit-XXXXXX";
        if (!mkdtemp(pattern))
            return Status::failure("cannot make a directory for a link to " + resources.string());
        linkDirectory = pattern;
        fs::create_directory_symlink(resources, fs::path(linkDirectory) / "resources", ec);
        if (ec)
            return Status::failure("cannot link to " + resources.string() + ": " + ec.message());
        directory = linkDirectory;
    }
    fs::current_path(directory, ec);
    if (ec)
        return Status::failure("cannot change to " + directory.string() + ": " + ec.message());
    Log::info() << "Edit : resources from " << resources.string() << std::endl;
    return Status::success();
}

bool EditMode::reloadSync(const std::string& path, std::vector<std::string>& errors)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors.push_back(path + ": cannot be read");
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    // The script as the link last saved it: the keys being edited stay.
    if (!edit.isLoaded() || text.str() != edit.getBaseText()) {
        SyncScriptEdit fresh;
        Status loaded = fresh.loadText(text.str(), path);
        if (!loaded) {
            errors.push_back(loaded.reason());
            return false;
        }
        if (edit.isLoaded() && edit.isModified())
            Log::info() << "Edit : the sync script changed on disk: " << edit.getPendingChanges()
                      << " unsaved changes from the editor are replaced by it" << std::endl;
        const bool reloaded = edit.isLoaded();
        edit = std::move(fresh);
        if (reloaded)
            pushTimeline("the sync script changed on disk");
    }
    applyEdit();
    return true;
}

void EditMode::applyEdit()
{
    TimelineDocument document;
    edit.build(document);
    std::vector<std::string> notes;
    ORVDemosys::tracks->adoptKeys(*document.manager(), resolveTarget, notes);
    for (const std::string& note : notes)
        Log::info() << "Edit : " << note << std::endl;
}

void EditMode::startLink()
{
    if (syncPath.empty()) {
        Log::warning() << "Rocket: no sync script to key into: the link is off" << std::endl;
        return;
    }
    std::vector<std::string> names;
    linkTracks.clear();
    for (const EffectTracks* entry : ORVDemosys::tracks->getDrawOrder()) {
        for (const TrackInterpolate* curve : entry->tracks) {
            names.push_back(entry->name + ":" + curve->getName());
            linkTracks.push_back(LinkTrack{entry->name, curve->getName(), entry->startStop->getPriority()});
        }
        names.push_back(entry->name + ":active");
        linkTracks.push_back(LinkTrack{entry->name, std::string(), entry->startStop->getPriority()});
    }
    const int32_t rate = ORVDemosys::tracks->getRowsPerSecond();
    const uint32_t lastRow = static_cast<uint32_t>(uint64_t(ORVDemosys::endTime.getTotal()) * rate / 1000);
    link = std::make_unique<RocketLink>(
        rocketHost, rocketPort, names, lastRow, [this](const RocketProtocol::Command& c) { linkCommand(c); },
        [](const std::string& line, bool problem) {
            (problem ? Log::error() : Log::info()) << line << std::endl;
            if (problem)
                ORVDemosys::editSession->showErrors("rocket", {line});
            else
                ORVDemosys::editSession->getOverlay().clearError("rocket");
        });
    Log::info() << "Rocket: linking to the editor at " << rocketHost << ":" << rocketPort << " (" << names.size()
              << " tracks)" << std::endl;
}

void EditMode::linkCommand(const RocketProtocol::Command& command)
{
    Transport& transport = ORVDemosys::editSession->getTransport();
    const int32_t rate = ORVDemosys::tracks->getRowsPerSecond();
    switch (command.type) {
    case RocketProtocol::SetRow:
        transport.seek(static_cast<uint32_t>(uint64_t(command.row) * 1000 / rate));
        return;
    case RocketProtocol::Pause:
        if (command.pause)
            transport.pause();
        else
            transport.resume();
        return;
    case RocketProtocol::SaveTracks: {
        const int changes = edit.getPendingChanges();
        Status saved = edit.save();
        if (saved) {
            Log::info() << "Rocket: saved " << changes << " changes into " << edit.getPath() << std::endl;
            ORVDemosys::editSession->getOverlay().clearError("rocket");
        } else {
            Log::error() << "Rocket: " << saved.reason() << std::endl;
            ORVDemosys::editSession->showErrors("rocket", {saved.reason()});
        }
        return;
    }
    default: break;
    }
    if (!edit.isLoaded()) {
        // Keys go into the script: not while it has errors.
        const std::string line = "Rocket: the sync script has errors: the key at row " + std::to_string(command.row) +
                                 " is not taken";
        Log::error() << line << std::endl;
        ORVDemosys::editSession->showErrors("rocket", {line});
        return;
    }
    const LinkTrack& track = linkTracks[command.track];
    if (!edit.hasEffect(track.effect))
        edit.addEffect(track.effect, track.priority);
    Status refused;
    bool changed = false;
    if (track.curve.empty()) {
        if (command.type == RocketProtocol::DeleteKey) {
            refused = edit.deleteStartStop(track.effect, command.row);
            changed = refused.ok();
        } else {
            // 1 starts the effect, 0 stops it. A start draws where the effect's start
            // before it drew (its first start's target when there is none before).
            const bool start = command.value >= 0.5f;
            const StartStopKey key(command.row, start ? StartStopKey::Start : StartStopKey::Stop,
                                   start ? edit.startTargetAt(track.effect, command.row) : std::string("screen"));
            bool same = false;
            for (const StartStopKey& k : edit.startStopKeys(track.effect))
                same = same || (k.row == key.row && k.type == key.type);
            if (!same)
                refused = edit.setStartStop(track.effect, key);
            changed = !same && refused.ok();
        }
    } else if (command.type == RocketProtocol::DeleteKey) {
        changed = edit.deleteCurveKey(track.effect, track.curve, command.row);
    } else {
        // An engine type the editor cannot show comes back as its nearest: it stays.
        const InterpolateKey* old = edit.findCurveKey(track.effect, track.curve, command.row);
        const uint32_t type = RocketProtocol::keptType(command.keyType, old ? int64_t(old->type) : -1);
        if (!old || old->value != command.value || old->type != type)
            changed = edit.setCurveKey(track.effect, track.curve, InterpolateKey(command.row, command.value, type));
    }
    if (!refused) {
        Log::error() << "Rocket: " << refused.reason() << std::endl;
        ORVDemosys::editSession->showErrors("rocket", {refused.reason()});
    }
    if (changed) {
        applyEdit();
        pushTrack(track.effect, track.curve);
        if (!keyDrawn) {
            keyDrawn = true;
            keyTakenUs = nowUs();
        }
    }
}

bool EditMode::reloadTracks(std::vector<std::string>& errors)
{
    TimelineDocument document;
    Status loaded = document.load(ORVDemosys::trackDirectory, TimelineDocument::Packed);
    if (!loaded) {
        errors.push_back(loaded.reason());
        return false;
    }
    Status valid = document.validate();
    if (!valid) {
        errors.push_back(ORVDemosys::trackDirectory + ": " + valid.reason());
        return false;
    }
    std::vector<std::string> notes;
    ORVDemosys::tracks->adoptKeys(*document.manager(), resolveTarget, notes);
    for (const std::string& note : notes)
        Log::info() << "Edit : " << note << std::endl;
    return true;
}

bool EditMode::reloadProgram(Program& program, std::vector<std::string>& errors)
{
    const ShaderDeclaration& d = *program.declaration;
    Shader* shader = ORVDemosys::shaderPool->get(d.alias);
    std::string vertex, fragment;
    ShaderSourceMap vertexMap, fragmentMap;
    Status read = ShaderPreprocessor::prepareSources(d.fileName, d.defines, vertex, fragment, &vertexMap, &fragmentMap);
    if (!read) {
        errors = splitLines(read.reason());
        return false;
    }
    // An include added by the edit is watched from now on.
    watchProgram(program, vertexMap.getFiles());
    watchProgram(program, fragmentMap.getFiles());
    const std::string oldVertex = shader->getVertexCode();
    const std::string oldFragment = shader->getFragmentCode();
    shader->setVertexCode(vertex);
    shader->setFragmentCode(fragment);
    if (shader->build())
        return true;
    // The last good program keeps drawing; its sources stay the ones it was built from.
    shader->setVertexCode(oldVertex);
    shader->setFragmentCode(oldFragment);
    errors = splitLines(ShaderSourceMap::translateBuildLog(lastBuildLog(shader->getErrorLog()), vertexMap, fragmentMap));
    return false;
}

void EditMode::watchProgram(Program& program, const std::vector<std::string>& files)
{
    const size_t index = static_cast<size_t>(&program - programs.data());
    for (const std::string& file : files) {
        const std::string path = ORVDemosys::shaderDirectory + file;
        if (!program.watched.insert(path).second)
            continue;
        ORVDemosys::editSession->watchFile(path, program.source, [this, index](const std::string&, std::vector<std::string>& errors) {
            return reloadProgram(programs[index], errors);
        });
    }
}

void EditMode::install()
{
    if (!enabled || !ORVDemosys::timer || !ORVDemosys::tracks || !currentWindow())
        return;
    BeatGrid grid;
    if (!scorePath.empty()) {
        Status loaded = grid.load(scorePath);
        if (loaded)
            Log::info() << "Edit : beat grid from " << scorePath << std::endl;
        else
            Log::error() << "Edit : " << loaded.reason() << " (the grid is 120 beats a minute)" << std::endl;
    }
    ORVDemosys::editSession = new EditSession(ORVDemosys::timer, grid, ORVDemosys::startTime.getTotal(),
                                              ORVDemosys::endTime.getTotal());
    EditSession& session = *ORVDemosys::editSession;
    programKeys = glfwSetKeyCallback(currentWindow(), editKey);

    if (!syncPath.empty()) {
        std::vector<std::string> errors;
        if (reloadSync(syncPath, errors))
            Log::info() << "Edit : timeline from " << syncPath << std::endl;
        else
            session.showErrors("sync script", errors);
        for (const std::string& line : errors)
            Log::info() << "  " << line << std::endl;
        session.watchFile(syncPath, "sync script",
                          [this](const std::string& path, std::vector<std::string>& e) { return reloadSync(path, e); });
    }
    // A compile writes the pair, then track.properties: the last of them to be closed
    // reloads a consistent set.
    for (const char* file : {"index.list", "track.data", "track.properties"})
        session.watchFile(ORVDemosys::trackDirectory + file, "tracks",
                          [this](const std::string&, std::vector<std::string>& e) { return reloadTracks(e); });

    // Every file each program was read from, its includes included; the program is
    // read once more here for the list, as the load keeps none.
    programs.clear();
    programs.reserve(ORVDemosys::shaderDeclarations.size());
    for (const ShaderDeclaration& d : ORVDemosys::shaderDeclarations)
        if (ORVDemosys::shaderPool->get(d.alias))
            programs.push_back(Program{&d, "shader " + d.alias, {}});
    for (Program& program : programs) {
        std::string vertex, fragment;
        ShaderSourceMap vertexMap, fragmentMap;
        // Only the file list is wanted: whatever fails was reported by the load.
        static_cast<void>(ShaderPreprocessor::prepareSources(program.declaration->fileName,
                                                             program.declaration->defines, vertex, fragment,
                                                             &vertexMap, &fragmentMap));
        watchProgram(program, vertexMap.getFiles());
        watchProgram(program, fragmentMap.getFiles());
    }
    Log::info() << "Edit : " << programs.size() << " programs watched" << std::endl;
    if (rocketEnabled)
        startLink();
    if (webEnabled)
        startWeb();
    if (link || web)
        session.setFrameHook([this]() { frameWork(); });
}

void EditMode::frameWork()
{
    if (link) {
        // The frame that drew the editor's last keys has been shown.
        if (keyDrawn) {
            keyDrawn = false;
            Log::info() << "Rocket: key on screen " << (nowUs() - keyTakenUs) / 1000.0 << " ms after it was taken"
                      << std::endl;
        }
        Transport& transport = ORVDemosys::editSession->getTransport();
        const int32_t rate = ORVDemosys::tracks->getRowsPerSecond();
        link->poll(static_cast<uint32_t>(uint64_t(transport.getTimeMs()) * rate / 1000), !transport.isPaused());
    }
    if (web)
        webFrame();
}

void EditMode::startWeb()
{
    if (syncPath.empty() || !edit.isLoaded()) {
        Log::info() << "Web  : no sync script to key into: the timeline editor is off" << std::endl;
        return;
    }
    const int32_t rate = ORVDemosys::tracks->getRowsPerSecond();
    const uint32_t lastRow = static_cast<uint32_t>(uint64_t(ORVDemosys::endTime.getTotal()) * rate / 1000);
    webHost = std::make_unique<WebHost>(*this);
    webApi = std::make_unique<WebApi>(edit, ORVDemosys::editSession->getTransport().getGrid(), lastRow);
    std::error_code ec;
    const std::string pageDirectory = absolute("resources/web");
    if (!fs::is_regular_file(fs::path(pageDirectory) / "index.html", ec))
        Log::info() << "Web  : no web/index.html in the resource tree: the API answers, the page is missing"
                  << std::endl;
    web = std::make_unique<WebEditor>(pageDirectory, WebEditor::sessionToken(), [this](const WebApi::Request& r) {
        WebApi::Reply reply = webApi->handle(r, *webHost);
        if (!reply.changedTrack.empty()) {
            // The demo draws the change in this very frame; every page hears of it.
            applyEdit();
            web->push("{\"type\": \"track\", " + reply.body.substr(1));
        } else if (r.path == "/api/save" && reply.status == 200) {
            web->push("{\"type\": \"saved\", " + reply.body.substr(1));
            Log::info() << "Web  : saved into " << edit.getPath() << std::endl;
        }
        return reply;
    });
    Status started = web->start(webPort);
    if (!started) {
        Log::info() << "Web  : " << started.reason() << ": the timeline editor is off" << std::endl;
        web.reset();
        return;
    }
    web->setRevision(webApi->getRevision());
    Log::info() << "Web  : timeline editor at " << web->pageAddress() << std::endl;
}

void EditMode::webFrame()
{
    if (webChangeDrawn) {
        webChangeDrawn = false;
        Log::info() << "Web  : change on screen " << (WebEditor::nowUs() - webChangeUs) / 1000.0
                  << " ms after it arrived" << std::endl;
    }
    int64_t arrived = 0;
    if (web->poll(arrived) > 0) {
        webChangeDrawn = true;
        webChangeUs = arrived;
    }
    web->setRevision(webApi->getRevision());
    // The row while playing, and every change of the transport, at most once a frame;
    // the message is made only when something moved.
    TransportState now;
    now.row = webHost->currentRow();
    now.playing = webHost->isPlaying();
    now.looping = webHost->loopRows(now.loopFirst, now.loopLast);
    if (now != lastTransport) {
        lastTransport = now;
        web->push("{\"type\": \"row\", " + webApi->transportJson(*webHost).substr(1), true);
    }
}

void EditMode::pushTrack(const std::string& effect, const std::string& curve)
{
    if (!web)
        return;
    webApi->noteChange();
    web->setRevision(webApi->getRevision());
    web->push("{\"type\": \"track\", " + webApi->trackJson(WebApi::TrackName{effect, curve}).substr(1));
}

void EditMode::pushTimeline(const std::string& reason)
{
    if (!web)
        return;
    webApi->noteChange();
    web->setRevision(webApi->getRevision());
    web->push("{\"type\": \"timeline\", \"revision\": " + std::to_string(webApi->getRevision()) +
              ", \"reason\": \"" + reason + "\"}");
}
