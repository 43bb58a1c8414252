#include "Geometry.h"

#include "VAO.h"

#include <GL/glew.h>

#include <vector>

VAO* Geometry::quad = nullptr;
VAO* Geometry::cornerQuad = nullptr;
VAO* Geometry::quadLines = nullptr;
VAO* Geometry::cube = nullptr;
VAO* Geometry::lightCube = nullptr;
VAO* Geometry::lightCubeLines = nullptr;
VAO* Geometry::lightCone = nullptr;
VAO* Geometry::lightConeLines = nullptr;

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
}

void Geometry::release()
{
    for (VAO** mesh : {&quad, &cornerQuad, &quadLines, &cube, &lightCube, &lightCubeLines, &lightCone,
                       &lightConeLines}) {
        delete *mesh;
        *mesh = nullptr;
    }
}
