#include "ORVCamera.h"

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <cstring>

ORVCamera::ORVCamera(const std::string& name) : name(name) {}

void ORVCamera::setMatrix(const float* values)
{
    std::memcpy(glm::value_ptr(viewMatrix), values, 16 * sizeof(float));
}

void ORVCamera::getMatrix(float* out) const
{
    std::memcpy(out, glm::value_ptr(viewMatrix), 16 * sizeof(float));
}

void ORVCamera::lookAt(ORVCamera* camera, const glm::vec3& target, const glm::vec3& eye, const glm::vec3& up)
{
    const glm::vec3 f = glm::normalize(target - eye);
    const glm::vec3 s = glm::normalize(glm::cross(f, glm::normalize(up)));
    const glm::vec3 u = glm::cross(s, f);
    glm::mat4& m = camera->viewMatrix;
    m[0] = glm::vec4(s.x, u.x, -f.x, 0.0f);
    m[1] = glm::vec4(s.y, u.y, -f.y, 0.0f);
    m[2] = glm::vec4(s.z, u.z, -f.z, 0.0f);
    m[3] = glm::vec4(-glm::dot(s, eye), -glm::dot(u, eye), glm::dot(f, eye), 1.0f);
}

void ORVCamera::lookAtRoll(ORVCamera* camera, const glm::vec3& target, const glm::vec3& eye, float roll)
{
    lookAt(camera, target, eye, glm::vec3(0.0f, 1.0f, 0.0f));
    camera->viewMatrix = camera->viewMatrix * glm::rotate(glm::mat4(1.0f), roll * 0.017453292f, glm::vec3(0, 0, 1));
}
