// Glass Hall's generated scenes (build/resources/objects), read through the engine's
// reader: every name the production's code looks up is there with the right kind and
// what its drawing needs, and every scene, drawn lit from its viewpoints, shows lit
// geometry.
#include "GlassHallSceneNames.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "ObjectReader.h"
#include "ResourceFile.h"
#include "ScenePreview.h"
#include "VAO.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>

namespace {

const std::string objectDirectory = std::string(DEMOSYS_BINARY_DIR) + "/resources/objects/";

std::unique_ptr<ORVScene> readScene(const std::string& file, std::string& error)
{
    const std::string path = objectDirectory + file;
    ResourceFile data(path, ResourceFile::Read);
    if (!data.isLoaded()) {
        error = path + " is missing (the glasshall_scenes target writes it)";
        return nullptr;
    }
    std::ostringstream log;
    ObjectReader reader(path);
    reader.setTrace(false);
    reader.setLog(log);
    std::unique_ptr<ORVScene> scene;
    Status read = reader.read(data, scene);
    if (!read)
        error = read.reason();
    return scene;
}

// Texture files of the production's texture table that a scene material may name.
const std::set<std::string> productionTextures = {
    "Noise.png", "SmoothNoise.png", "WarpspeedTexture.png", "WarpspeedTexture2.png", "LightSprite.png", "dot.png",
    "Concrete2048NormalMap.png", "asphaltNormalMap.png", "FloorTileNormals.png"};

bool hasArray(const ORVObject* obj, const char* name) { return obj->getMesh() && obj->getMesh()->hasMappedArray(name); }

} // namespace

TEST(GlassHallScenes, HoldEveryNameTheProductionLooksUpWithWhatItsDrawingNeeds)
{
    for (const GlassHallSceneNames::SceneNames& names : GlassHallSceneNames::allScenes()) {
        SCOPED_TRACE(names.file);
        std::string error;
        std::unique_ptr<ORVScene> scene = readScene(names.file, error);
        ASSERT_TRUE(scene) << error;

        for (const std::string& name : names.objects) {
            ASSERT_TRUE(scene->objectExists(name)) << "object " << name;
            const ORVObject* obj = scene->getObjectByName(name);
            EXPECT_TRUE(obj->getMesh()) << name << " has no geometry";
        }
        for (const GlassHallSceneNames::LightName& light : names.lights) {
            ASSERT_TRUE(scene->lightExists(light.name)) << "light " << light.name;
            EXPECT_EQ(scene->getLightByName(light.name)->getKind(), light.kind) << light.name;
            EXPECT_GT(scene->getLightByName(light.name)->getRadius(), 0.0f) << light.name;
        }
        for (const std::string& name : names.materials)
            EXPECT_TRUE(scene->materialExists(name)) << "material " << name;
        for (const std::string& name : names.cameras)
            EXPECT_EQ(scene->getCameras().count(name), 1u) << "camera " << name;

        // Every object with geometry (named or not) has normals and a material; a
        // material with a texture comes with uvs, which the shader cache needs to give
        // the object a textured program. Indices are rows of the deferred renderer's
        // material table below the one the production adds (255).
        for (const ORVObject* obj : scene->getObjectList()) {
            if (!obj->getMesh())
                continue;
            EXPECT_TRUE(hasArray(obj, "in_Normal")) << obj->getName();
            ASSERT_TRUE(obj->getMaterial()) << obj->getName() << " has no material";
            const std::string& texture = obj->getMaterial()->getTextureName();
            if (!texture.empty()) {
                EXPECT_TRUE(hasArray(obj, "in_UV0")) << obj->getName() << " is textured without uvs";
                EXPECT_EQ(productionTextures.count(texture), 1u) << obj->getName() << " names " << texture;
            }
        }
        std::set<int> indices;
        for (const auto& entry : scene->getMaterials()) {
            const int index = entry.second->getIndex();
            EXPECT_TRUE(index >= 0 && index < 255) << entry.first << " has index " << index;
            EXPECT_TRUE(indices.insert(index).second) << entry.first << " repeats index " << index;
        }
    }

    // The objects that the production draws with textured programs: a diffuse texture
    // and uvs (scene 4's floor and walls and scene 6's floor also get normal maps, the
    // blenders a scrolling texture).
    std::vector<std::pair<std::string, std::string>> textured = {
        {"Scene4.vbo", "Floor"}, {"Scene4.vbo", "WallsnRoof"}, {"Scene6.vbo", "Floor"}};
    for (int n = 1; n <= GlassHallSceneNames::scene4Blenders; ++n)
        textured.push_back({"Scene4.vbo", GlassHallSceneNames::scene4Blender(n)});
    textured.push_back({"Scene5+.vbo", "BLFloor"});
    std::map<std::string, std::unique_ptr<ORVScene>> scenes;
    for (const auto& item : textured) {
        SCOPED_TRACE(item.first + " " + item.second);
        std::string error;
        if (!scenes.count(item.first))
            scenes[item.first] = readScene(item.first, error);
        ASSERT_TRUE(scenes[item.first]) << error;
        const ORVObject* obj = scenes[item.first]->getObjectByName(item.second);
        EXPECT_TRUE(hasArray(obj, "in_UV0"));
        if (item.first != "Scene5+.vbo") { // the volume meters need uvs, not a texture
            EXPECT_FALSE(obj->getMaterial()->getTextureName().empty());
        }
    }
}

TEST(GlassHallScenes, ShowLitGeometryFromEveryViewpoint)
{
    ScenePreview preview(160, 90);
    ASSERT_TRUE(preview.isReady()) << preview.getError();
    for (const PreviewScene& item : glassHallPreviewScenes()) {
        SCOPED_TRACE(item.file);
        std::string error;
        std::unique_ptr<ORVScene> scene = readScene(item.file, error);
        ASSERT_TRUE(scene) << error;
        arrangeSphereRings(scene.get());
        preview.prepare(scene.get());
        double litSum = 0.0;
        for (size_t v = 0; v < item.viewpoints.size(); ++v) {
            SCOPED_TRACE("viewpoint " + std::to_string(v));
            const Viewpoint& view = item.viewpoints[v];
            const RgbaImage lit = preview.render(scene.get(), view.eye, view.target);
            const double coverage = preview.getCoverage();
            // The same frame with ambient light only: the lights must add to a part of
            // what is seen (with wrong normals, windings or light placements they do not).
            for (const auto& entry : scene->getLights())
                entry.second->setEnabled(false);
            const RgbaImage ambient = preview.render(scene.get(), view.eye, view.target);
            for (const auto& entry : scene->getLights())
                entry.second->setEnabled(true);
            // Lit where the light adds at least half the ambient term (light 0.06 against
            // ambient 0.12), whatever the surface's colour.
            size_t brighter = 0;
            for (size_t i = 0; i < lit.pixels.size(); i += 4) {
                const int withLight = lit.pixels[i] + lit.pixels[i + 1] + lit.pixels[i + 2];
                const int withoutLight = ambient.pixels[i] + ambient.pixels[i + 1] + ambient.pixels[i + 2];
                brighter += withLight * 2 > withoutLight * 3 + 6;
            }
            const double litFraction = double(brighter) / double(lit.pixels.size() / 4);
            EXPECT_GT(coverage, 0.6) << "little geometry in view";
            litSum += litFraction;
        }
        // Broken normals or windings leave under 3 % lit; the darkest scene (the glass
        // hall, lit mostly where its spots and balls are) is at about 10 %.
        EXPECT_GT(litSum / double(item.viewpoints.size()), 0.06) << "almost nothing in view is lit";
    }
}
