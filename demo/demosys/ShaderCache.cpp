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
    return ORVDemosys::lookupOrStop(ORVDemosys::shaderPool, name, "shader != __null", sourceFile, __LINE__,
                                    "Shader* ShaderCache::GetShader(std::string)");
}

Texture* ShaderCache::GetTexture(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::texturePool, name, "tex!=__null", sourceFile, __LINE__,
                                    "Texture* ShaderCache::GetTexture(std::string)");
}

ORVScene* ShaderCache::GetScene(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::sceneDataPool, name, "scene != __null", sourceFile, __LINE__,
                                    "ORVScene* ShaderCache::GetScene(std::string)");
}

FBO* ShaderCache::GetFBO(std::string name)
{
    return ORVDemosys::lookupOrStop(ORVDemosys::fboPool, name, "fbo != __null", sourceFile, __LINE__,
                                    "FBO* ShaderCache::GetFBO(std::string)");
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
