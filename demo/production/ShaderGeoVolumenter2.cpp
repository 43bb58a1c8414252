#include "ShaderGeoVolumenter2.h"

#include "Shader.h"

ShaderGeoVolumenter2::ShaderGeoVolumenter2(Shader* shader) : GlassHallShaderInstance(shader) {}

void ShaderGeoVolumenter2::bind(ORVCamera* camera, const glm::mat4& model, VAO*, ORVMaterial* material)
{
    if (!setGeometryUniforms(camera, model, material))
        return;
    shader->setTexture("freqTexture", 0, frequencyTexture);
    shader->setVec4("foreground_color", foregroundColor);
    shader->setVec2("scale", scale.x, scale.y);
}
