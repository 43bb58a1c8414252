#pragma once

#include "Timer.h"

#include <string>
#include <vector>

class Sound;
class SoundChannel;
class SoundSystem;

// The music timer: plays the production's music through the sound layer and keeps the
// base class's clock, rebased on the audible position whenever playback resumes or is
// moved. Between those points the clock runs on the host timer, like the base class.
//
// init loads the music from the path given here, from a loose file (resource mode 0)
// or, in archive mode, from the archive entry of that name played from memory. The
// music then stands paused at 0.
class FMODTimer : public Timer {
public:
    static constexpr int spectrumBufferSize = 8192;
    static constexpr int channelCount = 32;
    static constexpr unsigned initFlags = 0x4000;

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
    // Sound system housekeeping; offline, also moves the music to the clock's time.
    void update() override;
    // mode 0: left, 1: right, 2: left + right, 3: their mean; count values, 1..8192,
    // from 0 Hz to half the sample rate. Other modes and counts write nothing.
    void getSpectrum(int mode, int count, float* out) override;

    // Where the music is, in ms; -1 without a channel. For measuring the clock against it.
    int getMusicPositionMs();
    // The sound layer's output ("device (...)", "silent", ...); "" before init.
    std::string getOutputName() const;

private:
    void releaseAll();

    Sound* sound = nullptr;
    SoundSystem* system = nullptr;
    SoundChannel* channel = nullptr;
    std::vector<float> leftSpectrum;
    std::vector<float> rightSpectrum;
    std::string path;
    Output output;
};
