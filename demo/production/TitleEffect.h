#pragma once

#include "Effect.h"

#include <memory>

class Shader;
class Texture;
class TrackInterpolate;
class VAO;

struct TitleResources {
    Shader* titleShader = nullptr;
    Shader* titleLogoShader = nullptr;
    Texture* frames[5] = {nullptr, nullptr, nullptr, nullptr, nullptr}; // glasshall1..5
    Texture* logo = nullptr;                                            // orvlogo
    Texture* credits[5] = {nullptr, nullptr, nullptr, nullptr, nullptr}; // vesk .. surrent
    FBO* staging = nullptr;
};

// The logo, the credits and the title, added over the target: texindex 1 shows the
// logo, 2 to 6 the five credit pictures, 20 the title built from its five frames.
class TitleEffect : public WiredEffectOf<TitleEffect, TitleResources> {
public:
    TitleEffect();
    ~TitleEffect() override;
    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

private:
    // Half the full-screen quad: -0.5..0.5, placed by "pos" and "scale".
    std::unique_ptr<VAO> quad;
    TrackInterpolate* transx = nullptr;
    TrackInterpolate* zoom = nullptr;
    TrackInterpolate* texindex = nullptr;
    TrackInterpolate* freqmin1 = nullptr;
    TrackInterpolate* freqmax1 = nullptr;
    TrackInterpolate* blend = nullptr;
    TrackInterpolate* fade = nullptr;
};
