#pragma once

#include "Effect.h"

class Shader;
class TrackInterpolate;

struct DOFResources {
    FBO* original = nullptr; // the sharp image
    FBO* levels[3] = {nullptr, nullptr, nullptr};
    FBO* depth = nullptr; // its depth texture is the scene's depth
    Shader* shader = nullptr;
};

// Depth of field: the sharp image is shrunk into three ever smaller levels, and the
// final pass picks, per pixel, how blurred a level to show from the depth buffer's
// distance to the focus point. Glass Hall does not register it; a production that
// does wires the five framebuffers and the shader before init.
class DOFEffect : public WiredEffectOf<DOFEffect, DOFResources> {
public:
    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

private:
    bool wired() const;

    TrackInterpolate* focusPoint = nullptr;
    TrackInterpolate* focusRange = nullptr;
};
