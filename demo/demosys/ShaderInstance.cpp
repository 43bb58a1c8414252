#include "ShaderInstance.h"

#include "Shader.h"

ShaderInstance::ShaderInstance(Shader* shader) : shader(shader) {}

ShaderInstance::~ShaderInstance() = default;

void ShaderInstance::bind(ORVCamera*, const glm::mat4&, VAO*, ORVMaterial*)
{
    if (shader)
        shader->bind();
}
