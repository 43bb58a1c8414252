#pragma once

#include "Effect.h"
#include "ORVCamera.h"

class ORVScene;
class TrackInterpolate;

// The scene seen from a camera that circles it. The angle accumulates the frame times
// ("speed" degrees per second), so it depends on every frame's delta, not only on the
// time: the effect a fixed-interval render must reproduce exactly.
class SpinEffect : public Effect {
public:
    SpinEffect() : camera("spin_camera") {}
    Effect* create() override { return new SpinEffect(); }
    void setup() override;
    void init() override;
    void update(uint32_t timeMs) override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

private:
    TrackInterpolate* speed = nullptr;
    ORVScene* scene = nullptr;
    ORVCamera camera;
    float angle = 30.0f;
};
