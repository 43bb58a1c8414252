#pragma once

#include "Projection.h"

#include <glm/glm.hpp>

#include <string>

class ORVAnimation;

// A named viewpoint: a view matrix (world to eye) and the perspective projection that
// renderers take from it. Scenes own the cameras of their files; the engine owns one
// more ("syscam") that the production's camera effect places.
class ORVCamera {
public:
    explicit ORVCamera(const std::string& name);

    const std::string& getName() const { return name; }
    ORVAnimation* getAnimation() const { return animation; }
    void setAnimation(ORVAnimation* value) { animation = value; }

    // 16 floats in column order become the view matrix.
    void setMatrix(const float* values);
    void setMatrix(const glm::mat4& m) { viewMatrix = m; }
    // The view matrix as 16 floats in column order.
    void getMatrix(float* out) const;
    const glm::mat4& getViewMatrix() const { return viewMatrix; }
    glm::mat4& getViewMatrix() { return viewMatrix; }

    const glm::vec3& getPosition() const { return position; }
    void setPosition(const glm::vec3& value) { position = value; }

    Projection& getProjection() { return projection; }
    const Projection& getProjection() const { return projection; }
    const glm::mat4& getProjectionMatrix() const { return projection.getMatrix(); }

    // Aims the camera from eye at target with the given up direction.
    static void lookAt(ORVCamera* camera, const glm::vec3& target, const glm::vec3& eye, const glm::vec3& up);
    // As lookAt with up = +Y, then rolled by roll degrees about the view axis.
    static void lookAtRoll(ORVCamera* camera, const glm::vec3& target, const glm::vec3& eye, float roll);

private:
    std::string name;
    ORVAnimation* animation = nullptr;
    glm::mat4 viewMatrix{1.0f};
    glm::vec3 position{0.0f};
    Projection projection;
};
