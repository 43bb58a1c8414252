#include "Effect.h"

#include "Assert.h"
#include "PoolLookup.h"
#include "DataBinaryPool.h"
#include "DataEffectPool.h"
#include "DataFBOPool.h"
#include "DataObjectPool.h"
#include "DataShaderPool.h"
#include "DataTexturePool.h"
#include "ORVDemosys.h"
#include "ShaderCache.h"
#include "TrackInterpolate.h"

#include <iostream>

Effect::Effect() = default;
Effect::~Effect() = default;

void Effect::update(uint32_t) {}

void Effect::draw(uint32_t, int32_t, FBO*) { std::cout << "Fallback draw method! This should never happen!" << std::endl; }

void Effect::postDraw(uint32_t) {}

void Effect::init() {}

Effect* Effect::create() { return new Effect(); }

void Effect::setup() {}

void Effect::addTrack(const std::string& name, TrackInterpolate** out)
{
    tracks.push_back(std::make_unique<TrackInterpolate>(name));
    if (out)
        *out = tracks.back().get();
}

TrackInterpolate* Effect::getTrack(int index) const
{
    ORV_ASSERT(index >= 0 && index < getTrackCount());
    return tracks[index].get();
}

Shader* Effect::GetShader(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::shaderPool, name, "shader != __null", "demo/demosys/Effect", 54,
                                    "Shader* Effect::GetShader(std::string)");
}

Texture* Effect::GetTexture(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::texturePool, name, "tex!=__null", "demo/demosys/Effect", 61,
                                    "Texture* Effect::GetTexture(std::string)");
}

FBO* Effect::GetFBO(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::fboPool, name, "fbo != __null", "demo/demosys/Effect", 68,
                                    "FBO* Effect::GetFBO(std::string)");
}

ORVScene* Effect::GetScene(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::sceneDataPool, name, "scene != __null", "demo/demosys/Effect", 75,
                                    "ORVScene* Effect::GetScene(std::string)");
}

ShaderInstance* Effect::GetShaderInstance(std::string name)
{
    return ORVDemosys::shaderCache ? ORVDemosys::shaderCache->getShaderInstance(std::move(name)) : nullptr;
}

Binary* Effect::GetBinary(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::binaryPool, name, "bin != __null", "demo/demosys/Effect", 82,
                                    "Binary* Effect::GetBinary(std::string)");
}

Effect* Effect::GetEffect(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::effectInstancePool, name, "effect != __null", "demo/demosys/Effect", 96,
                                    "Effect* Effect::GetEffect(std::string)");
}
