#pragma once

#include "Effect.h"
#include "ORVCamera.h"
#include "StepAccumulator.h"
#include "TrackInterpolate.h"

#include <cmath>

class ORVScene;
class TrackInterpolate;

// The scene seen from a camera that circles it at "speed" degrees per second. The speed
// changes over time, so the angle is its sum over 60 steps a second since the effect's
// range began: a function of the time alone, whatever the frame rate or the pauses.
class SpinEffect : public EffectOf<SpinEffect> {
public:
    SpinEffect() : camera("spin_camera") {}
    void setup() override;
    void init() override;
    void update(uint32_t timeMs) override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

private:
    TrackInterpolate* speed = nullptr;
    ORVScene* scene = nullptr;
    ORVCamera camera;
    StepAccumulator<float> angle{60, 30.0f, [this](float& degrees, double stepTimeMs) {
                                     degrees = std::fmod(degrees + speed->getValue(uint32_t(stepTimeMs)) / 60.0f, 360.0f);
                                 }};
};
