#include "Geometry.h"

#include "VAO.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

VAO* Geometry::quad = nullptr;
VAO* Geometry::cornerQuad = nullptr;
VAO* Geometry::quadLines = nullptr;
VAO* Geometry::cube = nullptr;
VAO* Geometry::lightCube = nullptr;
VAO* Geometry::lightCubeLines = nullptr;
VAO* Geometry::lightCone = nullptr;
VAO* Geometry::lightConeLines = nullptr;
VAO* Geometry::lightSphere = nullptr;
VAO* Geometry::lightRoundCone = nullptr;

namespace {

// Adds one non-interleaved attribute array. The array only has to live until upload.
void addArray(VAO* vao, std::vector<GLfloat>& data, const char* name, GLint components)
{
    vao->createArrayBuffer(GLsizei(data.size()), data.data());
    vao->mapArray(data.data(), name, components);
}

// The six corners of a quad in the engine's vertex order, as (x, y) pairs; the uv of
// each corner is the same for every quad.
const GLfloat quadUV[12] = {0, 1, 0, 0, 1, 0, 0, 1, 1, 0, 1, 1};

VAO* createQuadMesh(const std::string& name, const GLfloat corners[12])
{
    VAO* vao = new VAO(name);
    std::vector<GLfloat> position, uv(quadUV, quadUV + 12), normal;
    for (int i = 0; i < 6; ++i) {
        position.insert(position.end(), {corners[i * 2], corners[i * 2 + 1], 0.0f});
        normal.insert(normal.end(), {0.0f, 0.0f, 1.0f});
    }
    addArray(vao, position, "in_Position", 3);
    addArray(vao, uv, "in_UV0", 2);
    addArray(vao, normal, "in_Normal", 3);
    vao->upload();
    return vao;
}

VAO* createIndexedMesh(const std::string& name, std::vector<GLfloat> position, std::vector<GLuint> indices)
{
    VAO* vao = new VAO(name);
    addArray(vao, position, "in_Position", 3);
    vao->setIndices(GLsizei(indices.size()), indices.data());
    vao->upload();
    return vao;
}

VAO* createLineMesh(const std::string& name, std::vector<GLfloat> position)
{
    VAO* vao = new VAO(name);
    addArray(vao, position, "in_Position", 3);
    vao->upload();
    return vao;
}

const std::vector<GLfloat> lightCubeCorners = {1, 1, 1, -1, 1, 1, -1, -1, 1, 1, -1, 1,
                                               1, -1, -1, 1, 1, -1, -1, 1, -1, -1, -1, -1};
const std::vector<GLfloat> lightConeCorners = {-0.5f, 0.5f, -1, -0.5f, -0.5f, -1, 0.5f, -0.5f, -1,
                                               0.5f, 0.5f, -1, 0, 0, 0};

// Turns every triangle of a convex mesh to face away from a point inside it, and scales
// the mesh about the origin by `scale`.
void faceOutward(std::vector<glm::vec3>& corners, std::vector<GLuint>& indices, const glm::vec3& inside,
                 float scale)
{
    for (size_t i = 0; i + 2 < indices.size(); i += 3) {
        const glm::vec3 &a = corners[indices[i]], &b = corners[indices[i + 1]], &c = corners[indices[i + 2]];
        if (glm::dot(glm::cross(b - a, c - a), a - inside) < 0.0f)
            std::swap(indices[i + 1], indices[i + 2]);
    }
    for (glm::vec3& corner : corners)
        corner *= scale;
}

VAO* createVolume(const std::string& name, const std::vector<glm::vec3>& corners, const std::vector<GLuint>& indices)
{
    std::vector<GLfloat> position;
    for (const glm::vec3& c : corners)
        position.insert(position.end(), {c.x, c.y, c.z});
    return createIndexedMesh(name, position, indices);
}

// A polyhedron around the unit sphere: an icosahedron with each face split in four,
// pushed out until its faces touch the sphere, so every point within 1 of the centre is
// inside. Seen from anywhere it covers 6 % more than the sphere on average, a cube 91 %.
VAO* createSphereVolume()
{
    const float g = (1.0f + std::sqrt(5.0f)) * 0.5f;
    std::vector<glm::vec3> corners = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                                      {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
    const GLuint faces[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                                 {11, 10, 2}, {10, 7, 6}, {7, 1, 8},   {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
                                 {3, 8, 9},  {4, 9, 5},  {2, 4, 11},  {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
    for (glm::vec3& c : corners)
        c = glm::normalize(c);
    // Each edge's midpoint once, on the sphere.
    std::vector<GLuint> indices;
    std::vector<std::pair<GLuint, GLuint>> edges;
    std::vector<GLuint> edgeCorner;
    auto midpoint = [&](GLuint a, GLuint b) {
        const std::pair<GLuint, GLuint> key(std::min(a, b), std::max(a, b));
        for (size_t i = 0; i < edges.size(); ++i)
            if (edges[i] == key)
                return edgeCorner[i];
        edges.push_back(key);
        corners.push_back(glm::normalize(corners[a] + corners[b]));
        edgeCorner.push_back(GLuint(corners.size() - 1));
        return edgeCorner.back();
    };
    for (const auto& f : faces) {
        const GLuint ab = midpoint(f[0], f[1]), bc = midpoint(f[1], f[2]), ca = midpoint(f[2], f[0]);
        indices.insert(indices.end(), {f[0], ab, ca, f[1], bc, ab, f[2], ca, bc, ab, bc, ca});
    }
    // The nearest face plane sets how far the corners must go out.
    float inradius = 1.0f;
    for (size_t i = 0; i < indices.size(); i += 3) {
        const glm::vec3 &a = corners[indices[i]], &b = corners[indices[i + 1]], &c = corners[indices[i + 2]];
        inradius = std::min(inradius, std::fabs(glm::dot(glm::normalize(glm::cross(b - a, c - a)), a)));
    }
    faceOutward(corners, indices, glm::vec3(0.0f), 1.0f / inradius);
    return createVolume("deferred:sphere", corners, indices);
}

// An 8-sided pyramid around the round cone that "deferred:cone" holds in its square:
// apex at the origin, its base around the circle of radius 0.5 at z = -1. Its section is
// 5 % larger than the cone's, the square's 27 %.
VAO* createRoundConeVolume()
{
    const int sides = 8;
    const float pi = 3.14159265358979f;
    const float reach = 0.5f / std::cos(pi / float(sides));
    std::vector<glm::vec3> corners = {glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f)};
    std::vector<GLuint> indices;
    for (int i = 0; i < sides; ++i) {
        const float a = 2.0f * pi * float(i) / float(sides);
        corners.emplace_back(reach * std::cos(a), reach * std::sin(a), -1.0f);
        const GLuint here = GLuint(2 + i), next = GLuint(2 + (i + 1) % sides);
        indices.insert(indices.end(), {0, here, next, 1, next, here});
    }
    faceOutward(corners, indices, glm::vec3(0.0f, 0.0f, -0.7f), 1.0f);
    return createVolume("deferred:roundCone", corners, indices);
}

} // namespace

VAO* Geometry::createQuad(const std::string& name, float halfSize)
{
    const float s = halfSize;
    const GLfloat corners[12] = {-s, s, -s, -s, s, -s, -s, s, s, -s, s, s};
    return createQuadMesh(name, corners);
}

VAO* Geometry::createCube(const std::string& name, float halfExtent)
{
    const float s = halfExtent;
    // Faces +Z, +X, -Y, -X, -Z, +Y; two triangles each.
    std::vector<GLfloat> position = {
        s, -s, s,   s, s, s,    -s, -s, s,  s, s, s,    -s, s, s,   -s, -s, s,
        s, -s, -s,  s, s, -s,   s, -s, s,   s, s, -s,   s, s, s,    s, -s, s,
        s, -s, -s,  s, -s, s,   -s, -s, s,  s, -s, -s,  -s, -s, s,  -s, -s, -s,
        -s, -s, s,  -s, s, s,   -s, s, -s,  -s, -s, s,  -s, s, -s,  -s, -s, -s,
        s, s, -s,   s, -s, -s,  -s, -s, -s, s, s, -s,   -s, -s, -s, -s, s, -s,
        s, s, -s,   -s, s, -s,  s, s, s,    -s, s, -s,  -s, s, s,   s, s, s,
    };
    std::vector<GLfloat> uv = {
        1, 0, 1, 1, 0, 0, 1, 1, 0, 1, 0, 0,
        1, 0, 1, 1, 0, 0, 1, 1, 0, 1, 0, 0,
        1, 1, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0,
        0, 1, 0, 0, 1, 0, 0, 1, 1, 0, 1, 1,
        1, 0, 1, 1, 0, 1, 1, 0, 0, 1, 0, 0,
        1, 1, 0, 1, 1, 0, 0, 1, 0, 0, 1, 0,
    };
    const GLfloat faceNormals[6][3] = {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}, {-1, 0, 0}, {0, 0, -1}, {0, 1, 0}};
    std::vector<GLfloat> normal;
    for (const auto& n : faceNormals)
        for (int v = 0; v < 6; ++v)
            normal.insert(normal.end(), {n[0], n[1], n[2]});

    VAO* vao = new VAO(name);
    addArray(vao, position, "in_Position", 3);
    addArray(vao, normal, "in_Normal", 3);
    addArray(vao, uv, "in_UV0", 2);
    vao->upload();
    return vao;
}

void Geometry::build()
{
    if (quad)
        return;
    quad = createQuad("Geometry::Quad", 1.0f);
    const GLfloat corner[12] = {0, 0, 0, -1, 1, -1, 0, 0, 1, -1, 1, 0};
    cornerQuad = createQuadMesh("Geometry::Quad", corner);
    quadLines = createLineMesh("Geometry::QuadLines",
                               {0, 0, 0, 0, -1, 0, 0, -1, 0, 1, -1, 0, 1, -1, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0});
    cube = createCube("Cube", 1.0f);
}

void Geometry::buildLightVolumes()
{
    if (lightCube)
        return;
    lightCube = createIndexedMesh("deferred:cube", lightCubeCorners,
                                  {0, 1, 2, 0, 2, 3, 1, 6, 7, 1, 7, 2, 5, 6, 1, 5, 1, 0,
                                   5, 0, 3, 5, 3, 4, 6, 5, 4, 6, 4, 7, 3, 2, 7, 3, 7, 4});
    lightCubeLines = createIndexedMesh("deferred:cubeLines", lightCubeCorners,
                                       {0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6, 6, 7, 7, 4, 1, 6, 0, 5, 2, 7, 3, 4});
    lightCone = createIndexedMesh("deferred:cone", lightConeCorners,
                                  {0, 3, 2, 0, 2, 1, 0, 1, 4, 0, 4, 3, 4, 2, 3, 1, 2, 4});
    lightConeLines = createIndexedMesh("deferred:coneLines", lightConeCorners,
                                       {0, 1, 1, 2, 2, 3, 3, 0, 0, 4, 1, 4, 2, 4, 3, 4});
    lightSphere = createSphereVolume();
    lightRoundCone = createRoundConeVolume();
}

void Geometry::release()
{
    for (VAO** mesh : {&quad, &cornerQuad, &quadLines, &cube, &lightCube, &lightCubeLines, &lightCone,
                       &lightConeLines, &lightSphere, &lightRoundCone}) {
        delete *mesh;
        *mesh = nullptr;
    }
}
