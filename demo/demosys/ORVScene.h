#pragma once

#include "NonCopyable.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <map>
#include <utility>
#include <memory>
#include <string>
#include <vector>

class ORVAnimation;
class ORVCamera;
class ORVLight;
class ORVMaterial;
class ORVObject;
class Shader;
class ShaderInstance;
class VAO;

// What one object file becomes: named objects in a parent/child tree, named materials,
// lights, cameras and animations, and the meshes the objects draw.
//
// Ownership: the scene deletes every object in its object list, every material, light,
// camera and animation in its maps, and every mesh handed to adoptMesh(). Meshes that
// objects merely point at (shared geometry) stay their owner's. Meshes are GL objects:
// delete the scene while its GL context is current.
//
// Names are unique per kind; adding a taken name, looking up a missing one or an index
// out of range is a programming error that stops the program.
class ORVScene : NonCopyable {
public:
    ORVScene();
    ~ORVScene();

    // Appends the object to the object list and maps its name; an object without a
    // parent also becomes a root.
    void AddObject(ORVObject* obj);
    // Takes the object out of the scene (name map, object list, roots and its parent's
    // children); the caller owns it afterwards. Its own children stay attached to it.
    void RemoveObject(ORVObject* obj);
    ORVObject* getObject(unsigned int i) const;
    unsigned int getObjectCount() const { return static_cast<unsigned int>(objectList.size()); }
    ORVObject* getObjectByName(const std::string& name) const;
    void ApplyShaderInstance(const std::string& name, ShaderInstance* instance);
    void setObjectData(const std::string& name, void* data);

    void addMaterial(const std::string& name, ORVMaterial* material);
    ORVMaterial* getMaterialByName(const std::string& name) const;
    void addLight(const std::string& name, ORVLight* light);
    ORVLight* getLightByName(const std::string& name) const;
    void AddCamera(const std::string& name, ORVCamera* camera);
    ORVCamera* GetCamera(const std::string& name) const;
    // Also links the animation to the object of that name, or else to the camera.
    void AddAnimation(const std::string& name, ORVAnimation* animation);
    ORVAnimation* GetAnimation(const std::string& name) const;

    bool objectExists(const std::string& name) const { return objects.count(name) != 0; }
    bool materialExists(const std::string& name) const { return materials.count(name) != 0; }
    bool lightExists(const std::string& name) const { return lights.count(name) != 0; }
    bool cameraExists(const std::string& name) const { return cameras.count(name) != 0; }
    bool animationExists(const std::string& name) const { return animations.count(name) != 0; }

    // The scene deletes the mesh with itself.
    void adoptMesh(VAO* mesh);

    // Draws every visible root and its visible subtree: with shader, each mesh with
    // that shader (its uniforms are the caller's); without, each object through its
    // shader instance. Objects with neither draw nothing. With a camera, a mesh whose
    // culling box lies outside the camera's view is skipped (its children are not).
    void draw(ORVCamera* camera, Shader* shader);
    // World matrix of every object reachable from the roots = scene matrix x local
    // matrix: object files store complete placements, not offsets from the parent.
    void update(uint32_t time);
    // Every light, in name order, recomputes its light matrix for the camera.
    void updateLights(ORVCamera* camera);

    // Copies object under name, then each child i recursively as name + "_c" + i under
    // the copy, so that the copy has a subtree of its own. The copy goes under parent,
    // or under the original's parent when parent is null.
    ORVObject* cloneObject(ORVObject* object, const std::string& name, ORVObject* parent);

    // After loading: the bounding box, then the mesh groups.
    void setup();
    // The box around every object's mesh box ((0, 0, 0) for an object without a mesh).
    void computeBoundingBox();
    // For each mesh (null included), the objects that use it, in object-list order.
    void buildMeshGroups();

    const std::vector<ORVObject*>& getObjectList() const { return objectList; }
    const std::vector<ORVObject*>& getRoots() const { return roots; }
    const std::map<std::string, ORVMaterial*>& getMaterials() const { return materials; }
    const std::map<std::string, ORVLight*>& getLights() const { return lights; }
    const std::map<std::string, ORVCamera*>& getCameras() const { return cameras; }
    const std::map<std::string, ORVAnimation*>& getAnimations() const { return animations; }
    const std::map<VAO*, std::vector<ORVObject*>>& getMeshGroups() const { return meshGroups; }
    const std::vector<std::unique_ptr<VAO>>& getMeshes() const { return meshes; }
    const glm::mat4& getSceneMatrix() const { return sceneMatrix; }
    void setSceneMatrix(const glm::mat4& m) { sceneMatrix = m; }
    const glm::vec3& getBoundingBoxMin() const { return boundingBoxMin; }
    const glm::vec3& getBoundingBoxMax() const { return boundingBoxMax; }

private:
    void drawObject(ORVObject* obj, const glm::mat4* clipFromWorld, ORVCamera* camera, Shader* shader);
    void updateObject(ORVObject* obj, const glm::mat4& parentMatrix);

    std::vector<ORVObject*> objectList;
    std::map<std::string, ORVObject*> objects;
    std::vector<ORVObject*> roots;
    std::map<std::string, ORVAnimation*> animations;
    std::map<std::string, ORVCamera*> cameras;
    std::map<std::string, ORVMaterial*> materials;
    std::map<std::string, ORVLight*> lights;
    glm::mat4 sceneMatrix{1.0f};
    std::map<VAO*, std::vector<ORVObject*>> meshGroups;
    glm::vec3 boundingBoxMin{0.0f};
    glm::vec3 boundingBoxMax{0.0f};
    std::vector<std::unique_ptr<VAO>> meshes;
    // This frame's drawing order: each root's distance and index (kept between frames,
    // so that sorting allocates nothing).
    std::vector<std::pair<float, size_t>> drawOrder;
};
