#include "GlassHallShaderInstance.h"

#include "ORVCamera.h"
#include "ORVMaterial.h"
#include "Shader.h"
#include "ShaderGeoColor.h"

#include <glm/gtc/type_ptr.hpp>

GlassHallShaderInstance::GlassHallShaderInstance(Shader* shader) : ShaderInstance(shader) {}

bool GlassHallShaderInstance::setGeometryUniforms(ORVCamera* camera, const glm::mat4& model,
                                                  ORVMaterial* material)
{
    if (!shader)
        return false;
    const glm::mat4 view = camera ? camera->getViewMatrix() : glm::mat4(1.0f);
    const glm::mat4 projection = camera ? camera->getProjectionMatrix() : glm::mat4(1.0f);
    const glm::mat4 modelView = view * model;
    const glm::mat3 normal = ShaderGeoColor::normalMatrix(view, model);
    shader->bind();
    shader->setMatrix4("ProjM", glm::value_ptr(projection));
    shader->setMatrix4("ModelM", glm::value_ptr(modelView));
    shader->setMatrix3("NormalM", glm::value_ptr(normal));
    shader->setFloat("MaterialIndex", material ? static_cast<float>(material->getIndex()) : 0.0f);
    ShaderGeoColor::setMaterialLight(shader, material);
    return true;
}
