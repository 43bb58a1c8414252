#include "BeatGrid.h"
#include "FMODTimer.h"
#include "FakeClock.h"
#include "LogCapture.h"
#include "ORVIO.h"
#include "SoundTestFiles.h"
#include "TempDir.h"
#include "Timer.h"
#include "Transport.h"
#include "StatusCheck.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>


namespace {

BeatGrid productionGrid()
{
    BeatGrid grid;
    EXPECT_TRUE(succeeds(grid.load(std::string(DEMOSYS_SOURCE_DIR) + "/content/music/glass_hall.score")));
    return grid;
}

// Performs an action and returns the line it printed.
std::string act(Transport& transport, Transport::Action action)
{
    captureLog();
    transport.perform(action);
    return capturedLog();
}

void seekQuietly(Transport& transport, uint32_t timeMs)
{
    captureLog();
    transport.seek(timeMs);
    capturedLog();
}

} // namespace

TEST(BeatGridTest, ReadsTheProductionScoreAndItsSections)
{
    const BeatGrid grid = productionGrid();
    EXPECT_EQ(grid.getRowsPerSecond(), 20u);
    EXPECT_EQ(grid.getRowsPerBeatNum(), 10u);
    EXPECT_EQ(grid.getRowsPerBeatDen(), 1u);
    const char* names[] = {"intro", "build1", "drop1", "break", "build2", "drop2",
                           "drive", "bridge", "build3", "drop3", "credits", "ending"};
    const uint32_t rows[] = {0, 320, 640, 1280, 1600, 1920, 2560, 2880, 3200, 3520, 4160, 4480};
    ASSERT_EQ(grid.getSections().size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(grid.getSections()[i].name, names[i]);
        EXPECT_EQ(grid.getSections()[i].startRow, rows[i]);
        EXPECT_EQ(grid.getSections()[i].startMs, rows[i] * 50);
    }
    // Beats count from 1 as in the sync script: bar 17.1 is row 640, bar 17.3 row 660.
    EXPECT_EQ(grid.barBeatText(32000), "17.1");
    EXPECT_EQ(grid.barBeatText(32999), "17.2");
    EXPECT_EQ(grid.barBeatText(33000), "17.3");
    EXPECT_EQ(grid.barBeatText(0), "1.1");
    EXPECT_EQ(grid.barStartRow(17), 640u);
    EXPECT_EQ(grid.sectionAt(31999)->name, "build1");
    EXPECT_EQ(grid.sectionAt(32000)->name, "drop1");
    EXPECT_EQ(grid.sectionAt(400000)->name, "ending");
}

TEST(BeatGridTest, SeeksStrictlyAfterOrBeforeAndKeepsFractionalBeatsOffEarlyMs)
{
    BeatGrid grid;
    ASSERT_TRUE(succeeds(grid.parse("rate 20\nbpm 120\nsection b 3\nsection a 1 2\n", "grid.txt")));
    EXPECT_EQ(grid.nextBeatMs(32000), 32500u);
    EXPECT_EQ(grid.previousBeatMs(32000), 31500u);
    EXPECT_EQ(grid.previousBeatMs(32001), 32000u);
    EXPECT_EQ(grid.nextBarMs(32000), 34000u);
    EXPECT_EQ(grid.previousBarMs(32000), 30000u);
    EXPECT_EQ(grid.previousBarMs(32250), 32000u);
    EXPECT_EQ(grid.previousBeatMs(0), 0u);
    uint32_t at = 0;
    // Sections are kept in bar order.
    ASSERT_TRUE(grid.nextSectionMs(0, at));
    EXPECT_EQ(at, 4000u);
    EXPECT_FALSE(grid.nextSectionMs(4000, at));
    EXPECT_FALSE(grid.previousSectionMs(0, at));
    EXPECT_EQ(grid.sectionAt(3999)->name, "a");

    // 128 beats a minute: a beat is 468.75 ms, so beat 1 begins in ms 469, never at 468.
    ASSERT_TRUE(succeeds(grid.parse("bpm 128\n", "grid.txt")));
    EXPECT_EQ(grid.nextBeatMs(0), 469u);
    EXPECT_EQ(grid.barBeatText(468), "1.1");
    EXPECT_EQ(grid.barBeatText(469), "1.2");
    EXPECT_EQ(grid.nextBeatMs(469), 938u);
    EXPECT_EQ(grid.previousBeatMs(938), 469u);

    EXPECT_EQ(grid.parse("bpm 128\nsection x 0\n", "grid.txt").reason(),
              "grid.txt:2: 'section' takes a name, its first bar (from 1) and optionally its number of bars");
    EXPECT_EQ(grid.parse("section x 2\nsection y 2\n", "grid.txt").reason(),
              "grid.txt:2: sections 'x' and 'y' both start at bar 2");
    // A failed parse keeps the grid it had.
    EXPECT_EQ(grid.nextBeatMs(0), 469u);
}

// Seeking by beat, bar and section, the loop and the hold at the end, on the
// free-running clock and on the music timer (silent output), which both move the
// clock the same way.
class TransportTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (GetParam()) {
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            ORVIO::init(ORVIO::ModeFiles);
            dir.write("resources/sound/music.wav", soundtest::makeWav(8000, 1, 8000 * 240, soundtest::silence()));
            timer.reset(new FMODTimer("resources/sound/music.wav", 20));
        } else {
            timer.reset(new Timer(20));
        }
        captureLog();
        ASSERT_TRUE(timer->init()) << timer->getMessage();
        capturedLog();
    }

    TempDir dir{true};
    FakeClock clock;
    std::unique_ptr<Timer> timer;
};

TEST_P(TransportTest, SeeksLandOnTheGridAndPauseHoldsTheClock)
{
    Transport transport(timer.get(), productionGrid(), 0, 231000);
    using A = Transport::Action;
    EXPECT_EQ(act(transport, A::NextSection), "Seek to 00:16:000 row 320 bar 9.1\n");
    EXPECT_EQ(act(transport, A::NextSection), "Seek to 00:32:000 row 640 bar 17.1\n");
    EXPECT_EQ(timer->getRow(), 640u);
    EXPECT_EQ(act(transport, A::NextBeat), "Seek to 00:32:500 row 650 bar 17.2\n");
    EXPECT_EQ(act(transport, A::NextBar), "Seek to 00:34:000 row 680 bar 18.1\n");
    EXPECT_EQ(act(transport, A::PreviousBeat), "Seek to 00:33:500 row 670 bar 17.4\n");
    EXPECT_EQ(act(transport, A::PreviousBar), "Seek to 00:32:000 row 640 bar 17.1\n");
    EXPECT_EQ(act(transport, A::PreviousSection), "Seek to 00:16:000 row 320 bar 9.1\n");
    EXPECT_EQ(act(transport, A::Back10s), "Seek to 00:06:000 row 120 bar 4.1\n");
    EXPECT_EQ(act(transport, A::Back10s), "Seek to 00:00:000 row 0 bar 1.1\n");

    // Play from bar 17; the clock runs, then stands while paused with no frame delta.
    act(transport, A::NextSection);
    act(transport, A::NextSection);
    // The line names where the clock stood, though real time may move it by a ms at once.
    EXPECT_EQ(act(transport, A::TogglePause), "Resumed at 00:32:000 row 640 bar 17.1\n");
    clock.advanceMs(250);
    EXPECT_NEAR(timer->getTimeMs(), 32250, 2);
    EXPECT_EQ(timer->getDeltaMs(timer->getTimeMs()), 250);
    EXPECT_EQ(act(transport, A::PreviousBeat), "Seek to 00:32:000 row 640 bar 17.1\n");
    clock.advanceMs(500);
    EXPECT_EQ(act(transport, A::TogglePause), "Paused at 00:32:500 row 650 bar 17.2\n");
    clock.advanceMs(1000);
    EXPECT_EQ(timer->getTimeMs(), 32500);
    EXPECT_EQ(timer->getDeltaMs(32500), 0);
    EXPECT_EQ(act(transport, A::NextBeat), "Seek to 00:33:000 row 660 bar 17.3\n");
    EXPECT_TRUE(timer->isPaused());
    EXPECT_EQ(timer->getTimeMs(), 33000);

    // Seeks stay within the demo; running into its end the demo holds there, paused,
    // and Space plays again from the start.
    EXPECT_EQ(act(transport, A::Home), "Seek to 00:00:000 row 0 bar 1.1\n");
    seekQuietly(transport, 228000);
    EXPECT_EQ(act(transport, A::Forward10s), "Seek to 03:51:000 row 4620 bar 116.3\n");
    EXPECT_EQ(act(transport, A::NextSection), "Seek to 03:51:000 row 4620 bar 116.3\n");
    seekQuietly(transport, 230000);
    act(transport, A::TogglePause);
    clock.advanceMs(1500);
    captureLog();
    transport.update();
    EXPECT_EQ(capturedLog(), "Paused at 03:51:000 row 4620 bar 116.3\n");
    EXPECT_TRUE(timer->isPaused());
    EXPECT_EQ(timer->getTimeMs(), 231000);
    EXPECT_EQ(act(transport, A::TogglePause), "Resumed at 00:00:000 row 0 bar 1.1\n");
}

TEST_P(TransportTest, LoopRepeatsItsRangeOnceItHasAnEnd)
{
    Transport transport(timer.get(), productionGrid(), 0, 231000);
    using A = Transport::Action;
    EXPECT_EQ(act(transport, A::ToggleLoop), "Loop 00:00:000 - --:--:--- off\n");
    seekQuietly(transport, 32000);
    EXPECT_EQ(act(transport, A::SetLoopStart), "Loop 00:32:000 - --:--:--- off\n");
    seekQuietly(transport, 48000);
    EXPECT_EQ(act(transport, A::SetLoopEnd), "Loop 00:32:000 - 00:48:000 off\n");
    EXPECT_EQ(act(transport, A::ToggleLoop), "Loop 00:32:000 - 00:48:000 on\n");

    seekQuietly(transport, 47000);
    act(transport, A::TogglePause);
    clock.advanceMs(990);
    transport.update();
    EXPECT_NEAR(timer->getTimeMs(), 47990, 2);
    clock.advanceMs(10);
    captureLog();
    transport.update();
    EXPECT_EQ(capturedLog(), "");
    EXPECT_EQ(timer->getTimeMs(), 32000);
    EXPECT_FALSE(timer->isPaused());

    // An end set before the start swaps the two; off, the loop lets the demo run on.
    seekQuietly(transport, 20000);
    EXPECT_EQ(act(transport, A::SetLoopEnd), "Loop 00:20:000 - 00:32:000 on\n");
    EXPECT_EQ(act(transport, A::ToggleLoop), "Loop 00:20:000 - 00:32:000 off\n");
    seekQuietly(transport, 40000);
    transport.update();
    EXPECT_EQ(timer->getTimeMs(), 40000);
}

TEST(TransportKeysTest, KeysMapToActionsAndOnlySeeksRepeat)
{
    using A = Transport::Action;
    EXPECT_EQ(Transport::actionForKey(GLFW_KEY_SPACE, 0), A::TogglePause);
    EXPECT_EQ(Transport::actionForKey(GLFW_KEY_RIGHT, 0), A::NextBeat);
    EXPECT_EQ(Transport::actionForKey(GLFW_KEY_RIGHT, GLFW_MOD_SHIFT), A::NextBar);
    EXPECT_EQ(Transport::actionForKey(GLFW_KEY_LEFT, GLFW_MOD_SHIFT), A::PreviousBar);
    EXPECT_EQ(Transport::actionForKey(GLFW_KEY_DOWN, 0), A::NextSection);
    EXPECT_EQ(Transport::actionForKey(GLFW_KEY_PAGE_UP, 0), A::Back10s);
    EXPECT_EQ(Transport::actionForKey(GLFW_KEY_LEFT_BRACKET, 0), A::SetLoopStart);
    EXPECT_EQ(Transport::actionForKey(GLFW_KEY_TAB, 0), A::ToggleOverlay);
    EXPECT_EQ(Transport::actionForKey(GLFW_KEY_ESCAPE, 0), A::None);

    FakeClock clock;
    Timer timer(20);
    timer.init();
    Transport transport(&timer, BeatGrid(), 0, 60000);
    captureLog();
    EXPECT_EQ(transport.handleKey(GLFW_KEY_RIGHT, GLFW_PRESS, 0), A::NextBeat);
    EXPECT_EQ(transport.handleKey(GLFW_KEY_RIGHT, GLFW_REPEAT, 0), A::NextBeat);
    EXPECT_EQ(transport.handleKey(GLFW_KEY_RIGHT, GLFW_RELEASE, 0), A::None);
    EXPECT_EQ(transport.handleKey(GLFW_KEY_SPACE, GLFW_REPEAT, 0), A::None);
    EXPECT_EQ(transport.handleKey(GLFW_KEY_TAB, GLFW_PRESS, 0), A::ToggleOverlay);
    EXPECT_EQ(capturedLog(), "Seek to 00:00:500 row 10 bar 1.2\nSeek to 00:01:000 row 20 bar 1.3\n");
    EXPECT_TRUE(timer.isPaused());
}

INSTANTIATE_TEST_SUITE_P(Timers, TransportTest, ::testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Music" : "Clock"; });
