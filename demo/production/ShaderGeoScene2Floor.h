#pragma once

#include "GlassHallShaderInstance.h"

// A flat-coloured floor through the production's geometry frame: the common matrices
// and material index plus "color" = the material's diffuse colour. Kept for scenes
// that want their floor on its own program; Glass Hall's shader cache does not use it.
class ShaderGeoScene2Floor : public GlassHallShaderInstance {
public:
    explicit ShaderGeoScene2Floor(Shader* shader);

    void bind(ORVCamera* camera, const glm::mat4& model, VAO* mesh, ORVMaterial* material) override;
};
