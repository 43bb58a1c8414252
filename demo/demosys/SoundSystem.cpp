#include "SoundSystem.h"

#include "Log.h"
#include "SoundDecoder.h"

#include <SDL.h>
#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

using ORVDemosys::Log;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double pi = 3.14159265358979323846;
constexpr double unlimited = std::numeric_limits<double>::infinity();
// 11.6 ms at 44.1 kHz: a resume or seek takes effect within that, so the music timer's
// clock (rebased when playback resumes) stays within it of the position.
constexpr int deviceBufferRequest = 512;

// Only one system can hold SDL's single audio device at a time.
bool deviceTaken = false;

double secondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

double windowWeight(int window, int n, int size)
{
    double x = size > 1 ? static_cast<double>(n) / (size - 1) : 0.0;
    switch (window) {
    case SoundSystem::WindowTriangle:
        return 1.0 - std::fabs(2.0 * x - 1.0);
    case SoundSystem::WindowHamming:
        return 0.54 - 0.46 * std::cos(2.0 * pi * x);
    case SoundSystem::WindowHanning:
        return 0.5 - 0.5 * std::cos(2.0 * pi * x);
    case SoundSystem::WindowBlackman:
        return 0.42 - 0.5 * std::cos(2.0 * pi * x) + 0.08 * std::cos(4.0 * pi * x);
    default:
        return 1.0;
    }
}

} // namespace

const char* soundResultText(int result)
{
    switch (result) {
    case SoundOk:
        return "no error";
    case SoundErrInvalidParam:
        return "invalid parameter";
    case SoundErrNotReady:
        return "system not ready";
    case SoundErrFileNotFound:
        return "file not found";
    case SoundErrFileBad:
        return "bad or unsupported sound data";
    case SoundErrOutput:
        return "no audio output";
    case SoundErrNoChannel:
        return "no free channel";
    case SoundErrInvalidHandle:
        return "invalid handle";
    default:
        return "unknown result";
    }
}

// ---- SoundSystem -----------------------------------------------------------------------

struct SoundSystem::FftPlan {
    kiss_fftr_cfg config = nullptr;
    std::map<int, std::vector<float>> windows; // by window type
    ~FftPlan() { kiss_fftr_free(config); }
};

SoundSystem::SoundSystem() = default;

SoundSystem::~SoundSystem()
{
    closeDevice();
    channels.clear();
    sounds.clear();
}

int SoundSystem::create(SoundSystem** system)
{
    if (!system)
        return SoundErrInvalidParam;
    *system = new SoundSystem();
    return SoundOk;
}

int SoundSystem::release()
{
    delete this;
    return SoundOk;
}

int SoundSystem::getVersion(unsigned* outVersion) const
{
    if (!outVersion)
        return SoundErrInvalidParam;
    *outVersion = version;
    return SoundOk;
}

int SoundSystem::fail(int result, const std::string& text)
{
    lastError = text;
    return result;
}

std::string SoundSystem::getOutputName() const
{
    switch (output) {
    case OutputDevice:
        return "device (" + driverName + ")";
    case OutputSilent:
        return "silent";
    case OutputOffline:
        return "offline";
    default:
        return "";
    }
}

int SoundSystem::init(int maxChannels, unsigned flags, void* driverData)
{
    if (output != OutputNone)
        return fail(SoundErrNotReady, "the sound system is already initialised");
    if (maxChannels < 1 || maxChannels > maxChannelCount || driverData)
        return fail(SoundErrInvalidParam, "init: channel count must be 1.." + std::to_string(maxChannelCount));
    const unsigned known = InitSilent | InitOffline | InitSilentFallback;
    if (flags & ~known)
        return fail(SoundErrInvalidParam, "init: unknown flags");
    for (int i = 0; i < maxChannels; ++i)
        channels.emplace_back(new SoundChannel(this));

    if (flags & InitOffline) {
        output = OutputOffline;
        return SoundOk;
    }
    std::string why = "silent output requested";
    if (!(flags & InitSilent)) {
        if (openDevice(&why)) {
            output = OutputDevice;
            return SoundOk;
        }
        if (!(flags & InitSilentFallback)) {
            channels.clear();
            return fail(SoundErrOutput, "no audio output: " + why);
        }
        Log::warning() << "Sound : no audio device (" << why << "), playing silently on the system clock" << std::endl;
    }
    output = OutputSilent;
    return SoundOk;
}

bool SoundSystem::openDevice(std::string* why)
{
    if (deviceTaken) {
        *why = "the device is held by another sound system";
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) {
        *why = SDL_GetError();
        return false;
    }
    char name[64] = {0};
    if (!SDL_AudioDriverName(name, sizeof(name)) || std::strcmp(name, "dummy") == 0) {
        // SDL's dummy driver consumes samples on a sleep loop and plays nothing; the
        // silent clock is the better stand-in for it.
        *why = name[0] ? "SDL's dummy driver" : SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_AudioSpec want;
    std::memset(&want, 0, sizeof(want));
    want.freq = outputRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = deviceBufferRequest;
    want.callback = deviceCallback;
    want.userdata = this;
    // Without an "obtained" format SDL converts to the device's format itself, so the
    // callback always sees what was asked for.
    if (SDL_OpenAudio(&want, nullptr) < 0) {
        *why = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    driverName = name;
    deviceBufferFrames = want.samples;
    mixBuffer.reserve(static_cast<size_t>(deviceBufferFrames) * 2);
    deviceTaken = true;
    SDL_PauseAudio(0);
    return true;
}

void SoundSystem::closeDevice()
{
    if (output != OutputDevice)
        return;
    // Not under the lock: closing waits for the callback, which takes it.
    SDL_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    deviceTaken = false;
    output = OutputNone;
}

void SoundSystem::deviceCallback(void* user, uint8_t* stream, int length)
{
    static_cast<SoundSystem*>(user)->mix(reinterpret_cast<int16_t*>(stream), length / 4);
}

void SoundSystem::mix(int16_t* out, int frames)
{
    std::lock_guard<std::mutex> guard(lock);
    std::vector<float>& sum = mixBuffer;
    sum.assign(static_cast<size_t>(frames) * 2, 0.0f); // allocates only when the request grows
    Clock::time_point now = Clock::now();
    for (auto& c : channels) {
        if (!c->sound || !c->playing || c->paused)
            continue;
        const Sound& s = *c->sound;
        const std::vector<int16_t>& pcm = s.samples;
        double count = s.frameCount();
        double step = static_cast<double>(s.sampleRate) / outputRate;
        double start = c->mixFrame;
        double f = start;
        for (int i = 0; i < frames && f < count; ++i, f += step) {
            size_t k = static_cast<size_t>(f);
            double frac = f - static_cast<double>(k);
            size_t k1 = std::min(k + 1, static_cast<size_t>(count) - 1);
            for (int side = 0; side < 2; ++side) {
                double a = pcm[2 * k + side], b = pcm[2 * k1 + side];
                sum[2 * i + side] += static_cast<float>(a + (b - a) * frac);
            }
        }
        c->mixFrame = std::min(f, count);
        // What was just mixed starts playing now; the reported position walks through it
        // in real time until the next request.
        c->anchorFrame = start;
        c->anchorTime = now;
        c->anchorSpan = c->mixFrame - start;
    }
    for (size_t i = 0; i < sum.size(); ++i)
        out[i] = SoundDecoder::clamp16(sum[i]);
}

int SoundSystem::createSound(const char* nameOrData, unsigned mode, const SoundCreateInfo* info, Sound** sound)
{
    if (!sound || !nameOrData)
        return fail(SoundErrInvalidParam, "createSound: null argument");
    *sound = nullptr;
    if (output == OutputNone)
        return fail(SoundErrNotReady, "createSound: the system is not initialised");
    if (mode & ~(ModeSoftware | ModeMemory))
        return fail(SoundErrInvalidParam, "createSound: unknown mode flags");
    if (info && info->size != static_cast<int>(sizeof(SoundCreateInfo)))
        return fail(SoundErrInvalidParam, "createSound: the info record's size field is wrong");

    std::vector<uint8_t> file;
    const uint8_t* data = nullptr;
    size_t size = 0;
    std::string name;
    if (mode & ModeMemory) {
        if (!info || info->length == 0)
            return fail(SoundErrInvalidParam, "createSound: a memory block needs its length");
        data = reinterpret_cast<const uint8_t*>(nameOrData);
        size = info->length;
        name = "memory block of " + std::to_string(size) + " bytes";
    } else {
        name = nameOrData;
        std::ifstream in(name, std::ios::binary);
        if (!in) {
            Log::error() << "Sound : cannot open '" << name << "'" << std::endl;
            return fail(SoundErrFileNotFound, "cannot open '" + name + "'");
        }
        file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) {
            Log::error() << "Sound : cannot read '" << name << "'" << std::endl;
            return fail(SoundErrFileNotFound, "cannot read '" + name + "'");
        }
        data = file.data();
        size = file.size();
    }
    SoundDecoder::Decoded decoded;
    const Status read = SoundDecoder::decode(data, size, decoded);
    if (!read) {
        Log::error() << "Sound : '" << name << "' : " << read.reason() << std::endl;
        return fail(SoundErrFileBad, "'" + name + "' : " + read.reason());
    }
    sounds.emplace_back(new Sound(this, name, decoded.rate, std::move(decoded.samples)));
    *sound = sounds.back().get();
    return SoundOk;
}

int SoundSystem::playSound(int channelIndex, Sound* sound, bool paused, SoundChannel** channel)
{
    if (!sound || !channel)
        return fail(SoundErrInvalidParam, "playSound: null argument");
    if (output == OutputNone)
        return fail(SoundErrNotReady, "playSound: the system is not initialised");
    if (!ownsSound(sound))
        return fail(SoundErrInvalidHandle, "playSound: the sound is not one of this system's");
    SoundChannel* target = nullptr;
    if (channelIndex >= 0) {
        if (channelIndex >= static_cast<int>(channels.size()))
            return fail(SoundErrInvalidParam, "playSound: no channel " + std::to_string(channelIndex));
        target = channels[static_cast<size_t>(channelIndex)].get();
    } else if (channelIndex == ChannelReuse && ownsChannel(*channel)) {
        target = *channel;
    } else if (channelIndex == ChannelFree || channelIndex == ChannelReuse) {
        Clock::time_point now = Clock::now();
        std::lock_guard<std::mutex> guard(lock);
        for (auto& c : channels) {
            c->retireIfEnded(now);
            if (!c->playing) {
                target = c.get();
                break;
            }
        }
        if (!target)
            return fail(SoundErrNoChannel, "playSound: every channel is busy");
    } else {
        return fail(SoundErrInvalidParam, "playSound: bad channel index");
    }
    std::lock_guard<std::mutex> guard(lock);
    target->sound = sound;
    target->paused = paused;
    target->playing = true;
    target->mixFrame = 0.0;
    target->anchorAt(0.0, Clock::now());
    *channel = target;
    return SoundOk;
}

int SoundSystem::update()
{
    if (output == OutputNone)
        return SoundErrNotReady;
    Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> guard(lock);
    for (auto& c : channels)
        c->retireIfEnded(now);
    return SoundOk;
}

void SoundSystem::forgetSound(Sound* sound)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        for (auto& c : channels)
            if (c->sound == sound) {
                c->sound = nullptr;
                c->playing = false;
            }
    }
    auto it = std::find_if(sounds.begin(), sounds.end(), [sound](const std::unique_ptr<Sound>& s) { return s.get() == sound; });
    if (it != sounds.end())
        sounds.erase(it); // deletes it
}

bool SoundSystem::ownsChannel(const SoundChannel* channel) const
{
    return channel && std::any_of(channels.begin(), channels.end(),
                                  [channel](const std::unique_ptr<SoundChannel>& c) { return c.get() == channel; });
}

bool SoundSystem::ownsSound(const Sound* sound) const
{
    return sound && std::any_of(sounds.begin(), sounds.end(),
                                [sound](const std::unique_ptr<Sound>& s) { return s.get() == sound; });
}

SoundSystem::FftPlan* SoundSystem::fftPlan(int n)
{
    auto it = plans.find(n);
    if (it != plans.end())
        return it->second.get();
    std::unique_ptr<FftPlan> plan(new FftPlan());
    plan->config = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    if (!plan->config)
        return nullptr;
    return (plans[n] = std::move(plan)).get();
}

// ---- Sound -----------------------------------------------------------------------------

Sound::Sound(SoundSystem* owner, std::string name, int sampleRate, std::vector<int16_t> samples)
    : owner(owner), name(std::move(name)), sampleRate(sampleRate), samples(std::move(samples))
{
}

Sound::~Sound() = default;

int Sound::getLength(unsigned* length, unsigned unit) const
{
    if (!length)
        return SoundErrInvalidParam;
    uint64_t frames = frameCount();
    if (unit == SoundSystem::UnitFrames)
        *length = static_cast<unsigned>(frames);
    else if (unit == SoundSystem::UnitMs)
        *length = static_cast<unsigned>(frames * 1000 / static_cast<uint64_t>(sampleRate));
    else
        return SoundErrInvalidParam;
    return SoundOk;
}

int Sound::release()
{
    owner->forgetSound(this);
    return SoundOk;
}

// ---- SoundChannel ----------------------------------------------------------------------

SoundChannel::SoundChannel(SoundSystem* owner) : owner(owner) {}

SoundChannel::~SoundChannel() = default;

int SoundChannel::checkUsable() const { return sound ? SoundOk : SoundErrInvalidHandle; }

double SoundChannel::positionLocked(Clock::time_point now) const
{
    double end = sound ? sound->frameCount() : 0.0;
    double frame = anchorFrame;
    if (playing && !paused && owner->output != SoundSystem::OutputOffline) {
        double elapsed = std::max(0.0, secondsBetween(anchorTime, now)) * (sound ? sound->sampleRate : 0);
        frame += std::min(elapsed, anchorSpan);
    }
    return std::min(frame, end);
}

void SoundChannel::anchorAt(double frame, Clock::time_point now)
{
    anchorFrame = frame;
    anchorTime = now;
    if (owner->output == SoundSystem::OutputDevice) {
        // Nothing from here has been handed to the device yet: the position holds until
        // the device asks for the next buffer.
        anchorSpan = 0.0;
    } else {
        anchorSpan = unlimited;
    }
}

void SoundChannel::retireIfEnded(Clock::time_point now)
{
    if (!sound || !playing)
        return;
    double end = sound->frameCount();
    if (positionLocked(now) >= end) {
        playing = false;
        anchorFrame = mixFrame = end;
    }
}

int SoundChannel::setPaused(bool pause)
{
    if (int r = checkUsable())
        return r;
    Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> guard(owner->lock);
    if (pause == paused)
        return SoundOk;
    if (pause) {
        // Hold at what has been played, not at what the device has been given.
        double at = positionLocked(now);
        paused = true;
        mixFrame = at;
        anchorAt(at, now);
    } else {
        paused = false;
        anchorAt(anchorFrame, now);
        mixFrame = anchorFrame;
    }
    return SoundOk;
}

int SoundChannel::getPaused(bool* out) const
{
    if (!out)
        return SoundErrInvalidParam;
    if (int r = checkUsable())
        return r;
    std::lock_guard<std::mutex> guard(owner->lock);
    *out = paused;
    return SoundOk;
}

int SoundChannel::getPosition(unsigned* position, unsigned unit) const
{
    if (!position || (unit != SoundSystem::UnitMs && unit != SoundSystem::UnitFrames))
        return SoundErrInvalidParam;
    if (int r = checkUsable())
        return r;
    double frame;
    {
        std::lock_guard<std::mutex> guard(owner->lock);
        frame = positionLocked(Clock::now());
    }
    if (unit == SoundSystem::UnitFrames)
        *position = static_cast<unsigned>(frame);
    else
        *position = static_cast<unsigned>(frame * 1000.0 / sound->sampleRate);
    return SoundOk;
}

int SoundChannel::setPosition(unsigned position, unsigned unit)
{
    if (unit != SoundSystem::UnitMs && unit != SoundSystem::UnitFrames)
        return SoundErrInvalidParam;
    if (int r = checkUsable())
        return r;
    double frame = unit == SoundSystem::UnitFrames
                       ? static_cast<double>(position)
                       : std::ceil(static_cast<double>(position) * sound->sampleRate / 1000.0);
    // Rounding the frame up makes the ms position read back exactly what was set.
    frame = std::min(frame, static_cast<double>(sound->frameCount()));
    Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> guard(owner->lock);
    mixFrame = frame;
    anchorAt(frame, now);
    retireIfEnded(now);
    return SoundOk;
}

int SoundChannel::isPlaying(bool* out) const
{
    if (!out)
        return SoundErrInvalidParam;
    if (int r = checkUsable())
        return r;
    std::lock_guard<std::mutex> guard(owner->lock);
    *out = playing && positionLocked(Clock::now()) < sound->frameCount();
    return SoundOk;
}

int SoundChannel::stop()
{
    if (int r = checkUsable())
        return r;
    Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> guard(owner->lock);
    if (playing) {
        double at = positionLocked(now);
        playing = false;
        mixFrame = at;
        anchorAt(at, now);
    }
    return SoundOk;
}

int SoundChannel::getSpectrum(float* out, int count, int channelOffset, int window) const
{
    if (int r = checkUsable())
        return r;
    double position;
    {
        std::lock_guard<std::mutex> guard(owner->lock);
        position = positionLocked(Clock::now());
    }
    return sound->getSpectrum(position, out, count, channelOffset, window);
}

int Sound::getSpectrum(double endFrame, float* out, int count, int channelOffset, int window) const
{
    if (!out || count < 1 || count > SoundSystem::maxSpectrum || channelOffset < 0 || channelOffset > 1 ||
        window < SoundSystem::WindowRect || window > SoundSystem::WindowBlackman || !std::isfinite(endFrame))
        return SoundErrInvalidParam;
    const int n = 2 * count;
    SoundSystem::FftPlan* plan = owner->fftPlan(n);
    if (!plan)
        return SoundErrInvalidParam;
    std::vector<float>& weights = plan->windows[window];
    if (weights.empty()) {
        weights.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            weights[static_cast<size_t>(i)] = static_cast<float>(windowWeight(window, i, n));
    }
    double weightSum = 0.0;
    for (float w : weights)
        weightSum += w;

    std::vector<float>& in = owner->fftIn;
    std::vector<float>& spectrum = owner->fftOut;
    in.assign(static_cast<size_t>(n), 0.0f);
    spectrum.assign(static_cast<size_t>(n) + 2, 0.0f);
    const long long frames = frameCount();
    // Clamped well outside the sound, where every sample reads as silence anyway.
    const double clamped = std::min(std::max(endFrame, -double(n)), double(frames) + n);
    const long long end = static_cast<long long>(std::floor(clamped));
    const long long first = end - n;
    for (int i = 0; i < n; ++i) {
        long long f = first + i;
        if (f >= 0 && f < frames)
            in[static_cast<size_t>(i)] = samples[static_cast<size_t>(2 * f + channelOffset)] / 32768.0f * weights[static_cast<size_t>(i)];
    }
    kiss_fftr(plan->config, in.data(), reinterpret_cast<kiss_fft_cpx*>(spectrum.data()));
    const double scale = weightSum > 0.0 ? 2.0 / weightSum : 0.0;
    for (int k = 0; k < count; ++k) {
        double re = spectrum[static_cast<size_t>(2 * k)], im = spectrum[static_cast<size_t>(2 * k + 1)];
        out[k] = static_cast<float>(std::sqrt(re * re + im * im) * scale);
    }
    return SoundOk;
}
