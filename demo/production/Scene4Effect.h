#pragma once

// Wiring (GlassHallResources): after CreateEffectInstance("Scene4Effect",
// "scene_4_effect", true), call setResources({renderer, scene4,
// deferred_light_spot_texture}); the effect owns the renderer from then on. init looks
// up "composite" and the six greeting textures itself, and finds the blenders'
// ShaderSaftblander on "SB1" (the shader cache gives it to "SB1" .. "SB32").

#include "GlassHallSceneEffect.h"

#include <vector>

class ShaderSaftblander;

struct Scene4Resources : GlassHallSceneResources {
    Shader* spotTextureShader = nullptr;
};

// A room of 32 blenders, each with two spot lights that turn with track light_rot while
// the blenders' texture scrolls with them; every blender's lights beat with its own band
// of the spectrum. Five global lights pulse, and six spots sweep the greetings across
// the walls while track greets is above 0.
class Scene4Effect : public GlassHallScene<Scene4Effect, Scene4Resources> {
public:
    static constexpr int blenderCount = 32;
    static constexpr int greetCount = 6;
    // A blender's beams go out while its band's level (0..1) is at most this.
    static constexpr float silentBand = 0.1f;

    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

    // Global point light i's radius at time t for track globalI = g.
    static float globalRadius(int i, uint32_t timeMs, float g);

private:
    void animate(uint32_t timeMs);

    TrackInterpolate* fade = nullptr;
    TrackInterpolate* rotY = nullptr;
    TrackInterpolate* greets = nullptr;
    TrackInterpolate* lightRot = nullptr;
    TrackInterpolate* globalI = nullptr;

    Shader* compositeShader = nullptr;
    ShaderSaftblander* blenderShader = nullptr;
    std::vector<ORVObject*> blenders;
    std::vector<ORVLight*> blenderSpots[2];
    std::vector<glm::vec4> blenderColours[2];
    std::vector<float> blenderRadii[2];
    std::vector<ORVLight*> globalPoints;
    std::vector<ORVLight*> greetSpots;
};
