#pragma once

#include "GlassHallShaderInstance.h"

class Texture;

// The wall volume meters of scene 5: bars in the foreground colour as high as the
// frequency texture says. bind sends "freqTexture" (unit 0), "foreground_color" and
// "scale". The texture is not owned.
class ShaderGeoVolumenter2 : public GlassHallShaderInstance {
public:
    ShaderGeoVolumenter2(Shader* shader, const glm::vec4& foregroundColor, Texture* frequencyTexture,
                         const glm::vec2& scale);

    void bind(ORVCamera* camera, const glm::mat4& model, VAO* mesh, ORVMaterial* material) override;

private:
    glm::vec4 foregroundColor;
    Texture* frequencyTexture;
    glm::vec2 scale;
};
