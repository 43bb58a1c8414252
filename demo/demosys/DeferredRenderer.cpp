#include "DeferredRenderer.h"

#include "DataTexturePool.h"
#include "FBO.h"
#include "FrameProfiler.h"
#include "Geometry.h"
#include "Log.h"
#include "ORVCamera.h"
#include "ORVDemosys.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVScene.h"
#include "Shader.h"
#include "Texture.h"
#include "VAO.h"

#include <GL/glew.h>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <cmath>

using ORVDemosys::Log;

namespace {

const float pi = 3.14159265358979f;

uint8_t unitByte(float v)
{
    // int(255 v), kept inside a byte for values outside 0..1.
    return uint8_t(std::min(255, std::max(0, int(255.0f * v))));
}

} // namespace

DeferredRenderer::DeferredRenderer(FBO* gbuffer, FBO* gbuffer2, FBO* lightBuffer, FBO* lightBuffer2, Shader* shader)
    : viewMatrices(2, glm::mat4(1.0f)), materialTable(size_t(materialRows) * texelsPerRow * 4, 0), shader(shader)
{
    geometryBuffers.push_back(gbuffer);
    if (gbuffer2)
        geometryBuffers.push_back(gbuffer2);
    lightBuffers.push_back(lightBuffer);
    if (lightBuffer2)
        lightBuffers.push_back(lightBuffer2);

    materialTexture = new Texture(texelsPerRow, materialRows, GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, materialTable.data());
    materialTexture->setFilter(GL_NEAREST);
    // Registered by alias only: the texture has no file name, since it comes from no
    // file (a file name would put it in the packing script). The first renderer's table
    // goes into the pool; a later renderer (a production with one per scene) keeps its
    // own, rather than orphan the pooled one under the same name.
    if (ORVDemosys::texturePool && !ORVDemosys::texturePool->get("GeometryMaterials"))
        ORVDemosys::texturePool->add("GeometryMaterials", materialTexture);
    else
        ownsMaterialTexture = true;

    if (Texture* light = FBO::getColorTexture(lightBuffer, 0))
        light->setFilter(GL_NEAREST);
}

DeferredRenderer::~DeferredRenderer()
{
    if (ownsMaterialTexture)
        delete materialTexture;
}

void DeferredRenderer::materialRow(const ORVMaterial& material, uint8_t* row)
{
    row[0] = unitByte(material.getParameterA());
    row[1] = unitByte(material.getParameterB());
    row[2] = 255;
    row[3] = 255;
    const glm::vec3& second = material.getSecondColor();
    row[4] = unitByte(second.r);
    row[5] = unitByte(second.g);
    row[6] = unitByte(second.b);
    // Truncated, then clamped; a NaN exponent becomes 1. It rides in the second colour's
    // alpha as well, so a light program reads the whole surface response in two texels.
    const float e = material.getExponent();
    const int exponent = e >= 255.0f ? 255 : (e >= 1.0f ? int(e) : 1);
    row[7] = uint8_t(exponent);
    std::fill(row + 8, row + 12, uint8_t(exponent));
    // Texel 3 is not part of the row's contents.
}

float DeferredRenderer::storedParameter(float value) { return float(unitByte(value)) / 255.0f; }

glm::vec4 DeferredRenderer::storedSecond(const ORVMaterial& material)
{
    uint8_t row[texelsPerRow * 4];
    materialRow(material, row);
    return glm::vec4(float(row[4]) / 255.0f, float(row[5]) / 255.0f, float(row[6]) / 255.0f, float(row[7]));
}

void DeferredRenderer::uploadMaterials(ORVScene* scene)
{
    if (scene) {
        for (const auto& entry : scene->getMaterials()) {
            const ORVMaterial* material = entry.second;
            if (!material)
                continue;
            const int index = material->getIndex();
            if (index < 0 || index >= materialRows) {
                Log::warning() << "DeferredRenderer: material '" << entry.first << "' has index " << index
                          << ", outside the material table (0.." << materialRows - 1 << ")" << std::endl;
                continue;
            }
            materialRow(*material, materialTable.data() + size_t(index) * texelsPerRow * 4);
        }
    }
    materialTexture->setFilter(GL_NEAREST);
    materialTexture->upload(materialTable.data());
}

void DeferredRenderer::drawGeometry(ORVCamera* camera, ORVScene* scene, bool toCurrentTarget)
{
    FrameProfiler::Scope timed("geometry");
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    if (!scene)
        return;
    if (toCurrentTarget) {
        scene->draw(camera, nullptr);
        return;
    }
    FBO* gbuffer = getGeometryBuffer();
    FBO::bind(gbuffer);
    FBO::markDirty(gbuffer);
    scene->draw(camera, nullptr);
    FBO::bind(nullptr);
}

void DeferredRenderer::bindBuffers(Shader* lightShader)
{
    FBO* gbuffer = getGeometryBuffer();
    lightShader->setTexture("diffuseBuffer", 0, FBO::getColorTexture(gbuffer, 0));
    lightShader->setTexture("depthBuffer", 1, FBO::getDepthTexture(gbuffer));
    lightShader->setTexture("normalBuffer", 2, FBO::getColorTexture(gbuffer, 1));
    lightShader->setTexture("materialBuffer", 3, materialTexture);
}

void DeferredRenderer::setProjection(Shader* lightShader, ORVCamera* camera)
{
    FBO* lightBuffer = getLightBuffer();
    lightShader->setVec2("screensize", float(FBO::getWidth(lightBuffer)), float(FBO::getHeight(lightBuffer)));
    const Projection& projection = camera->getProjection();
    const float zNear = projection.getZNear();
    const float zFar = projection.getZFar();
    lightShader->setVec2("ProjConst", zFar / (zFar - zNear), zFar * zNear / (zNear - zFar));
}

void DeferredRenderer::drawDirectional(ORVLight* light, ORVCamera* camera, const glm::mat4& view)
{
    drawDirectionalPair(light, nullptr, camera, view);
}

void DeferredRenderer::drawDirectionalPair(ORVLight* light, ORVLight* second, ORVCamera* camera,
                                           const glm::mat4& view)
{
    Shader* lightShader = light->getShader();
    if (!lightShader)
        return;
    lightShader->bind();
    bindBuffers(lightShader);
    setProjection(lightShader, camera);
    auto downAxis = [&view](ORVLight* l) {
        return glm::mat3(view) * glm::mat3(l->getTransform()) * glm::vec3(0.0f, -1.0f, 0.0f);
    };
    lightShader->setVec3("lightDirection", downAxis(light));
    lightShader->setVec4("color", light->getColor());
    // A program that takes a second light gets black there when there is none.
    if (takesSecondLight(lightShader)) {
        lightShader->setVec3("lightDirection2", second ? downAxis(second) : glm::vec3(0.0f, -1.0f, 0.0f));
        lightShader->setVec4("color2", second ? second->getColor() : glm::vec4(0.0f));
    }
    // The shared centred quad is already in clip coordinates: -1..1 with uv 0..1.
    Geometry::build();
    Geometry::quad->generateVAOCombo(lightShader);
    Geometry::quad->draw();
}

bool DeferredRenderer::takesSecondLight(const Shader* lightShader)
{
    const auto& uniforms = lightShader->getUniforms();
    return uniforms.find("color2") != uniforms.end() && uniforms.find("lightDirection2") != uniforms.end();
}

void DeferredRenderer::drawPoint(ORVLight* light, ORVCamera* camera, const glm::mat4& view)
{
    Shader* lightShader = light->getShader();
    if (!lightShader)
        return;
    Geometry::buildLightVolumes();
    lightShader->bind();
    // The light reaches a sphere: the volume around it leaves out the cube's corners.
    VAO* volume = Geometry::lightSphere;
    volume->generateVAOCombo(lightShader);
    lightShader->setMatrix4("projM", glm::value_ptr(camera->getProjectionMatrix()));
    lightShader->setMatrix4("lightM", glm::value_ptr(light->getLightMatrix()));
    bindBuffers(lightShader);
    if (Texture* cubeMap = light->getCubeMap()) {
        lightShader->setCubeMap("cubeMap", 4, cubeMap->getGlName());
        lightShader->setMatrix4("objectMatrix", glm::value_ptr(light->getObjectMatrix()));
    }
    setProjection(lightShader, camera);
    lightShader->setFloat("lightRadius", light->getRadius());
    const glm::vec3 position(view * glm::vec4(light->getPlacement(), 1.0f));
    lightShader->setVec3("lightPos", position);
    lightShader->setVec4("color", light->getColor());
    volume->draw();
}

void DeferredRenderer::drawSpot(ORVLight* light, ORVCamera* camera, const glm::mat4& view)
{
    Shader* lightShader = light->getShader();
    if (!lightShader)
        return;
    const glm::vec3 direction = glm::normalize(-glm::vec3(light->getLightMatrix()[2]));
    Geometry::buildLightVolumes();
    lightShader->bind();
    // A projected picture is square and fills the square cone; without one the light
    // is round, and the round volume leaves out the square's corners.
    VAO* volume = light->getSpotTexture() ? Geometry::lightCone : Geometry::lightRoundCone;
    volume->generateVAOCombo(lightShader);
    lightShader->setMatrix4("projM", glm::value_ptr(camera->getProjectionMatrix()));
    lightShader->setMatrix4("lightM", glm::value_ptr(light->getLightMatrix()));
    bindBuffers(lightShader);
    if (light->getSpotTexture())
        lightShader->setTexture("spotTexture", 4, light->getSpotTexture());
    else
        lightShader->setFloat("LinearAttenuation", light->getLinearAttenuation());
    setProjection(lightShader, camera);
    const glm::vec3 position(view * glm::vec4(light->getPlacement(), 1.0f));
    lightShader->setVec3("lightPos", position);
    lightShader->setVec3("lightDirection", direction);
    lightShader->setVec4("color", light->getColor());
    lightShader->setFloat("lightRadius", light->getRadius());
    lightShader->setFloat("FallOff", std::cos(0.5f * light->getConeAngle() * pi / 180.0f));
    volume->draw();
}

void DeferredRenderer::drawLights(ORVCamera* camera, ORVScene* scene, bool toCurrentTarget)
{
    if (!scene || !camera)
        return;
    FrameProfiler::Scope timed("lights");
    FBO* lightBuffer = getLightBuffer();
    if (!toCurrentTarget) {
        FBO::bind(lightBuffer);
        FBO::markDirty(lightBuffer);
    }
    scene->updateLights(camera);
    viewMatrices[size_t(currentView)] = camera->getViewMatrix();
    const glm::mat4 view = camera->getViewMatrix();

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glCullFace(GL_BACK);
    glDisable(GL_STENCIL_TEST);
    // The volumes are drawn by one side only, whatever ran before this pass.
    glEnable(GL_CULL_FACE);
    // A full-screen light is put on the far plane (whatever depth its shader gives the
    // quad): where nothing was drawn the depth is still the cleared 1, and the test
    // rejects the pixel before its shader runs, so an open sky costs nothing. Without a
    // depth buffer the test passes.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_GREATER);
    glDepthMask(GL_FALSE);
    glDepthRange(1.0, 1.0);

    // Every enabled light of one kind, in name order; a point or spot light of radius 0
    // lights nothing and is left out.
    const auto& lights = scene->getLights();
    auto drawKind = [&](const char* name, int kind, void (DeferredRenderer::*drawOne)(ORVLight*, ORVCamera*,
                                                                                        const glm::mat4&)) {
        FrameProfiler::Scope timed(name);
        for (const auto& entry : lights) {
            ORVLight* light = entry.second;
            if (light && light->isEnabled() && light->getKind() == kind &&
                (kind == ORVLight::Directional || light->getRadius() != 0.0f))
                (this->*drawOne)(light, camera, view);
        }
    };
    {
        // Full-screen lights cost a pass over every lit pixel each: two that share a
        // program taking a second light are drawn in one pass, which reads the G-buffer
        // once for both.
        FrameProfiler::Scope timedDirectional("directional");
        ORVLight* pending = nullptr;
        for (const auto& entry : lights) {
            ORVLight* light = entry.second;
            if (!light || !light->isEnabled() || light->getKind() != ORVLight::Directional)
                continue;
            if (pending && light->getShader() == pending->getShader()) {
                drawDirectionalPair(pending, light, camera, view);
                pending = nullptr;
                continue;
            }
            if (pending)
                drawDirectional(pending, camera, view);
            pending = nullptr;
            if (light->getShader() && takesSecondLight(light->getShader()))
                pending = light;
            else
                drawDirectional(light, camera, view);
        }
        if (pending)
            drawDirectional(pending, camera, view);
    }

    glDepthRange(0.0, 1.0);
    glCullFace(GL_FRONT);
    // A volume's back face lies behind every surface the light can reach: where the
    // stored depth is farther than the back face, the surface is out of reach and the
    // pixel is rejected before its shader runs. Without a depth buffer the test passes.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_GEQUAL);
    glDepthMask(GL_FALSE);
    drawKind("points", ORVLight::Point, &DeferredRenderer::drawPoint);
    drawKind("spots", ORVLight::Spot, &DeferredRenderer::drawSpot);

    glCullFace(GL_BACK);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_BLEND);
    if (!toCurrentTarget)
        FBO::bind(nullptr);
    glEnable(GL_DEPTH_TEST);
}
