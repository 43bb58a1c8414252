#include "ORVLight.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>

namespace {

const float radiansPerDegree = 0.017453292f;
const float pi = 3.14159265358979f;

} // namespace

ORVLight::ORVLight() = default;

void ORVLight::setPosition(float x, float y, float z)
{
    transform[3] = glm::vec4(x, y, z, 1.0f);
}

glm::mat4 ORVLight::rotation(const glm::vec3& degrees)
{
    glm::mat4 r(1.0f);
    r = glm::rotate(r, degrees.x * radiansPerDegree, glm::vec3(1, 0, 0));
    r = glm::rotate(r, degrees.y * radiansPerDegree, glm::vec3(0, 1, 0));
    r = glm::rotate(r, degrees.z * radiansPerDegree, glm::vec3(0, 0, 1));
    return r;
}

glm::vec3 ORVLight::anglesOf(const glm::mat4& m)
{
    // R = Rx(a) Ry(b) Rz(c) has sin b in row 0 of column 2; a and c follow from the
    // entries beside it. Columns are normalised first so that a scaled node still
    // yields its orientation.
    glm::vec3 c0(m[0]), c1(m[1]), c2(m[2]);
    const float l0 = glm::length(c0), l1 = glm::length(c1), l2 = glm::length(c2);
    if (!(l0 > 0.0f) || !(l1 > 0.0f) || !(l2 > 0.0f))
        return glm::vec3(0.0f);
    c0 /= l0;
    c1 /= l1;
    c2 /= l2;
    const float sinB = std::max(-1.0f, std::min(1.0f, c2.x));
    const float b = std::asin(sinB);
    float a, c;
    if (std::fabs(sinB) < 0.99999f) {
        a = std::atan2(-c2.y, c2.z);
        c = std::atan2(-c1.x, c0.x);
    } else {
        // Gimbal lock: only a + c (or a - c) is defined; put it all into a.
        a = std::atan2(c1.z, c1.y);
        c = 0.0f;
    }
    const float toDegrees = 180.0f / pi;
    return glm::vec3(a, b, c) * toDegrees;
}

void ORVLight::updateMatrix(const glm::mat4& view)
{
    if (kind == Spot) {
        transform[0] = glm::vec4(1, 0, 0, 0);
        transform[1] = glm::vec4(0, 1, 0, 0);
        transform[2] = glm::vec4(0, 0, 1, 0);
        const float w = 2.0f * radius * std::tan(coneAngle * pi / 360.0f);
        lightMatrix = view * transform * rotation(angles) * glm::scale(glm::mat4(1.0f), glm::vec3(w, w, radius));
    } else if (kind == Point) {
        transform[0] = glm::vec4(1, 0, 0, 0);
        transform[1] = glm::vec4(0, 1, 0, 0);
        transform[2] = glm::vec4(0, 0, 1, 0);
        lightMatrix =
            view * glm::translate(glm::mat4(1.0f), placement) * glm::scale(glm::mat4(1.0f), glm::vec3(radius));
    } else {
        // A directional light's orientation is its transform: resetting it as the
        // volumes do would point every such light straight down.
        lightMatrix = view * transform;
    }
}
