#pragma once

#include "Effect.h"

class Shader;
class Texture;
class TrackInterpolate;

struct WarpspeedResources {
    Shader* shader = nullptr;
    Texture* texture = nullptr;  // warpspeed_texture
    Texture* texture2 = nullptr; // warpspeed_texture2
};

// The warp-speed background: star streaks rushing down a tunnel, turning slowly, with a
// second, faster layer of streaks that accelerates.
class WarpspeedEffect : public WiredEffectOf<WarpspeedEffect, WarpspeedResources> {
public:
    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

private:
    TrackInterpolate* move = nullptr;
    TrackInterpolate* intensity = nullptr;
    TrackInterpolate* speedlayerAlpha = nullptr;
    TrackInterpolate* accelerate = nullptr;
};
