#include "LogCapture.h"
#include "ORVDemosys.h"
#include "TrackInterpolate.h"
#include "TrackManager.h"
#include "TrackStartStop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// Stand-ins for framebuffers: the tracks only store and return the pointers.
FBO* fakeFbo(int i)
{
    static char storage[4];
    return reinterpret_cast<FBO*>(&storage[i]);
}

std::vector<uint32_t> rowsOf(const std::vector<InterpolateKey>& keys)
{
    std::vector<uint32_t> rows;
    for (const auto& k : keys)
        rows.push_back(k.row);
    return rows;
}

std::vector<uint32_t> rowsOf(const std::vector<StartStopKey>& keys)
{
    std::vector<uint32_t> rows;
    for (const auto& k : keys)
        rows.push_back(k.row);
    return rows;
}

std::unique_ptr<TrackInterpolate> segment(uint32_t type, float first = 0.0f, float second = 1.0f)
{
    auto t = std::make_unique<TrackInterpolate>("fade");
    t->insertKey(InterpolateKey(20, first, type));
    t->insertKey(InterpolateKey(40, second));
    return t;
}

using Rows = std::vector<uint32_t>;

} // namespace

TEST(TrackInterpolate, LinearSegmentIsZeroBeforeAndHoldsAfter)
{
    const auto t = segment(InterpolateKey::Linear);
    EXPECT_FLOAT_EQ(t->getValue(1500, 20), 0.5f);
    EXPECT_FLOAT_EQ(t->getValue(999, 20), 0.0f);
    EXPECT_FLOAT_EQ(t->getValue(1000, 20), 0.0f);
    EXPECT_FLOAT_EQ(t->getValue(1250, 20), 0.25f);
    EXPECT_FLOAT_EQ(t->getValue(2000, 20), 1.0f);
    EXPECT_FLOAT_EQ(t->getValue(5000, 20), 1.0f);
    // Between rows the fractional row still moves the value.
    EXPECT_GT(t->getValue(1520, 20), t->getValue(1500, 20));
}

TEST(TrackInterpolate, HoldKeepsTheEarlierValueUntilTheNextKey)
{
    const auto t = segment(InterpolateKey::Hold);
    for (uint32_t ms = 1000; ms < 2000; ++ms)
        ASSERT_EQ(t->getValue(ms, 20), 0.0f) << ms;
    for (uint32_t ms = 2000; ms < 2100; ++ms)
        ASSERT_EQ(t->getValue(ms, 20), 1.0f) << ms;
}

TEST(TrackInterpolate, EasingWeightsAtTheMiddleOfASegment)
{
    EXPECT_NEAR(segment(InterpolateKey::SineOut)->getValue(1500, 20), 0.70710678f, 1e-6);
    EXPECT_NEAR(segment(InterpolateKey::CosineIn)->getValue(1500, 20), 0.29289322f, 1e-6);
    EXPECT_FLOAT_EQ(segment(InterpolateKey::Quadratic)->getValue(1500, 20), 0.25f);
    // Smooth: c * c * (3 - 2c), a quarter in.
    EXPECT_FLOAT_EQ(segment(InterpolateKey::Smooth)->getValue(1250, 20), 0.15625f);
    // Unknown types interpolate linearly.
    EXPECT_FLOAT_EQ(segment(6)->getValue(1250, 20), 0.25f);
    EXPECT_FLOAT_EQ(segment(99)->getValue(1500, 20), 0.5f);
    // The weight scales the difference from the earlier value, in either direction.
    EXPECT_FLOAT_EQ(segment(InterpolateKey::Quadratic, 2.0f, 4.0f)->getValue(1500, 20), 2.5f);
    EXPECT_FLOAT_EQ(segment(InterpolateKey::Linear, 4.0f, 2.0f)->getValue(1500, 20), 3.0f);
    // The eased curves meet both ends of the segment.
    EXPECT_NEAR(segment(InterpolateKey::SineOut)->getValue(1000, 20), 0.0f, 1e-6);
    EXPECT_NEAR(segment(InterpolateKey::CosineIn)->getValue(1999, 20), 1.0f, 1e-2);
}

TEST(TrackInterpolate, EmptyAndSingleKeyCurves)
{
    TrackInterpolate t("x");
    EXPECT_EQ(t.getValue(0, 20), 0.0f);
    EXPECT_EQ(t.getValue(123456, 20), 0.0f);
    t.insertKey(InterpolateKey(10, 3.0f));
    EXPECT_EQ(t.getValue(499, 20), 0.0f);
    EXPECT_EQ(t.getValue(500, 20), 3.0f);
    EXPECT_EQ(t.getValue(900000, 20), 3.0f);
    // A key at row 0 holds from the very start.
    TrackInterpolate z("z");
    z.insertKey(InterpolateKey(0, 7.0f));
    EXPECT_EQ(z.getValue(0, 20), 7.0f);
}

TEST(TrackInterpolate, RowUsesUnsignedArithmeticWithoutLeavingTheSegment)
{
    TrackInterpolate t("x");
    t.insertKey(InterpolateKey(0, 1.0f));
    t.insertKey(InterpolateKey(100, 2.0f));
    // 214748365 ms * 20 wraps past 2^32 to 4, so the row is 0 although the time is late:
    // the value stays on the segment instead of extrapolating far beyond it.
    const float v = t.getValue(214748365u, 20);
    EXPECT_GE(v, 1.0f);
    EXPECT_LE(v, 2.0f);
}

TEST(TrackInterpolate, ReadsTheRateOfTheEngineTimeline)
{
    TrackInterpolate t("x");
    t.insertKey(InterpolateKey(10, 0.0f));
    t.insertKey(InterpolateKey(20, 1.0f));
    ASSERT_EQ(ORVDemosys::tracks, nullptr);
    EXPECT_EQ(t.getValue(1500), 1.0f); // default 20 rows/s: row 30, after the last key
    {
        TrackManager timeline;
        timeline.setRowsPerSecond(10);
        ORVDemosys::tracks = &timeline;
        EXPECT_FLOAT_EQ(t.getValue(1500), 0.5f); // row 15
    }
    // A deleted timeline no longer serves as the rate.
    EXPECT_EQ(ORVDemosys::tracks, nullptr);
    EXPECT_EQ(t.getValue(1500), 1.0f);
}

TEST(TrackInterpolate, InsertReplacesAndCollectsTheKeysOfAWindow)
{
    TrackInterpolate t("x");
    for (uint32_t row : {10u, 20u, 30u, 40u})
        t.insertKey(InterpolateKey(row, float(row)));
    t.insertKey(InterpolateKey(20, -1.0f, InterpolateKey::Hold));
    std::vector<InterpolateKey> all;
    t.getKeys(all);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1].value, -1.0f);
    EXPECT_EQ(all[1].type, InterpolateKey::Hold);

    auto window = [&](uint32_t from, uint32_t to) {
        std::vector<InterpolateKey> out;
        t.collectKeys(from, to, out);
        return rowsOf(out);
    };
    EXPECT_EQ(window(15, 25), (Rows{10, 20, 30}));
    EXPECT_EQ(window(20, 30), (Rows{20, 30, 40}));
    EXPECT_EQ(window(25, 25), (Rows{20, 30}));
    EXPECT_EQ(window(0, 5), (Rows{10}));
    EXPECT_EQ(window(0, 40), (Rows{10, 20, 30, 40}));
    EXPECT_EQ(window(45, 50), (Rows{}));
    EXPECT_EQ(window(30, 20), (Rows{}));

    // The polymorphic form picks the same keys.
    const Track& base = t;
    std::vector<const TrackKey*> keys;
    base.collectKeys(15, 25, keys);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0]->row, 10u);
    EXPECT_EQ(static_cast<const InterpolateKey*>(keys[1])->value, -1.0f);
}

TEST(TrackInterpolate, RemoveKeyTakesTheKeyOrTheSegmentStart)
{
    TrackInterpolate t("x");
    for (uint32_t row : {10u, 20u, 30u})
        t.insertKey(InterpolateKey(row, 1.0f));
    t.removeKey(20);
    std::vector<InterpolateKey> keys;
    t.getKeys(keys);
    EXPECT_EQ(rowsOf(keys), (Rows{10, 30}));

    t.removeKey(25); // inside the segment 10..30: its start goes
    keys.clear();
    t.getKeys(keys);
    EXPECT_EQ(rowsOf(keys), (Rows{30}));

    t.removeKey(5);  // no key before
    t.removeKey(35); // no key after
    EXPECT_EQ(t.getKeyCount(), 1u);
}

TEST(Track, MoveKeyRewritesTheRowAndReports)
{
    TrackInterpolate t("x");
    t.insertKey(InterpolateKey(10, 1.0f));
    t.insertKey(InterpolateKey(30, 3.0f));

    captureLog();
    t.moveKey(10, 20);
    t.moveKey(20, 20); // same row
    t.moveKey(99, 5);  // no key
    EXPECT_EQ(capturedLog(), "Moved row from 10 to 20\n");

    std::vector<InterpolateKey> keys;
    t.getKeys(keys);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].row, 20u);
    EXPECT_EQ(keys[0].value, 1.0f);

    // Onto an occupied row the moved key wins.
    captureLog();
    t.moveKey(20, 30);
    capturedLog();
    keys.clear();
    t.getKeys(keys);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].row, 30u);
    EXPECT_EQ(keys[0].value, 1.0f);
}

TEST(Track, NearestKeyRowsAreStrict)
{
    TrackStartStop t(0);
    EXPECT_EQ(t.previousKeyRow(10), Track::noRow);
    EXPECT_EQ(t.nextKeyRow(10), Track::noRow);
    t.insertKey(StartStopKey(10, StartStopKey::Start));
    t.insertKey(StartStopKey(20, StartStopKey::Stop));
    EXPECT_EQ(t.previousKeyRow(10), Track::noRow);
    EXPECT_EQ(t.previousKeyRow(11), 10u);
    EXPECT_EQ(t.previousKeyRow(20), 10u);
    EXPECT_EQ(t.nextKeyRow(10), 20u);
    EXPECT_EQ(t.nextKeyRow(0), 10u);
    EXPECT_EQ(t.nextKeyRow(20), Track::noRow);
    EXPECT_EQ(0xFFFFFFFFu, Track::noRow);
}

class StartStopRanges : public testing::Test {
protected:
    void SetUp() override
    {
        track.insertKey(StartStopKey(10, StartStopKey::Start, "staging0", fakeFbo(0)));
        track.insertKey(StartStopKey(20, StartStopKey::Stop));
        track.insertKey(StartStopKey(30, StartStopKey::Start));
        track.insertKey(StartStopKey(40, StartStopKey::Stop));
        track.insertKey(StartStopKey(50, StartStopKey::Start, "gbuffer", fakeFbo(1)));
        track.insertKey(StartStopKey(60, StartStopKey::Stop));
    }

    Rows window(uint32_t from, uint32_t to) const
    {
        std::vector<StartStopKey> out;
        track.collectKeys(from, to, out);
        return rowsOf(out);
    }

    TrackStartStop track{3};
};

TEST_F(StartStopRanges, ActiveFromStartThroughStop)
{
    EXPECT_FALSE(track.isActive(0));
    EXPECT_FALSE(track.isActive(9));
    for (uint32_t row = 10; row <= 20; ++row)
        EXPECT_TRUE(track.isActive(row)) << row;
    EXPECT_FALSE(track.isActive(21));
    EXPECT_FALSE(track.isActive(29));
    EXPECT_TRUE(track.isActive(30));
    EXPECT_TRUE(track.isActive(60));
    EXPECT_FALSE(track.isActive(61));
    EXPECT_FALSE(TrackStartStop(-1).isActive(0));
}

TEST_F(StartStopRanges, TargetAndRangeStartOfTheContainingRange)
{
    EXPECT_EQ(track.getTarget(9), nullptr);
    EXPECT_EQ(track.getTarget(10), fakeFbo(0));
    EXPECT_EQ(track.getTarget(15), fakeFbo(0));
    EXPECT_EQ(track.getTarget(20), fakeFbo(0));
    EXPECT_EQ(track.getTarget(21), nullptr);
    EXPECT_EQ(track.getTarget(35), nullptr); // a range on the screen
    EXPECT_EQ(track.getTarget(55), fakeFbo(1));
    EXPECT_EQ(track.getTarget(61), nullptr);

    EXPECT_EQ(track.getRangeStartRow(15), 10u);
    EXPECT_EQ(track.getRangeStartRow(20), 10u);
    EXPECT_EQ(track.getRangeStartRow(30), 30u);
    EXPECT_EQ(track.getRangeStartRow(25), 0u);
    EXPECT_EQ(track.getRangeStartRow(5), 0u);
    EXPECT_EQ(track.getRangeStartRow(70), 0u);
}

TEST_F(StartStopRanges, CollectsWholeRangesTouchingTheWindow)
{
    EXPECT_EQ(window(15, 35), (Rows{10, 20, 30, 40}));
    EXPECT_EQ(window(32, 34), (Rows{30, 40}));
    EXPECT_EQ(window(20, 20), (Rows{10, 20}));
    EXPECT_EQ(window(0, 10), (Rows{10, 20}));
    EXPECT_EQ(window(22, 28), (Rows{}));
    EXPECT_EQ(window(61, 100), (Rows{}));
    EXPECT_EQ(window(40, 30), (Rows{}));
    EXPECT_EQ(window(0, 100), (Rows{10, 20, 30, 40, 50, 60}));
}

TEST_F(StartStopRanges, EditingOperations)
{
    EXPECT_TRUE(track.hasKey(10));
    EXPECT_FALSE(track.hasKey(11));
    EXPECT_TRUE(track.isStartKey(10));
    EXPECT_FALSE(track.isStartKey(20));
    EXPECT_FALSE(track.isStartKey(11));
    ASSERT_NE(track.getKey(50), nullptr);
    EXPECT_EQ(track.getKey(50)->target, "gbuffer");
    EXPECT_EQ(track.getKey(51), nullptr);

    track.removeRange(30); // at its start
    EXPECT_FALSE(track.hasKey(30));
    EXPECT_FALSE(track.hasKey(40));
    track.removeRange(25); // in a gap: nothing
    EXPECT_EQ(track.getKeyCount(), 4u);
    track.removeRange(60); // on the stop row, inside the range
    EXPECT_EQ(window(0, 100), (Rows{10, 20}));
    track.removeRange(15);
    EXPECT_EQ(track.getKeyCount(), 0u);

    // A pair is always a start and a stop, and only the start carries the target.
    track.insertPair(StartStopKey(100, StartStopKey::Stop, "staging0", fakeFbo(0)),
                     StartStopKey(110, StartStopKey::Start, "gbuffer", fakeFbo(1)));
    EXPECT_TRUE(track.isStartKey(100));
    EXPECT_EQ(track.getKey(110)->type, StartStopKey::Stop);
    EXPECT_EQ(track.getKey(110)->targetFbo, nullptr);
    EXPECT_EQ(track.getTarget(105), fakeFbo(0));
    EXPECT_TRUE(track.validate());
}

TEST(TrackStartStop, ValidateReportsTheFirstMistypedKey)
{
    // Two starts, a stop first, and a key of an unknown type where a stop belongs.
    const struct {
        StartStopKey first, second;
        const char* log;
    } mistyped[] = {
        {StartStopKey(10, StartStopKey::Start), StartStopKey(20, StartStopKey::Start),
         "--> row = 20, row=20, type = 1\n"
         "--> PREVIOUS LINE IS CORRUPT BECAUSE IT'S NOT TAGGED AS A STOP KEYFRAME!\n"},
        {StartStopKey(5, StartStopKey::Stop), StartStopKey(7, 2),
         "--> row = 5, row=5, type = 0\n"
         "--> PREVIOUS LINE IS CORRUPT BECAUSE IT'S NOT TAGGED AS A START KEYFRAME!\n"},
        {StartStopKey(5, StartStopKey::Start), StartStopKey(7, 2),
         "--> row = 7, row=7, type = 2\n"
         "--> PREVIOUS LINE IS CORRUPT BECAUSE IT'S NOT TAGGED AS A STOP KEYFRAME!\n"},
    };
    for (const auto& c : mistyped) {
        TrackStartStop track(0);
        track.insertKey(c.first);
        track.insertKey(c.second);
        captureLog();
        EXPECT_FALSE(track.validate());
        EXPECT_EQ(capturedLog(), c.log);
    }

    // Empty and a trailing start pass, silently.
    TrackStartStop trailing(0);
    captureLog();
    EXPECT_TRUE(trailing.validate());
    trailing.insertKey(StartStopKey(5, StartStopKey::Start));
    trailing.insertKey(StartStopKey(6, StartStopKey::Stop));
    trailing.insertKey(StartStopKey(9, StartStopKey::Start));
    EXPECT_TRUE(trailing.validate());
    EXPECT_EQ(capturedLog(), "");
}
