#pragma once

#include "ShaderInstance.h"

// Flat-coloured geometry: sets the camera's projection and view, the object's model
// matrix and its normal matrix, the material's index (as a float) and its colour, and
// "MaterialLight" where the program declares it.
class ShaderGeoColor : public ShaderInstance {
public:
    explicit ShaderGeoColor(Shader* shader);

    void bind(ORVCamera* camera, const glm::mat4& model, VAO* mesh, ORVMaterial* material) override;

    // transpose(inverse(upper-left 3x3 of view x model)): the matrix that carries object
    // normals into view space. A singular matrix is not checked for.
    static glm::mat3 normalMatrix(const glm::mat4& view, const glm::mat4& model);
    // "MaterialLight" = the material's parameters A and B as the deferred renderer's
    // material table stores them ((0, 0) without a material), for a geometry program
    // that writes the surface's ambient light itself; nothing when the program does not
    // declare it. Likewise "MaterialSecond" = the material's second colour and exponent
    // as the table stores them (DeferredRenderer::storedSecond), for a program that
    // lights the surface itself. The program must be bound.
    static void setMaterialLight(Shader* shader, const ORVMaterial* material);

protected:
    // The six matrix and material uniforms shared by the engine's geometry instances.
    void setGeometryUniforms(ORVCamera* camera, const glm::mat4& model, ORVMaterial* material, bool textured);
};
