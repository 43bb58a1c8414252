#pragma once

// Wiring (GlassHallResources): after CreateEffectInstance("Scene1Effect",
// "scene_1_effect", true), call setResources({renderer, scene1, light_sprite,
// lightsprite}); renderer is a new DeferredRenderer(gbuffer, null, lightBuffer, null,
// dummy), owned by the effect from then on. init looks up "composite" itself.

#include "GlassHallSceneEffect.h"
#include "SpectrumHistory.h"
#include "StepAccumulator.h"

#include <glm/glm.hpp>

#include <array>
#include <memory>

struct Scene1Resources : GlassHallSceneResources {
    Texture* lightSprite = nullptr;
    Shader* lightSpriteShader = nullptr;
};

// Three glowing balls over spinning disks, driven by the music: each ball glows with
// one third of the spectrum (bass, mids, highs), its point light grows with it and a
// camera-facing light sprite shines over it; three spot lights swing across the hall.
class Scene1Effect : public GlassHallScene<Scene1Effect, Scene1Resources> {
public:
    Scene1Effect();
    ~Scene1Effect() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

    float getLevel(int band) const { return levels[band]; }

    // Fall of a band level per step (of buildUpStepsPerSecond) while the music is below
    // it, and the steps a level may take to sink: a peak of up to levelDecay *
    // levelSteps is followed all the way down.
    static constexpr float levelDecay = 0.04f;
    static constexpr int levelSteps = 150;

private:
    using DiskTurns = std::array<glm::mat4, 3>;
    // The disks turn by the spots' angles at every step of the range so far.
    static void turnDisks(DiskTurns& turns, double stepTimeMs);

    void updateLevels(uint32_t timeMs);
    void animate(uint32_t timeMs);
    void drawSprites(FBO* target);

    Shader* compositeShader = nullptr;
    ORVObject* balls[3] = {nullptr, nullptr, nullptr};
    ORVObject* disks[3] = {nullptr, nullptr, nullptr};
    ORVLight* points[3] = {nullptr, nullptr, nullptr};
    ORVLight* spots[3] = {nullptr, nullptr, nullptr};
    float levels[3] = {0.0f, 0.0f, 0.0f};
    glm::mat4 diskPlacements[3];
    SpectrumHistory history{spectrumBands, buildUpStepsPerSecond, levelSteps + 1};
    StepAccumulator<DiskTurns> diskTurns{buildUpStepsPerSecond, DiskTurns(), &Scene1Effect::turnDisks};
    std::unique_ptr<VAO> spriteQuad;
};
