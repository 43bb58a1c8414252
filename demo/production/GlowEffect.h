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
    Shader* copyShader = nullptr; // shrinks glow_pre into blurx
};

// Bloom: what other effects drew into glow_pre is blurred by two separable Gaussian
// passes (into glow_x, then into blury) and laid over glow_pre into the target with a
// screen blend. Where the blur runs below half glow_pre's size, glow_pre is first shrunk
// into blurx (half its size); where it runs at half size (small pictures) or full size
// (Ultra), the first pass reads glow_pre itself.
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
