#pragma once

#include "Effect.h"

// The third scene's slot: registered with the other scene classes, so a timeline may
// name it, but Glass Hall has no third scene and makes no instance of it. An instance
// would draw nothing.
class Scene3Effect : public EffectOf<Scene3Effect> {
public:
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;
};
