#pragma once

#include "ShaderInstance.h"

// The frame shared by Glass Hall's own geometry instances: binds the shader and sets
// "ProjM" (the camera's projection), "ModelM" (the camera's view times the object's
// world matrix), "NormalM" (the normal matrix of that product) and "MaterialIndex".
// Each derived instance adds the uniforms of its own shader.
class GlassHallShaderInstance : public ShaderInstance {
public:
    explicit GlassHallShaderInstance(Shader* shader);

protected:
    // False (nothing set) without a shader.
    bool setGeometryUniforms(ORVCamera* camera, const glm::mat4& model, ORVMaterial* material);
};
