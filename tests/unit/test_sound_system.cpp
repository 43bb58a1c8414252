#include "LogCapture.h"
#include "SoundSystem.h"
#include "SoundTestFiles.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

using namespace soundtest;

namespace {

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// One system per test; SDL's dummy driver stands for a machine without audio, so the
// tests never make a sound and behave the same everywhere.
class SoundSystemTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void TearDown() override
    {
        if (system)
            system->release();
    }

    void start(unsigned flags)
    {
        ASSERT_EQ(SoundSystem::create(&system), SoundOk);
        ASSERT_EQ(system->init(4, flags, nullptr), SoundOk) << system->getLastError();
    }

    Sound* load(const std::vector<uint8_t>& bytes)
    {
        SoundCreateInfo info;
        info.size = sizeof(info);
        info.length = static_cast<unsigned>(bytes.size());
        Sound* sound = nullptr;
        int r = system->createSound(reinterpret_cast<const char*>(bytes.data()), SoundSystem::ModeMemory, &info, &sound);
        EXPECT_EQ(r, SoundOk) << system->getLastError();
        return sound;
    }

    SoundChannel* playPaused(Sound* sound)
    {
        SoundChannel* channel = nullptr;
        EXPECT_EQ(system->playSound(SoundSystem::ChannelFree, sound, true, &channel), SoundOk);
        return channel;
    }

    unsigned positionMs(SoundChannel* channel)
    {
        unsigned p = 0;
        EXPECT_EQ(channel->getPosition(&p, SoundSystem::UnitMs), SoundOk);
        return p;
    }

    SoundSystem* system = nullptr;
};

unsigned lengthOf(const Sound* sound, unsigned unit)
{
    unsigned length = 0;
    EXPECT_EQ(sound->getLength(&length, unit), SoundOk);
    return length;
}

} // namespace

TEST_F(SoundSystemTest, DecodesEveryWavSampleFormatToTheSameSamples)
{
    start(SoundSystem::InitOffline);
    // A slow ramp, so 8-bit rounding stays within one 8-bit step.
    auto ramp = [](size_t f, int side) { return (side ? -1.0 : 1.0) * (static_cast<double>(f % 200) / 100.0 - 1.0); };
    Sound* reference = load(makeWav(8000, 2, 1000, ramp, WavFormat::Int16));
    ASSERT_TRUE(reference);
    for (WavFormat format : {WavFormat::Int8, WavFormat::Int24, WavFormat::Int32, WavFormat::Float32}) {
        Sound* sound = load(makeWav(8000, 2, 1000, ramp, format));
        ASSERT_TRUE(sound);
        ASSERT_EQ(sound->pcm().size(), reference->pcm().size());
        int tolerance = format == WavFormat::Int8 ? 400 : 2; // 8 bits: one step is 256
        for (size_t i = 0; i < sound->pcm().size(); ++i)
            ASSERT_NEAR(sound->pcm()[i], reference->pcm()[i], tolerance) << "sample " << i << " format " << int(format);
    }
    // Mono is put on both sides.
    Sound* mono = load(makeWav(8000, 1, 1000, ramp));
    ASSERT_TRUE(mono);
    ASSERT_EQ(mono->frameCount(), 1000u);
    for (size_t f = 0; f < 1000; ++f)
        ASSERT_EQ(mono->pcm()[2 * f], mono->pcm()[2 * f + 1]);
    EXPECT_EQ(mono->pcm()[2 * 150], reference->pcm()[2 * 150]);
}

TEST_F(SoundSystemTest, LengthInMsAndFramesFromFileAndMemory)
{
    start(SoundSystem::InitOffline);
    TempDir dir;
    std::vector<uint8_t> wav = makeWav(44100, 2, 22050 + 441 + 20, silence());
    std::string path = dir.write("a.wav", wav);
    Sound* fromFile = nullptr;
    ASSERT_EQ(system->createSound(path.c_str(), SoundSystem::ModeSoftware, nullptr, &fromFile), SoundOk);
    Sound* fromMemory = load(wav);
    ASSERT_TRUE(fromMemory);
    for (Sound* s : {fromFile, fromMemory}) {
        EXPECT_EQ(lengthOf(s, SoundSystem::UnitFrames), 22511u);
        EXPECT_EQ(lengthOf(s, SoundSystem::UnitMs), 510u); // 510.45 ms, truncated
        EXPECT_EQ(s->getSampleRate(), 44100);
    }
    unsigned length = 0;
    EXPECT_EQ(fromFile->getLength(&length, 99), SoundErrInvalidParam);
}

TEST_F(SoundSystemTest, RejectsBadCallsWithoutTouchingOutputs)
{
    SoundSystem* fresh = nullptr;
    ASSERT_EQ(SoundSystem::create(&fresh), SoundOk);
    Sound* sound = reinterpret_cast<Sound*>(1);
    EXPECT_EQ(fresh->createSound("x.wav", 0, nullptr, &sound), SoundErrNotReady);
    EXPECT_EQ(sound, nullptr);
    EXPECT_EQ(fresh->init(0, 0, nullptr), SoundErrInvalidParam);
    EXPECT_EQ(fresh->init(4, 0x100, nullptr), SoundErrInvalidParam);
    ASSERT_EQ(fresh->init(4, SoundSystem::InitOffline, nullptr), SoundOk);
    EXPECT_EQ(fresh->init(4, SoundSystem::InitOffline, nullptr), SoundErrNotReady);

    std::vector<uint8_t> wav = makeWav(8000, 1, 100, silence());
    SoundCreateInfo info;
    info.length = static_cast<unsigned>(wav.size()); // size field left 0: caller of another layout
    EXPECT_EQ(fresh->createSound(reinterpret_cast<const char*>(wav.data()), SoundSystem::ModeMemory, &info, &sound),
              SoundErrInvalidParam);
    EXPECT_EQ(fresh->createSound(reinterpret_cast<const char*>(wav.data()), SoundSystem::ModeMemory, nullptr, &sound),
              SoundErrInvalidParam);
    EXPECT_EQ(fresh->createSound("/nonexistent/music.mp3", 0, nullptr, &sound), SoundErrFileNotFound);
    EXPECT_NE(fresh->getLastError().find("/nonexistent/music.mp3"), std::string::npos);

    // A sound of another system cannot be played here.
    start(SoundSystem::InitOffline);
    Sound* foreign = load(wav);
    SoundChannel* channel = nullptr;
    EXPECT_EQ(fresh->playSound(SoundSystem::ChannelFree, foreign, true, &channel), SoundErrInvalidHandle);
    EXPECT_EQ(fresh->playSound(9, foreign, true, &channel), SoundErrInvalidHandle);
    EXPECT_EQ(channel, nullptr);
    fresh->release();
}

TEST_F(SoundSystemTest, EveryTruncationOfAWavFailsCleanly)
{
    start(SoundSystem::InitOffline);
    std::vector<uint8_t> wav = makeWav(8000, 2, 50, sines(8000, 440, 660));
    for (size_t cut = 0; cut < wav.size(); ++cut) {
        std::vector<uint8_t> part(wav.begin(), wav.begin() + static_cast<long>(cut));
        SoundCreateInfo info;
        info.size = sizeof(info);
        info.length = static_cast<unsigned>(cut);
        Sound* sound = nullptr;
        captureLog();
        int r = system->createSound(reinterpret_cast<const char*>(part.data()), SoundSystem::ModeMemory, &info, &sound);
        std::string said = capturedLog();
        if (cut == 0) {
            EXPECT_EQ(r, SoundErrInvalidParam);
            continue;
        }
        ASSERT_NE(r, SoundOk) << "a WAV cut to " << cut << " of " << wav.size() << " bytes was accepted";
        EXPECT_EQ(sound, nullptr);
        EXPECT_FALSE(system->getLastError().empty());
        EXPECT_NE(said.find("Sound : "), std::string::npos) << "cut " << cut;
    }
}

TEST_F(SoundSystemTest, DamagedWavHeadersNameTheProblem)
{
    start(SoundSystem::InitOffline);
    std::vector<uint8_t> good = makeWav(8000, 2, 50, silence());
    struct Damage {
        size_t offset;
        std::vector<uint8_t> bytes;
        const char* expected;
    } damages[] = {
        {22, {0, 0}, "0 channels"},
        {22, {6, 0}, "6 channels"},
        {24, {0, 0, 0, 0}, "sample rate 0"},
        {32, {3, 0}, "block size 3"},
        {34, {12, 0}, "12-bit"},
        {20, {2, 0}, "sample format 2"},
        {40, {0xFF, 0xFF, 0xFF, 0x7F}, "truncated"},
        {16, {8, 0, 0, 0}, "at least 16"},
        {36, {'j', 'u', 'n', 'k'}, "no data chunk"},
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> bad = good;
        std::copy(d.bytes.begin(), d.bytes.end(), bad.begin() + static_cast<long>(d.offset));
        SoundCreateInfo info;
        info.size = sizeof(info);
        info.length = static_cast<unsigned>(bad.size());
        Sound* sound = nullptr;
        captureLog();
        EXPECT_EQ(system->createSound(reinterpret_cast<const char*>(bad.data()), SoundSystem::ModeMemory, &info, &sound),
                  SoundErrFileBad)
            << d.expected;
        capturedLog();
        EXPECT_NE(system->getLastError().find(d.expected), std::string::npos) << system->getLastError();
    }
}

TEST_F(SoundSystemTest, Mp3DecodesGaplessAndTruncationsNeverCrash)
{
    if (!haveLame())
        GTEST_SKIP() << "lame is not installed";
    start(SoundSystem::InitOffline);
    TempDir dir;
    // 2 s of quiet tone with a loud click at exactly 500 ms on the left.
    const int rate = 44100;
    auto tone = sines(rate, 440, 550, 0.1);
    auto withClick = [&](size_t f, int side) { return (side == 0 && f >= 22050 && f < 22060) ? 0.9 : tone(f, side); };
    std::string mp3 = encodeMp3(dir, "click", makeWav(rate, 2, 2 * rate, withClick));
    ASSERT_FALSE(mp3.empty()) << "lame failed";
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(mp3.c_str(), 0, nullptr, &sound), SoundOk) << system->getLastError();
    // The encoder's delay and padding are removed: same length, click in place.
    EXPECT_NEAR(static_cast<int>(lengthOf(sound, SoundSystem::UnitFrames)), 2 * rate, 2);
    size_t loudest = 0;
    for (size_t f = 0; f < sound->frameCount(); ++f)
        if (std::abs(sound->pcm()[2 * f]) > std::abs(sound->pcm()[2 * loudest]))
            loudest = f;
    EXPECT_NEAR(static_cast<double>(loudest), 22050.0, rate * 0.005) << "click moved by the encoder delay";

    std::string bytes = readWholeFile(mp3);
    ASSERT_GT(bytes.size(), 2000u);
    unsigned full = lengthOf(sound, SoundSystem::UnitMs);
    std::vector<size_t> cuts = {1, 3, 4, 10, 100, 200, 417, 418, 1000, bytes.size() / 2, bytes.size() - 1};
    for (size_t cut : cuts) {
        SoundCreateInfo info;
        info.size = sizeof(info);
        info.length = static_cast<unsigned>(cut);
        Sound* part = nullptr;
        captureLog();
        int r = system->createSound(bytes.data(), SoundSystem::ModeMemory, &info, &part);
        std::string said = capturedLog();
        if (r == SoundOk) {
            EXPECT_LE(lengthOf(part, SoundSystem::UnitMs), full) << "cut " << cut;
            part->release();
        } else {
            EXPECT_EQ(r, SoundErrFileBad) << "cut " << cut;
            EXPECT_NE(said.find("Sound : "), std::string::npos) << "cut " << cut;
        }
    }
    // Noise that is neither format.
    std::vector<uint8_t> noise(5000);
    uint32_t x = 12345;
    for (auto& b : noise)
        b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    SoundCreateInfo info;
    info.size = sizeof(info);
    info.length = static_cast<unsigned>(noise.size());
    Sound* junk = nullptr;
    captureLog();
    int r = system->createSound(reinterpret_cast<const char*>(noise.data()), SoundSystem::ModeMemory, &info, &junk);
    capturedLog();
    EXPECT_TRUE(r == SoundOk || r == SoundErrFileBad);
}

TEST_F(SoundSystemTest, OfflinePositionMovesOnlyWhenSet)
{
    start(SoundSystem::InitOffline);
    EXPECT_TRUE(system->isOffline());
    Sound* sound = load(makeWav(44100, 2, 44100 * 3, silence()));
    SoundChannel* channel = playPaused(sound);
    ASSERT_TRUE(channel);
    EXPECT_EQ(channel->setPaused(false), SoundOk);
    sleepMs(30);
    EXPECT_EQ(positionMs(channel), 0u);
    for (unsigned ms : {1u, 1234u, 2999u, 7u}) {
        EXPECT_EQ(channel->setPosition(ms, SoundSystem::UnitMs), SoundOk);
        EXPECT_EQ(positionMs(channel), ms);
    }
    EXPECT_EQ(channel->setPosition(44100, SoundSystem::UnitFrames), SoundOk);
    EXPECT_EQ(positionMs(channel), 1000u);
    bool playing = false;
    EXPECT_EQ(channel->isPlaying(&playing), SoundOk);
    EXPECT_TRUE(playing);
    // Past the end: at the end, and no longer playing; the position can still be read.
    EXPECT_EQ(channel->setPosition(10000, SoundSystem::UnitMs), SoundOk);
    EXPECT_EQ(positionMs(channel), 3000u);
    EXPECT_EQ(channel->isPlaying(&playing), SoundOk);
    EXPECT_FALSE(playing);
    EXPECT_EQ(channel->stop(), SoundOk);
}

TEST_F(SoundSystemTest, SilentClockAdvancesWithRealTimePausesAndSeeks)
{
    captureLog();
    start(SoundSystem::InitSilentFallback);
    std::string said = capturedLog();
    EXPECT_TRUE(system->isSilent());
    EXPECT_EQ(system->getOutputName(), "silent");
    EXPECT_NE(said.find("playing silently"), std::string::npos) << said;

    Sound* sound = load(makeWav(44100, 2, 44100 * 10, silence()));
    SoundChannel* channel = playPaused(sound);
    ASSERT_TRUE(channel);
    sleepMs(50);
    EXPECT_EQ(positionMs(channel), 0u) << "a paused channel moved";

    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(channel->setPaused(false), SoundOk);
    sleepMs(200);
    int elapsed = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
    int moved = static_cast<int>(positionMs(channel));
    EXPECT_NEAR(moved, 200, 60);
    EXPECT_LE(moved, elapsed + 1);

    // Pause holds the position; resume continues from it.
    ASSERT_EQ(channel->setPaused(true), SoundOk);
    unsigned held = positionMs(channel);
    sleepMs(100);
    EXPECT_EQ(positionMs(channel), held);
    bool paused = false;
    EXPECT_EQ(channel->getPaused(&paused), SoundOk);
    EXPECT_TRUE(paused);
    ASSERT_EQ(channel->setPaused(false), SoundOk);
    sleepMs(100);
    EXPECT_NEAR(static_cast<int>(positionMs(channel)), static_cast<int>(held) + 100, 50);

    // A seek while playing runs on from the new place.
    ASSERT_EQ(channel->setPosition(5000, SoundSystem::UnitMs), SoundOk);
    unsigned after = positionMs(channel);
    EXPECT_GE(after, 5000u);
    EXPECT_LT(after, 5030u);
    sleepMs(100);
    EXPECT_NEAR(static_cast<int>(positionMs(channel)), 5100, 50);
}

TEST_F(SoundSystemTest, ChannelStopsAtTheEndAndIsReused)
{
    start(SoundSystem::InitSilent);
    Sound* shortSound = load(makeWav(8000, 1, 800, silence())); // 100 ms
    SoundChannel* first = nullptr;
    ASSERT_EQ(system->playSound(0, shortSound, false, &first), SoundOk);
    sleepMs(180);
    bool playing = true;
    EXPECT_EQ(first->isPlaying(&playing), SoundOk);
    EXPECT_FALSE(playing);
    EXPECT_EQ(positionMs(first), 100u);
    EXPECT_EQ(system->update(), SoundOk);

    // Every other channel busy: the ended one is the free one.
    for (int i = 1; i < 4; ++i) {
        SoundChannel* c = nullptr;
        ASSERT_EQ(system->playSound(i, shortSound, true, &c), SoundOk);
    }
    SoundChannel* reused = nullptr;
    ASSERT_EQ(system->playSound(SoundSystem::ChannelFree, shortSound, true, &reused), SoundOk);
    EXPECT_EQ(reused, first);
    SoundChannel* none = nullptr;
    EXPECT_EQ(system->playSound(SoundSystem::ChannelFree, shortSound, true, &none), SoundErrNoChannel);
    // Reuse keeps the caller's channel.
    SoundChannel* same = reused;
    ASSERT_EQ(system->playSound(SoundSystem::ChannelReuse, shortSound, true, &same), SoundOk);
    EXPECT_EQ(same, reused);

    // Releasing the sound stops its channels; they then refuse work.
    EXPECT_EQ(shortSound->release(), SoundOk);
    EXPECT_EQ(first->isPlaying(&playing), SoundErrInvalidHandle);
    EXPECT_EQ(first->stop(), SoundErrInvalidHandle);
}

TEST_F(SoundSystemTest, SpectrumPeaksAtEachSidesSine)
{
    start(SoundSystem::InitOffline);
    const int rate = 44100, count = 512;
    const double bin = rate / (2.0 * count); // 43.07 Hz
    Sound* sound = load(makeWav(rate, 2, rate, sines(rate, 20 * bin, 93 * bin)));
    SoundChannel* channel = playPaused(sound);
    ASSERT_TRUE(channel);
    std::vector<float> out(count, -1.0f);
    // At the start there is nothing before the position yet.
    ASSERT_EQ(channel->getSpectrum(out.data(), count, 0, SoundSystem::WindowHamming), SoundOk);
    EXPECT_FLOAT_EQ(*std::max_element(out.begin(), out.end()), 0.0f);

    ASSERT_EQ(channel->setPosition(500, SoundSystem::UnitMs), SoundOk);
    for (int side : {0, 1}) {
        ASSERT_EQ(channel->getSpectrum(out.data(), count, side, SoundSystem::WindowHamming), SoundOk);
        auto peak = std::max_element(out.begin(), out.end());
        EXPECT_EQ(peak - out.begin(), side == 0 ? 20 : 93) << "side " << side;
        EXPECT_NEAR(*peak, 1.0f, 0.02f) << "a full-scale sine reads about 1";
        EXPECT_LT(out[side == 0 ? 93 : 20], 0.01f) << "the other side leaked in";
    }
    // Half-way between bins the window still shows it, somewhat lower.
    Sound* between = load(makeWav(rate, 2, rate, sines(rate, 40.5 * bin, 40.5 * bin, 0.5)));
    SoundChannel* c2 = playPaused(between);
    ASSERT_EQ(c2->setPosition(500, SoundSystem::UnitMs), SoundOk);
    ASSERT_EQ(c2->getSpectrum(out.data(), count, 0, SoundSystem::WindowHamming), SoundOk);
    auto peak = std::max_element(out.begin(), out.end());
    EXPECT_TRUE(peak - out.begin() == 40 || peak - out.begin() == 41);
    EXPECT_GT(*peak, 0.5f * 0.75f);
    EXPECT_LT(*peak, 0.5f);

    EXPECT_EQ(channel->getSpectrum(out.data(), 0, 0, SoundSystem::WindowHamming), SoundErrInvalidParam);
    EXPECT_EQ(channel->getSpectrum(out.data(), 8193, 0, SoundSystem::WindowHamming), SoundErrInvalidParam);
    EXPECT_EQ(channel->getSpectrum(out.data(), count, 2, SoundSystem::WindowHamming), SoundErrInvalidParam);
    EXPECT_EQ(channel->getSpectrum(out.data(), count, 0, 9), SoundErrInvalidParam);
}

TEST_F(SoundSystemTest, WithoutAFallbackAMissingDeviceIsAnError)
{
    setenv("SDL_AUDIODRIVER", "none", 1); // no such driver: no device anywhere
    ASSERT_EQ(SoundSystem::create(&system), SoundOk);
    EXPECT_EQ(system->init(4, 0, nullptr), SoundErrOutput);
    EXPECT_NE(system->getLastError().find("no audio output"), std::string::npos);
    // The same system can still fall back.
    captureLog();
    EXPECT_EQ(system->init(4, SoundSystem::InitSilentFallback, nullptr), SoundOk);
    EXPECT_NE(capturedLog().find("playing silently"), std::string::npos);
    EXPECT_TRUE(system->isSilent());
}

// The device path, through SDL's disk driver: it takes the mixed output like a sound
// card and writes it to a file, so what was mixed can be compared with the sound.
TEST_F(SoundSystemTest, DeviceOutputCarriesTheSamplesInOrder)
{
    TempDir dir;
    std::string raw = dir.path() + "/out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "5", 1); // a buffer every 5 ms, faster than real time
    ASSERT_EQ(SoundSystem::create(&system), SoundOk);
    int r = system->init(2, 0, nullptr);
    unsetenv("SDL_DISKAUDIOFILE");
    unsetenv("SDL_DISKAUDIODELAY");
    ASSERT_EQ(r, SoundOk) << system->getLastError();
    EXPECT_EQ(system->getOutputName(), "device (disk)");

    const size_t frames = 20000;
    auto pattern = [](size_t f, int side) { return ((f * 7 + side * 3) % 1000) / 1000.0 - 0.5 + (f == 0 ? 0.4 : 0.0); };
    Sound* sound = load(makeWav(44100, 2, frames, pattern));
    SoundChannel* channel = nullptr;
    ASSERT_EQ(system->playSound(0, sound, false, &channel), SoundOk);
    bool playing = true;
    unsigned last = 0;
    for (int i = 0; i < 400 && playing; ++i) {
        sleepMs(5);
        unsigned p = 0;
        ASSERT_EQ(channel->getPosition(&p, SoundSystem::UnitFrames), SoundOk);
        EXPECT_GE(p, last) << "the position went back";
        last = p;
        channel->isPlaying(&playing);
    }
    EXPECT_FALSE(playing) << "the device never consumed the sound";
    system->release();
    system = nullptr;

    std::string bytes = readWholeFile(raw);
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    auto first = std::find_if(out.begin(), out.end(), [](int16_t s) { return s != 0; });
    ASSERT_NE(first, out.end()) << "nothing was written";
    size_t start = static_cast<size_t>(first - out.begin()) & ~size_t(1);
    ASSERT_GE(out.size(), start + frames * 2);
    std::vector<uint8_t> wav = makeWav(44100, 2, frames, pattern);
    const int16_t* expected = reinterpret_cast<const int16_t*>(wav.data() + 44);
    for (size_t i = 0; i < frames * 2; ++i)
        ASSERT_EQ(out[start + i], expected[i]) << "sample " << i;
    for (size_t i = start + frames * 2; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0) << "output after the end of the sound";
}
