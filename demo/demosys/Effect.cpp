#include "Effect.h"

#include "Assert.h"
#include "Log.h"
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


using ORVDemosys::Log;

Effect::Effect() = default;
Effect::~Effect() = default;

void Effect::update(uint32_t) {}

void Effect::draw(uint32_t, int32_t, FBO*)
{
    Log::warning() << "Fallback draw method! This should never happen!" << std::endl;
}

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
    return ORVDemosys::lookupOrStop(ORVDemosys::shaderPool, name, ORVDemosys::Lookup::shader, "Effect", 54);
}

Texture* Effect::GetTexture(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::texturePool, name, ORVDemosys::Lookup::texture, "Effect", 61);
}

FBO* Effect::GetFBO(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::fboPool, name, ORVDemosys::Lookup::fbo, "Effect", 68);
}

ORVScene* Effect::GetScene(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::sceneDataPool, name, ORVDemosys::Lookup::scene, "Effect", 75);
}

ShaderInstance* Effect::GetShaderInstance(std::string name)
{
    return ORVDemosys::shaderCache ? ORVDemosys::shaderCache->getShaderInstance(std::move(name)) : nullptr;
}

Binary* Effect::GetBinary(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::binaryPool, name, ORVDemosys::Lookup::binary, "Effect", 82);
}

Effect* Effect::GetEffect(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::effectInstancePool, name, ORVDemosys::Lookup::effect, "Effect", 96);
}

void Effect::addTracks(std::initializer_list<std::pair<const char*, TrackInterpolate**>> named)
{
    for (const auto& track : named)
        addTrack(track.first, track.second);
}
