// The production's music as the build made it, read back through the sound layer the
// demo plays it with.
#include "Score.h"
#include "SoundSystem.h"
#include "TempDir.h"
#include "StatusCheck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

class ProductionMusic : public ::testing::Test {
protected:
    // Decoded once for all the tests here: it is four minutes of MP3.
    static void SetUpTestSuite()
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        SoundSystem::create(&system);
        system->init(1, SoundSystem::InitOffline, nullptr);
        std::string path = std::string(DEMOSYS_BINARY_DIR) + "/resources/sound/orvane-glass_hall.mp3";
        if (system->createSound(path.c_str(), 0, nullptr, &music) != SoundOk)
            loadError = system->getLastError() + " (the build renders it: target 'music')";
    }
    static void TearDownTestSuite()
    {
        system->release();
        system = nullptr;
        music = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(music) << loadError;
        std::string scorePath = std::string(DEMOSYS_SOURCE_DIR) + "/content/music/glass_hall.score";
        ASSERT_TRUE(succeeds(score.parse(readWholeFile(scorePath), scorePath)));
    }

    // Energy of the lowest bins (43..150 Hz) of the 23 ms before ms.
    double lowBand(SoundChannel* channel, double ms)
    {
        std::vector<float> l(512), r(512);
        EXPECT_EQ(channel->setPosition(static_cast<unsigned>(ms), SoundSystem::UnitMs), SoundOk);
        EXPECT_EQ(channel->getSpectrum(l.data(), 512, 0, SoundSystem::WindowHamming), SoundOk);
        EXPECT_EQ(channel->getSpectrum(r.data(), 512, 1, SoundSystem::WindowHamming), SoundOk);
        double e = 0;
        for (int k = 1; k <= 3; ++k)
            e += l[static_cast<size_t>(k)] * l[static_cast<size_t>(k)] + r[static_cast<size_t>(k)] * r[static_cast<size_t>(k)];
        return e;
    }

    static SoundSystem* system;
    static Sound* music;
    static std::string loadError;
    Score score;
};

SoundSystem* ProductionMusic::system = nullptr;
Sound* ProductionMusic::music = nullptr;
std::string ProductionMusic::loadError;

} // namespace

TEST_F(ProductionMusic, OutlastsTheDemoWithoutClipping)
{
    unsigned ms = 0;
    ASSERT_EQ(music->getLength(&ms, SoundSystem::UnitMs), SoundOk);
    EXPECT_GE(ms, 231000u) << "the demo ends at 03:51.000";
    EXPECT_NEAR(ms, score.lengthSeconds() * 1000.0, 1.0) << "decoded length differs from the render";
    EXPECT_EQ(music->getSampleRate(), 44100);
    size_t clipped = 0;
    for (int16_t s : music->pcm())
        clipped += s == 32767 || s == -32768;
    EXPECT_EQ(clipped, 0u);
}

TEST_F(ProductionMusic, FirstKickLandsOnZero)
{
    const std::vector<int16_t>& pcm = music->pcm();
    int peak = 1;
    for (int16_t s : pcm)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    size_t f = 0;
    while (f < music->frameCount() && std::abs(pcm[2 * f]) < peak / 10)
        ++f;
    EXPECT_LE(f * 1000.0 / 44100.0, 5.0) << "the encoder's delay was not removed";
}

TEST_F(ProductionMusic, SpectrumShowsTheBeatInEveryDrop)
{
    SoundChannel* channel = nullptr;
    ASSERT_EQ(system->playSound(SoundSystem::ChannelFree, music, true, &channel), SoundOk);
    int drops = 0;
    for (const Score::Section& s : score.sections) {
        if (s.name.rfind("drop", 0) != 0)
            continue;
        ++drops;
        double on = 0, off = 0;
        for (int b = 0; b < s.bars * 4; ++b) {
            double t = (score.barStart(s.firstBar) + b * score.beatSeconds()) * 1000.0;
            on += lowBand(channel, t + 30.0);
            off += lowBand(channel, t + 280.0);
        }
        EXPECT_GT(on, 1.8 * off) << s.name << ": the kick does not stand out";
    }
    EXPECT_EQ(drops, 3);
}
