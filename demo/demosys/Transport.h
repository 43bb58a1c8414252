#pragma once

#include "BeatGrid.h"

#include <cstdint>
#include <string>

class Timer;

// Pause, seek and loop on the demo clock for live editing. It moves the engine's timer
// (the music timer moves the music with it, the free-running clock only itself), so
// the picture and the music stay together. Every action prints one line to standard
// output with the time as MM:SS:mmm, the row and the bar, for example
//
//   Paused at 00:32:000 row 640 bar 17.1
//   Resumed at 00:32:000 row 640 bar 17.1
//   Seek to 00:34:000 row 680 bar 18.1
//   Loop 00:32:000 - 00:48:000 on
//
// While paused the frame loop keeps drawing (so edits show) and the timer's frame
// delta is 0. Seeks stay within the start and end of the demo. update() runs once a
// frame, before the frame reads the time: it jumps back to the loop start when the time
// has reached the loop end, and holds the demo paused at its end instead of letting it
// run out, so the editing session does not end with the music.
class Transport {
public:
    enum class Action {
        None,
        TogglePause,
        NextBeat,
        PreviousBeat,
        NextBar,
        PreviousBar,
        NextSection,
        PreviousSection,
        Forward10s,
        Back10s,
        Home,
        SetLoopStart,
        SetLoopEnd,
        ToggleLoop,
        // Not the transport's own: the caller shows or hides its overlay.
        ToggleOverlay,
    };

    // timer is not owned and must outlive the transport. The demo spans startMs..endMs.
    Transport(Timer* timer, const BeatGrid& grid, uint32_t startMs, uint32_t endMs);

    // The action of a GLFW key with its modifier bits: Space, Right/Left (beat),
    // Shift+Right/Left (bar), Down/Up (section), PageDown/PageUp (10 s), Home, "[", "]",
    // L and Tab. None for every other key.
    static Action actionForKey(int key, int mods);
    // A GLFW key event: presses act, and so do repeats of the seeking keys (holding
    // Right walks beat by beat); releases and other keys do nothing. Returns the action
    // taken, ToggleOverlay for the caller to act on, None when nothing happened.
    Action handleKey(int key, int action, int mods);

    // Performs one action; false for None and ToggleOverlay, which it leaves alone.
    bool perform(Action action);

    void pause();
    void resume();
    void togglePause();
    // Moves the clock to timeMs (clamped to the demo's span), paused or running.
    void seek(uint32_t timeMs);
    void setLoopStart();
    void setLoopEnd();
    // Turns looping on (when the loop has an end after its start) or off.
    void toggleLoop();
    // Sets the loop to firstMs..lastMs (within the demo's span) and turns it on; an empty
    // range leaves it off.
    void setLoop(uint32_t firstMs, uint32_t lastMs);
    // Turns looping off; the range stays for toggleLoop.
    void clearLoop();

    // Once a frame, before the frame reads the time.
    void update();

    bool isPaused() const;
    uint32_t getTimeMs() const;
    bool isLooping() const { return looping; }
    uint32_t getLoopStartMs() const { return loopStartMs; }
    // False while no loop end is set.
    bool hasLoopEnd() const { return loopEndSet; }
    uint32_t getLoopEndMs() const { return loopEndMs; }
    const BeatGrid& getGrid() const { return grid; }
    Timer* getTimer() const { return timer; }

    // "00:32:000 row 640 bar 17.1" for timeMs.
    std::string describe(uint32_t timeMs) const;
    // "00:32:000 - 00:48:000", the end as "--:--:---" while unset.
    std::string loopText() const;
    // "00:32:000".
    static std::string clockText(uint32_t timeMs);

private:
    void seekTo(uint32_t timeMs, bool announce);
    void announceLoop() const;

    Timer* timer;
    BeatGrid grid;
    uint32_t startMs;
    uint32_t endMs;
    bool looping = false;
    uint32_t loopStartMs = 0;
    uint32_t loopEndMs = 0;
    bool loopEndSet = false;
};
