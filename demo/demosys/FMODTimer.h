#pragma once

#include "Timer.h"

#include <string>
#include <vector>

class Sound;
class SoundChannel;
class SoundSystem;

// The music timer: plays the production's music through the sound layer and keeps the
// base class's clock, rebased on the audible position whenever playback resumes or is
// moved. Between those points the clock runs on the host timer, like the base class;
// on an audio device it also follows what the device has played, since no device keeps
// the host timer's pace exactly: every update() compares the clock with the played
// position and lets the clock run a little faster or slower (the device's measured pace
// plus a correction, at most maxSlew off real time) until they agree. The clock never
// runs backwards and never jumps, except that it snaps to the music on a pause, resume
// or seek and when it is more than snapMs behind it. When it gets more than holdMs ahead
// of what has been played (the device stalled: a starved audio thread) it stands until
// the music catches up, so the picture waits for the sound. On the silent clock and
// offline the music runs on the host timer itself.
//
// init loads the music from the path given here, from a loose file (resource mode 0)
// or, in archive mode, from the archive entry of that name played from memory. The
// music then stands paused at 0.
class FMODTimer : public Timer {
public:
    static constexpr int spectrumBufferSize = 8192;
    static constexpr int channelCount = 32;
    static constexpr unsigned initFlags = 0x4000;
    // Following the device: the most the clock's pace may differ from the host timer's,
    // the time in which a difference from the music is corrected, how far behind the
    // music the clock may fall before it snaps to it and how far ahead before it
    // stands, and the stretch of play over which the device's pace is measured.
    static constexpr double maxSlew = 0.08;
    static constexpr double correctionSeconds = 0.2;
    static constexpr double snapMs = 120.0;
    static constexpr double holdMs = 4.0;
    static constexpr double paceWindowSeconds = 2.0;

    // Live plays on the audio device (or silently in real time without one). Offline
    // plays nothing: the music stands where the clock says, set at every update(), so
    // a frame drawn at time t reads the spectrum of the music at t whatever the speed
    // of drawing (offline rendering drives the clock).
    enum class Output { Live, Offline };

    FMODTimer(const std::string& path, uint32_t rate, Output output = Output::Live);
    // Shuts the music down if that has not happened yet.
    ~FMODTimer() override;

    bool init() override;
    // Stops the music and releases the sound and the system: true on success, false
    // (with the message set and the handles kept) when the channel cannot be stopped.
    bool shutdown() override;
    void pause() override;
    void play() override;
    void setTimeMs(int ms) override;
    int getTimeMs() override;
    // Sound system housekeeping; offline, also moves the music to the clock's time.
    void update() override;
    // The decoded music's spectrum at timeMs, never what the output happens to have
    // played: mode 0: left, 1: right, 2: left + right, 3: their mean; count values,
    // 1..8192, from 0 Hz to half the sample rate. Other modes and counts write nothing.
    void getSpectrumAt(double timeMs, int mode, int count, float* out) override;

    // Where the music is, in ms; -1 without a channel. For measuring the clock against it.
    int getMusicPositionMs();
    // The sound layer's output ("device (...)", "silent", ...); "" before init.
    std::string getOutputName() const;
    // How fast the clock runs now against the host timer (1 unless it follows a device).
    double getPace() const { return pace; }
    // The decoded music; null before init or without one.
    const Sound* getSound() const { return sound; }

private:
    void releaseAll();
    // The played position in fractional ms; negative without a channel.
    double playedMs() const;
    // The clock while it follows the device, at host time seconds.
    double followedMs(double seconds) const;
    // Puts the clock at ms now, at the device's measured pace.
    void snapTo(double ms, double seconds);
    // One correction step against the device's played position.
    void follow();

    Sound* sound = nullptr;
    SoundSystem* system = nullptr;
    SoundChannel* channel = nullptr;
    std::vector<float> leftSpectrum;
    std::vector<float> rightSpectrum;
    std::string path;
    Output output;
    bool onDevice = false;
    // The followed clock reads anchorMs at host time anchorSeconds and runs at pace.
    double anchorMs = 0.0;
    double anchorSeconds = 0.0;
    double pace = 1.0;
    // The device's pace against the host timer, measured since the reference point.
    double devicePace = 1.0;
    bool paceMeasured = false;
    double paceFromMs = 0.0;
    double paceFromSeconds = 0.0;
};
