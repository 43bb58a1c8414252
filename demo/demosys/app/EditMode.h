#pragma once

#include "NonCopyable.h"
#include "Status.h"
#include "SyncScriptEdit.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

class RocketLink;
class WebApi;
class WebEditor;
struct ShaderDeclaration;
namespace RocketProtocol {
struct Command;
}

// A program's live-editing mode (--edit): its command-line options, the loose resource
// tree it reads, and the engine's edit session put together once the production has
// loaded: the transport keys in front of the program's own, the overlay, and reloads of
// the sync script, the packed track files and every shader source and include a program
// was built from. An edit that fails leaves the last good state running and its error on
// the overlay until it is fixed. With --rocket, a sync editor linked over TCP keys the
// running timeline and saves its keys into the sync script (SyncScriptEdit); with --web,
// a page in the browser does the same (WebEditor, WebApi), and both see each other's keys.
//
// Order in main: takeOption() for each argument, prepare() before Demo::load (it makes
// the resource tree the working directory's resources/), then, after Demo::setCallbacks,
// install() and Demo::run.
class EditMode : NonCopyable {
public:
    EditMode();
    ~EditMode();

    // Takes argv[i] when it is one of --edit, --size WxH, --quality N, --resources DIR,
    // --sync FILE, --score FILE, --rocket [HOST:PORT] and --web [PORT], moving i over its
    // value; fails for anything else ("unknown argument 'X'") and for a value missing or
    // malformed.
    Status takeOption(int argc, char** argv, int& i);
    // The options' one-line summary, for usage errors.
    static const char* usage();

    bool isEnabled() const { return enabled; }
    bool hasSize() const { return sizeGiven; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    // -1 when --quality was not given.
    int getQuality() const { return quality; }

    // Resolves the sync script and score (--sync and --score, otherwise the relative
    // defaults looked up in the working directory and in the source checkout of the
    // resource tree) and makes the resource tree (--resources, otherwise resources/)
    // the working directory's resources/. Fails with the reason when there is none.
    Status prepare(const std::string& defaultSync, const std::string& defaultScore);

    // After a successful load and Demo::setCallbacks: makes the engine's edit session
    // (ORVDemosys::editSession), chains its keys in front of the window's key callback
    // and watches the files. The sync script, when there is one, is applied at once, so
    // the preview plays what the script says even when the packed tracks are older.
    void install();

    const std::string& getSyncPath() const { return syncPath; }

private:
    struct Program {
        const ShaderDeclaration* declaration = nullptr;
        std::string source;
        std::set<std::string> watched;
    };

    bool reloadSync(const std::string& path, std::vector<std::string>& errors);
    // The keys being edited onto the running timeline.
    void applyEdit();
    void startLink();
    void linkCommand(const RocketProtocol::Command& command);
    void startWeb();
    // Once a frame: the link's and the page's requests and news.
    void frameWork();
    void webFrame();
    // Tells the pages about keys changed elsewhere: one track, or the whole timeline.
    void pushTrack(const std::string& effect, const std::string& curve);
    void pushTimeline(const std::string& reason);
    bool reloadTracks(std::vector<std::string>& errors);
    bool reloadProgram(Program& program, std::vector<std::string>& errors);
    // Watches the files of a program that are not watched yet.
    void watchProgram(Program& program, const std::vector<std::string>& files);

    bool enabled = false;
    bool sizeGiven = false;
    int width = 1280;
    int height = 720;
    int quality = -1;
    std::string resourcesOption;
    std::string syncOption;
    std::string scoreOption;

    std::string syncPath;
    std::string scorePath;
    // The directory made to hold a resources link when the tree has another name.
    std::string linkDirectory;
    std::vector<Program> programs;

    bool rocketEnabled = false;
    std::string rocketHost;
    uint16_t rocketPort = 0;
    // The sync script as keys, for the link's edits and saves.
    SyncScriptEdit edit;
    struct LinkTrack {
        std::string effect;
        std::string curve; // empty: the effect's start/stop track
        int32_t priority = 0;
    };
    std::vector<LinkTrack> linkTracks; // by the link's track index
    std::unique_ptr<RocketLink> link;
    // When the first key of the frame being drawn was taken: the next frame reports how
    // long it took to reach the screen.
    bool keyDrawn = false;
    int64_t keyTakenUs = 0;

    bool webEnabled = false;
    uint16_t webPort = 7331;
    class WebHost;
    std::unique_ptr<WebHost> webHost;
    std::unique_ptr<WebApi> webApi;
    std::unique_ptr<WebEditor> web;
    // The transport as the pages were last told it.
    struct TransportState {
        uint32_t row = UINT32_MAX;
        bool playing = false;
        bool looping = false;
        uint32_t loopFirst = 0, loopLast = 0;
        bool operator!=(const TransportState& o) const
        {
            return row != o.row || playing != o.playing || looping != o.looping ||
                   (looping && (loopFirst != o.loopFirst || loopLast != o.loopLast));
        }
    };
    TransportState lastTransport;
    bool webChangeDrawn = false;
    int64_t webChangeUs = 0;
};
