#pragma once

#include "Effect.h"

class Shader;
class Video;

// Three panels on the screen: the video at the demo time on the left, the scene
// framebuffer in the middle, the lit scene on the right. It can also end the run after a number of frames, so a
// production without music (whose clock never moves) still finishes on its own.
class PanelEffect : public EffectOf<PanelEffect> {
public:
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

    // 0 (the default) never ends the run.
    static void quitAfterFrames(int frames);

private:
    Shader* shader = nullptr;
    Video* video = nullptr;
    FBO* scene = nullptr;
    FBO* lit = nullptr;
    int frames = 0;
};
