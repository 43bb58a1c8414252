#include "FMODTimer.h"

#include "HostClock.h"
#include "Log.h"
#include "ORVIO.h"
#include "ResourceFile.h"
#include "SoundSystem.h"

#include <algorithm>
#include <cmath>
#include <memory>

using ORVDemosys::Log;

FMODTimer::FMODTimer(const std::string& path, uint32_t rate, Output output)
    : Timer(rate), leftSpectrum(spectrumBufferSize), rightSpectrum(spectrumBufferSize), path(path), output(output)
{
    paused = true;
}

FMODTimer::~FMODTimer()
{
    // A channel that will not stop still must not keep the output open after us.
    if (!shutdown())
        releaseAll();
}

bool FMODTimer::init()
{
    if (system)
        releaseAll(); // a second init starts from scratch

    int result = SoundSystem::create(&system);
    if (result != SoundOk || !system) {
        Log::error() << "Failed to create the FMOD System object! Error code: " << result << std::endl;
        system = nullptr;
        message = "Failed to initialize FMOD!";
        return false;
    }

    unsigned version = 0;
    result = system->getVersion(&version);
    if (result == SoundOk)
        Log::info() << "Fmod Version = " << version << std::endl;
    else
        Log::error() << "Failed to read the sound system's version! Error code: " << result << std::endl;

    result = system->init(channelCount, output == Output::Offline ? SoundSystem::InitOffline : initFlags, nullptr);
    if (result != SoundOk) {
        Log::error() << "Failed to initialize FMOD! Error code: " << result << std::endl;
        message = "Failed to initialize FMOD!";
        return false;
    }

    sound = nullptr;
    if (ORVIO::getMode() == ORVIO::ModeFiles) {
        result = system->createSound(path.c_str(), SoundSystem::ModeSoftware, nullptr, &sound);
    } else {
        std::unique_ptr<ResourceFile> file(ORVIO::loadFile(path));
        if (!file || !file->isLoaded()) {
            Log::error() << "Error code: " << 0 << std::endl;
            message = "FMOD Init : Failed to load soundfile from archive!";
            return false;
        }
        SoundCreateInfo info;
        info.size = static_cast<int>(sizeof(SoundCreateInfo));
        info.length = static_cast<unsigned>(file->byteSize());
        // The layer decodes the whole block now, so the file can go right after.
        result = system->createSound(reinterpret_cast<const char*>(file->bytes().data()),
                                     SoundSystem::ModeMemory | SoundSystem::ModeSoftware, &info, &sound);
    }
    if (result != SoundOk || !sound) {
        Log::error() << "Failed to create sound sysmte sound! Error code: " << result << std::endl;
        sound = nullptr;
        message = "FMOD Init : Failed to load soundfile!";
        return false;
    }

    unsigned length = 0;
    result = sound->getLength(&length, SoundSystem::UnitMs);
    if (result != SoundOk) {
        Log::error() << "Failed to read the sound's length! Error code: " << result << std::endl;
        message = "FMOD Init : Failed to load soundfile!";
        return false;
    }
    lengthMs = length;
    lengthRows = rowsForLength(lengthMs);

    result = system->playSound(SoundSystem::ChannelReuse, sound, true, &channel);
    if (result != SoundOk || !channel) {
        Log::error() << "Failed to play sound! Error code: " << result << std::endl;
        channel = nullptr;
        message = "Failed to play sound!";
        return false;
    }

    paused = true;
    base = pauseTime = lastTime = HostClock::milliseconds();
    onDevice = !system->isSilent();
    devicePace = 1.0;
    paceMeasured = false;
    snapTo(0.0, HostClock::seconds());
    return true;
}

void FMODTimer::releaseAll()
{
    if (sound)
        sound->release();
    if (system)
        system->release();
    sound = nullptr;
    system = nullptr;
    channel = nullptr;
    onDevice = false;
    pace = 1.0;
}

bool FMODTimer::shutdown()
{
    if (channel) {
        bool playing = false;
        int asked = channel->isPlaying(&playing);
        int stopped = channel->stop();
        if (asked != SoundOk || stopped != SoundOk) {
            message = "Failed to shut down FMOD!";
            return false;
        }
    }
    releaseAll();
    return true;
}

void FMODTimer::pause()
{
    paused = true;
    if (channel) {
        int result = channel->setPaused(true);
        if (result != SoundOk)
            message = "Failed to pause the music! Error code: " + std::to_string(result);
    }
    pauseTime = HostClock::milliseconds();
    double held = onDevice ? playedMs() : -1.0;
    if (held >= 0.0) // the clock stands where the music stopped
        base = pauseTime - static_cast<int32_t>(held);
}

void FMODTimer::play()
{
    if (!channel) {
        Timer::play(); // no music: the clock resumes on its own
        return;
    }
    int resumeAt = getTimeMs();
    paused = false;
    int result = channel->setPaused(false);
    unsigned position = 0;
    if (result == SoundOk)
        result = channel->getPosition(&position, SoundSystem::UnitMs);
    if (result != SoundOk) {
        message = "Failed to resume the music! Error code: " + std::to_string(result);
        position = static_cast<unsigned>(std::max(resumeAt, 0));
    }
    lastTime = static_cast<int32_t>(position);
    base = HostClock::milliseconds() - lastTime;
    if (onDevice && result == SoundOk)
        snapTo(playedMs(), HostClock::seconds());
}

void FMODTimer::setTimeMs(int ms)
{
    if (channel) {
        // A channel that reached the end of the music (played or sought there) has
        // stopped; a seek back into the music starts it again in the clock's state.
        bool playing = true;
        if (channel->isPlaying(&playing) == SoundOk && !playing && ms >= 0 && static_cast<uint32_t>(ms) < lengthMs) {
            SoundChannel* again = channel;
            int result = system->playSound(SoundSystem::ChannelReuse, sound, paused, &again);
            if (result == SoundOk && again)
                channel = again;
            else
                message = "Failed to play sound! Error code: " + std::to_string(result);
        }
        int result = channel->setPosition(static_cast<unsigned>(std::max(ms, 0)), SoundSystem::UnitMs);
        if (result != SoundOk)
            message = "Failed to set the music position! Error code: " + std::to_string(result);
    }
    Timer::setTimeMs(ms);
    if (onDevice)
        snapTo(ms, HostClock::seconds());
}

int FMODTimer::getTimeMs()
{
    if (paused || !onDevice)
        return Timer::getTimeMs();
    const double now = HostClock::seconds();
    double clock = followedMs(now);
    // Between updates the device may stall: the clock never gets more than holdMs ahead
    // of what has been played, and stands there (re-anchored, so that it goes on from
    // there rather than jumping to where it would have been).
    const double played = playedMs();
    if (played >= 0.0 && clock > played + holdMs && anchorMs <= played + holdMs) {
        clock = played + holdMs;
        anchorMs = clock;
        anchorSeconds = now;
        pace = 0.0;
    }
    return static_cast<int>(std::floor(clock));
}

double FMODTimer::playedMs() const
{
    unsigned frame = 0;
    if (!channel || !sound || channel->getPosition(&frame, SoundSystem::UnitFrames) != SoundOk)
        return -1.0;
    return static_cast<double>(frame) * 1000.0 / sound->getSampleRate();
}

double FMODTimer::followedMs(double seconds) const
{
    return anchorMs + std::max(0.0, seconds - anchorSeconds) * 1000.0 * pace;
}

void FMODTimer::snapTo(double ms, double seconds)
{
    anchorMs = ms;
    anchorSeconds = seconds;
    pace = devicePace;
    paceFromMs = ms;
    paceFromSeconds = seconds;
}

void FMODTimer::follow()
{
    const double now = HostClock::seconds();
    const double clock = followedMs(now);
    bool playing = false;
    const double played = channel->isPlaying(&playing) == SoundOk && playing ? playedMs() : -1.0;
    if (played < 0.0) {
        // The music has ended: the clock runs on in real time.
        anchorMs = clock;
        anchorSeconds = now;
        pace = 1.0;
        return;
    }
    const double error = played - clock;
    if (error > snapMs) {
        snapTo(played, now); // far behind the music: catching up would take too long
    } else if (error < -holdMs) {
        // Ahead of what the device has played (it stalled, or the clock ran fast): the
        // clock waits for the music rather than running back.
        anchorMs = clock;
        anchorSeconds = now;
        pace = 0.0;
        paceFromMs = played;
        paceFromSeconds = now;
    } else {
        const double span = now - paceFromSeconds;
        if (span >= paceWindowSeconds) {
            // The device's pace over the last stretch, averaged with the earlier ones.
            double measured = (played - paceFromMs) / (span * 1000.0);
            measured = std::min(std::max(measured, 1.0 - maxSlew), 1.0 + maxSlew);
            devicePace = paceMeasured ? 0.5 * (devicePace + measured) : measured;
            paceMeasured = true;
            paceFromMs = played;
            paceFromSeconds = now;
        }
        // Continuous at now: only the pace from here on changes.
        anchorMs = clock;
        anchorSeconds = now;
        pace = devicePace + error / (correctionSeconds * 1000.0);
        pace = std::min(std::max(pace, 1.0 - maxSlew), 1.0 + maxSlew);
    }
    base = HostClock::milliseconds() - static_cast<int32_t>(std::floor(anchorMs));
}

void FMODTimer::update()
{
    if (system)
        system->update();
    if (onDevice && !paused && channel)
        follow();
    if (output == Output::Offline && channel) {
        int result = channel->setPosition(static_cast<unsigned>(std::max(getTimeMs(), 0)), SoundSystem::UnitMs);
        if (result != SoundOk)
            message = "Failed to set the music position! Error code: " + std::to_string(result);
    }
}

void FMODTimer::getSpectrumAt(double timeMs, int mode, int count, float* out)
{
    if (!sound || !out || count <= 0 || count > spectrumBufferSize)
        return;
    const int window = SoundSystem::WindowHamming;
    const double frame = timeMs * sound->getSampleRate() / 1000.0;
    switch (mode) {
    case 0:
        sound->getSpectrum(frame, out, count, 0, window);
        break;
    case 1:
        sound->getSpectrum(frame, out, count, 1, window);
        break;
    case 2:
    case 3: {
        if (sound->getSpectrum(frame, leftSpectrum.data(), count, 0, window) != SoundOk ||
            sound->getSpectrum(frame, rightSpectrum.data(), count, 1, window) != SoundOk)
            return;
        float scale = mode == 3 ? 0.5f : 1.0f;
        for (int i = 0; i < count; ++i)
            out[i] = (leftSpectrum[static_cast<size_t>(i)] + rightSpectrum[static_cast<size_t>(i)]) * scale;
        break;
    }
    default:
        break;
    }
}

int FMODTimer::getMusicPositionMs()
{
    unsigned position = 0;
    if (!channel || channel->getPosition(&position, SoundSystem::UnitMs) != SoundOk)
        return -1;
    return static_cast<int>(position);
}

std::string FMODTimer::getOutputName() const { return system ? system->getOutputName() : ""; }
