#include "TestShaderCache.h"

#include "ORVObject.h"
#include "ORVScene.h"
#include "ShaderGeoColor.h"

namespace {

void applyToAll(ORVScene* scene, ShaderInstance* instance)
{
    for (ORVObject* object : scene->getObjectList())
        scene->ApplyShaderInstance(object->getName(), instance);
}

} // namespace

void TestShaderCache::createInstances()
{
    addShaderInstance("geo_color", new ShaderGeoColor(GetShader("geo")));
    addShaderInstance("gbuffer_color", new ShaderGeoColor(GetShader("gbuffer")));
    applyToAll(GetScene("hall"), getShaderInstance("geo_color"));
    applyToAll(GetScene("lit_hall"), getShaderInstance("gbuffer_color"));
}
