#include "ShaderCache.h"

#include "Assert.h"
#include "PoolLookup.h"
#include "DataFBOPool.h"
#include "DataObjectPool.h"
#include "DataShaderPool.h"
#include "DataTexturePool.h"
#include "ORVDemosys.h"
#include "ShaderInstance.h"

namespace {

const char* const sourceFile = "demo/demosys/ShaderCache";

} // namespace

ShaderCache::ShaderCache() = default;

ShaderCache::~ShaderCache()
{
    for (auto& entry : instances)
        delete entry.second;
    instances.clear();
}

void ShaderCache::createInstances() {}

void ShaderCache::addShaderInstance(std::string name, ShaderInstance* instance)
{
    ORV_ASSERT_AT(!hasShaderInstance(name), "0", sourceFile, __LINE__,
                  "void ShaderCache::addShaderInstance(std::string, ShaderInstance*)");
    instances[name] = instance;
}

ShaderInstance* ShaderCache::getShaderInstance(std::string name)
{
    auto it = instances.find(name);
    ORV_ASSERT_AT(it != instances.end(), "0", sourceFile, __LINE__,
                  "ShaderInstance* ShaderCache::getShaderInstance(std::string)");
    return it->second;
}

Shader* ShaderCache::GetShader(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::shaderPool, name, ORVDemosys::Lookup::shader, "ShaderCache", 46);
}

Texture* ShaderCache::GetTexture(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::texturePool, name, ORVDemosys::Lookup::texture, "ShaderCache", 52);
}

ORVScene* ShaderCache::GetScene(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::sceneDataPool, name, ORVDemosys::Lookup::scene, "ShaderCache", 58);
}

FBO* ShaderCache::GetFBO(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::fboPool, name, ORVDemosys::Lookup::fbo, "ShaderCache", 64);
}

ORVScene* ShaderCache::GetScene(int i)
{
    // Bounded by the entries that are really there: the pool's add count also counts
    // replacements and may be larger.
    ORV_ASSERT_AT(i >= 0 && i < sceneCount(), "i >= 0 && i < ORVDemosys::sceneDataPool->size()", sourceFile,
                  __LINE__, "ORVScene* ShaderCache::GetScene(int)");
    return ORVDemosys::sceneDataPool->at(i);
}

int ShaderCache::sceneCount() const
{
    return ORVDemosys::sceneDataPool ? ORVDemosys::sceneDataPool->entryCount() : 0;
}
