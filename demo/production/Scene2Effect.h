#pragma once

// Wiring (GlassHallResources): after CreateEffectInstance("Scene2Effect",
// "scene_2_effect", true), call setResources({renderer, scene2, reflect_mask,
// composite_fog, lightBuffer}); the effect owns the renderer from then on. The renderer's
// light buffer must be one of its own (lightBuffer2): the G-buffer's third attachment,
// lightBuffer, takes the ambient light, and the mirror images read the lights alone and
// add to the ambient light. init looks up "geometry_color" for the rings' instances. The
// shader cache must have cloned "Sphere" into "Sphere_0" .. "Sphere_269" before init.

#include "GlassHallSceneEffect.h"

#include <memory>
#include <vector>

class ShaderGeoColor;

struct Scene2Resources : GlassHallSceneResources {
    Shader* reflectMask = nullptr;
    Shader* compositeFog = nullptr;
    FBO* ambientBuffer = nullptr; // the G-buffer's third attachment
};

// Eight rings of spheres circling and bouncing over a mirror floor, the outer rings
// following the inner ones; a sphere turns red and glows as it rises. The coloured
// point lights breathe with the lower band of the spectrum between freqmin1 and
// freqmax1, the four coloured spheres glow with the band between freqmin2 and freqmax2.
// The spheres are mirrored in the floor, and the frame is fogged by distance.
class Scene2Effect : public GlassHallScene<Scene2Effect, Scene2Resources> {
public:
    static constexpr int ringCount = 8;
    static const int ringSizes[ringCount];
    // The reflection's own tint.
    static const float reflectionColor[4];

    Scene2Effect();
    ~Scene2Effect() override;
    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

    // Height of ring i's spheres at time t: bounce_radius(t - 100 i) x
    // sin(fmod(bounce_frame(t - 100 i), 180) degrees).
    float ringHeight(int ring, uint32_t timeMs) const;
    ORVMaterial* getRingMaterial(int ring) const { return ringMaterials[size_t(ring)]; }

private:
    void animate(uint32_t timeMs);
    void buildRingMeshes();
    void drawOwnGeometry() override;
    void drawReflections();
    // The lights and the ambient light into target, fogged by distance.
    void drawComposite(FBO* target);

    TrackInterpolate* freqMin1 = nullptr;
    TrackInterpolate* freqMax1 = nullptr;
    TrackInterpolate* freqMin2 = nullptr;
    TrackInterpolate* freqMax2 = nullptr;
    TrackInterpolate* bounceRadius = nullptr;
    TrackInterpolate* bounceFrame = nullptr;
    TrackInterpolate* spotAtt = nullptr;

    std::vector<std::vector<ORVObject*>> rings;
    std::vector<ORVMaterial*> ringMaterials; // owned by the scene
    std::vector<std::unique_ptr<ShaderGeoColor>> ringInstances;
    // Each ring's spheres as one mesh, and where it stands this frame.
    std::vector<std::unique_ptr<VAO>> ringMeshes;
    std::vector<std::unique_ptr<VAO>> reflectionMeshes; // the same rings of icosahedra
    std::vector<glm::mat4> ringMatrices;
    std::vector<ORVLight*> colourPoints;
    std::vector<float> colourPointRadii;
    std::vector<ORVObject*> colourSpheres;
    ORVObject* floor = nullptr;
    std::vector<ORVLight*> sunsAndSpots;
};
