#include "ShaderGeoColor.h"

#include "DeferredRenderer.h"
#include "ORVCamera.h"
#include "ORVMaterial.h"
#include "Shader.h"

#include <GL/glew.h>

#include <glm/gtc/type_ptr.hpp>

ShaderGeoColor::ShaderGeoColor(Shader* shader) : ShaderInstance(shader) {}

glm::mat3 ShaderGeoColor::normalMatrix(const glm::mat4& view, const glm::mat4& model)
{
    return glm::transpose(glm::inverse(glm::mat3(view * model)));
}

void ShaderGeoColor::setMaterialLight(Shader* shader, const ORVMaterial* material)
{
    // Only a program that writes the ambient light with the geometry declares them. One
    // lookup each a draw: the location found is set directly (the program is bound).
    static const std::string name = "MaterialLight";
    static const std::string second = "MaterialSecond";
    if (!shader)
        return;
    const auto& uniforms = shader->getUniforms();
    const auto found = uniforms.find(name);
    if (found == uniforms.end())
        return;
    glUniform2f(found->second.location, material ? DeferredRenderer::storedParameter(material->getParameterA()) : 0.0f,
                material ? DeferredRenderer::storedParameter(material->getParameterB()) : 0.0f);
    const auto response = uniforms.find(second);
    if (response == uniforms.end())
        return;
    const glm::vec4 stored = material ? DeferredRenderer::storedSecond(*material) : glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    glUniform4f(response->second.location, stored.r, stored.g, stored.b, stored.a);
}

void ShaderGeoColor::setGeometryUniforms(ORVCamera* camera, const glm::mat4& model, ORVMaterial* material,
                                         bool textured)
{
    const glm::mat4 view = camera ? camera->getViewMatrix() : glm::mat4(1.0f);
    const glm::mat4 projection = camera ? camera->getProjectionMatrix() : glm::mat4(1.0f);
    const glm::mat3 normal = normalMatrix(view, model);
    if (!shader)
        return;
    shader->bind();
    shader->setMatrix4("projM", glm::value_ptr(projection));
    shader->setMatrix4("cameraM", glm::value_ptr(view));
    shader->setMatrix4("modelM", glm::value_ptr(model));
    shader->setMatrix3("normalM", glm::value_ptr(normal));
    // An object without a material draws as material 0 in white. Untextured drawing
    // takes the diffuse colour (the one object files and effects set); textured drawing
    // the colour that tints the texture.
    const glm::vec3 white(1.0f);
    shader->setFloat("MaterialIndex", material ? float(material->getIndex()) : 0.0f);
    setMaterialLight(shader, material);
    const glm::vec3* colour = &white;
    if (material)
        colour = textured ? &material->getColor() : &material->getDiffuseColor();
    shader->setVec3("color", glm::value_ptr(*colour));
}

void ShaderGeoColor::bind(ORVCamera* camera, const glm::mat4& model, VAO*, ORVMaterial* material)
{
    setGeometryUniforms(camera, model, material, false);
}
