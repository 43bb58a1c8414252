#include "Binary.h"
#include "DataBinaryPool.h"
#include "DataEffectPool.h"
#include "Effect.h"
#include "LoadingPipeline.h"
#include "LogCapture.h"
#include "ORVDemosys.h"
#include "TrackInterpolate.h"
#include "TrackManager.h"
#include "TrackStartStop.h"

#include <gtest/gtest.h>

#include <unistd.h>

TEST(Binary, BytesAsScaledFloats)
{
    Binary b({0, 128, 255, 64});
    EXPECT_EQ(b.byteCount(), 4u);
    EXPECT_EQ(b.byteAt(2), 255);
    EXPECT_EQ(b.byteAt(4), 0);
    const std::vector<float>& all = b.floats();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_FLOAT_EQ(all[1], 0.5f);
    EXPECT_FLOAT_EQ(all[2], 255.0f / 256.0f);
    EXPECT_EQ(&b.floats(), &all); // made once
    EXPECT_EQ(b.floats(1, 2), (std::vector<float>{0.5f, 255.0f / 256.0f}));
    // A range that runs past the end gives nothing rather than bytes from elsewhere.
    EXPECT_TRUE(b.floats(3, 2).empty());
    EXPECT_TRUE(b.floats(10, 0).empty());
    EXPECT_EQ(b.describe(), "Binary { size = 4 }\n");
}

TEST(DataPools, BinaryPoolCountsEveryAdd)
{
    captureLog();
    {
        DataBinaryPool pool;
        Binary* first = new Binary({1});
        Binary* second = new Binary({1, 2});
        pool.add("lut", first);
        pool.add("lut", second);
        EXPECT_EQ(pool.size(), 2);
        EXPECT_EQ(pool.get("lut"), second);
        EXPECT_EQ(pool.get("missing"), nullptr);
        EXPECT_EQ(pool.toString(), "DataBinaryPool {\n    num3dObjects = 2\n    lut = Binary { size = 2 }\n}\n");
        delete first; // replaced entries are not the pool's any more
    }
    EXPECT_EQ(capturedLog(), "[Dispose binaryPool]\n");
}

TEST(DataPools, EffectPoolEntersAbsentNames)
{
    captureLog();
    {
        DataEffectPool pool;
        pool.add("GlowEffect", new Effect());
        EXPECT_EQ(pool.get("glow_effect"), nullptr);
        EXPECT_EQ(pool.size(), 2);
        EXPECT_EQ(pool.toString(), "EffectPool {\n    GlowEffect = Effect\n    glow_effect = Effect\n}\n");
        EXPECT_EQ(pool.nameAt(1), "glow_effect");
    }
    EXPECT_EQ(capturedLog(), "[Dispose effectPool]\n");
}

TEST(EffectDeathTest, LookupsOfMissingResourcesStop)
{
    ORVDemosys::effectInstancePool = new DataEffectPool();
    ORVDemosys::effectInstancePool->add("GlowEffect", new Effect());
    Effect effect;
    // Instances are found by instance name only; a prototype's class name is no instance.
    EXPECT_DEATH((dup2(2, 1), effect.GetEffect("glow_effect")),
                 "demo/demosys/Effect:96: Effect\\* Effect::GetEffect\\(std::string\\): Assertion `effect != "
                 "__null' failed");
    EXPECT_EQ(effect.GetEffect("GlowEffect"), ORVDemosys::effectInstancePool->get("GlowEffect"));
    EXPECT_DEATH((dup2(2, 1), effect.GetShader("x")), "demo/demosys/Effect:54: .*Assertion `shader != __null'");
    EXPECT_DEATH((dup2(2, 1), effect.GetTexture("x")), "demo/demosys/Effect:61: .*Assertion `tex!=__null'");
    EXPECT_DEATH((dup2(2, 1), effect.GetFBO("x")), "demo/demosys/Effect:68: .*Assertion `fbo != __null'");
    EXPECT_DEATH((dup2(2, 1), effect.GetBinary("x")), "demo/demosys/Effect:82: .*Assertion `bin != __null'");
    captureLog();
    capturedLog();
    ORVDemosys::effectInstancePool = nullptr;
}

namespace {

// As it is deleted, counts the places where the engine's timeline still points at it
// or at its curve.
class TimelineWatchingEffect : public Effect {
public:
    explicit TimelineWatchingEffect(int* references) : references(references) { addTrack("fade", &fade); }
    ~TimelineWatchingEffect() override
    {
        for (int i = 0; ORVDemosys::tracks && i < ORVDemosys::tracks->getEntryCount(); ++i) {
            EffectTracks* entry = ORVDemosys::tracks->getEntry(i);
            *references += entry->effect == this;
            for (TrackInterpolate* curve : entry->tracks)
                *references += curve == fade;
            for (const auto& named : entry->tracksByName)
                *references += named.second == fade;
        }
    }

private:
    int* references;
    TrackInterpolate* fade = nullptr;
};

} // namespace

TEST(Shutdown, TheTimelineNeverPointsAtAFreedEffectOrCurveAndTheLogKeepsItsOrder)
{
    captureLog();
    LoadingPipeline::createDataPools();
    int references = 0;
    auto* effect = new TimelineWatchingEffect(&references);
    ORVDemosys::effectInstancePool->add("fade_effect", effect);
    ORVDemosys::tracks = new TrackManager();
    ORVDemosys::tracks->addEntry("fade_effect", effect, nullptr);
    ORVDemosys::tracks->drawFrame(0, 0, 0);
    LoadingPipeline::deletePools();
    const std::string log = capturedLog();
    EXPECT_EQ(references, 0);
    EXPECT_EQ(ORVDemosys::tracks, nullptr);
    EXPECT_EQ(ORVDemosys::effectInstancePool, nullptr);
    EXPECT_EQ(log, "[Creating DataPools]\n[Deleting Pools]\n[Dispose objectPool]\n[Dispose texturePool]\n"
                   "[Dispose effectPool]\n[Dispose effectPool]\n[Dispose binaryPool]\n[Dispose videoPool]\n"
                   "delete ORVDemosys::tracks\ndelete ORVDemosys::timer\n"
                   "Query GL for remaining texture objects (1-250)\n");
}
