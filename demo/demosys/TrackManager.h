#pragma once

#include "NonCopyable.h"
#include "Status.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Effect;
class FBO;
class ResourceFile;
class TrackStorage;
class TrackInterpolate;
class TrackStartStop;

// Answers whether name is a render target the effects may draw into; on true it stores
// the framebuffer (null allowed) into *fbo. The loading stage passes one over the FBO
// pool; tools that only move track data around pass acceptAllTargets().
using TargetResolver = std::function<bool(const std::string& name, FBO** fbo)>;

// The timeline's record of one effect instance.
struct EffectTracks {
    EffectTracks();
    ~EffectTracks();

    // When and into which target the effect draws; owned here.
    std::unique_ptr<TrackStartStop> startStop;
    // The effect's curves (the effect owns them), by name and in the order it added them.
    std::map<std::string, TrackInterpolate*> tracksByName;
    std::vector<TrackInterpolate*> tracks;
    std::string name;
    // Not owned; may be null for tools that hold track data without effects.
    Effect* effect = nullptr;
};

// The effect timeline: loads and checks the start/stop track and the curves of every
// effect instance, and every frame calls the active effects in priority order.
class TrackManager : NonCopyable {
public:
    static constexpr int32_t defaultRowsPerSecond = 20;

    TrackManager();
    ~TrackManager();

    // The row rate of the engine's timeline (ORVDemosys::tracks), or the default while
    // there is none. Curves read their rate here.
    static int32_t timelineRowsPerSecond();
    // Accepts every non-empty name, without a framebuffer, so target names survive a
    // load and save.
    static TargetResolver acceptAllTargets();

    // Builds the timeline from the packed pair trackDirectory + "index.list" and
    // trackDirectory + "track.data", read through ORVIO. effectNames[i] names effects[i].
    // Targets the resolver does not know (all, without a resolver) become the screen.
    // The result is never null; a corrupt file is reported and fails validate().
    static std::unique_ptr<TrackManager> load(const std::string& trackDirectory,
                                              const std::vector<std::string>& effectNames,
                                              const std::vector<Effect*>& effects,
                                              const TargetResolver& resolver = TargetResolver());
    // The same from one file per track: trackDirectory/N.track and trackDirectory/N.T.track.
    static std::unique_ptr<TrackManager> loadFromFiles(const std::string& trackDirectory,
                                                       const std::vector<std::string>& effectNames,
                                                       const std::vector<Effect*>& effects,
                                                       const TargetResolver& resolver = TargetResolver());

    // Enters an effect with its start/stop track (an empty one of priority -1 when
    // null) and registers the effect's curves. An existing name is refused. Call
    // arrangeDrawOrder() once all entries are in.
    EffectTracks* addEntry(const std::string& name, Effect* effect, std::unique_ptr<TrackStartStop> startStop);
    // Orders the entries by priority (ties keep the selection sort's order) and
    // renumbers the priorities 0, 1, 2, ...
    void arrangeDrawOrder();

    // Live editing: takes the keys of a timeline built anew (from an edited script,
    // say) while the effects, their curves and their state stay. Every entry of this
    // timeline gets the start/stop track of fresh's entry of the same name (taken out
    // of fresh; an empty one when fresh has none) with its targets resolved again, and
    // each of its curves the keys of fresh's curve of that name (none when fresh has
    // none); then the drawing order is rebuilt. Effects and curves that fresh names but
    // this timeline lacks change nothing and are listed in notes, one line each, as is
    // a rate other than this timeline's (which stays: the timer counts rows at it). Check
    // fresh with validate() first: this takes whatever it holds.
    void adoptKeys(TrackManager& fresh, const TargetResolver& resolver, std::vector<std::string>& notes);

    // Reports a load that failed and then the start/stop check of every entry.
    bool validate() const;
    bool checkInstances() const { return true; }
    // The first corruption found while loading (each is logged as it is found); the
    // timeline is usable either way, a corrupt track being a never-active dummy.
    Status loadStatus() const { return loadError.empty() ? Status::success() : Status::failure(loadError); }

    // The rate must lie in 1..1000, the range the timer accepts.
    void setRowsPerSecond(int32_t n);
    int32_t getRowsPerSecond() const { return rowsPerSecond; }

    int getEntryCount() const { return static_cast<int>(entriesByName.size()); }
    // The i-th entry in name order; null when i is out of range.
    EffectTracks* getEntry(int i) const;
    EffectTracks* findEntry(const std::string& name) const;
    // Entries plus all their curves: the number of files the writers produce.
    int getTrackFileCount() const;
    const std::vector<EffectTracks*>& getDrawOrder() const { return drawOrder; }

    // Exchanges the entries at draw positions i and j and their priority numbers;
    // false (and no change) when either is out of range.
    bool swapPriorities(int i, int j);

    // One frame: update, then draw (into each effect's target), then postDraw for every
    // effect active at row, each pass in priority order. When the last active effect
    // drawn to the screen that shows only part of what lies beneath (Effect::shownArea)
    // is known, the effects drawn before it are clipped to that part (FBO::setShownArea).
    void drawFrame(uint32_t timeMs, uint32_t row, int32_t deltaMs);
    // Whether an effect active at row draws to the screen and covers it (coversTarget):
    // the frame loop then leaves out the screen's clear.
    bool coversScreen(uint32_t row) const;
    // The effects drawFrame found active, in drawing order.
    const std::vector<EffectTracks*>& getActiveEntries() const { return active; }
    // The active effect of that name in the last frame, or null.
    Effect* findActiveEffect(std::string_view name) const;
    // The effect drawn right after effect in the last frame (null: effect was the last
    // or not active): an effect whose result only that one reads can hand it its last
    // pass.
    Effect* nextActiveEffect(const Effect* effect) const;
    // True while drawFrame runs: an effect drawn outside it (by a tool or a test) has no
    // frame to ask findActiveEffect about.
    bool isDrawingFrame() const { return drawing; }

    void printPriorities() const;

    // Forgets every effect and its curves (the start/stop tracks stay). Shutdown calls it
    // before the effects are deleted, so the timeline never points at a freed curve.
    void detachEffects();

    // Writers for the editing tools; each fails with a line naming the file that cannot
    // be written.
    Status saveFiles(const std::string& directory) const;
    Status savePacked(const std::string& directory) const;
    // The enabled flags, in "resources/tracks/track.properties" or in directory.
    Status saveProperties() const;
    Status saveProperties(const std::string& directory) const;
    // A missing file changes nothing and is no error; a corrupt one fails with the line
    // naming it.
    Status loadProperties();
    Status loadProperties(const std::string& directory);

private:
    static std::unique_ptr<TrackManager> loadFrom(TrackStorage& source, const std::vector<std::string>& effectNames,
                                                  const std::vector<Effect*>& effects, const TargetResolver& resolver);
    void fail(const std::string& message);

    std::map<std::string, std::unique_ptr<EffectTracks>> entriesByName;
    std::vector<EffectTracks*> drawOrder;
    // Rebuilt every frame in place: its capacity covers every entry, so a frame in
    // steady state allocates nothing.
    std::vector<EffectTracks*> active;
    bool drawing = false;
    int32_t rowsPerSecond = defaultRowsPerSecond;
    std::string loadError;
};
