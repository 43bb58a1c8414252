#include "ShaderGeoVolumenter2.h"

#include "Shader.h"

ShaderGeoVolumenter2::ShaderGeoVolumenter2(Shader* shader, const glm::vec4& foregroundColor,
                                           Texture* frequencyTexture, const glm::vec2& scale)
    : GlassHallShaderInstance(shader), foregroundColor(foregroundColor), frequencyTexture(frequencyTexture),
      scale(scale)
{
}

void ShaderGeoVolumenter2::bind(ORVCamera* camera, const glm::mat4& model, VAO*, ORVMaterial* material)
{
    if (!setGeometryUniforms(camera, model, material))
        return;
    shader->setTexture("freqTexture", 0, frequencyTexture);
    shader->setVec4("foreground_color", foregroundColor);
    shader->setVec2("scale", scale.x, scale.y);
}
