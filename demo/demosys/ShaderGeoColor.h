#pragma once

#include "ShaderInstance.h"

// Flat-coloured geometry: sets the camera's projection and view, the object's model
// matrix and its normal matrix, the material's index (as a float) and its colour.
class ShaderGeoColor : public ShaderInstance {
public:
    explicit ShaderGeoColor(Shader* shader);

    void bind(ORVCamera* camera, const glm::mat4& model, VAO* mesh, ORVMaterial* material) override;

    // transpose(inverse(upper-left 3x3 of view x model)): the matrix that carries object
    // normals into view space. A singular matrix is not checked for.
    static glm::mat3 normalMatrix(const glm::mat4& view, const glm::mat4& model);

protected:
    // The six matrix and material uniforms shared by the engine's geometry instances.
    void setGeometryUniforms(ORVCamera* camera, const glm::mat4& model, ORVMaterial* material, bool textured);
};
