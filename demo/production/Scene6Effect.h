#pragma once

// Wiring (GlassHallResources): after CreateEffectInstance("Scene6Effect",
// "scene_6_effect", true), call setResources({renderer, scene6, color_shader,
// composite}); the effect owns the renderer from then on. The shader cache must have
// given the scene's objects the "_lamp" geometry programs (geometry_color_lamp,
// geometry_texture_lamp, geometry_normalmap_lamp), which light the surfaces with the
// light "Lamp" as they are drawn; the light pass leaves the lamp out.
//
// Camera: the scene's own camera "Camera" (placed by the object file). While any of the
// tracks cam_x, cam_y, cam_z has keys, it looks from (cam_x, cam_y, cam_z) at the lamp;
// it always sees through the shared camera's projection.

#include "GlassHallSceneEffect.h"
#include "Projection.h"

#include <glm/glm.hpp>

#include <memory>
#include <vector>

class CubeMapRenderTarget;

struct Scene6Resources : GlassHallSceneResources {
    Shader* colorShader = nullptr;
    Shader* composite = nullptr;
};

// The lamp room: a lamp whose shade is a cube map of coloured windows throws a pattern
// of light over the room and turns it slowly; three light balls bounce below it and
// glow with the music, and eight lights around the room flicker with the spectrum.
class Scene6Effect : public GlassHallScene<Scene6Effect, Scene6Resources> {
public:
    static constexpr int cubeMapSize = 512;

    Scene6Effect();
    ~Scene6Effect() override;
    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;

    CubeMapRenderTarget* getCubeMapTarget() const { return cubeTarget.get(); }
    const Projection& getFaceProjection() const { return faceProjection; }

private:
    void renderCubeMap();
    // The lamp's place, colour, reach and shade into the programs that light with it.
    void setLampUniforms();
    void animate(uint32_t timeMs);
    // The track's value, or fallback while it has no keys at all.
    static float valueOr(TrackInterpolate* track, uint32_t timeMs, float fallback);

    TrackInterpolate* camX = nullptr;
    TrackInterpolate* camY = nullptr;
    TrackInterpolate* camZ = nullptr;
    TrackInterpolate* bounceRadius = nullptr;
    TrackInterpolate* bounceFrame = nullptr;
    TrackInterpolate* intensity = nullptr;
    TrackInterpolate* global = nullptr;

    Projection faceProjection;
    std::unique_ptr<CubeMapRenderTarget> cubeTarget;
    std::unique_ptr<VAO> windowMesh;
    ORVCamera* sceneCamera = nullptr;
    glm::mat4 sceneView{1.0f};
    ORVObject* balls[3] = {nullptr, nullptr, nullptr};
    glm::mat4 ballMatrices[3];
    ORVLight* lamp = nullptr;
    // The texture unit of the lamp's shade: above those the geometry programs use.
    static constexpr int lampShadeUnit = 4;
    std::vector<Shader*> lampPrograms;
    glm::vec4 lampColour{1.0f};
    std::vector<ORVLight*> globalPoints;
    std::vector<float> globalRadii;
    std::vector<glm::vec4> globalColours;
};
