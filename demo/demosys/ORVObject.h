#pragma once

#include "NonCopyable.h"

#include <glm/glm.hpp>

#include <string>
#include <vector>

class ORVAnimation;
class ORVMaterial;
class ShaderInstance;
class VAO;

// One named node of a scene: an optional mesh drawn with an optional material through
// an optional shader instance, placed by its world matrix, with children that are
// drawn after it. The scene owns its objects; mesh, material, shader instance,
// animation and user data belong to others.
class ORVObject : NonCopyable {
public:
    ORVObject();
    explicit ORVObject(const std::string& name);

    int getId() const { return id; }
    void setId(int value) { id = value; }
    int getParentId() const { return parentId; }
    void setParentId(int value) { parentId = value; }
    VAO* getMesh() const { return mesh; }
    void setMesh(VAO* value) { mesh = value; }
    ORVMaterial* getMaterial() const { return material; }
    void setMaterial(ORVMaterial* value) { material = value; }
    ShaderInstance* getShaderInstance() const { return shaderInstance; }
    void setShaderInstance(ShaderInstance* value) { shaderInstance = value; }
    const std::string& getName() const { return name; }
    void setName(const std::string& value) { name = value; }
    ORVObject* getParent() const { return parent; }
    void setParent(ORVObject* value) { parent = value; }
    ORVAnimation* getAnimation() const { return animation; }
    void setAnimation(ORVAnimation* value) { animation = value; }
    const std::vector<ORVObject*>& getChildren() const { return children; }
    void addChild(ORVObject* child) { children.push_back(child); }
    // Takes child out of the children list (its first occurrence); false if absent.
    bool removeChild(ORVObject* child);
    bool isVisible() const { return visible; }
    // Sets the flag on this object and on every descendant.
    void setVisible(bool value);
    void* getUserData() const { return userData; }
    void setUserData(void* value) { userData = value; }

    const glm::mat4& getLocalMatrix() const { return localMatrix; }
    void setLocalMatrix(const glm::mat4& m) { localMatrix = m; }
    const glm::mat4& getWorldMatrix() const { return worldMatrix; }
    void setWorldMatrix(const glm::mat4& m) { worldMatrix = m; }
    // Sets both the local and the world matrix.
    void setMatrix(const glm::mat4& m);
    // Copies the local matrix into the world matrix.
    void resetWorld() { worldMatrix = localMatrix; }
    void setWorldPosition(float x, float y, float z) { worldMatrix[3] = glm::vec4(x, y, z, 1.0f); }
    glm::vec3 getWorldPosition() const { return glm::vec3(worldMatrix[3]); }

    // A new object of that name sharing this one's mesh, material, shader instance,
    // parent, animation, visibility and user data. It has no children and fresh
    // matrices; ORVScene::cloneObject copies a whole subtree.
    ORVObject* clone(const std::string& cloneName) const;

private:
    int id = 0;
    int parentId = 0;
    VAO* mesh = nullptr;
    ORVMaterial* material = nullptr;
    ShaderInstance* shaderInstance = nullptr;
    std::string name;
    ORVObject* parent = nullptr;
    ORVAnimation* animation = nullptr;
    std::vector<ORVObject*> children;
    bool visible = true;
    glm::mat4 localMatrix{1.0f};
    glm::mat4 worldMatrix{1.0f};
    void* userData = nullptr;
};
