#pragma once

#include "ShaderCache.h"

// The test production's one shader instance, "geo_color", given to every object of
// every scene.
class TestShaderCache : public ShaderCache {
public:
    void createInstances() override;
};
