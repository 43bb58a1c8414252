#include "ShaderGeoVolumenter1.h"

#include "Shader.h"

ShaderGeoVolumenter1::ShaderGeoVolumenter1(Shader* shader, const glm::vec4& backgroundColor, Texture* maskTexture,
                                           Texture* frequencyTexture, const glm::vec2& repeat)
    : GlassHallShaderInstance(shader), backgroundColor(backgroundColor), maskTexture(maskTexture),
      frequencyTexture(frequencyTexture), repeat(repeat)
{
}

void ShaderGeoVolumenter1::bind(ORVCamera* camera, const glm::mat4& model, VAO*, ORVMaterial* material)
{
    if (!setGeometryUniforms(camera, model, material))
        return;
    shader->setVec4("background_color", backgroundColor);
    shader->setVec2("repeat", repeat.x, repeat.y);
    shader->setTexture("maskTexture", 0, maskTexture);
    shader->setTexture("frequency", 1, frequencyTexture);
}
