#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <vector>

class FBO;
class ORVCamera;
class ORVLight;
class ORVMaterial;
class ORVScene;
class Shader;
class Texture;

// Lights a scene in screen space. The geometry pass draws the scene into the G-buffer
// (colour attachment 0: colour, attachment 1: normals, a depth texture); the light pass
// adds the light of every enabled light of the scene into the light buffer, each
// through the light's own shader: directional lights over the whole screen, point
// lights as cube volumes and spot lights as cone volumes, drawn by their back faces.
// Neither pass clears its target: both mark it dirty for the FBO pool's per-frame clear.
//
// Light shaders get "diffuseBuffer" (unit 0), "depthBuffer" (1), "normalBuffer" (2),
// "materialBuffer" (3, the material table), "cubeMap" / "spotTexture" (4),
// "screensize", "ProjConst" = (f / (f - n), f n / (n - f)) of the camera's projection,
// with which view-space distance = ProjConst.y / (depth - ProjConst.x), and "color".
// Directional: "lightDirection" (view space). Point: "projM", "lightM", "lightRadius",
// "lightPos" (view space), "objectMatrix" with a cube map. Spot: as point, plus
// "lightDirection" (the cone axis from the light matrix), "FallOff" (cosine of half the
// cone angle) and "LinearAttenuation" when there is no spot texture.
//
// The material table holds one row of four RGBA8 texels per material index 0..255:
// (A, B, 1, 1), the second colour with the exponent (clamped to 1..255) in alpha, the
// exponent four times, zero.
// Its texture, which has no file name, is entered in the texture pool under the alias
// "GeometryMaterials" when a pool exists and holds none of that name yet; the pool then
// owns it, otherwise the renderer does. The FBOs and the shader are not owned. GL
// objects: create and delete the renderer with its context current.
class DeferredRenderer {
public:
    static const int materialRows = 256;
    static const int texelsPerRow = 4;

    DeferredRenderer(FBO* gbuffer, FBO* gbuffer2, FBO* lightBuffer, FBO* lightBuffer2, Shader* shader);
    ~DeferredRenderer();

    DeferredRenderer(const DeferredRenderer&) = delete;
    DeferredRenderer& operator=(const DeferredRenderer&) = delete;

    // Writes the row of every material of the scene and uploads the whole table. A
    // material whose index lies outside 0..255 is reported and left out.
    void uploadMaterials(ORVScene* scene);
    // With toCurrentTarget the scene goes into whatever is bound, no framebuffer is
    // bound or unbound.
    void drawGeometry(ORVCamera* camera, ORVScene* scene, bool toCurrentTarget);
    void drawLights(ORVCamera* camera, ORVScene* scene, bool toCurrentTarget);

    FBO* getGeometryBuffer() const { return geometryBuffers.empty() ? nullptr : geometryBuffers[0]; }
    FBO* getLightBuffer() const { return lightBuffers.empty() ? nullptr : lightBuffers[0]; }
    Texture* getMaterialTexture() const { return materialTexture; }
    const std::vector<uint8_t>& getMaterialTable() const { return materialTable; }
    const std::vector<glm::mat4>& getViewMatrices() const { return viewMatrices; }
    int getCurrentViewIndex() const { return currentView; }
    Shader* getShader() const { return shader; }

    // One row of the table (16 bytes) for a material.
    static void materialRow(const ORVMaterial& material, uint8_t* row);
    // A material parameter (A or B) as the table stores it: int(255 v) / 255, in 0..1.
    static float storedParameter(float value);
    // The material's second colour and exponent as the table stores them and the light
    // programs read them: (r, g, b) in 0..1 at eight bits, the exponent a whole 1..255.
    static glm::vec4 storedSecond(const ORVMaterial& material);

private:
    void bindBuffers(Shader* lightShader);
    void setProjection(Shader* lightShader, ORVCamera* camera);
    void drawDirectional(ORVLight* light, ORVCamera* camera, const glm::mat4& view);
    // Two directional lights in one full-screen pass (second may be null) when the
    // program declares "lightDirection2" and "color2".
    void drawDirectionalPair(ORVLight* light, ORVLight* second, ORVCamera* camera, const glm::mat4& view);
    static bool takesSecondLight(const Shader* lightShader);
    void drawPoint(ORVLight* light, ORVCamera* camera, const glm::mat4& view);
    void drawSpot(ORVLight* light, ORVCamera* camera, const glm::mat4& view);

    std::vector<FBO*> geometryBuffers;
    std::vector<FBO*> lightBuffers;
    std::vector<glm::mat4> viewMatrices;
    int currentView = 1;
    std::vector<uint8_t> materialTable;
    Texture* materialTexture = nullptr;
    bool ownsMaterialTexture = false;
    Shader* shader;
};
