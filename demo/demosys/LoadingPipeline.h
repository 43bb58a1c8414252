#pragma once

#include <string>

class ResourceLoader;
class ScreenMetrics;

// The stages through which the demo turns a production's declarations into loaded,
// named resources and a running clock. Each prints its heading, reports a failure in
// the loader record and returns false.
class LoadingPipeline {
public:
    // "[Creating DataPools]": creates the pools, in the order they are deleted later.
    static bool createDataPools();
    // Opens the window (fullscreen or titled), or the offscreen context, and applies the
    // letterbox viewport.
    static bool openScreen(ResourceLoader& loader, ScreenMetrics* metrics, const std::string& title,
                           bool offscreen = false);
    // Declares the production's resources and effects, then loads every declared
    // shader, 3D object, texture, binary and video into the pools, advancing the loading
    // screen one step per item. False at the first resource that fails.
    static bool loadResources(ResourceLoader& loader);
    // "[Create track data]": builds the timeline for the instances on it, initialises
    // every instance and runs the timeline's consistency checks.
    static bool createTrackData();
    // "[Setting up sound]": creates the demo's clock.
    static bool setupSound(ResourceLoader& loader);
    // Seeks the clock to the production's start and starts playback when there is music.
    static bool demoInit(ResourceLoader& loader);
    // Builds every declared shader again from its files (while the demo runs).
    static bool reloadShaders(ResourceLoader& loader);
    // Writes a shell script that packs every file the production uses into resources.7z
    // with the given archiver command.
    static void writePackScript(const std::string& command, const std::string& scriptFile);
    // Number of loading-screen steps of the declared resources.
    static int progressTotal();

    // Frees the pools in creation order, the timeline and the clock, and any GL texture
    // still alive.
    static void deletePools();
};
