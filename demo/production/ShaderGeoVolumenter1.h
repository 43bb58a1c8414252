#pragma once

#include "GlassHallShaderInstance.h"

class Texture;

// The floor and roof volume meters of scene 5: a mask texture repeated over the surface
// lights up where the frequency texture's level reaches. bind sends "background_color",
// "repeat", "maskTexture" (unit 0) and "frequency" (unit 1). The textures are not owned.
class ShaderGeoVolumenter1 : public GlassHallShaderInstance {
public:
    ShaderGeoVolumenter1(Shader* shader, const glm::vec4& backgroundColor, Texture* maskTexture,
                         Texture* frequencyTexture, const glm::vec2& repeat);

    void bind(ORVCamera* camera, const glm::mat4& model, VAO* mesh, ORVMaterial* material) override;

private:
    glm::vec4 backgroundColor;
    Texture* maskTexture;
    Texture* frequencyTexture;
    glm::vec2 repeat;
};
