#pragma once

// Wiring (GlassHallResources): after CreateEffectInstance("Scene5Effect",
// "scene_5_effect", true), call setResources({renderer, scene5, color_shader, refract,
// composite, dotlight, light_sprite, smooth_noise}); the effect owns
// the renderer from then on. init looks up "volumeter1", "volumeter2" and
// "lightsprite" itself and gives the floors, roofs and walls their meter instances.

#include "GlassHallSceneEffect.h"
#include "SpectrumHistory.h"

#include <glm/glm.hpp>

#include <memory>
#include <vector>

class ShaderGeoVolumenter1;
class ShaderGeoVolumenter2;

struct Scene5Resources : GlassHallSceneResources {
    Shader* colorShader = nullptr;
    Shader* refractShader = nullptr;
    Shader* composite = nullptr;
    Texture* dotLight = nullptr;
    Texture* lightSprite = nullptr;
    Texture* smoothNoise = nullptr;
};

// A room of volume meters around a glass cylinder. Floors and roofs are bar meters of
// eight bands; the walls run the recent spectra along them as a waterfall. The room is
// copied from the light buffer into the target, then the cylinder is drawn over it as
// glass that bends the room behind it, swelling with bulge_radius x sin(wobble). Three
// coloured lights circle the cylinder with the music and glow as sprites; the ceiling
// light pulses with the bass.
class Scene5Effect : public GlassHallScene<Scene5Effect, Scene5Resources> {
public:
    // Bands of the bar meters and the waterfall's width and length.
    static constexpr int meterBands = 8;
    static constexpr int historyWidth = 64;
    static constexpr int historyLength = 64;
    static constexpr int historyRowMs = 40;
    // The bars sink two full heights a second; a full bar is down after meterSteps
    // steps (of buildUpStepsPerSecond).
    static constexpr float meterFallPerMs = 0.002f;
    static constexpr int meterSteps = 31;

    Scene5Effect();
    ~Scene5Effect() override;
    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

    const glm::vec2& getNoiseScroll(int i) const { return noiseScroll[i]; }
    Texture* getMeterTexture() const { return meterTexture.get(); }
    Texture* getHistoryTexture() const { return historyTexture.get(); }

private:
    void updateMeters(uint32_t timeMs);
    void animate(uint32_t timeMs);
    void drawCylinder(FBO* target, float bulge);
    void drawLights(FBO* target);

    TrackInterpolate* wobble = nullptr;
    TrackInterpolate* bulgeRadius = nullptr;
    TrackInterpolate* rotY = nullptr;

    Shader* spriteShader = nullptr;
    ORVMaterial* meterMaterial = nullptr; // "VolumeterGenMat", owned by the scene
    std::unique_ptr<ShaderGeoVolumenter1> floorMeters;
    std::unique_ptr<ShaderGeoVolumenter2> wallMeters;
    std::unique_ptr<Texture> meterTexture;
    std::unique_ptr<Texture> historyTexture;
    std::vector<uint8_t> meterPixels;
    std::vector<uint8_t> historyPixels;
    float meterLevels[meterBands] = {};
    SpectrumHistory meterHistory{spectrumBands, buildUpStepsPerSecond, meterSteps};
    SpectrumHistory waterfall{historyWidth, 1000 / historyRowMs, historyLength};
    int64_t waterfallShown = -1; // the newest step on the texture
    std::unique_ptr<VAO> spriteQuad;
    std::unique_ptr<VAO> lightCore;

    ORVObject* cylinder = nullptr;
    glm::mat4 cylinderMatrix{1.0f};
    ORVLight* ceilingLight = nullptr;
    float ceilingRadius = 0.0f;
    std::vector<ORVLight*> dynamicLights;
    std::vector<glm::vec3> dynamicPlacements;
    std::vector<float> dynamicRadii;
    glm::vec2 noiseScroll[3];
};
