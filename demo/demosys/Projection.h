#pragma once

#include <glm/glm.hpp>

// A perspective projection: the screen's, and the head of every camera. The matrix is
// rebuilt by every setter.
class Projection {
public:
    Projection();

    void setClipPlanes(float zNear, float zFar);
    void setAspect(float aspect);
    void setFovY(float degrees);
    void set(float fovY, float aspect, float zNear, float zFar);

    const glm::mat4& getMatrix() const { return matrix; }
    float getAspect() const { return aspect; }
    float getFovY() const { return fovY; }
    float getZNear() const { return zNear; }
    float getZFar() const { return zFar; }

private:
    void rebuild();

    glm::mat4 matrix;
    float aspect = 1.7777778f;
    float fovY = 50.0f;
    float zNear = 1.0f;
    float zFar = 1000.0f;
};
