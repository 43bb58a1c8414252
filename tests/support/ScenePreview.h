#pragma once

#include "ImageCompare.h"

#include <glm/glm.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

class DeferredRenderer;
class FBO;
class ORVScene;
class Shader;
class ShaderGeoColor;
class Texture;

// Draws a scene lit through the engine's deferred renderer with small stand-in
// programs: untextured G-buffer colour and view-space normal, diffuse plus specular
// light per kind (point, spot, directional) from the material table, and a composite
// of colour x (ambient + light). Every object gets the colour program and every light
// the program of its kind, in a neutral colour per kind. For previews and checks of the
// generated scenes; the production's own programs live in resources/shaders.
class ScenePreview {
public:
    ScenePreview(int width, int height);
    ~ScenePreview();

    bool isReady() const { return ready; }
    const std::string& getError() const { return error; }

    // Gives every object and light of the scene its stand-in program. With a texture
    // directory, objects whose material names a texture found there (and that have uvs)
    // are drawn with it, repeating.
    void prepare(ORVScene* scene, const std::string& textureDirectory = "");
    // One frame from eye towards target (vertical field of view 60, near 1, far 200),
    // read back from the composite.
    RgbaImage render(ORVScene* scene, const glm::vec3& eye, const glm::vec3& target);
    // The time of that frame's passes (geometry, lights, composite) in milliseconds,
    // best of repeats, with the GL work finished inside the measurement.
    double timeFrame(ORVScene* scene, const glm::vec3& eye, const glm::vec3& target, int repeats);
    // The time of one full-screen pass that reads two textures, the unit of frame budgets.
    double timeFullScreenPass(int repeats);

    // Fraction of pixels that show geometry, from the last render.
    double getCoverage() const { return coverage; }
    // Pixels the last frame's light pass shaded, in screens: the light pass's cost in
    // full-screen passes of its light programs, whatever those programs are.
    double getLightFragments() const { return lightFragments; }
    // The geometry pass's part of the last timeFrame (best of its repeats), in ms.
    double getGeometryTime() const { return geometryTime; }

private:
    void draw(ORVScene* scene, const glm::vec3& eye, const glm::vec3& target);

    int width, height;
    bool ready = false;
    std::string error;
    double coverage = 0.0;
    double lightFragments = 0.0;
    double geometryTime = 0.0;
    bool timing = false;
    unsigned int query = 0;
    std::unique_ptr<Shader> geometry, pointLight, spotLight, directionalLight, composite, twoReads;
    std::unique_ptr<Shader> texturedGeometry;
    std::unique_ptr<ShaderGeoColor> instance, texturedInstance;
    std::map<std::string, std::unique_ptr<Texture>> textures;
    std::unique_ptr<FBO> gbuffer, lightBuffer, output;
    std::unique_ptr<DeferredRenderer> renderer;
};

// A viewpoint for a scene: eye and look-at target.
struct Viewpoint {
    glm::vec3 eye;
    glm::vec3 target;
};

// Glass Hall's scenes as the preview draws them: the file, the good viewpoints (those of
// content/scenes/README.md) and how to make the scene look as it does in the demo
// (scene 2's sphere is cloned into its rings, as the production's shader cache does).
struct PreviewScene {
    std::string file;
    std::vector<Viewpoint> viewpoints;
};
std::vector<PreviewScene> glassHallPreviewScenes();
// Clones scene 2's "Sphere" into the production's 8 rings of radius 5 + 3 i, resting on
// the floor, and hides the original.
void arrangeSphereRings(ORVScene* scene);
