#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The engine's sound layer: one system that owns an output, the sounds decoded into it
// and a fixed set of channels that play them. It offers what the music timer needs and
// nothing more: a sound from a file or a memory block (MP3 or RIFF WAV, decoded whole to
// 16-bit stereo at load), its length, one channel per playing sound with pause, position
// and stop, and a windowed magnitude spectrum at the playing position.
//
// Output goes to the audio device through SDL. Where no device opens (servers, CI, or
// SDL's "dummy" driver) the system can play silently instead: positions then advance
// with real time, exactly as they would with a device. An offline system has no clock
// at all: positions move only when the caller sets them, so a renderer can step through
// the music and read the spectrum at any frame's time.
//
// Every operation returns a result code (SoundOk or one of the errors below) and writes
// its outputs only on success. Failures that have a cause worth reading (a damaged file,
// no device) leave a text in getLastError(); loading failures also print it once.
// All calls come from one thread; the device's callback runs on SDL's audio thread and
// shares channel state with it under one lock.

enum SoundResult : int {
    SoundOk = 0,
    SoundErrInvalidParam = 1,  // an argument is out of range or null
    SoundErrNotReady = 2,      // the system is not initialised, or already is
    SoundErrFileNotFound = 3,  // the file cannot be opened
    SoundErrFileBad = 4,       // damaged, truncated or unsupported data
    SoundErrOutput = 5,        // no output could be opened and no fallback was allowed
    SoundErrNoChannel = 6,     // every channel is busy
    SoundErrInvalidHandle = 7, // the sound or channel belongs to another system or is gone
};

// A short English name of a result code.
const char* soundResultText(int result);

class Sound;
class SoundChannel;

// Extra information for createSound. size must be sizeof(SoundCreateInfo), so that a
// caller built against another layout is caught; length is the byte count of a memory
// block (ModeMemory).
struct SoundCreateInfo {
    int size = 0;
    unsigned length = 0;
};

class SoundSystem {
public:
    // major * 10000 + minor * 100 + patch.
    static constexpr unsigned version = 10000;

    // init flags.
    static constexpr unsigned InitSilent = 0x1;          // never open the device: silent real-time clock
    static constexpr unsigned InitOffline = 0x2;         // no clock: positions move only when set
    static constexpr unsigned InitSilentFallback = 0x4000; // play silently when no device opens

    // createSound modes.
    static constexpr unsigned ModeSoftware = 0x40; // mixed by this layer (always the case)
    static constexpr unsigned ModeMemory = 0x800;  // nameOrData is a memory block of info->length bytes

    // Time units of lengths and positions.
    static constexpr unsigned UnitMs = 1;
    static constexpr unsigned UnitFrames = 2; // sample frames at the sound's own rate

    // playSound channel indices besides 0..maxChannels-1.
    static constexpr int ChannelFree = -1;  // any free channel
    static constexpr int ChannelReuse = -2; // the channel passed in *channel if it is ours, else a free one

    // Spectrum windows.
    enum Window { WindowRect = 0, WindowTriangle = 1, WindowHamming = 2, WindowHanning = 3, WindowBlackman = 4 };

    static constexpr int maxSpectrum = 8192;
    static constexpr int maxChannelCount = 4096;
    static constexpr int outputRate = 44100;

    // A new, uninitialised system.
    static int create(SoundSystem** system);

    // Stops everything, closes the output, frees every sound and channel and the system
    // itself. Pointers to them are invalid afterwards.
    int release();

    int getVersion(unsigned* outVersion) const;

    // Opens the output: the audio device unless InitSilent or InitOffline is given;
    // when it does not open, the silent clock with InitSilentFallback (announced once
    // on standard output), else SoundErrOutput. driverData is reserved and must be null.
    int init(int maxChannels, unsigned flags, void* driverData);

    // Decodes a whole file (nameOrData is its path) or memory block (ModeMemory; the
    // block may be freed as soon as the call returns). MP3 and RIFF WAV (PCM 8, 16, 24
    // or 32 bit, 32-bit float; mono or stereo) are recognised by their content.
    int createSound(const char* nameOrData, unsigned mode, const SoundCreateInfo* info, Sound** sound);

    // Starts sound on a channel at position 0. channelIndex is 0..maxChannels-1,
    // ChannelFree or ChannelReuse. *channel receives the channel.
    int playSound(int channelIndex, Sound* sound, bool paused, SoundChannel** channel);

    // Once per frame: retires channels whose sound has ended.
    int update();

    // True when the output is the silent clock (no device), also for offline systems.
    bool isSilent() const { return output != OutputDevice; }
    bool isOffline() const { return output == OutputOffline; }
    // "device (DRIVER)", "silent" or "offline"; "" before init.
    std::string getOutputName() const;
    const std::string& getLastError() const { return lastError; }

    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

private:
    friend class Sound;
    friend class SoundChannel;
    enum Output { OutputNone, OutputDevice, OutputSilent, OutputOffline };

    SoundSystem();
    ~SoundSystem();

    bool openDevice(std::string* why);
    void closeDevice();
    static void deviceCallback(void* user, uint8_t* stream, int length);
    void mix(int16_t* out, int frames);
    void forgetSound(Sound* sound);
    bool ownsChannel(const SoundChannel* channel) const;
    bool ownsSound(const Sound* sound) const;
    int fail(int result, const std::string& text);
    // A real-FFT plan of size n, made once per size.
    struct FftPlan;
    FftPlan* fftPlan(int n);

    Output output = OutputNone;
    std::string driverName;
    std::string lastError;
    int deviceBufferFrames = 0;
    // Guards channel playback state against the device callback.
    mutable std::mutex lock;
    std::vector<std::unique_ptr<SoundChannel>> channels;
    std::vector<std::unique_ptr<Sound>> sounds;
    std::map<int, std::unique_ptr<FftPlan>> plans;
    std::vector<float> mixBuffer; // used by the device callback only
    std::vector<float> fftIn;
    std::vector<float> fftOut; // interleaved complex results
};

// Decoded audio: interleaved 16-bit stereo frames at the source's sample rate (a mono
// source is duplicated onto both sides).
class Sound {
public:
    // Length in UnitMs (truncated) or UnitFrames.
    int getLength(unsigned* length, unsigned unit) const;
    // Stops the channels playing it and frees it.
    int release();

    int getSampleRate() const { return sampleRate; }
    uint32_t frameCount() const { return static_cast<uint32_t>(samples.size() / 2); }
    const std::vector<int16_t>& pcm() const { return samples; }
    const std::string& getName() const { return name; }

    // The channel's spectrum (see SoundChannel::getSpectrum) of the 2 * count samples
    // that end at frame endFrame (floored), wherever the sound plays: what effects read
    // at a music time, live and offline alike.
    int getSpectrum(double endFrame, float* out, int count, int channelOffset, int window) const;

    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;
    ~Sound();

private:
    friend class SoundSystem;
    friend class SoundChannel;
    Sound(SoundSystem* owner, std::string name, int sampleRate, std::vector<int16_t> samples);

    SoundSystem* owner;
    std::string name;
    int sampleRate;
    std::vector<int16_t> samples;
};

// One voice of the system. A channel keeps its sound until it is stopped or reused, so
// its position can still be read and set after the sound has played to its end.
class SoundChannel {
public:
    int setPaused(bool paused);
    int getPaused(bool* paused) const;
    // Position in UnitMs or UnitFrames. Setting it past the end puts the channel at the
    // end, where it stops playing.
    int getPosition(unsigned* position, unsigned unit) const;
    int setPosition(unsigned position, unsigned unit);
    // True while a sound is assigned and has not ended or been stopped.
    int isPlaying(bool* playing) const;
    int stop();

    // count magnitudes from 0 Hz up to just below half the sample rate (bin i is at
    // i * rate / (2 * count)) of the 2 * count samples of one side (channelOffset 0 left,
    // 1 right) that end at the current position, under the given window. Scaled so that
    // a full-scale sine centred on a bin reads 1. Samples before the start of the sound
    // count as silence. count is 1..maxSpectrum.
    int getSpectrum(float* out, int count, int channelOffset, int window) const;

    SoundChannel(const SoundChannel&) = delete;
    SoundChannel& operator=(const SoundChannel&) = delete;
    ~SoundChannel();

private:
    friend class SoundSystem;
    explicit SoundChannel(SoundSystem* owner);

    // Current position in frames of the sound; the caller holds the system lock.
    double positionLocked(std::chrono::steady_clock::time_point now) const;
    // Moves the anchor to frame at now (a seek, pause or resume).
    void anchorAt(double frame, std::chrono::steady_clock::time_point now);
    // Marks the channel ended when its position has reached the end of the sound.
    void retireIfEnded(std::chrono::steady_clock::time_point now);
    int checkUsable() const;

    SoundSystem* owner;
    Sound* sound = nullptr;
    bool paused = false;
    bool playing = false;
    // Mixing position (device output), in frames of the sound.
    double mixFrame = 0.0;
    // The reported position runs on from anchorFrame at anchorTime in real time, by at
    // most anchorSpan frames: on the device, the frames it was last handed (0 after a
    // seek or resume until it asks again); unlimited on the silent clock. Offline it
    // does not run on.
    double anchorFrame = 0.0;
    double anchorSpan = 0.0;
    std::chrono::steady_clock::time_point anchorTime;
};
