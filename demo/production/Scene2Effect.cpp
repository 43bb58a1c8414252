#include "Scene2Effect.h"

#include "ArrayBuffer.h"
#include "DeferredRenderer.h"
#include "FBO.h"
#include "FrameProfiler.h"
#include "GlassHallPass.h"
#include "GlassHallSceneNames.h"
#include "Log.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "Shader.h"
#include "ShaderGeoColor.h"
#include "Texture.h"
#include "TrackInterpolate.h"
#include "VAO.h"
#include "VAOCombo.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <cmath>

using ORVDemosys::Log;

const int Scene2Effect::ringSizes[Scene2Effect::ringCount] = {15, 18, 22, 27, 33, 41, 51, 63};
const float Scene2Effect::reflectionColor[4] = {0.025f, 0.0f, 0.0f, 1.0f};

namespace {

const float degrees = 0.017453292f;

uint32_t earlier(uint32_t timeMs, uint32_t delay) { return timeMs > delay ? timeMs - delay : 0u; }

} // namespace

Scene2Effect::Scene2Effect() = default;
Scene2Effect::~Scene2Effect() = default;

void Scene2Effect::setup()
{
    addTracks({{"freqmin1", &freqMin1}, {"freqmax1", &freqMax1}, {"freqmin2", &freqMin2}, {"freqmax2", &freqMax2},
               {"bounce_radius", &bounceRadius}, {"bounce_frame", &bounceFrame}, {"spotatt", &spotAtt}});
}

void Scene2Effect::init()
{
    initScene();
    Shader* colour = GetShader("geometry_color");

    // New material rows start above every index the scene uses.
    int nextIndex = 0;
    for (const auto& entry : scene->getMaterials())
        nextIndex = std::max(nextIndex, entry.second->getIndex() + 1);

    rings.assign(ringCount, {});
    ringMaterials.clear();
    ringInstances.clear();
    int clone = 0;
    for (int i = 0; i < ringCount; ++i) {
        const std::string name = "ring" + std::to_string(i);
        ORVObject* first = scene->getObjectByName("Sphere_" + std::to_string(clone));
        ORVMaterial* material = nullptr;
        if (scene->materialExists(name)) {
            material = scene->getMaterialByName(name);
        } else {
            material = new ORVMaterial();
            if (const ORVMaterial* source = first->getMaterial())
                *material = *source;
            material->setName(name);
            if (nextIndex > DeferredRenderer::materialRows - 1)
                Log::warning() << "Scene2Effect: no material row left for '" << name << "'" << std::endl;
            material->setIndex(std::min(nextIndex++, DeferredRenderer::materialRows - 1));
            scene->addMaterial(name, material);
        }
        ringMaterials.push_back(material);
        ringInstances.emplace_back(new ShaderGeoColor(colour));
        for (int k = 0; k < ringSizes[i]; ++k, ++clone) {
            ORVObject* sphere = scene->getObjectByName("Sphere_" + std::to_string(clone));
            sphere->setMaterial(material);
            sphere->setShaderInstance(ringInstances.back().get());
            rings[size_t(i)].push_back(sphere);
        }
    }

    buildRingMeshes();

    colourPoints.clear();
    colourPointRadii.clear();
    for (const std::string& name : GlassHallSceneNames::scene2ColourPoints()) {
        colourPoints.push_back(scene->getLightByName(name));
        colourPointRadii.push_back(colourPoints.back()->getRadius());
    }
    colourSpheres.clear();
    for (const std::string& name : GlassHallSceneNames::scene2ColourSpheres())
        colourSpheres.push_back(scene->getObjectByName(name));
    floor = scene->getObjectByName("Floor");
    sunsAndSpots.clear();
    for (const std::string& name : GlassHallSceneNames::scene2Suns())
        sunsAndSpots.push_back(scene->getLightByName(name));
    for (const std::string& name : GlassHallSceneNames::scene2SideSpots())
        sunsAndSpots.push_back(scene->getLightByName(name));
}

namespace {

// The mesh's interleaved positions and normals, read back from GL (the reader keeps no
// client copy); empty when it has no such arrays.
std::vector<float> positionsAndNormals(VAO* mesh)
{
    std::vector<float> out;
    const MappedArray* position = mesh ? mesh->getMappedArray("in_Position") : nullptr;
    const MappedArray* normal = mesh ? mesh->getMappedArray("in_Normal") : nullptr;
    if (!position || !normal || position->buffer != normal->buffer || position->buffer->getStride() <= 0)
        return out;
    const ArrayBuffer* buffer = position->buffer;
    std::vector<float> all(size_t(buffer->byteSize()) / sizeof(float));
    glBindBuffer(GL_ARRAY_BUFFER, buffer->getGlName());
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(all.size() * sizeof(float)), all.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    const size_t stride = size_t(buffer->getStride()) / sizeof(float);
    const size_t p = size_t(position->offset) / sizeof(float), n = size_t(normal->offset) / sizeof(float);
    for (size_t v = 0; v + stride <= all.size(); v += stride) {
        out.insert(out.end(), all.begin() + std::ptrdiff_t(v + p), all.begin() + std::ptrdiff_t(v + p + 3));
        out.insert(out.end(), all.begin() + std::ptrdiff_t(v + n), all.begin() + std::ptrdiff_t(v + n + 3));
    }
    return out;
}

// An icosahedron around the sphere's bounds (its vertices on the sphere), as interleaved
// positions and normals of its 20 triangles: the faint mirror images need no more.
std::vector<float> coarseSphere(const std::vector<float>& sphere)
{
    glm::vec3 low(1e30f), high(-1e30f);
    for (size_t v = 0; v + 5 < sphere.size(); v += 6) {
        low = glm::min(low, glm::vec3(sphere[v], sphere[v + 1], sphere[v + 2]));
        high = glm::max(high, glm::vec3(sphere[v], sphere[v + 1], sphere[v + 2]));
    }
    const glm::vec3 centre = 0.5f * (low + high);
    const float radius = 0.5f * std::max(high.x - low.x, std::max(high.y - low.y, high.z - low.z));
    const float g = 1.6180340f;
    const glm::vec3 corners[12] = {{-1, g, 0}, {1, g, 0},  {-1, -g, 0}, {1, -g, 0}, {0, -1, g},  {0, 1, g},
                                   {0, -1, -g}, {0, 1, -g}, {g, 0, -1},  {g, 0, 1},  {-g, 0, -1}, {-g, 0, 1}};
    const int faces[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                              {11, 10, 2}, {10, 7, 6}, {7, 1, 8},   {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
                              {3, 8, 9},  {4, 9, 5},  {2, 4, 11},  {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
    std::vector<float> out;
    for (const auto& face : faces)
        for (int corner : face) {
            const glm::vec3 n = glm::normalize(corners[corner]);
            const glm::vec3 p = centre + n * radius;
            out.insert(out.end(), {p.x, p.y, p.z, n.x, n.y, n.z});
        }
    return out;
}

// Ring i's n spheres at their resting angles as one welded mesh of positions and normals.
std::unique_ptr<VAO> ringMesh(const std::string& name, const std::vector<float>& sphere, int n, float radius)
{
    std::vector<float> vertices;
    vertices.reserve(sphere.size() * size_t(n));
    for (int k = 0; k < n; ++k) {
        const float angle = 360.0f / float(n) * float(k) * degrees;
        const glm::vec3 offset(std::sin(angle) * radius, 0.0f, std::cos(angle) * radius);
        for (size_t v = 0; v + 5 < sphere.size(); v += 6)
            vertices.insert(vertices.end(), {sphere[v] + offset.x, sphere[v + 1], sphere[v + 2] + offset.z,
                                             sphere[v + 3], sphere[v + 4], sphere[v + 5]});
    }
    auto mesh = std::make_unique<VAO>(name);
    mesh->createArrayBuffer(GLsizei(vertices.size()), vertices.data());
    mesh->mapArray(vertices.data(), "in_Position", 3);
    mesh->mapArray(vertices.data(), "in_Normal", 3);
    mesh->weld();
    mesh->upload();
    return mesh;
}

} // namespace

void Scene2Effect::buildRingMeshes()
{
    // A ring moves as one: turned about the y axis by t/25 degrees and lifted by its
    // height. So each ring is drawn as one mesh of all its spheres at their resting
    // angles, in one draw instead of one per sphere; the clones keep their placements
    // for anyone who reads them, but the scene no longer draws them. The mirror images
    // are drawn from icosahedra: a fifth of the triangles, and llvmpipe pays per triangle.
    ringMeshes.clear();
    reflectionMeshes.clear();
    const std::vector<float> sphere = positionsAndNormals(rings.front().front()->getMesh());
    if (sphere.empty()) {
        Log::warning() << "Scene2Effect: the sphere mesh has no positions and normals to batch; drawing the clones"
                  << std::endl;
        return;
    }
    const std::vector<float> coarse = coarseSphere(sphere);
    for (int i = 0; i < ringCount; ++i) {
        const float radius = 5.0f + 3.0f * float(i);
        ringMeshes.push_back(ringMesh("ring" + std::to_string(i), sphere, ringSizes[i], radius));
        reflectionMeshes.push_back(ringMesh("ringReflection" + std::to_string(i), coarse, ringSizes[i], radius));
    }
    for (auto& ring : rings)
        for (ORVObject* clone : ring)
            clone->setVisible(false);
    ringMatrices.assign(ringCount, glm::mat4(1.0f));
}

float Scene2Effect::ringHeight(int ring, uint32_t timeMs) const
{
    const uint32_t at = earlier(timeMs, uint32_t(100 * ring));
    return bounceRadius->getValue(at) * std::sin(std::fmod(bounceFrame->getValue(at), 180.0f) * degrees);
}

void Scene2Effect::animate(uint32_t timeMs)
{
    const float t = float(timeMs);
    const float attenuation = spotAtt->getValue(timeMs);
    const glm::vec3 angles[6] = {{-90, 0, 0}, {90, 0, 0}, {0, 180, 0}, {0, 0, 0}, {0, 90, 0}, {0, -90, 0}};
    for (size_t i = 0; i < sunsAndSpots.size() && i < 6; ++i) {
        sunsAndSpots[i]->setLinearAttenuation(attenuation);
        sunsAndSpots[i]->setAngles(angles[i].x, angles[i].y, angles[i].z);
    }

    for (int i = 0; i < ringCount; ++i) {
        const int n = ringSizes[i];
        const float radius = 5.0f + 3.0f * float(i);
        const float step = 360.0f / float(n);
        const float h = ringHeight(i, timeMs);
        if (!ringMatrices.empty())
            ringMatrices[size_t(i)] = glm::rotate(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, h, 0.0f)),
                                                  t / 25.0f * degrees, glm::vec3(0, 1, 0));
        for (int k = 0; k < n; ++k) {
            const float angle = (t / 25.0f + step * float(k)) * degrees;
            rings[size_t(i)][size_t(k)]->setLocalMatrix(glm::translate(
                glm::mat4(1.0f), glm::vec3(std::sin(angle) * radius, h, std::cos(angle) * radius)));
        }
        const float v = 0.25f * h;
        ORVMaterial* material = ringMaterials[size_t(i)];
        material->setParameterA(v);
        material->setParameterB(1.0f - v);
        material->setDiffuseColor(1.0f, 1.0f - v, 1.0f - v);
    }

    // The music: the coloured lights breathe with the first band, the coloured spheres
    // glow with the second. Unkeyed band tracks read 0..0: the lowest bin.
    readSpectrum(timeMs);
    const float low = bandLevel(int(freqMin1->getValue(timeMs)), int(freqMax1->getValue(timeMs)));
    const float high = bandLevel(int(freqMin2->getValue(timeMs)), int(freqMax2->getValue(timeMs)));
    for (size_t i = 0; i < colourPoints.size(); ++i)
        colourPoints[i]->setRadius(colourPointRadii[i] * (0.4f + std::min(low * 4.0f, 0.4f)));
    for (ORVObject* sphere : colourSpheres)
        if (ORVMaterial* material = sphere->getMaterial())
            material->setParameterA(std::min(high * 8.0f, 1.0f));

    scene->update(timeMs);
}

void Scene2Effect::draw(uint32_t timeMs, int32_t, FBO* target)
{
    beginFrame();
    animate(timeMs);
    renderScene();
    drawReflections();
    drawComposite(target);
}

void Scene2Effect::drawComposite(FBO* target)
{
    // The lights and the ambient light (with the mirror images) together, fogged.
    Shader* shader = res.compositeFog;
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    GlassHallPass::bindTarget(target);
    GlassHallPass::bindQuad(shader);
    shader->setTexture("lightMap", 0, FBO::getColorTexture(renderer->getLightBuffer(), 0));
    shader->setTexture("ambientMap", 1, FBO::getColorTexture(res.ambientBuffer, 0));
    shader->setTexture("depthBuffer", 2, FBO::getDepthTexture(renderer->getGeometryBuffer()));
    FrameProfiler::Scope timed("composite");
    GlassHallPass::drawQuad();
}

void Scene2Effect::drawOwnGeometry()
{
    FrameProfiler::Scope timed("rings");
    for (size_t i = 0; i < ringMeshes.size(); ++i) {
        ShaderGeoColor* instance = ringInstances[i].get();
        instance->bind(&frameCamera, ringMatrices[i], ringMeshes[i].get(), ringMaterials[i]);
        drawMesh(ringMeshes[i].get(), instance->getShader());
    }
}

void Scene2Effect::drawReflections()
{
    FrameProfiler::Scope timed("reflections");
    Shader* shader = res.reflectMask;
    // Into the ambient light: the light buffer holds the lights alone, which the mirror
    // images read, and nothing has to be copied first.
    GlassHallPass::bindTarget(res.ambientBuffer);
    // The mirror images lie below the floor: they show only where something nearer
    // was drawn (the floor), never over the empty background, and write no depth.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_GREATER);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);

    shader->bind();
    shader->setTexture("mask", 0, FBO::getColorTexture(renderer->getGeometryBuffer(), 0));
    shader->setTexture("lightBuffer", 1, FBO::getColorTexture(renderer->getLightBuffer(), 0));
    shader->setVec4("color", reflectionColor);
    shader->setMatrix4("ProjM", glm::value_ptr(frameCamera.getProjectionMatrix()));

    const float floorY = floor->getWorldPosition().y;
    const glm::mat4 mirror = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, floorY, 0.0f)) *
                             glm::scale(glm::mat4(1.0f), glm::vec3(1.0f, -1.0f, 1.0f)) *
                             glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, -floorY, 0.0f));
    const glm::mat4 view = frameCamera.getViewMatrix() * mirror;
    auto reflect = [&](ORVObject* object) {
        if (!object->isVisible() || !object->getMesh())
            return;
        const glm::mat4 modelView = view * object->getWorldMatrix();
        shader->setMatrix4("Modelview", glm::value_ptr(modelView));
        drawMesh(object->getMesh(), shader);
    };
    if (ringMeshes.empty()) {
        for (const auto& ring : rings)
            for (ORVObject* sphere : ring)
                reflect(sphere);
    }
    for (size_t i = 0; i < reflectionMeshes.size(); ++i) {
        const glm::mat4 modelView = view * ringMatrices[i];
        shader->setMatrix4("Modelview", glm::value_ptr(modelView));
        drawMesh(reflectionMeshes[i].get(), shader);
    }
    for (ORVObject* sphere : colourSpheres)
        reflect(sphere);

    glCullFace(GL_BACK);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_BLEND);
}
