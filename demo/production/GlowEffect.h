#pragma once

#include "Effect.h"

class Shader;
class TrackInterpolate;

struct GlowResources {
    FBO* blurX = nullptr;
    FBO* blurY = nullptr;
    FBO* glowPre = nullptr;
    Shader* blurXShader = nullptr;
    Shader* blurYShader = nullptr;
    Shader* screenShader = nullptr;
    Shader* brightnessContrastShader = nullptr;
    FBO* glowX = nullptr; // the first pass's result, blury's size
};

// Bloom: what other effects drew into glow_pre is shrunk into blurx (half its size),
// blurred by two separable Gaussian passes at a quarter of its size (into glow_x, then
// into blury; at Ultra all three are full size and the blur reads glow_pre itself) and
// laid over glow_pre into the target with a screen blend.
class GlowEffect : public WiredEffectOf<GlowEffect, GlowResources> {
public:
    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

private:
    void blurPass(Shader* shader, FBO* source, FBO* destination, uint32_t t);

    // The picture width in which the blur radius is given.
    static constexpr float kernelWidth = 512.0f;

    TrackInterpolate* preBrightness = nullptr;
    TrackInterpolate* preContrast = nullptr;
    TrackInterpolate* postBrightness = nullptr;
    TrackInterpolate* postContrast = nullptr;
    TrackInterpolate* blurRadius = nullptr;
    TrackInterpolate* kernelAmp = nullptr;
};
