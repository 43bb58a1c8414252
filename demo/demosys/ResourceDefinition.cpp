#include "ResourceDefinition.h"

#include "Assert.h"
#include "PoolLookup.h"
#include "DataBinaryPool.h"
#include "DataEffectPool.h"
#include "DataFBOPool.h"
#include "DataObjectPool.h"
#include "DataShaderPool.h"
#include "DataTexturePool.h"
#include "DataVideoPool.h"
#include "Effect.h"
#include "FBO.h"
#include "ORVDemosys.h"
#include "ScreenMetrics.h"

#include <GL/glew.h>

ResourceDefinition::ResourceDefinition() = default;
ResourceDefinition::~ResourceDefinition() = default;

void ResourceDefinition::configure(ScreenMetrics* metrics)
{
    metrics->setSize(1280, 768);
    metrics->setFullscreen(false);
    ORVDemosys::startTime = TimeCode(std::string("00:00:00"));
    ORVDemosys::endTime = TimeCode(std::string("99:00:00"));
}

void ResourceDefinition::declareResources() {}
void ResourceDefinition::declareEffects() {}
void ResourceDefinition::createEffectInstances() {}

void ResourceDefinition::AddTexture(const TextureDeclaration& d) { ORVDemosys::textureDeclarations.push_back(d); }
void ResourceDefinition::AddObject(const ResourceDeclaration& d) { ORVDemosys::objectDeclarations.push_back(d); }
void ResourceDefinition::AddBinary(const ResourceDeclaration& d) { ORVDemosys::binaryDeclarations.push_back(d); }
void ResourceDefinition::AddMiscFile(const ResourceDeclaration& d) { ORVDemosys::miscDeclarations.push_back(d); }
void ResourceDefinition::AddVideo(const ResourceDeclaration& d) { ORVDemosys::videoDeclarations.push_back(d); }
void ResourceDefinition::AddShader(const ShaderDeclaration& d) { ORVDemosys::shaderDeclarations.push_back(d); }
void ResourceDefinition::SetMusic(const std::string& fileName) { ORVDemosys::musicFile = fileName; }

void ResourceDefinition::AddFBO(const std::string& name, FBO* fbo)
{
    ORVDemosys::fboPool->add(name, fbo);
    FBO::bind(fbo);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    FBO::bindScreen();
}

void ResourceDefinition::AddEffect(const std::string& className, Effect* prototype)
{
    ORVDemosys::effectPool->add(className, prototype);
}

Effect* ResourceDefinition::CreateEffectInstance(std::string className, std::string instanceName, bool onTimeline)
{
    Effect* effect = ORVDemosys::effectPool ? ORVDemosys::effectPool->get(className) : nullptr;
    ORV_ASSERT_AT(effect != nullptr, "effect != __null", "demo/demosys/ResourceDefinition", 45,
                  "Effect* ResourceDefinition::CreateEffectInstance(std::string, std::string, bool)");
    Effect* instance = effect->create();
    instance->setOnTimeline(onTimeline);
    instance->setup();
    ORVDemosys::effectInstancePool->add(instanceName, instance);
    return instance;
}

Shader* ResourceDefinition::GetShader(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::shaderPool, name,
                                    ORVDemosys::Lookup::shader, "ResourceDefinition", 110);
}

Texture* ResourceDefinition::GetTexture(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::texturePool, name,
                                    ORVDemosys::Lookup::texture, "ResourceDefinition", 117);
}

FBO* ResourceDefinition::GetFBO(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::fboPool, name, ORVDemosys::Lookup::fbo, "ResourceDefinition", 124);
}

ORVScene* ResourceDefinition::GetScene(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::sceneDataPool, name,
                                    ORVDemosys::Lookup::scene, "ResourceDefinition", 131);
}

Binary* ResourceDefinition::GetBinary(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::binaryPool, name,
                                    ORVDemosys::Lookup::binary, "ResourceDefinition", 138);
}

Video* ResourceDefinition::GetVideo(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::videoPool, name,
                                    ORVDemosys::Lookup::video, "ResourceDefinition", 152);
}
