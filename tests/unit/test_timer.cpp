#include "FakeClock.h"
#include "HostClock.h"
#include "Timer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

class TimerTest : public ::testing::Test {
protected:
    FakeClock clock{0};
};

} // namespace

TEST(HostClockTest, TruncatesTowardZeroAndClamps)
{
    double value = 1.9996;
    HostClock::setSource([&value] { return value; });
    EXPECT_EQ(HostClock::milliseconds(), 1999);
    value = -0.0015;
    EXPECT_EQ(HostClock::milliseconds(), -1);
    value = 1e12;
    EXPECT_EQ(HostClock::milliseconds(), std::numeric_limits<int32_t>::max());
    value = -1e12;
    EXPECT_EQ(HostClock::milliseconds(), std::numeric_limits<int32_t>::min());
    HostClock::resetSource();
}

TEST_F(TimerTest, InitStartsPausedAtZeroWithTenMinuteLength)
{
    clock.atMs(7000);
    Timer timer(20);
    ASSERT_TRUE(timer.init());
    EXPECT_TRUE(timer.isPaused());
    EXPECT_EQ(timer.getTimeMs(), 0);
    EXPECT_EQ(timer.getLengthMs(), 600000u);
    EXPECT_EQ(timer.getLengthRows(), 12000u);
    EXPECT_EQ(timer.getMessage(), "");
    EXPECT_TRUE(timer.shutdown());
}

TEST_F(TimerTest, PauseFreezesClockAndDeltaResumesFromResumePoint)
{
    clock.atMs(1000);
    Timer timer(20);
    timer.init();
    timer.play();
    clock.advanceMs(50);
    EXPECT_EQ(timer.getTimeMs(), 50);
    EXPECT_EQ(timer.getDeltaMs(timer.getTimeMs()), 50);
    clock.advanceMs(50);
    timer.pause(); // clock stands at 100; the last delta query was at 50

    clock.advanceMs(4000);
    EXPECT_EQ(timer.getTimeMs(), 100);
    clock.advanceMs(123);
    EXPECT_EQ(timer.getTimeMs(), 100);
    EXPECT_EQ(timer.getDeltaMs(100), 0);
    EXPECT_EQ(timer.getDeltaMs(99999), 0); // must not move the reference point

    timer.play();
    EXPECT_FALSE(timer.isPaused());
    clock.advanceMs(30);
    EXPECT_EQ(timer.getTimeMs(), 130);
    // 30 ms since the resume, not 80 since the last query nor anything from 99999.
    EXPECT_EQ(timer.getDeltaMs(timer.getTimeMs()), 30);
    clock.advanceMs(16);
    EXPECT_EQ(timer.getDeltaMs(timer.getTimeMs()), 16);
}

TEST_F(TimerTest, SetTimeMsSeeksAndKeepsState)
{
    clock.atMs(500);
    Timer timer(20);
    timer.init();
    timer.setTimeMs(231000);
    EXPECT_TRUE(timer.isPaused());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(timer.getTimeMs(), 231000);
        clock.advanceMs(777);
    }
    timer.play();
    clock.advanceMs(40);
    EXPECT_EQ(timer.getTimeMs(), 231040);

    // Running: continues from the new position, still running.
    timer.setTimeMs(1000);
    EXPECT_FALSE(timer.isPaused());
    EXPECT_EQ(timer.getDeltaMs(timer.getTimeMs()), 0);
    clock.advanceMs(25);
    EXPECT_EQ(timer.getTimeMs(), 1025);
    EXPECT_EQ(timer.getDeltaMs(timer.getTimeMs()), 25);
}

TEST_F(TimerTest, RowConversionsAtRate20)
{
    Timer timer(20);
    timer.init();
    timer.setTimeMs(1049);
    EXPECT_EQ(timer.getRow(), 20u);
    EXPECT_EQ(timer.getRowTimeMs(), 1000u);
    timer.setTimeMs(1050);
    EXPECT_EQ(timer.getRow(), 21u);
    timer.setRow(21);
    EXPECT_EQ(timer.getTimeMs(), 1050);
    timer.setRow(0);
    EXPECT_EQ(timer.getTimeMs(), 0);
}

TEST_F(TimerTest, RowsStaySoundAtExtremes)
{
    // A clock before 0 is row 0, not a wrapped unsigned value.
    Timer timer(20);
    timer.init();
    timer.setTimeMs(-50);
    EXPECT_EQ(timer.getTimeMs(), -50);
    EXPECT_EQ(timer.getRow(), 0u);
    EXPECT_EQ(timer.getRowTimeMs(), 0u);

    // 83 minutes at 1000 rows/s overflows a 32-bit product.
    Timer fine(1000);
    fine.init();
    fine.setTimeMs(5000000);
    EXPECT_EQ(fine.getRow(), 5000000u);
    EXPECT_EQ(fine.getRowTimeMs(), 5000000u);
    fine.setRow(5000001);
    EXPECT_EQ(fine.getTimeMs(), 5000001);
}

TEST_F(TimerTest, RateIsClampedIntoRange)
{
    Timer zero(0);
    EXPECT_EQ(zero.getRate(), 1u);
    ASSERT_TRUE(zero.init());
    EXPECT_EQ(zero.getLengthRows(), 600u);
    zero.setTimeMs(2500);
    EXPECT_EQ(zero.getRow(), 2u);
    EXPECT_EQ(zero.getRowTimeMs(), 2000u);

    Timer fast(5000);
    EXPECT_EQ(fast.getRate(), 1000u);
    ASSERT_TRUE(fast.init());
    EXPECT_EQ(fast.getLengthRows(), 600000u);
    fast.setRow(123);
    EXPECT_EQ(fast.getTimeMs(), 123);
}

TEST_F(TimerTest, LengthRowsMatchesTheRowAtTheEnd)
{
    // 1000 / 30 truncates to 33; the length must still be the row that 600000 ms maps to.
    Timer timer(30);
    timer.init();
    timer.setTimeMs(static_cast<int>(timer.getLengthMs()));
    EXPECT_EQ(timer.getLengthRows(), timer.getRow());
    EXPECT_EQ(timer.getLengthRows(), 18000u);
}

namespace {
// A clock that answers from its own source, as the music timer does: the shared row
// conversions must go through the virtual time operations.
class ScriptedTimer : public Timer {
public:
    ScriptedTimer() : Timer(20) {}
    int getTimeMs() override { return now; }
    void setTimeMs(int ms) override { now = ms; }
    int now = 0;
};
} // namespace

TEST_F(TimerTest, RowConversionsUseTheDerivedClock)
{
    ScriptedTimer timer;
    Timer& base = timer;
    timer.now = 1049;
    EXPECT_EQ(base.getRow(), 20u);
    EXPECT_EQ(base.getRowTimeMs(), 1000u);
    base.setRow(7);
    EXPECT_EQ(timer.now, 350);
}

TEST_F(TimerTest, SpectrumIsFiniteAndWritesOnlyCount)
{
    Timer timer(20);
    timer.init();
    std::vector<float> values(1000);
    float smallest = 1.0f;
    for (int round = 0; round < 200; ++round) {
        timer.getSpectrumAt(round * 16.5, 3, static_cast<int>(values.size()), values.data());
        for (float v : values) {
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_GT(v, 0.0f);
            ASSERT_LE(v, 1.0f);
            smallest = std::min(smallest, v);
        }
    }
    EXPECT_LT(smallest, 0.001f); // the range still reaches down to about 1/10000

    std::vector<float> guarded(5, -7.0f);
    timer.getSpectrum(0, 3, guarded.data());
    EXPECT_GT(guarded[2], 0.0f);
    EXPECT_EQ(guarded[3], -7.0f);
    timer.getSpectrum(0, 0, nullptr);
    timer.getSpectrum(0, -4, nullptr);

    // A function of the time alone: the same time reads the same, another time not.
    std::vector<float> again(1000), later(1000);
    timer.getSpectrumAt(199 * 16.5, 3, 1000, again.data());
    timer.getSpectrumAt(200 * 16.5, 3, 1000, later.data());
    EXPECT_EQ(again, values);
    EXPECT_NE(later, values);
}
