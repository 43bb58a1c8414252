#include "GlassHallShaderCache.h"

#include "GlassHallSceneNames.h"
#include "Geometry.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "ShaderGeoColor.h"
#include "ShaderGeoTexture.h"
#include "ShaderSaftblander.h"
#include "Texture.h"
#include "VAO.h"

#include <GL/glew.h>

namespace Names = GlassHallSceneNames;

int GlassHallShaderCache::ringSize(int ring)
{
    int size = 15;
    for (int i = 0; i < ring; ++i)
        size = static_cast<int>(static_cast<float>(size) * 1.25f);
    return size;
}

std::string GlassHallShaderCache::cloneName(int index)
{
    return std::string(Names::scene2Sphere()) + "_" + std::to_string(index);
}

void GlassHallShaderCache::defaultShading(ORVScene* scene, const std::string& prefix, const std::string& variant)
{
    Shader* cone = GetShader("deferred_conelight");
    Shader* directional = GetShader("deferred_directonallight");
    Shader* point = GetShader("deferred_pointlight");
    for (const auto& entry : scene->getLights()) {
        ORVLight* light = entry.second;
        if (light->getKind() == ORVLight::Spot)
            light->setShader(cone);
        else if (light->getKind() == ORVLight::Directional)
            light->setShader(directional);
        else if (light->getKind() == ORVLight::Point)
            light->setShader(point);
    }

    ShaderInstance* colour = new ShaderGeoColor(GetShader("geometry_color" + variant));
    ShaderInstance* textured = new ShaderGeoTexture(GetShader("geometry_texture" + variant));
    ShaderInstance* normalMapped = new ShaderGeoTexture(GetShader("geometry_normalmap" + variant));
    addShaderInstance(prefix + "_color", colour);
    addShaderInstance(prefix + "_texture", textured);
    addShaderInstance(prefix + "_normalmap", normalMapped);

    for (unsigned int i = 0; i < scene->getObjectCount(); ++i) {
        ORVObject* object = scene->getObject(i);
        if (!object->getMesh())
            continue;
        object->setShaderInstance(colour);
        ORVMaterial* material = object->getMaterial();
        if (!material || !object->getMesh()->hasMappedArray("in_UV0") || !material->getTexture())
            continue;
        if (material->getNormalMap()) {
            object->setShaderInstance(normalMapped);
        } else {
            object->setShaderInstance(textured);
            material->getTexture()->setWrap(GL_REPEAT, GL_REPEAT);
        }
    }
}

void GlassHallShaderCache::cloneSphereRings(ORVScene* scene)
{
    ORVObject* sphere = scene->getObjectByName(Names::scene2Sphere());
    int index = 0;
    for (int ring = 0; ring < ringCount; ++ring)
        for (int i = 0; i < ringSize(ring); ++i)
            scene->cloneObject(sphere, cloneName(index++), nullptr);
    // The scene hands the source back to us; it draws no more.
    scene->RemoveObject(sphere);
    delete sphere;
    scene->computeBoundingBox();
    scene->buildMeshGroups();
}

void GlassHallShaderCache::createInstances()
{
    Geometry::buildLightVolumes();
    // Scene 6's floor; like the rest of that scene, lit by the lamp as it is drawn.
    ShaderInstance* floorNormalMap = new ShaderGeoTexture(GetShader("geometry_normalmap_lamp"));
    addShaderInstance("floor_normalmap", floorNormalMap);

    ORVScene* scene1 = GetScene("scene1");
    ORVScene* scene2 = GetScene("scene2");
    ORVScene* scene4 = GetScene("scene4");
    ORVScene* scene5 = GetScene("scene5");
    ORVScene* scene6 = GetScene("scene6");

    // Scene 1: each ball its own instance, so that its material values can differ.
    defaultShading(scene1, "scene1");
    const std::vector<std::string> balls = Names::scene1Balls();
    for (size_t i = 0; i < balls.size(); ++i) {
        ShaderInstance* ball = new ShaderGeoColor(GetShader("geometry_color"));
        addShaderInstance("scene1_" + balls[i], ball);
        scene1->getObjectByName(balls[i])->setShaderInstance(ball);
    }

    cloneSphereRings(scene2);
    defaultShading(scene2, "scene2");

    Texture* concrete = GetTexture("Concrete2048NormalMap.png");
    Texture* asphalt = GetTexture("asphaltNormalMap.png");
    concrete->setWrap(GL_REPEAT, GL_REPEAT);
    asphalt->setWrap(GL_REPEAT, GL_REPEAT);
    scene4->getObjectByName("Floor")->getMaterial()->setNormalMap(asphalt);
    scene4->getObjectByName("WallsnRoof")->getMaterial()->setNormalMap(concrete);
    defaultShading(scene4, "scene4");

    ShaderSaftblander* blenders = new ShaderSaftblander(GetShader("geometry_texture_scroll"));
    addShaderInstance("scene4_saftblander", blenders);
    for (int n = 1; n <= Names::scene4Blenders; ++n)
        scene4->getObjectByName(Names::scene4Blender(n))->setShaderInstance(blenders);

    defaultShading(scene5, "scene5");
    defaultShading(scene6, "scene6", "_lamp");

    Texture* tiles = GetTexture("FloorTileNormals.png");
    tiles->setWrap(GL_REPEAT, GL_REPEAT);
    ORVObject* floor = scene6->getObjectByName("Floor");
    ORVMaterial* floorMaterial = floor->getMaterial();
    floorMaterial->setNormalMap(tiles);
    floorMaterial->setExponent(10.0f);
    floorMaterial->setSecondColor(1.0f, 1.0f, 1.0f);
    floor->setShaderInstance(floorNormalMap);

    scene6->getLightByName("Lamp")->setShader(GetShader("deferred_pointcube"));
}
