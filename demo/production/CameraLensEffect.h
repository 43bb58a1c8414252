#pragma once

#include "Effect.h"
#include "ORVCamera.h"

class TrackInterpolate;

// The camera the scene effects share: placed every frame, in update, from its seven
// tracks (eye x, y, z, the point it looks at, and a roll in degrees). It draws nothing;
// the scene effects find the instance "cameralens_effect" and read getCamera().
class CameraLensEffect : public EffectOf<CameraLensEffect> {
public:
    CameraLensEffect();
    void setup() override;
    void init() override;
    void update(uint32_t timeMs) override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

    ORVCamera* getCamera() { return &camera; }

private:
    ORVCamera camera;
    TrackInterpolate* x = nullptr;
    TrackInterpolate* y = nullptr;
    TrackInterpolate* z = nullptr;
    TrackInterpolate* lookX = nullptr;
    TrackInterpolate* lookY = nullptr;
    TrackInterpolate* lookZ = nullptr;
    TrackInterpolate* tilt = nullptr;
};
