#pragma once

#include "Effect.h"

class Shader;
class TrackInterpolate;

struct RadialBlurResources {
    FBO* staging = nullptr;   // staging1: the image to blur
    FBO* offscreen = nullptr; // offscreen0: wired, but the sharp image is read from staging1
    FBO* blurX = nullptr;     // the blur's source
    FBO* blurY = nullptr;     // the blur
    Shader* radialBlurShader = nullptr;
    Shader* screenShader = nullptr;
    Shader* copyShader = nullptr; // shrinks staging1 into blurx
};

// A zoom blur of staging1 towards the screen centre, laid over the sharp image into
// the target with a screen blend.
class RadialBlurEffect : public WiredEffectOf<RadialBlurEffect, RadialBlurResources> {
public:
    void setup() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

private:
    TrackInterpolate* numPasses = nullptr;
    TrackInterpolate* multiply = nullptr;
};
