#include "FMODTimer.h"
#include "FakeClock.h"
#include "HostClock.h"
#include "LogCapture.h"
#include "ORVIO.h"
#include "SoundSystem.h"
#include "SoundTestFiles.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

using namespace soundtest;

namespace {

const int rate = 44100;
const double bin128 = rate / 256.0; // bin width of a 128-value spectrum

// A loose music file in resources/sound/ of a fresh working directory: 10 s, a sine at
// bin 10 on the left and bin 30 on the right of a 128-value spectrum.
class FMODTimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ORVIO::init(ORVIO::ModeFiles);
        wav = makeWav(rate, 2, rate * 10, sines(rate, 10 * bin128, 30 * bin128));
        dir.write("resources/sound/music.wav", wav);
    }
    void TearDown() override { ORVIO::init(ORVIO::ModeFiles); }

    // init with its output captured.
    bool initQuietly(FMODTimer& timer, std::string* said = nullptr)
    {
        captureLog();
        bool ok = timer.init();
        std::string text = capturedLog();
        if (said)
            *said = text;
        return ok;
    }

    TempDir dir{true};
    FakeClock clock;
    std::vector<uint8_t> wav;
};

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace

TEST_F(FMODTimerTest, InitLoadsTheMusicPausedAtZero)
{
    FMODTimer timer("resources/sound/music.wav", 20);
    std::string said;
    ASSERT_TRUE(initQuietly(timer, &said)) << timer.getMessage();
    EXPECT_NE(said.find("Fmod Version = 10000\n"), std::string::npos) << said;
    EXPECT_EQ(timer.getMessage(), "");
    EXPECT_TRUE(timer.isPaused());
    EXPECT_EQ(timer.getLengthMs(), 10000u);
    EXPECT_EQ(timer.getLengthRows(), 200u);
    EXPECT_EQ(timer.getTimeMs(), 0);
    EXPECT_EQ(timer.getMusicPositionMs(), 0);
    EXPECT_EQ(timer.getOutputName(), "silent");
    sleepMs(30);
    clock.advanceMs(30);
    EXPECT_EQ(timer.getTimeMs(), 0);
    EXPECT_EQ(timer.getMusicPositionMs(), 0) << "the music should stand paused";
    EXPECT_TRUE(timer.shutdown());
    EXPECT_TRUE(timer.shutdown()) << "a second shutdown has nothing left to fail on";
}

TEST_F(FMODTimerTest, MissingOrDamagedFilesFailWithTheLoadText)
{
    {
        FMODTimer timer("resources/sound/absent.mp3", 20);
        std::string said;
        EXPECT_FALSE(initQuietly(timer, &said));
        EXPECT_EQ(timer.getMessage(), "FMOD Init : Failed to load soundfile!");
        EXPECT_NE(said.find("Failed to create sound sysmte sound! Error code: " + std::to_string(SoundErrFileNotFound)),
                  std::string::npos)
            << said;
        EXPECT_EQ(timer.getMusicPositionMs(), -1);
    }
    {
        std::vector<uint8_t> cut(wav.begin(), wav.begin() + 1000);
        dir.write("resources/sound/cut.wav", cut);
        FMODTimer timer("resources/sound/cut.wav", 20);
        std::string said;
        EXPECT_FALSE(initQuietly(timer, &said));
        EXPECT_EQ(timer.getMessage(), "FMOD Init : Failed to load soundfile!");
        EXPECT_NE(said.find("truncated"), std::string::npos) << "the reason is printed: " << said;
        // The clock still works as a clock, and nothing is held that shutdown could trip on.
        timer.setTimeMs(500);
        EXPECT_EQ(timer.getTimeMs(), 500);
        float untouched[4] = {7, 7, 7, 7};
        timer.getSpectrum(3, 4, untouched);
        EXPECT_EQ(untouched[0], 7.0f);
        EXPECT_TRUE(timer.shutdown());
    }
}

TEST_F(FMODTimerTest, ArchiveModePlaysFromMemoryOrSaysTheEntryIsMissing)
{
    ASSERT_EQ(runCommand("7z a -ms=off '" + dir.path() + "/r.7z' resources > /dev/null"), 0);
    ORVIO::init(ORVIO::ModeArchive, dir.path() + "/r.7z");
    {
        FMODTimer timer("resources/sound/music.wav", 20);
        ASSERT_TRUE(initQuietly(timer)) << timer.getMessage();
        EXPECT_EQ(timer.getLengthMs(), 10000u);
        timer.setTimeMs(2500);
        EXPECT_EQ(timer.getMusicPositionMs(), 2500);
    }
    {
        FMODTimer timer("resources/sound/other.mp3", 20);
        std::string said;
        EXPECT_FALSE(initQuietly(timer, &said));
        EXPECT_EQ(timer.getMessage(), "FMOD Init : Failed to load soundfile from archive!");
        EXPECT_NE(said.find("Error code: 0\n"), std::string::npos) << said;
    }
    ORVIO::release();
}

TEST_F(FMODTimerTest, ClockRowsAndDeltasFollowTheMusic)
{
    FMODTimer timer("resources/sound/music.wav", 20);
    ASSERT_TRUE(initQuietly(timer));
    // A seek while paused holds exactly, on the clock and in the music.
    timer.setTimeMs(4000);
    EXPECT_EQ(timer.getTimeMs(), 4000);
    EXPECT_EQ(timer.getRow(), 80u);
    EXPECT_EQ(timer.getMusicPositionMs(), 4000);
    EXPECT_EQ(timer.getDeltaMs(4000), 0) << "no deltas while paused";

    timer.play();
    int start = timer.getTimeMs();
    EXPECT_GE(start, 4000);
    EXPECT_LE(start, 4010) << "the clock starts where the music is";
    clock.advanceMs(1049);
    int t = timer.getTimeMs();
    EXPECT_EQ(t, start + 1049);
    EXPECT_EQ(timer.getDeltaMs(t), 1049) << "the first delta counts from the resume point";
    EXPECT_EQ(timer.getRow(), static_cast<uint32_t>(t / 50));
    EXPECT_EQ(timer.getRowTimeMs(), static_cast<uint32_t>(t / 50 * 50));
    clock.advanceMs(16);
    EXPECT_EQ(timer.getDeltaMs(timer.getTimeMs()), 16);

    // The host clock ran 1065 ms ahead of the music (which moved only in real time). A
    // pause and resume puts the clock back on the music.
    timer.pause();
    int music = timer.getMusicPositionMs();
    EXPECT_LT(music, 4000 + 500);
    timer.play();
    EXPECT_NEAR(timer.getTimeMs(), music, 5);
    EXPECT_NEAR(timer.getTimeMs(), timer.getMusicPositionMs(), 5);

    // Rows: seeking by row goes to the start of the row.
    timer.setRow(21);
    EXPECT_EQ(timer.getTimeMs(), 1050);
    EXPECT_NEAR(timer.getMusicPositionMs(), 1050, 5);
    EXPECT_EQ(timer.getDeltaMs(1050), 0);
}

TEST_F(FMODTimerTest, ClockAndMusicStayTogetherInRealTime)
{
    HostClock::setSource([] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    });
    FMODTimer timer("resources/sound/music.wav", 20);
    ASSERT_TRUE(initQuietly(timer));
    timer.setTimeMs(1000);
    timer.play();
    int worst = 0;
    for (int i = 0; i < 10; ++i) {
        sleepMs(30);
        timer.update();
        worst = std::max(worst, std::abs(timer.getTimeMs() - timer.getMusicPositionMs()));
    }
    EXPECT_LE(worst, 2);
    EXPECT_GE(timer.getTimeMs(), 1000 + 300);
}

TEST_F(FMODTimerTest, SpectrumModesReadLeftRightSumAndMean)
{
    FMODTimer timer("resources/sound/music.wav", 20);
    ASSERT_TRUE(initQuietly(timer));
    timer.setTimeMs(3000);
    auto argmax = [](const std::vector<float>& v) { return std::max_element(v.begin(), v.end()) - v.begin(); };
    std::vector<float> out(128);
    timer.getSpectrum(0, 128, out.data());
    EXPECT_EQ(argmax(out), 10);
    EXPECT_NEAR(out[10], 1.0f, 0.02f);
    timer.getSpectrum(1, 128, out.data());
    EXPECT_EQ(argmax(out), 30);
    EXPECT_NEAR(out[30], 1.0f, 0.02f);
    timer.getSpectrum(2, 128, out.data());
    EXPECT_NEAR(out[10], 1.0f, 0.02f);
    EXPECT_NEAR(out[30], 1.0f, 0.02f);
    timer.getSpectrum(3, 128, out.data());
    EXPECT_NEAR(out[10], 0.5f, 0.01f);
    EXPECT_NEAR(out[30], 0.5f, 0.01f);
    EXPECT_LT(out[20], 0.01f);
    // 64 values: twice as wide bins, so the sines land in bins 5 and 15.
    std::vector<float> small(64);
    timer.getSpectrum(3, 64, small.data());
    EXPECT_NEAR(small[5], 0.5f, 0.01f);
    EXPECT_NEAR(small[15], 0.5f, 0.01f);
    EXPECT_LT(small[10], 0.01f);

    std::vector<float> untouched(128, -3.0f);
    timer.getSpectrum(4, 128, untouched.data());
    timer.getSpectrum(3, 8193, untouched.data());
    timer.getSpectrum(0, 0, untouched.data());
    EXPECT_TRUE(std::all_of(untouched.begin(), untouched.end(), [](float v) { return v == -3.0f; }));
}

TEST_F(FMODTimerTest, OfflineMusicStandsWhereTheClockSays)
{
    // The left tone moves from bin 10 to bin 40 at 5 s.
    dir.write("resources/sound/change.wav", makeWav(rate, 2, rate * 10, [](size_t frame, int side) {
                  const double hz = (side == 0 && frame >= size_t(rate) * 5 ? 40 : 10) * bin128;
                  return std::sin(2.0 * 3.14159265358979 * hz * double(frame) / rate);
              }));
    FMODTimer timer("resources/sound/change.wav", 20, FMODTimer::Output::Offline);
    std::string said;
    ASSERT_TRUE(initQuietly(timer, &said));
    EXPECT_NE(said.find("Fmod Version"), std::string::npos) << said;
    EXPECT_EQ(timer.getOutputName(), "offline");
    timer.setTimeMs(4000);
    timer.play();

    auto peakAt = [&](int expectedMs) {
        timer.update();
        EXPECT_EQ(timer.getTimeMs(), expectedMs);
        EXPECT_EQ(timer.getMusicPositionMs(), expectedMs);
        std::vector<float> out(128);
        timer.getSpectrum(0, 128, out.data());
        return std::max_element(out.begin(), out.end()) - out.begin();
    };
    EXPECT_EQ(peakAt(4000), 10);
    // Real time passing moves nothing; only the clock does.
    sleepMs(60);
    EXPECT_EQ(peakAt(4000), 10);
    clock.advanceMs(2000);
    EXPECT_EQ(peakAt(6000), 40);
    clock.advanceMs(-1500);
    EXPECT_EQ(peakAt(4500), 10);

    // The spectrum at a time is the music's there, wherever the clock or the output
    // stands: on a playing live timer too.
    FMODTimer live("resources/sound/change.wav", 20);
    ASSERT_TRUE(initQuietly(live));
    live.setTimeMs(1000);
    live.play();
    for (FMODTimer* t : {&timer, &live}) {
        std::vector<float> out(128);
        t->getSpectrumAt(6000.0, 0, 128, out.data());
        EXPECT_EQ(std::max_element(out.begin(), out.end()) - out.begin(), 40);
        t->getSpectrumAt(4999.0, 0, 128, out.data());
        EXPECT_EQ(std::max_element(out.begin(), out.end()) - out.begin(), 10);
    }
}

TEST_F(FMODTimerTest, SeekingBackFromTheEndPlaysTheMusicAgain)
{
    // A seek to the end stops the channel, as playing to the end does; a seek back from
    // there must start the music again, or it stays silent while the clock runs.
    FMODTimer timer("resources/sound/music.wav", 20);
    ASSERT_TRUE(initQuietly(timer));
    timer.setTimeMs(10000);
    timer.update();
    timer.setTimeMs(2000);
    timer.play();
    sleepMs(100);
    EXPECT_GT(timer.getMusicPositionMs(), 2040);
    EXPECT_LT(timer.getMusicPositionMs(), 3000);
}
