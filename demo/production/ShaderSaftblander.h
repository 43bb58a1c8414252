#pragma once

#include "GlassHallShaderInstance.h"

// The blenders of scene 4: their diffuse texture scrolls across the surface. The owner
// (the scene effect) writes the scroll offset every frame; bind sends it as "UVScroll"
// with the material's texture as "texture0" on unit 0.
class ShaderSaftblander : public GlassHallShaderInstance {
public:
    explicit ShaderSaftblander(Shader* shader);

    void bind(ORVCamera* camera, const glm::mat4& model, VAO* mesh, ORVMaterial* material) override;

    void setScroll(float u, float v) { scroll = glm::vec2(u, v); }
    const glm::vec2& getScroll() const { return scroll; }

private:
    glm::vec2 scroll{0.0f, 0.0f};
};
