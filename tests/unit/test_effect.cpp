#include "Assert.h"
#include "DeathTest.h"
#include "Effect.h"
#include "LogCapture.h"
#include "TrackInterpolate.h"

#include <gtest/gtest.h>

#include <memory>

TEST(Effect, TracksInOrderOwnedByTheEffect)
{
    Effect effect;
    TrackInterpolate* fade = nullptr;
    TrackInterpolate* gain = nullptr;
    effect.addTrack("fade", &fade);
    effect.addTrack("gain", &gain);
    ASSERT_EQ(effect.getTrackCount(), 2);
    EXPECT_EQ(effect.getTrack(0), fade);
    EXPECT_EQ(effect.getTrack(1), gain);
    EXPECT_EQ(gain->getName(), "gain");

    // A new instance from a prototype starts without tracks or timeline membership.
    effect.setOnTimeline(true);
    std::unique_ptr<Effect> instance(effect.create());
    EXPECT_EQ(instance->getTrackCount(), 0);
    EXPECT_FALSE(instance->isOnTimeline());
}

TEST(Effect, BaseDrawReportsTheMissingOverride)
{
    Effect effect;
    captureLog();
    effect.update(0);
    effect.draw(10, 16, nullptr);
    effect.postDraw(10);
    EXPECT_EQ(capturedLog(), "Fallback draw method! This should never happen!\n");
}

TEST(EffectDeathTest, TrackIndexOutOfRangeStops)
{
    Effect effect;
    EXPECT_DEATH(STDOUT_TO_STDERR(effect.getTrack(0)), "Assertion `index >= 0 && index < getTrackCount\\(\\)' failed");
}

TEST(AssertDeathTest, NamesConditionFileLineAndFunction)
{
    EXPECT_DEATH(STDOUT_TO_STDERR(ORV_ASSERT_AT(1 + 1 == 3, "shader != __null", "demo/demosys/Effect", 54,
                                                "Shader* Effect::GetShader(std::string)")),
                 "demo/demosys/Effect:54: Shader\\* Effect::GetShader\\(std::string\\): Assertion `shader != "
                 "__null' failed\\.");
}
