#include "ShaderSaftblander.h"

#include "ORVMaterial.h"
#include "Shader.h"

ShaderSaftblander::ShaderSaftblander(Shader* shader) : GlassHallShaderInstance(shader) {}

void ShaderSaftblander::bind(ORVCamera* camera, const glm::mat4& model, VAO*, ORVMaterial* material)
{
    if (!setGeometryUniforms(camera, model, material))
        return;
    shader->setVec2("UVScroll", scroll.x, scroll.y);
    shader->setTexture("texture0", 0, material ? material->getTexture() : nullptr);
}
