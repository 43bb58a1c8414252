#pragma once

#include "ShaderGeoColor.h"

// Textured geometry: the uniforms of ShaderGeoColor, then the material's texture as
// "texture0" on unit 0 and, when the material has one, its normal map as "NormalMap"
// on unit 1.
class ShaderGeoTexture : public ShaderGeoColor {
public:
    explicit ShaderGeoTexture(Shader* shader);

    void bind(ORVCamera* camera, const glm::mat4& model, VAO* mesh, ORVMaterial* material) override;
};
