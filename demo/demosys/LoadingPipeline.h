#pragma once

#include "Status.h"

#include <string>

class ScreenMetrics;

// The stages through which the demo turns a production's declarations into loaded,
// named resources and a running clock. Each prints its heading and returns the first
// failure, with the reason the demo prints when it shuts down.
class LoadingPipeline {
public:
    // "[Creating DataPools]": creates the pools, in the order they are deleted later.
    static bool createDataPools();
    // Opens the window (fullscreen or titled), or the offscreen context, and applies the
    // letterbox viewport. A failure is the window layer's ("Failed to open window", "no
    // offscreen GL context: ...").
    static Status openScreen(ScreenMetrics* metrics, const std::string& title, bool offscreen = false);
    // Declares the production's resources and effects, then loads every declared
    // shader, 3D object, texture, binary and video into the pools, advancing the loading
    // screen one step per item. Fails at the first resource that fails.
    static Status loadResources();
    // "[Create track data]": builds the timeline for the instances on it, initialises
    // every instance and runs the timeline's consistency checks. False when they fail;
    // the timeline has logged what is wrong.
    static bool createTrackData();
    // "[Setting up sound]": creates the demo's clock.
    static Status setupSound();
    // Seeks the clock to the production's start and starts playback when there is music.
    static void demoInit();
    // Builds every declared shader again from its files (while the demo runs).
    static Status reloadShaders();
    // Writes a shell script that packs every file the production uses into resources.7z
    // with the given archiver command.
    static void writePackScript(const std::string& command, const std::string& scriptFile);
    // Number of loading-screen steps of the declared resources.
    static int progressTotal();

    // Frees the pools in creation order, the timeline and the clock, and any GL texture
    // still alive.
    static void deletePools();
};
