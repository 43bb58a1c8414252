#include "Binary.h"
#include "DataBinaryPool.h"
#include "DataEffectPool.h"
#include "DataFBOPool.h"
#include "DataObjectPool.h"
#include "DataShaderPool.h"
#include "DataTexturePool.h"
#include "DataVideoPool.h"
#include "DeathTest.h"
#include "Effect.h"
#include "LogCapture.h"
#include "ORVDemosys.h"
#include "ORVScene.h"
#include "ResourceDefinition.h"
#include "ScreenMetrics.h"
#include "ShaderCache.h"
#include "ShaderInstance.h"
#include "TrackInterpolate.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {

// Records what the engine had set when it called setup() on a new instance.
class RecordingEffect : public Effect {
public:
    Effect* create() override { return new RecordingEffect(); }
    void setup() override
    {
        ++setupCalls;
        onTimelineAtSetup = isOnTimeline();
        addTrack("fade", &fade);
    }

    int setupCalls = 0;
    bool onTimelineAtSetup = false;
    TrackInterpolate* fade = nullptr;
};

// A death test's message is plain text; gtest reads it as a regular expression.
std::string literally(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
            out += '\\';
        out += c;
    }
    return out;
}

// Every test starts with no pools, no cache, empty declaration lists and default times,
// and leaves the process-wide state as it found it. Pools a test installs are deleted.
class ResourceDefinitionTest : public testing::Test {
protected:
    void SetUp() override
    {
        pool(ORVDemosys::sceneDataPool);
        pool(ORVDemosys::texturePool);
        pool(ORVDemosys::effectPool);
        pool(ORVDemosys::effectInstancePool);
        pool(ORVDemosys::binaryPool);
        pool(ORVDemosys::shaderPool);
        pool(ORVDemosys::fboPool);
        pool(ORVDemosys::videoPool);
        pool(ORVDemosys::shaderCache);
        keep(ORVDemosys::textureDeclarations);
        keep(ORVDemosys::objectDeclarations);
        keep(ORVDemosys::binaryDeclarations);
        keep(ORVDemosys::miscDeclarations);
        keep(ORVDemosys::videoDeclarations);
        keep(ORVDemosys::shaderDeclarations);
        keep(ORVDemosys::musicFile);
        keep(ORVDemosys::startTime);
        keep(ORVDemosys::endTime);
    }

    void TearDown() override
    {
        captureLog(); // the pools say goodbye
        for (auto& restore : restorers)
            restore();
        capturedLog();
    }

    static void createEmptyPools()
    {
        ORVDemosys::sceneDataPool = new DataObjectPool;
        ORVDemosys::texturePool = new DataTexturePool;
        ORVDemosys::effectPool = new DataEffectPool;
        ORVDemosys::effectInstancePool = new DataEffectPool;
        ORVDemosys::binaryPool = new DataBinaryPool;
        ORVDemosys::shaderPool = new DataShaderPool;
        ORVDemosys::fboPool = new DataFBOPool;
        ORVDemosys::videoPool = new DataVideoPool;
    }

private:
    template <typename T>
    void keep(T& global)
    {
        auto saved = std::make_shared<T>(std::exchange(global, T()));
        restorers.push_back([&global, saved] { global = std::move(*saved); });
    }
    template <typename T>
    void pool(EngineSlot<T>& global)
    {
        T* saved = global.release();
        // Assigning deletes whatever the test installed.
        restorers.push_back([&global, saved] { global = saved; });
    }

    std::vector<std::function<void()>> restorers;
};

using ResourceDefinitionDeathTest = ResourceDefinitionTest;

} // namespace

TEST_F(ResourceDefinitionTest, DeclarationsAppendCopiesInOrderAndConfigureSetsTheDefaults)
{
    TextureDeclaration texture("noise", "noise.png", 0x0DE1, true);
    ResourceDefinition::AddTexture(texture);
    texture.alias = "changed after adding";
    ResourceDefinition::AddTexture(TextureDeclaration("ramp", "ramp.png", 0x0DE0, false));
    ResourceDefinition::AddObject(ResourceDeclaration("city", "city.obj"));
    ResourceDefinition::AddObject(ResourceDeclaration("ship", "ship.obj"));
    ResourceDefinition::AddBinary(ResourceDeclaration("curve", "curve.bin"));
    ResourceDefinition::AddMiscFile(ResourceDeclaration("font", "font.txt"));
    ResourceDefinition::AddVideo(ResourceDeclaration("intro", "intro.ivf"));
    ResourceDefinition::AddShader(ShaderDeclaration("blur", "post/blur", {"WIDE", "FAST"}));
    ResourceDefinition::SetMusic("theme.ogg");

    const auto& textures = ORVDemosys::textureDeclarations;
    ASSERT_EQ(textures.size(), 2u);
    EXPECT_EQ(textures[0].alias, "noise");
    EXPECT_EQ(textures[0].fileName, "noise.png");
    EXPECT_EQ(textures[0].target, 0x0DE1);
    EXPECT_TRUE(textures[0].mipmapped);
    EXPECT_EQ(textures[1].alias, "ramp");
    EXPECT_FALSE(textures[1].mipmapped);
    ASSERT_EQ(ORVDemosys::objectDeclarations.size(), 2u);
    EXPECT_EQ(ORVDemosys::objectDeclarations[0].alias, "city");
    EXPECT_EQ(ORVDemosys::objectDeclarations[1].fileName, "ship.obj");
    ASSERT_EQ(ORVDemosys::binaryDeclarations.size(), 1u);
    EXPECT_EQ(ORVDemosys::binaryDeclarations[0].fileName, "curve.bin");
    ASSERT_EQ(ORVDemosys::miscDeclarations.size(), 1u);
    EXPECT_EQ(ORVDemosys::miscDeclarations[0].alias, "font");
    ASSERT_EQ(ORVDemosys::videoDeclarations.size(), 1u);
    EXPECT_EQ(ORVDemosys::videoDeclarations[0].fileName, "intro.ivf");
    ASSERT_EQ(ORVDemosys::shaderDeclarations.size(), 1u);
    EXPECT_EQ(ORVDemosys::shaderDeclarations[0].fileName, "post/blur");
    EXPECT_EQ(ORVDemosys::shaderDeclarations[0].defines, (std::vector<std::string>{"WIDE", "FAST"}));
    EXPECT_EQ(ORVDemosys::musicFile, "theme.ogg");

    ScreenMetrics metrics;
    metrics.setSize(640, 480);
    metrics.setFullscreen(true);
    ORVDemosys::startTime = TimeCode(1, 2, 3);
    ORVDemosys::endTime = TimeCode(4, 5, 6);
    ResourceDefinition definition;
    definition.configure(&metrics);
    EXPECT_EQ(metrics.getWidth(), 1280);
    EXPECT_EQ(metrics.getHeight(), 768);
    EXPECT_FALSE(metrics.isFullscreen());
    EXPECT_EQ(ORVDemosys::startTime.getTotal(), 0u);
    EXPECT_EQ(ORVDemosys::endTime.getMinutes(), 99);
    EXPECT_EQ(ORVDemosys::endTime.getTotal(), 99u * 60000u);
}

TEST_F(ResourceDefinitionTest, InstancesAreSetUpOnTheirTimelineAndPooledByInstanceName)
{
    createEmptyPools();
    auto* prototype = new RecordingEffect;
    ResourceDefinition::AddEffect("Recording", prototype);
    EXPECT_EQ(ORVDemosys::effectPool->get("Recording"), prototype);

    auto* onTimeline = dynamic_cast<RecordingEffect*>(ResourceDefinition::CreateEffectInstance("Recording", "a", true));
    auto* offTimeline =
        dynamic_cast<RecordingEffect*>(ResourceDefinition::CreateEffectInstance("Recording", "b", false));
    ASSERT_NE(onTimeline, nullptr);
    ASSERT_NE(offTimeline, nullptr);
    EXPECT_NE(onTimeline, prototype);
    EXPECT_NE(onTimeline, offTimeline);
    EXPECT_TRUE(onTimeline->onTimelineAtSetup) << "the flag is set before setup()";
    EXPECT_TRUE(onTimeline->isOnTimeline());
    EXPECT_FALSE(offTimeline->onTimelineAtSetup);
    EXPECT_FALSE(offTimeline->isOnTimeline());
    EXPECT_EQ(onTimeline->setupCalls, 1);
    EXPECT_EQ(offTimeline->setupCalls, 1);
    EXPECT_EQ(prototype->setupCalls, 0);
    EXPECT_EQ(prototype->getTrackCount(), 0);
    ASSERT_EQ(onTimeline->getTrackCount(), 1);
    ASSERT_EQ(offTimeline->getTrackCount(), 1);
    EXPECT_EQ(onTimeline->getTrack(0), onTimeline->fade);
    EXPECT_NE(onTimeline->getTrack(0), offTimeline->getTrack(0));

    EXPECT_EQ(ORVDemosys::effectInstancePool->get("a"), onTimeline);
    EXPECT_EQ(prototype->GetEffect("b"), offTimeline);

    // A second instance under a taken name replaces the entry; the pool lets go of the
    // old one, so it is ours to delete.
    Effect* again = ResourceDefinition::CreateEffectInstance("Recording", "a", false);
    EXPECT_NE(again, onTimeline);
    EXPECT_EQ(offTimeline->GetEffect("a"), again);
    std::unique_ptr<Effect> replaced(ORVDemosys::effectInstancePool->get("a") == onTimeline ? nullptr : onTimeline);
    EXPECT_EQ(ORVDemosys::effectInstancePool->size(), 2);
}

TEST_F(ResourceDefinitionTest, LookupsReturnWhatThePoolsAndTheCacheHold)
{
    Effect effect;
    EXPECT_EQ(effect.GetShaderInstance("lit"), nullptr) << "no cache installed";

    createEmptyPools();
    auto* binary = new Binary(std::vector<uint8_t>{1, 2, 3});
    auto* scene = new ORVScene;
    ORVDemosys::binaryPool->add("curve", binary);
    ORVDemosys::sceneDataPool->add("city", scene);
    EXPECT_EQ(ResourceDefinition::GetBinary("curve"), binary);
    EXPECT_EQ(effect.GetBinary("curve"), binary);
    EXPECT_EQ(ResourceDefinition::GetScene("city"), scene);
    EXPECT_EQ(effect.GetScene("city"), scene);

    ORVDemosys::shaderCache = new ShaderCache;
    auto* lit = new ShaderInstance(nullptr);
    auto* flat = new ShaderInstance(nullptr);
    ORVDemosys::shaderCache->addShaderInstance("lit", lit);
    ORVDemosys::shaderCache->addShaderInstance("flat", flat);
    EXPECT_EQ(effect.GetShaderInstance("lit"), lit);
    EXPECT_EQ(effect.GetShaderInstance("flat"), flat);
}

TEST_F(ResourceDefinitionDeathTest, UnregisteredEffectClassStops)
{
    const std::string message = literally(
        "demo/demosys/ResourceDefinition:45: Effect* ResourceDefinition::CreateEffectInstance(std::string, "
        "std::string, bool): Assertion `effect != __null' failed");
    EXPECT_DEATH(STDOUT_TO_STDERR(ResourceDefinition::CreateEffectInstance("Recording", "a", true)), message)
        << "no prototype pool";
    createEmptyPools();
    ResourceDefinition::AddEffect("Other", new RecordingEffect);
    EXPECT_DEATH(STDOUT_TO_STDERR(ResourceDefinition::CreateEffectInstance("Recording", "a", true)), message);
}

TEST_F(ResourceDefinitionDeathTest, MissingResourceLookupsStopWithTheirTexts)
{
    Effect effect;
    struct Lookup {
        std::function<void()> call;
        std::string message;
    };
    const std::string definition = "demo/demosys/ResourceDefinition:";
    const std::vector<Lookup> lookups = {
        {[] { ResourceDefinition::GetShader("x"); },
         definition + "110: Shader* ResourceDefinition::GetShader(std::string): Assertion `shader != __null' failed"},
        {[] { ResourceDefinition::GetTexture("x"); },
         definition + "117: Texture* ResourceDefinition::GetTexture(std::string): Assertion `tex!=__null' failed"},
        {[] { ResourceDefinition::GetFBO("x"); },
         definition + "124: FBO* ResourceDefinition::GetFBO(std::string): Assertion `fbo != __null' failed"},
        {[] { ResourceDefinition::GetScene("x"); },
         definition + "131: ORVScene* ResourceDefinition::GetScene(std::string): Assertion `scene != __null' failed"},
        {[] { ResourceDefinition::GetBinary("x"); },
         definition + "138: Binary* ResourceDefinition::GetBinary(std::string): Assertion `bin != __null' failed"},
        {[] { ResourceDefinition::GetVideo("x"); },
         definition + "152: Video* ResourceDefinition::GetVideo(std::string): Assertion `video != __null' failed"},
        {[&] { effect.GetScene("x"); },
         "demo/demosys/Effect:75: ORVScene* Effect::GetScene(std::string): Assertion `scene != __null' failed"},
    };
    for (int withPools = 0; withPools < 2; ++withPools) {
        if (withPools)
            createEmptyPools();
        for (const Lookup& lookup : lookups)
            EXPECT_DEATH(STDOUT_TO_STDERR(lookup.call()), literally(lookup.message))
                << (withPools ? "empty pools" : "no pools");
    }

    // Instances only: a class name with no instance of that name is missing, though its
    // prototype is registered.
    ResourceDefinition::AddEffect("Recording", new RecordingEffect);
    ResourceDefinition::CreateEffectInstance("Recording", "first", true);
    EXPECT_DEATH(STDOUT_TO_STDERR(effect.GetEffect("Recording")),
                 "demo/demosys/Effect:[0-9]+: " +
                     literally("Effect* Effect::GetEffect(std::string): Assertion `effect != __null' failed"));
}
