#include "ShaderGeoScene2Floor.h"

#include "ORVMaterial.h"
#include "Shader.h"

ShaderGeoScene2Floor::ShaderGeoScene2Floor(Shader* shader) : GlassHallShaderInstance(shader) {}

void ShaderGeoScene2Floor::bind(ORVCamera* camera, const glm::mat4& model, VAO*, ORVMaterial* material)
{
    if (!setGeometryUniforms(camera, model, material))
        return;
    const glm::vec3 colour = material ? material->getDiffuseColor() : glm::vec3(1.0f);
    shader->setVec3("color", colour.x, colour.y, colour.z);
}
