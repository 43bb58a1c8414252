#pragma once

#include "Effect.h"

class Shader;
class Texture;
class TrackInterpolate;

// The texture over the whole screen, tinted by the colour stored in the "palette"
// binary and faded by its "fade" curve.
class BackdropEffect : public EffectOf<BackdropEffect> {
public:
    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

private:
    TrackInterpolate* fade = nullptr;
    Shader* shader = nullptr;
    Texture* texture = nullptr;
    float tint[3] = {1.0f, 1.0f, 1.0f};
};
