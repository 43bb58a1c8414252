#pragma once

#include "NonCopyable.h"
#include "ScreenArea.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class Binary;
class FBO;
class ORVScene;
class Shader;
class ShaderInstance;
class Texture;
class TrackInterpolate;

// The base of every visual element the timeline draws. A production derives one class
// per kind of effect, registers a prototype of it under its class name and creates named
// instances from the prototype. The engine calls setup() right after creation, init()
// once all resources are loaded, and update(), draw() and postDraw() every frame while
// the timeline says the instance is active (each call for all active instances before
// the next kind of call).
class Effect : NonCopyable {
public:
    Effect();
    virtual ~Effect();

    // Every frame, before any active effect is drawn.
    virtual void update(uint32_t timeMs);
    // Every frame, in the timeline's priority order; target is the framebuffer of the
    // current range, null for the screen.
    virtual void draw(uint32_t timeMs, int32_t deltaMs, FBO* target);
    // Every frame, after every active effect was drawn.
    virtual void postDraw(uint32_t timeMs);
    // True when draw() writes every pixel of its target opaquely, whatever it read: the
    // engine then leaves out the frame's clear of a screen that such an effect draws to
    // (on a software rasteriser a clear costs about as much as a pass), depth and
    // stencil included, so nothing drawn to the screen that frame may rely on those.
    virtual bool coversTarget() const { return false; }
    // The part of the screen through which the effects drawn before this one can be
    // seen, asked every frame after update(): an effect that draws to the screen and
    // paints opaque bars over the picture, whatever lies beneath, returns the rest
    // (with room for what the effects before it read around a pixel). While the engine
    // clips (FBO::setClipping), those effects then draw into the framebuffers that follow
    // the screen (FBO::setFollowsScreen) only there. The whole screen by default.
    virtual ScreenArea shownArea() const { return ScreenArea(); }
    // Once, after every resource was loaded: look resources up here.
    virtual void init();
    // A new effect of the same class with no tracks; called on the prototype.
    virtual Effect* create();
    // Once, on a new instance: declare the sync tracks here with addTrack().
    virtual void setup();

    // Look-ups of the named resources an effect uses; a missing name stops the program
    // (a production that names a resource it did not declare cannot run).
    Shader* GetShader(std::string name);
    Texture* GetTexture(std::string name);
    FBO* GetFBO(std::string name);
    ORVScene* GetScene(std::string name);
    Binary* GetBinary(std::string name);
    // The production's shader cache's instance of that name; the cache itself stops the
    // program on a missing name. Null only when no cache exists.
    ShaderInstance* GetShaderInstance(std::string name);
    // An effect instance (never a prototype) by instance name.
    Effect* GetEffect(std::string name);

    // Creates a curve named name, stores it into out and appends it to this effect's
    // tracks. The timeline loader fills its keys.
    void addTrack(const std::string& name, TrackInterpolate** out);
    // addTrack for each pair, in order: addTracks({{"x", &x}, {"y", &y}}).
    void addTracks(std::initializer_list<std::pair<const char*, TrackInterpolate**>> named);
    int getTrackCount() const { return static_cast<int>(tracks.size()); }
    // The index must be below getTrackCount().
    TrackInterpolate* getTrack(int index) const;

    bool isOnTimeline() const { return onTimeline; }
    void setOnTimeline(bool on) { onTimeline = on; }

    // The music time (ms) at which the range the timeline draws this effect in began,
    // set before each frame's calls. What builds up while an effect runs (a turn, a
    // drift) is computed from here to the frame's time, never from frame to frame, so a
    // frame is the same whatever the frame rate, the pauses or where the run started.
    uint32_t getRangeStartMs() const { return rangeStartMs; }
    void setRangeStartMs(uint32_t ms) { rangeStartMs = ms; }

private:
    // The curves in the order they were added. The effect owns them, so they live as
    // long as the effect that reads them and are released with it.
    std::vector<std::unique_ptr<TrackInterpolate>> tracks;
    bool onTimeline = false;
    uint32_t rangeStartMs = 0;
};

// What every effect class would otherwise write again: create(), which makes a new
// Derived for the registry. Derive as class MyEffect : public EffectOf<MyEffect>, or
// EffectOf<MyEffect, SomeEffectBase> to sit on a production's own base class.
template <class Derived, class Base = Effect>
class EffectOf : public Base {
public:
    Effect* create() override { return new Derived(); }
};

// An effect whose resources the production's definition hands over in one struct
// before init(): setResources() keeps a copy in res.
template <class Derived, class WiredResources, class Base = Effect>
class WiredEffectOf : public EffectOf<Derived, Base> {
public:
    using Resources = WiredResources;
    void setResources(const Resources& r) { res = r; }

protected:
    Resources res;
};
