#pragma once

#include <demosys/Effect.h>

class Shader;
class TrackInterpolate;

// A full-screen gradient between two colours that the sync script's "mix" curve blends,
// with a band that sweeps across the screen, drawn into the effect's target.
class GradientEffect : public EffectOf<GradientEffect> {
public:
    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

private:
    TrackInterpolate* mix = nullptr;
    Shader* shader = nullptr;
};
