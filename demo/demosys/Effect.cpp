#include "Effect.h"

#include "Assert.h"
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
    Shader* shader = ORVDemosys::shaderPool ? ORVDemosys::shaderPool->get(name) : nullptr;
    ORV_ASSERT_AT(shader != nullptr, "shader != __null", "demo/demosys/Effect", 54,
                  "Shader* Effect::GetShader(std::string)");
    return shader;
}

Texture* Effect::GetTexture(std::string name)
{
    Texture* tex = ORVDemosys::texturePool ? ORVDemosys::texturePool->get(name) : nullptr;
    ORV_ASSERT_AT(tex != nullptr, "tex!=__null", "demo/demosys/Effect", 61, "Texture* Effect::GetTexture(std::string)");
    return tex;
}

FBO* Effect::GetFBO(std::string name)
{
    FBO* fbo = ORVDemosys::fboPool ? ORVDemosys::fboPool->get(name) : nullptr;
    ORV_ASSERT_AT(fbo != nullptr, "fbo != __null", "demo/demosys/Effect", 68, "FBO* Effect::GetFBO(std::string)");
    return fbo;
}

ORVScene* Effect::GetScene(std::string name)
{
    ORVScene* scene = ORVDemosys::sceneDataPool ? ORVDemosys::sceneDataPool->get(name) : nullptr;
    ORV_ASSERT_AT(scene != nullptr, "scene != __null", "demo/demosys/Effect", 75,
                  "ORVScene* Effect::GetScene(std::string)");
    return scene;
}

ShaderInstance* Effect::GetShaderInstance(std::string name)
{
    return ORVDemosys::shaderCache ? ORVDemosys::shaderCache->getShaderInstance(std::move(name)) : nullptr;
}

Binary* Effect::GetBinary(std::string name)
{
    Binary* bin = ORVDemosys::binaryPool ? ORVDemosys::binaryPool->get(name) : nullptr;
    ORV_ASSERT_AT(bin != nullptr, "bin != __null", "demo/demosys/Effect", 82, "Binary* Effect::GetBinary(std::string)");
    return bin;
}

Effect* Effect::GetEffect(std::string name)
{
    Effect* effect = ORVDemosys::effectInstancePool ? ORVDemosys::effectInstancePool->get(name) : nullptr;
    ORV_ASSERT_AT(effect != nullptr, "effect != __null", "demo/demosys/Effect", 96,
                  "Effect* Effect::GetEffect(std::string)");
    return effect;
}
