#include "TestShaderCache.h"

#include "ORVObject.h"
#include "ORVScene.h"
#include "ShaderGeoColor.h"

void TestShaderCache::createInstances()
{
    addShaderInstance("geo_color", new ShaderGeoColor(GetShader("geo")));
    ShaderInstance* instance = getShaderInstance("geo_color");
    for (int i = 0; i < sceneCount(); ++i) {
        ORVScene* scene = GetScene(i);
        for (ORVObject* object : scene->getObjectList())
            scene->ApplyShaderInstance(object->getName(), instance);
    }
}
