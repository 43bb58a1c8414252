#pragma once

#include <glm/glm.hpp>

#include <string>

class Texture;

// How one surface of a scene is shaded. The index is the material's row in the deferred
// renderer's material table and the "MaterialIndex" uniform; the colour feeds textured
// drawing and the diffuse colour untextured drawing. Textures are not owned (they
// belong to the texture pool); the names are what the object file referred to.
class ORVMaterial {
public:
    ORVMaterial();

    void setColor(float r, float g, float b) { color = glm::vec3(r, g, b); }
    const glm::vec3& getColor() const { return color; }
    void setName(const std::string& value) { name = value; }
    const std::string& getName() const { return name; }
    void setIndex(int value) { index = value; }
    int getIndex() const { return index; }
    void setDiffuseColor(float r, float g, float b) { diffuseColor = glm::vec3(r, g, b); }
    const glm::vec3& getDiffuseColor() const { return diffuseColor; }
    void setSecondColor(float r, float g, float b) { secondColor = glm::vec3(r, g, b); }
    const glm::vec3& getSecondColor() const { return secondColor; }
    void setExponent(float value) { exponent = value; }
    float getExponent() const { return exponent; }
    void setTexture(Texture* value) { texture = value; }
    Texture* getTexture() const { return texture; }
    void setNormalMap(Texture* value) { normalMap = value; }
    Texture* getNormalMap() const { return normalMap; }
    void setTextureName(const std::string& value) { textureName = value; }
    const std::string& getTextureName() const { return textureName; }
    void setNormalMapName(const std::string& value) { normalMapName = value; }
    const std::string& getNormalMapName() const { return normalMapName; }
    void setParameterA(float value) { parameterA = value; }
    float getParameterA() const { return parameterA; }
    void setParameterB(float value) { parameterB = value; }
    float getParameterB() const { return parameterB; }

private:
    glm::vec3 color{1.0f, 1.0f, 1.0f};
    std::string name;
    int index = 0;
    glm::vec3 diffuseColor{1.0f, 0.0f, 0.0f};
    glm::vec3 secondColor{0.25f, 0.25f, 0.25f};
    float exponent = 10.0f;
    Texture* texture = nullptr;
    Texture* normalMap = nullptr;
    std::string textureName;
    std::string normalMapName;
    float parameterA = 0.0f;
    float parameterB = 1.0f;
};
