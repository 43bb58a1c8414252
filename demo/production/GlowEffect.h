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
};

// Bloom: what other effects drew into glow_pre is shrunk and blurred by two separable
// Gaussian passes (blurx, at half glow_pre's size or less, then blury) and laid over
// glow_pre into the target with a screen blend.
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
