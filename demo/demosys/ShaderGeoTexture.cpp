#include "ShaderGeoTexture.h"

#include "ORVMaterial.h"
#include "Shader.h"

ShaderGeoTexture::ShaderGeoTexture(Shader* shader) : ShaderGeoColor(shader) {}

void ShaderGeoTexture::bind(ORVCamera* camera, const glm::mat4& model, VAO*, ORVMaterial* material)
{
    setGeometryUniforms(camera, model, material, true);
    if (!shader)
        return;
    shader->setTexture("texture0", 0, material ? material->getTexture() : nullptr);
    if (material && material->getNormalMap())
        shader->setTexture("NormalMap", 1, material->getNormalMap());
}
