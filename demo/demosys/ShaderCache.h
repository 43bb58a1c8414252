#pragma once

#include "NonCopyable.h"

#include <map>
#include <string>

class FBO;
class ORVScene;
class Shader;
class ShaderInstance;
class Texture;

// The production's shader instances under their names, and lookups of the resource
// pools that stop the program when the resource is missing. A production derives its
// own cache and builds its instances in createInstances().
//
// The cache owns its instances and deletes them with itself.
class ShaderCache : NonCopyable {
public:
    ShaderCache();
    virtual ~ShaderCache();

    // Called once by the loading pipeline; the base has no instances.
    virtual void createInstances();

    // Takes ownership; a name already present stops the program.
    void addShaderInstance(std::string name, ShaderInstance* instance);
    // A missing name stops the program.
    ShaderInstance* getShaderInstance(std::string name);
    bool hasShaderInstance(const std::string& name) const { return instances.count(name) != 0; }
    const std::map<std::string, ShaderInstance*>& getInstances() const { return instances; }

    // Pool lookups: a missing entry (or a pool that does not exist) stops the program.
    Shader* GetShader(std::string name);
    Texture* GetTexture(std::string name);
    ORVScene* GetScene(std::string name);
    FBO* GetFBO(std::string name);
    // The scene at position i of the scene pool, in name order.
    ORVScene* GetScene(int i);
    // The number of scenes in the scene pool (0 without one).
    int sceneCount() const;

private:
    std::map<std::string, ShaderInstance*> instances;
};
