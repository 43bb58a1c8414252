#pragma once

#include "ResourceDefinition.h"

// A small production that uses every kind of resource the engine loads: three shaders
// (one with a define and an include), a texture declared under two aliases, a scene, a
// binary, a misc file, a video, a framebuffer and four effect instances, one of them
// off the timeline.
class TestProductionDefinition : public ResourceDefinition {
public:
    // Keeps the window size it is given; the piece runs from 00:00:00 to 00:10:00.
    void configure(ScreenMetrics* metrics) override;
    void declareResources() override;
    void declareEffects() override;
    void createEffectInstances() override;
};
