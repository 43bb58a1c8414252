#pragma once

#include "NonCopyable.h"

#include <glm/glm.hpp>

class ORVCamera;
class ORVMaterial;
class Shader;
class VAO;

// Prepares one shader for drawing one scene object: binds the shader and sets the
// uniforms that the camera, the object's world matrix and its material call for.
// Productions derive their own; the base only binds. The shader is not owned.
class ShaderInstance : NonCopyable {
public:
    explicit ShaderInstance(Shader* shader);
    virtual ~ShaderInstance();

    // model is the object's world matrix; mesh is the mesh about to be drawn.
    virtual void bind(ORVCamera* camera, const glm::mat4& model, VAO* mesh, ORVMaterial* material);

    Shader* getShader() const { return shader; }

protected:
    Shader* shader;
};
