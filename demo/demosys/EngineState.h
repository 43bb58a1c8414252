#pragma once

#include "EngineSlot.h"

class DataBinaryPool;
class DataEffectPool;
class DataFBOPool;
class DataObjectPool;
class DataShaderPool;
class DataTexturePool;
class DataVideoPool;
class EditSession;
class FrameProfiler;
class ProgressBar;
class ScreenMetrics;
class ShaderCache;
class Timer;
class TrackManager;

// The one owner of the engine's run-time objects. Code reaches each piece through its
// ORVDemosys:: name (ORVDemosys::texturePool is texturePool here); the state itself is
// made before main runs and is never destroyed by the process's exit: what shutdown did
// not release belongs to a GL context that may be gone by then.
class EngineState {
public:
    constexpr EngineState() = default;
    EngineState(const EngineState&) = delete;
    EngineState& operator=(const EngineState&) = delete;

    // "[Creating DataPools]": the eight pools, in this order (replacing any held).
    void createPools();

    // Releases everything, in this order:
    //   0. the live-editing session (its overlay draws in the window's context) and the
    //      frame profiler;
    //   1. the loading screen;
    //   2. "[Deleting Pools]": the timeline lets go of the effects and their curves,
    //      then the pools in creation order (scenes, textures, effect prototypes, effect
    //      instances with their curves, binaries, shaders, framebuffers, videos);
    //   3. "delete ORVDemosys::tracks": the timeline;
    //   4. "delete ORVDemosys::timer": the timer (and with it the music);
    //   5. the shader cache, once no scene points at its instances any more.
    // The screen settings belong to main and stay as they are.
    void release();

    EngineSlot<ProgressBar> progressBar;
    EngineSlot<DataObjectPool> sceneDataPool;
    EngineSlot<DataTexturePool> texturePool;
    EngineSlot<DataEffectPool> effectPool;         // prototypes by class name
    EngineSlot<DataEffectPool> effectInstancePool; // instances by instance name
    EngineSlot<DataBinaryPool> binaryPool;
    EngineSlot<DataShaderPool> shaderPool;
    EngineSlot<DataFBOPool> fboPool;
    EngineSlot<DataVideoPool> videoPool;
    EngineSlot<TrackManager> tracks;
    EngineSlot<Timer> timer;
    EngineSlot<ShaderCache> shaderCache;
    // Live editing, when a program installs it after the load (null otherwise).
    EngineSlot<EditSession> editSession;
    // Per-effect GL times, when a program installs a profiler (null otherwise).
    EngineSlot<FrameProfiler> frameProfiler;
    // Not owned: main's screen settings, once a window has been opened.
    ScreenMetrics* screenMetrics = nullptr;
};
