#pragma once

#include "Effect.h"
#include "ORVCamera.h"

#include <memory>

class DeferredRenderer;
class ORVLight;
class ORVScene;
class Shader;

// The scene lit in screen space, as the production's scene effects light theirs: the
// deferred renderer draws it into the G-buffer and adds a directional sun and a point
// light circling the objects ("orbit" degrees per second, from the time alone) into
// the light buffer; the compose pass then writes surface colour times ambient plus
// light into the target.
class LitEffect : public EffectOf<LitEffect> {
public:
    LitEffect();
    ~LitEffect() override;
    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

private:
    TrackInterpolate* orbit = nullptr;
    ORVScene* scene = nullptr;
    ORVLight* bulb = nullptr;
    Shader* compose = nullptr;
    std::unique_ptr<DeferredRenderer> renderer;
    ORVCamera camera;
};
