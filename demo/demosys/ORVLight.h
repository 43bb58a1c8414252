#pragma once

#include <glm/glm.hpp>

#include <string>

class Shader;
class Texture;

// One light of a scene. The object file gives its kind, placement, radius and cone;
// the production gives it a shader and, where it wants them, a cube map (with the
// matrix that orients it) or a projected spot texture; the deferred renderer reads all
// of it. The light matrix places the light's unit volume (cone or cube) in view space
// and is recomputed for each camera.
//
// The scene that holds a light owns it; the shader and textures belong to their pools.
class ORVLight {
public:
    enum Kind { Spot = 1, Directional = 2, Point = 3 };

    ORVLight();

    const std::string& getName() const { return name; }
    void setName(const std::string& value) { name = value; }
    int getKind() const { return kind; }
    void setKind(int value) { kind = value; }
    // Rotation about x, y and z in degrees, applied in that order (spot lights).
    const glm::vec3& getAngles() const { return angles; }
    void setAngles(float x, float y, float z) { angles = glm::vec3(x, y, z); }
    const glm::vec4& getColor() const { return color; }
    void setColor(float r, float g, float b, float a) { color = glm::vec4(r, g, b, a); }
    float getRadius() const { return radius; }
    void setRadius(float value) { radius = value; }
    // Full opening angle of a spot light's cone, in degrees.
    float getConeAngle() const { return coneAngle; }
    void setConeAngle(float value) { coneAngle = value; }
    float getSpotParameter() const { return spotParameter; }
    void setSpotParameter(float value) { spotParameter = value; }
    float getLinearAttenuation() const { return linearAttenuation; }
    void setLinearAttenuation(float value) { linearAttenuation = value; }
    const glm::mat4& getTransform() const { return transform; }
    void setTransform(const glm::mat4& m) { transform = m; }
    // Sets the transform's last column to (x, y, z, 1).
    void setPosition(float x, float y, float z);
    glm::vec3 getPosition() const { return glm::vec3(transform[3]); }
    const glm::mat4& getLightMatrix() const { return lightMatrix; }
    const glm::vec3& getPlacement() const { return placement; }
    void setPlacement(const glm::vec3& value) { placement = value; }

    // Fields of the light pass.
    bool isEnabled() const { return enabled; }
    void setEnabled(bool value) { enabled = value; }
    Shader* getShader() const { return shader; }
    void setShader(Shader* value) { shader = value; }
    Texture* getCubeMap() const { return cubeMap; }
    void setCubeMap(Texture* value) { cubeMap = value; }
    const glm::mat4& getObjectMatrix() const { return objectMatrix; }
    void setObjectMatrix(const glm::mat4& m) { objectMatrix = m; }
    Texture* getSpotTexture() const { return spotTexture; }
    void setSpotTexture(Texture* value) { spotTexture = value; }

    // Recomputes the light matrix for a camera's view matrix. Spot lights: view x
    // position x rotation(angles) x scale(w, w, radius) with w the cone's base width at
    // distance radius; point lights: view x translation(placement) x scale(radius).
    // Other kinds keep their transform as it is: view x transform.
    void updateMatrix(const glm::mat4& view);

    // The rotation of the angles (degrees about x, then y, then z).
    static glm::mat4 rotation(const glm::vec3& degrees);
    // Angles whose rotation orients like m (its scale ignored): the inverse of rotation().
    static glm::vec3 anglesOf(const glm::mat4& m);

private:
    std::string name;
    int kind = 0;
    glm::vec3 angles{0.0f};
    glm::vec4 color{1.0f};
    float radius = 10.0f;
    float coneAngle = 0.0f;
    float spotParameter = 0.0f;
    float linearAttenuation = 1.0f;
    glm::mat4 transform{1.0f};
    glm::mat4 lightMatrix{1.0f};
    glm::vec3 placement{0.0f};
    bool enabled = true;
    Shader* shader = nullptr;
    Texture* cubeMap = nullptr;
    glm::mat4 objectMatrix{1.0f};
    Texture* spotTexture = nullptr;
};
