#include "Projection.h"

#include <cmath>

Projection::Projection() { rebuild(); }

void Projection::setClipPlanes(float n, float f)
{
    zNear = n;
    zFar = f;
    rebuild();
}

void Projection::setAspect(float a)
{
    aspect = a;
    rebuild();
}

void Projection::setFovY(float degrees)
{
    fovY = degrees;
    rebuild();
}

void Projection::set(float fov, float a, float n, float f)
{
    matrix = glm::mat4(1.0f);
    fovY = fov;
    aspect = a;
    zNear = n;
    zFar = f;
    rebuild();
}

void Projection::rebuild()
{
    // Column-major, indexed [column][row], as GL expects.
    const float f = std::tan(0.5f * fovY * 0.017453292f);
    matrix = glm::mat4(0.0f);
    matrix[0][0] = 1.0f / (aspect * f);
    matrix[1][1] = 1.0f / f;
    matrix[2][2] = -(zFar + zNear) / (zFar - zNear);
    matrix[2][3] = -1.0f;
    matrix[3][2] = -2.0f * zFar * zNear / (zFar - zNear);
}
