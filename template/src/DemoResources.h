#pragma once

#include <demosys/ResourceDefinition.h>

// What the production loads and draws: its time span and music, its shaders, its effect
// classes and the named instances the sync script keys.
class DemoResources : public ResourceDefinition {
public:
    void configure(ScreenMetrics* metrics) override;
    void declareResources() override;
    void declareEffects() override;
    void createEffectInstances() override;
};
