#include "ORVScene.h"

#include "Assert.h"
#include "ORVAnimation.h"
#include "ORVCamera.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ShaderInstance.h"
#include "VAO.h"

#include <algorithm>
#include <limits>

namespace {

const char* const sourceFile = "demo/demosys/ORVScene";

} // namespace

ORVScene::ORVScene() = default;

ORVScene::~ORVScene()
{
    for (ORVObject* obj : objectList)
        delete obj;
    for (auto& entry : cameras)
        delete entry.second;
    for (auto& entry : animations)
        delete entry.second;
    for (auto& entry : materials)
        delete entry.second;
    for (auto& entry : lights)
        delete entry.second;
    // meshes go with the unique pointers, after the objects that use them.
}

void ORVScene::AddObject(ORVObject* obj)
{
    ORV_ASSERT_AT(obj != nullptr, "obj != __null", sourceFile, __LINE__, "void ORVScene::AddObject(ORVObject*)");
    ORV_ASSERT_AT(!objectExists(obj->getName()), "!objectExists(obj->getName())", sourceFile, __LINE__,
                  "void ORVScene::AddObject(ORVObject*)");
    objectList.push_back(obj);
    objects[obj->getName()] = obj;
    if (!obj->getParent())
        roots.push_back(obj);
}

void ORVScene::RemoveObject(ORVObject* obj)
{
    ORV_ASSERT_AT(obj != nullptr, "obj != __null", sourceFile, __LINE__, "void ORVScene::RemoveObject(ORVObject*)");
    auto named = objects.find(obj->getName());
    if (named != objects.end() && named->second == obj)
        objects.erase(named);
    auto listed = std::find(objectList.begin(), objectList.end(), obj);
    if (listed != objectList.end())
        objectList.erase(listed);
    // The caller owns the object from now on and may delete it: nothing that draw or
    // update walks may keep pointing at it.
    auto root = std::find(roots.begin(), roots.end(), obj);
    if (root != roots.end())
        roots.erase(root);
    if (obj->getParent())
        obj->getParent()->removeChild(obj);
    for (auto& group : meshGroups) {
        auto it = std::find(group.second.begin(), group.second.end(), obj);
        if (it != group.second.end())
            group.second.erase(it);
    }
}

ORVObject* ORVScene::getObject(unsigned int i) const
{
    ORV_ASSERT_AT(i < objectList.size(), "i >= 0 && i < objectList.size()", sourceFile, __LINE__,
                  "ORVObject* ORVScene::getObject(unsigned int)");
    return objectList[i];
}

ORVObject* ORVScene::getObjectByName(const std::string& name) const
{
    auto it = objects.find(name);
    ORV_ASSERT_AT(it != objects.end(), "objectExists(name)", sourceFile, __LINE__,
                  "ORVObject* ORVScene::getObjectByName(std::string)");
    return it->second;
}

void ORVScene::ApplyShaderInstance(const std::string& name, ShaderInstance* instance)
{
    auto it = objects.find(name);
    ORVObject* obj = it == objects.end() ? nullptr : it->second;
    ORV_ASSERT_AT(obj != nullptr, "obj != __null", sourceFile, __LINE__,
                  "void ORVScene::ApplyShaderInstance(std::string, ShaderInstance*)");
    obj->setShaderInstance(instance);
}

void ORVScene::setObjectData(const std::string& name, void* data)
{
    auto it = objects.find(name);
    ORV_ASSERT_AT(it != objects.end(), "objectExists(name)", sourceFile, __LINE__,
                  "void ORVScene::setObjectData(std::string, void*)");
    it->second->setUserData(data);
}

void ORVScene::addMaterial(const std::string& name, ORVMaterial* material)
{
    ORV_ASSERT_AT(!materialExists(name), "!materialExists(name)", sourceFile, __LINE__,
                  "void ORVScene::addMaterial(std::string, ORVMaterial*)");
    materials[name] = material;
}

ORVMaterial* ORVScene::getMaterialByName(const std::string& name) const
{
    auto it = materials.find(name);
    ORV_ASSERT_AT(it != materials.end(), "materialExists(name)", sourceFile, __LINE__,
                  "ORVMaterial* ORVScene::getMaterialByName(std::string)");
    return it->second;
}

void ORVScene::addLight(const std::string& name, ORVLight* light)
{
    ORV_ASSERT_AT(!lightExists(name), "!lightExists(name)", sourceFile, __LINE__,
                  "void ORVScene::addLight(std::string, ORVLight*)");
    lights[name] = light;
}

ORVLight* ORVScene::getLightByName(const std::string& name) const
{
    auto it = lights.find(name);
    ORV_ASSERT_AT(it != lights.end(), "lightExists(name)", sourceFile, __LINE__,
                  "ORVLight* ORVScene::getLightByName(std::string)");
    return it->second;
}

void ORVScene::AddCamera(const std::string& name, ORVCamera* camera)
{
    ORV_ASSERT_AT(!cameraExists(name), "!cameraExists(name)", sourceFile, __LINE__,
                  "void ORVScene::AddCamera(std::string, ORVCamera*)");
    cameras[name] = camera;
}

ORVCamera* ORVScene::GetCamera(const std::string& name) const
{
    auto it = cameras.find(name);
    ORV_ASSERT_AT(it != cameras.end(), "cameraExists(name)", sourceFile, __LINE__,
                  "ORVCamera* ORVScene::GetCamera(std::string)");
    return it->second;
}

void ORVScene::AddAnimation(const std::string& name, ORVAnimation* animation)
{
    ORV_ASSERT_AT(!animationExists(name), "!animationExists(name)", sourceFile, __LINE__,
                  "void ORVScene::AddAnimation(std::string, ORVAnimation*)");
    animations[name] = animation;
    auto obj = objects.find(name);
    if (obj != objects.end()) {
        obj->second->setAnimation(animation);
        return;
    }
    auto camera = cameras.find(name);
    if (camera != cameras.end())
        camera->second->setAnimation(animation);
}

ORVAnimation* ORVScene::GetAnimation(const std::string& name) const
{
    auto it = animations.find(name);
    ORV_ASSERT_AT(it != animations.end(), "animationExists(name)", sourceFile, __LINE__,
                  "ORVAnimation* ORVScene::GetAnimation(std::string)");
    return it->second;
}

void ORVScene::adoptMesh(VAO* mesh)
{
    if (mesh)
        meshes.emplace_back(mesh);
}

namespace {

// True when the mesh's box lies wholly outside one side of the view volume: a
// software rasteriser pays for every vertex it transforms, seen or not.
bool outsideView(const glm::mat4& clipFromMesh, const VAO& mesh)
{
    const glm::vec3& low = mesh.getCullingBoxMin();
    const glm::vec3& high = mesh.getCullingBoxMax();
    int outside[6] = {0, 0, 0, 0, 0, 0};
    for (int corner = 0; corner < 8; ++corner) {
        const glm::vec4 c = clipFromMesh * glm::vec4(corner & 1 ? high.x : low.x, corner & 2 ? high.y : low.y,
                                                     corner & 4 ? high.z : low.z, 1.0f);
        outside[0] += c.x < -c.w;
        outside[1] += c.x > c.w;
        outside[2] += c.y < -c.w;
        outside[3] += c.y > c.w;
        outside[4] += c.z < -c.w;
        outside[5] += c.z > c.w;
    }
    for (int side : outside)
        if (side == 8)
            return true;
    return false;
}

} // namespace

void ORVScene::draw(ORVCamera* camera, Shader* shader)
{
    const glm::mat4 clipFromWorld =
        camera ? camera->getProjectionMatrix() * camera->getViewMatrix() : glm::mat4(1.0f);
    // Nearest first: the depth test then rejects what lies behind before its program
    // runs, and on a software rasteriser each shaded pixel is paid for. Each root is
    // placed by the far side of its box (the corner farthest along the view), so that
    // what encloses the view (a room's walls, whose centre may lie near the eye, or a
    // floor) comes after what stands inside it; ties and roots without a box keep the
    // scene's order. Hidden roots (scene 2's 270 batched clones) are not measured.
    drawOrder.clear();
    const glm::mat4 view = camera ? camera->getViewMatrix() : glm::mat4(1.0f);
    for (size_t i = 0; i < roots.size(); ++i) {
        const ORVObject* root = roots[i];
        float depth = std::numeric_limits<float>::max();
        if (const VAO* mesh = root->getMesh(); camera && mesh && mesh->hasCullingBox() && root->isVisible()) {
            // Only the view-space z of the farthest corner counts, and it takes the
            // farther end of the box on each axis on its own.
            const glm::mat4 viewFromMesh = view * root->getWorldMatrix();
            const glm::vec3& low = mesh->getCullingBoxMin();
            const glm::vec3& high = mesh->getCullingBoxMax();
            depth = -viewFromMesh[3].z;
            for (int axis = 0; axis < 3; ++axis)
                depth -= std::min(viewFromMesh[axis].z * low[axis], viewFromMesh[axis].z * high[axis]);
        }
        drawOrder.emplace_back(depth, i);
    }
    // (A stable sort would take a buffer each frame; the index breaks ties instead.)
    std::sort(drawOrder.begin(), drawOrder.end());
    for (const auto& entry : drawOrder)
        drawObject(roots[entry.second], camera ? &clipFromWorld : nullptr, camera, shader);
}

void ORVScene::drawObject(ORVObject* obj, const glm::mat4* clipFromWorld, ORVCamera* camera, Shader* shader)
{
    if (!obj->isVisible())
        return;
    VAO* mesh = obj->getMesh();
    if (mesh && clipFromWorld && mesh->hasCullingBox() && outsideView(*clipFromWorld * obj->getWorldMatrix(), *mesh))
        mesh = nullptr;
    if (mesh) {
        if (shader) {
            mesh->generateVAOCombo(shader);
            mesh->draw();
        } else if (ShaderInstance* instance = obj->getShaderInstance()) {
            instance->bind(camera, obj->getWorldMatrix(), mesh, obj->getMaterial());
            if (instance->getShader()) {
                mesh->generateVAOCombo(instance->getShader());
                mesh->draw();
            }
        }
    }
    for (ORVObject* child : obj->getChildren())
        drawObject(child, clipFromWorld, camera, shader);
}

void ORVScene::update(uint32_t)
{
    for (ORVObject* root : roots)
        updateObject(root, sceneMatrix);
}

void ORVScene::updateObject(ORVObject* obj, const glm::mat4& parentMatrix)
{
    obj->setWorldMatrix(parentMatrix * obj->getLocalMatrix());
    // Children are placed by the scene matrix too, not by their parent's world matrix.
    for (ORVObject* child : obj->getChildren())
        updateObject(child, parentMatrix);
}

void ORVScene::updateLights(ORVCamera* camera)
{
    const glm::mat4 view = camera ? camera->getViewMatrix() : glm::mat4(1.0f);
    for (auto& entry : lights)
        entry.second->updateMatrix(view);
}

ORVObject* ORVScene::cloneObject(ORVObject* object, const std::string& name, ORVObject* parent)
{
    // Taken first: the copy may be placed inside the subtree being copied.
    const std::vector<ORVObject*> children = object->getChildren();
    ORVObject* copy = object->clone(name);
    if (parent)
        copy->setParent(parent);
    // Listed by its parent, or a parented copy would never be drawn or updated.
    if (copy->getParent())
        copy->getParent()->addChild(copy);
    AddObject(copy);
    for (size_t i = 0; i < children.size(); ++i)
        cloneObject(children[i], name + "_c" + std::to_string(i), copy);
    return copy;
}

void ORVScene::setup()
{
    computeBoundingBox();
    buildMeshGroups();
}

void ORVScene::computeBoundingBox()
{
    bool first = true;
    for (const ORVObject* obj : objectList) {
        glm::vec3 low(0.0f), high(0.0f);
        if (const VAO* mesh = obj->getMesh()) {
            low = mesh->getBoundingBoxMin();
            high = mesh->getBoundingBoxMax();
        }
        if (first) {
            boundingBoxMin = low;
            boundingBoxMax = high;
            first = false;
        } else {
            boundingBoxMin = glm::min(boundingBoxMin, low);
            boundingBoxMax = glm::max(boundingBoxMax, high);
        }
    }
}

void ORVScene::buildMeshGroups()
{
    meshGroups.clear();
    for (ORVObject* obj : objectList)
        meshGroups[obj->getMesh()].push_back(obj);
}
